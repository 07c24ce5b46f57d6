// The render target, the shader programs on the run directory's GLSL, the
// full-screen passes, and the composition of each window: whole frames drawn
// through DrawFrame on the music clock, read back against pixel values
// written down once.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/audio.h"
#include "core/ticks.h"
#include "core/timeline.h"
#include "overlays/textures.h"
#include "render/post_passes.h"
#include "render/render_target.h"
#include "render/shaders.h"
#include "runtime/frame_loop.h"
#include "runtime/frame_steps.h"
#include "runtime/startup.h"
#include "scenes/loader_screen.h"
#include "tests/gl_context.h"

namespace {
using Rgba = std::array<int, 4>;
constexpr int W = kRenderWidth, H = kRenderHeight;

// The programs and the render target exist once per process, as in the show.
void EnsureRenderObjects() {
  static bool made = false;
  if (made) return;
  made = true;
  testgl::ResetState();
  LoadShaderPrograms();
  CreateRenderTarget();
  SetUpScreen();
}

// Fills a screen-sized texture with colour(x, y), row 0 at the bottom.
template <typename Colour>
void Fill(GLuint texture, Colour colour) {
  std::vector<unsigned char> rgb(static_cast<size_t>(W) * H * 3);
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) {
      const Rgba c = colour(x, y);
      for (int k = 0; k < 3; ++k) rgb[(static_cast<size_t>(y) * W + x) * 3 + k] = c[k];
    }
  glBindTexture(GL_TEXTURE_2D, texture);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, W, H, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
}

// RGB texel of a screen-sized texture (row 0 at the bottom).
Rgba Texel(GLuint texture, int x, int y) {
  std::vector<unsigned char> rgb(static_cast<size_t>(W) * H * 3);
  glBindTexture(GL_TEXTURE_2D, texture);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
  const size_t i = (static_cast<size_t>(y) * W + x) * 3;
  return {rgb[i], rgb[i + 1], rgb[i + 2], 255};
}

void ExpectNear(Rgba actual, Rgba expected, int tolerance, const std::string& where) {
  for (int c = 0; c < 3; ++c)
    EXPECT_NEAR(actual[c], expected[c], tolerance) << where << " channel " << c;
}

class Passes : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureRenderObjects();
    testgl::ResetState();
  }
  void TearDown() override { testgl::ResetState(); }
};

// The scene of the composition frames: orange over the top half of the
// screen, blue under it. The rad image: white (sharp, no vignette) on the
// left half, black (blurred, darkened) on the right.
constexpr Rgba kTop = {240, 120, 0, 255}, kBottom = {0, 120, 240, 255};
Rgba SceneColour(int, int y) { return y >= H / 2 ? kTop : kBottom; }
Rgba RadColour(int x, int) { return x < W / 2 ? Rgba{255, 255, 255, 255} : Rgba{0, 0, 0, 255}; }

// One row of the composition table: a demo time and, at four points of the
// screen (left/right, top/bottom quarters), the expected screen pixel and
// what the scene texture holds afterwards.
struct Window {
  const char* name;
  double seconds;  // music position
  float switchBack;  // tenths since the flash overlay's latest re-pick
  Rgba screen[4];  // left top, right top, left bottom, right bottom
  Rgba scene[4];
};
constexpr int kPointX[4] = {320, 960, 320, 960}, kPointY[4] = {540, 540, 180, 180};
const Window kWindows[] = {
    // Demo time 0: the scene copied as it is.
    {"copy", 0, 0, {kTop, kTop, kBottom, kBottom}, {kTop, kTop, kBottom, kBottom}},
    // Vignette multiply (strength 2: the rad image weighs a half) inside the
    // render target, then the focus pass onto the screen.
    {"default", 14.14, 0,
     {kTop, {120, 60, 0, 255}, kBottom, {0, 60, 120, 255}},
     {kTop, {120, 60, 0, 255}, kBottom, {0, 60, 120, 255}}},
    // Focus pass inside the render target, then multiplied by the loader
    // frame (strength 10: it weighs five sixths; its black row at the top).
    {"first post", 64.4, 0,
     {{40, 20, 0, 255}, {40, 20, 0, 255}, kBottom, kBottom},
     {kTop, kTop, kBottom, kBottom}},
    // Focus pass, then the scene upside down under the second flash layer's
    // picture (magenta), three tenths after a re-pick: opacity 0.7 (1 - d),
    // d = sqrt(0.75).
    {"flash", 25, 3,
     {{24, 109, 241, 255}, {24, 109, 241, 255}, {241, 109, 24, 255}, {241, 109, 24, 255}},
     {kTop, kTop, kBottom, kBottom}},
};
}  // namespace

TEST_F(Passes, ComposesEachWindowFromTheSceneTexture) {
  glBindFramebuffer(GL_FRAMEBUFFER, targets.renderTarget);
  EXPECT_EQ(glCheckFramebufferStatus(GL_FRAMEBUFFER), GLenum(GL_FRAMEBUFFER_COMPLETE));
  // Start-up filled the rad texture: a radial falloff, alike in the corners.
  EXPECT_GT(Texel(targets.radTexture, W / 2, H / 2)[1], 240);
  EXPECT_LT(Texel(targets.radTexture, 0, 0)[1], 90);
  ExpectNear(Texel(targets.radTexture, 0, 0), Texel(targets.radTexture, W - 1, H - 1), 2,
             "rad corners");

  AudioUseVirtualClock();
  musicStream = AudioStreamCreateFile(kMusicFile);
  ASSERT_NE(musicStream, 0u);
  ASSERT_TRUE(AudioChannelPlay(musicStream, false));
  const GLuint savedPanel = pictures.panel, savedLoader = pictures.loaderFrame;
  const GLuint savedPost2 = pictures.post[2], savedPost5 = pictures.post[5];
  pictures.panel = testgl::MakeTexture(1, 1, {0, 0, 0, 0});
  pictures.loaderFrame = testgl::MakeTexture(1, 2, {0, 0, 0, 255, 255, 255, 255, 255});
  pictures.post[2] = testgl::PlainTexture(0, 255, 0);
  pictures.post[5] = testgl::PlainTexture(255, 0, 255);
  ShowState frames;  // in its loader: the loader's first frames draw nothing into the scene

  for (const Window& w : kWindows) {
    Fill(targets.sceneTexture, SceneColour);
    Fill(targets.radTexture, RadColour);
    AudioSetVirtualPosition(w.seconds);
    frames.clock.demoClock = static_cast<float>(w.seconds);  // a frame factor of 1
    frames.composition.flashLayer1 = {2, 0};
    frames.composition.flashLayer2 = {5, 0};
    frames.composition.overlaySwitchTime = static_cast<float>(w.seconds * 10) - w.switchBack;
    testgl::ResetState();
    const GLuint before = targets.sceneTexture;
    DrawFrame(frames, NextFrameTime(frames.clock, static_cast<float>(w.seconds), TickCountMs()));
    // Every window but the copy runs one pass inside the render target, which
    // draws into the other colour buffer and takes its name.
    EXPECT_EQ(targets.sceneTexture != before, w.seconds != 0) << w.name;
    for (int p = 0; p < 4; ++p) {
      const std::string where = std::string(w.name) + " point " + std::to_string(p);
      ExpectNear(testgl::ReadPixel(kPointX[p], kPointY[p]), w.screen[p], 2, where + " screen");
      ExpectNear(Texel(targets.sceneTexture, kPointX[p], kPointY[p]), w.scene[p], 2,
                 where + " scene texture");
    }
  }
  // Where the rad image is white the focus pass keeps the edge between the
  // halves sharp: two rows above it the flash frame's scene texture is orange.
  ExpectNear(Texel(targets.sceneTexture, 320, H / 2 + 2), kTop, 1, "sharp edge");

  AudioStreamFree(musicStream);
  musicStream = 0;
  TicksUseRealClock();
  pictures.panel = savedPanel, pictures.loaderFrame = savedLoader;
  pictures.post[2] = savedPost2, pictures.post[5] = savedPost5;
}

TEST_F(Passes, FlashOverlayZoomsAndFadesAfterARePick) {
  Fill(targets.sceneTexture, [](int, int) { return Rgba{0, 0, 0, 255}; });
  // Ten columns: the first green, the rest white. At full size the green
  // column covers the left tenth of the screen; at 1.25 times it lies off-screen.
  std::vector<unsigned char> rgba;
  for (int x = 0; x < 10; ++x)
    for (int c : {x == 0 ? 0 : 255, 255, x == 0 ? 0 : 255, 255}) rgba.push_back(c);
  GLuint overlay = testgl::MakeTexture(10, 1, rgba);

  struct Moment { float since; int x; Rgba pixel; };
  const int halfway = static_cast<int>(std::lround(255 * 0.7 * (1 - std::sqrt(0.75))));
  const Moment moments[] = {{0, 40, {178, 178, 178, 255}},  // zoomed, 0.7 opaque
                            {3, 640, {halfway, halfway, halfway, 255}},
                            {6, 640, {0, 0, 0, 255}},  // gone six tenths later
                            {40, 640, {0, 0, 0, 255}}};
  for (const Moment& m : moments) {
    FlashOverlayPass(overlay, 250 + m.since, 250);
    ExpectNear(testgl::ReadPixel(m.x, 360), m.pixel, 2, "since " + std::to_string(m.since));
  }
  glDeleteTextures(1, &overlay);
}
