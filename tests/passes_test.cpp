// Render target, shader programs, the rad fill and the post passes, on the
// real GLSL sources, read back pixel by pixel.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/timeline.h"
#include "overlays/textures.h"
#include "render/post_passes.h"
#include "render/render_target.h"
#include "render/shaders.h"
#include "runtime/frame_steps.h"
#include "runtime/startup.h"
#include "tests/gl_context.h"

namespace {
using Rgba = std::array<int, 4>;
constexpr int W = kRenderWidth, H = kRenderHeight;

// The programs and the render target exist once per process, as in the show.
void EnsureRenderObjects() {
  static bool made = false;
  if (made) return;
  made = true;
  char cwd[4096];
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  ASSERT_EQ(chdir(KELVANE_SOURCE_DIR "/assets"), 0);  // dat/*.glsl
  testgl::ResetState();
  LoadShaderPrograms();
  CreateRenderTarget();
  SetUpScreen();
  ASSERT_EQ(chdir(cwd), 0);
}

// Fills a screen-sized RGB texture: rows below `split` (counted from row 0)
// get `low`, the rest `high`.
void FillSplit(GLuint texture, int split, Rgba low, Rgba high) {
  std::vector<unsigned char> rgb(static_cast<size_t>(W) * H * 3);
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x)
      for (int c = 0; c < 3; ++c) rgb[(static_cast<size_t>(y) * W + x) * 3 + c] =
          static_cast<unsigned char>(y < split ? low[c] : high[c]);
  glBindTexture(GL_TEXTURE_2D, texture);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, W, H, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
}

// A small RGBA texture with nearest filtering, rows given top (first) row first.
GLuint MakeTexture(int width, int height, const std::vector<unsigned char>& rgba) {
  GLuint name = 0;
  glGenTextures(1, &name);
  glBindTexture(GL_TEXTURE_2D, name);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE,
               rgba.data());
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  return name;
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

void ExpectNear(Rgba actual, Rgba expected, int tolerance, const char* where) {
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
}  // namespace

TEST_F(Passes, RenderTargetAndProgramsAreBuilt) {
  EXPECT_NE(radProgram, 0u);
  EXPECT_NE(dofProgram, 0u);
  EXPECT_NE(multiplyProgram, 0u);
  for (GLuint program : {dofProgram, multiplyProgram})
    for (const char* name : {"t", "tex0", "tex1"})
      EXPECT_GE(glGetUniformLocation(program, name), 0) << name;
  EXPECT_NE(targets.radTexture, 0u);
  EXPECT_NE(targets.passTexture, 0u);
  glBindFramebuffer(GL_FRAMEBUFFER, targets.renderTarget);
  EXPECT_EQ(glCheckFramebufferStatus(GL_FRAMEBUFFER), GLenum(GL_FRAMEBUFFER_COMPLETE));
  GLint width = 0, height = 0;
  glBindTexture(GL_TEXTURE_2D, targets.sceneTexture);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
  EXPECT_EQ(width, 1280);
  EXPECT_EQ(height, 720);
}

TEST_F(Passes, RadTextureIsFilledOnceAsARadialFalloff) {
  const Rgba centre = Texel(targets.radTexture, W / 2, H / 2);
  const Rgba corner = Texel(targets.radTexture, 0, 0);
  const Rgba otherCorner = Texel(targets.radTexture, W - 1, H - 1);
  EXPECT_GT(centre[1], 240);
  EXPECT_LT(corner[1], 90);
  ExpectNear(corner, otherCorner, 2, "corners alike");
  // A second screen set-up must not draw into the rad texture again.
  FillSplit(targets.radTexture, H, {7, 7, 7, 255}, {7, 7, 7, 255});
  glBindFramebuffer(GL_FRAMEBUFFER, targets.renderTarget);
  SetUpScreen();
  EXPECT_EQ(Texel(targets.radTexture, W / 2, H / 2)[1], 7);
  // Put the falloff back for the passes below.
  testgl::ResetState();
  glBindFramebuffer(GL_FRAMEBUFFER, targets.renderTarget);
  glFramebufferTexture(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, targets.radTexture, 0);
  glUseProgram(radProgram);
  glUniform1i(5, W);
  glUniform1i(6, H);
  glMatrixMode(GL_PROJECTION);
  gluOrtho2D(0, 1, 0, 1);
  glBegin(GL_QUADS);
  for (auto c : {std::array<float, 2>{0, 0}, {1, 0}, {1, 1}, {0, 1}}) {
    glTexCoord2f(c[0], c[1]);
    glVertex2f(c[0], c[1]);
  }
  glEnd();
  EXPECT_EQ(Texel(targets.radTexture, W / 2, H / 2), centre);
}

TEST_F(Passes, CopyIsDirectFlashOverlayIsFlipped) {
  // red from row 0 up to the middle
  FillSplit(targets.sceneTexture, H / 2, {255, 0, 0, 255}, {0, 0, 255, 255});
  CopyPass();
  ExpectNear(testgl::ReadPixel(640, 100), {255, 0, 0, 255}, 1, "copy bottom");
  ExpectNear(testgl::ReadPixel(640, 620), {0, 0, 255, 255}, 1, "copy top");

  GLuint overlay = MakeTexture(2, 2, std::vector<unsigned char>(16, 255));
  overlaySwitchTime = 0;
  demoTime = 500;  // long after the last re-pick: the overlay is invisible
  FlashOverlayPass(overlay, demoTime, overlaySwitchTime);
  ExpectNear(testgl::ReadPixel(640, 100), {0, 0, 255, 255}, 1, "flash bottom");
  ExpectNear(testgl::ReadPixel(640, 620), {255, 0, 0, 255}, 1, "flash top");
  glDeleteTextures(1, &overlay);
  demoTime = 0;
}

TEST_F(Passes, FlashOverlayZoomsAndFadesAfterARePick) {
  FillSplit(targets.sceneTexture, H, {0, 0, 0, 255}, {0, 0, 0, 255});
  // Ten columns: the first green, the rest white. At full size the green
  // column covers the left tenth of the screen; at 1.25 times it lies off-screen.
  std::vector<unsigned char> rgba;
  for (int x = 0; x < 10; ++x)
    for (int c : {x == 0 ? 0 : 255, 255, x == 0 ? 0 : 255, 255}) rgba.push_back(c);
  GLuint overlay = MakeTexture(10, 1, rgba);

  overlaySwitchTime = demoTime = 250;  // the moment of a re-pick
  FlashOverlayPass(overlay, demoTime, overlaySwitchTime);
  ExpectNear(testgl::ReadPixel(40, 360), {178, 178, 178, 255}, 2, "zoomed, 0.7 opaque");
  ExpectNear(testgl::ReadPixel(640, 360), {178, 178, 178, 255}, 2, "centre");

  demoTime = 253;  // half-way: d = sqrt(0.75), opacity 0.7 (1 - d)
  FlashOverlayPass(overlay, demoTime, overlaySwitchTime);
  const int halfway = static_cast<int>(std::lround(255 * 0.7 * (1 - std::sqrt(0.75))));
  ExpectNear(testgl::ReadPixel(640, 360), {halfway, halfway, halfway, 255}, 2, "half-way");

  demoTime = 256;  // six tenths later: gone
  FlashOverlayPass(overlay, demoTime, overlaySwitchTime);
  ExpectNear(testgl::ReadPixel(40, 360), {0, 0, 0, 255}, 0, "faded out");
  glDeleteTextures(1, &overlay);
  overlaySwitchTime = demoTime = 0;
}

TEST_F(Passes, MultiplyInsideTheRenderTargetReplacesTheSceneTexture) {
  FillSplit(targets.sceneTexture, H, {200, 200, 200, 255}, {200, 200, 200, 255});
  // Image stored top row first: its top row black, bottom row mid grey. With
  // the flipped mapping the black row lies at the top of the screen.
  GLuint image = MakeTexture(1, 2, {0, 0, 0, 255, 128, 128, 128, 255});
  glBindFramebuffer(GL_FRAMEBUFFER, targets.renderTarget);
  glFramebufferTexture(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, targets.sceneTexture, 0);
  const GLuint before = targets.sceneTexture;
  MultiplyPass(image, 2.0f);  // strength 0.5
  GLint attached = 0;
  glGetFramebufferAttachmentParameteriv(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0,
                                        GL_FRAMEBUFFER_ATTACHMENT_OBJECT_NAME, &attached);
  EXPECT_EQ(static_cast<GLuint>(attached), targets.sceneTexture);
  EXPECT_NE(targets.sceneTexture, before);
  const int grey = static_cast<int>(std::lround(200 * (0.5 + 0.5 * 128 / 255.0)));
  ExpectNear(Texel(targets.sceneTexture, 640, 100), {grey, grey, grey, 255}, 2, "bottom half");
  ExpectNear(Texel(targets.sceneTexture, 640, 620), {100, 100, 100, 255}, 2, "top half");

  // Strength 10: the image weighs 10/12.
  FillSplit(targets.sceneTexture, H, {240, 240, 240, 255}, {240, 240, 240, 255});
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  MultiplyPass(image, 10.0f);
  ExpectNear(testgl::ReadPixel(640, 620), {40, 40, 40, 255}, 2, "strength 10, black row");
  glDeleteTextures(1, &image);
}

TEST_F(Passes, DofStrengthFollowsTheDemoTime) {
  FillSplit(targets.sceneTexture, H / 2, {255, 255, 255, 255}, {0, 0, 0, 255});
  float t = -1;
  const GLint location = glGetUniformLocation(dofProgram, "t");
  demoTime = 0;
  DofPass(demoTime);
  glGetUniformfv(dofProgram, location, &t);
  EXPECT_FLOAT_EQ(t, 10.0f);
  demoTime = static_cast<float>(5 * M_PI);
  DofPass(demoTime);
  glGetUniformfv(dofProgram, location, &t);
  EXPECT_NEAR(t, 20.0f, 1e-5);
  // Near the edge the rad image is dark: the sharp edge between the halves
  // is blurred there, while at t = 0 (sine at -1) it stays sharp.
  const Rgba blurred = testgl::ReadPixel(20, H / 2 - 2);
  EXPECT_LT(blurred[0], 250);
  demoTime = static_cast<float>(-5 * M_PI);
  DofPass(demoTime);
  glGetUniformfv(dofProgram, location, &t);
  EXPECT_NEAR(t, 0.0f, 1e-5);
  ExpectNear(testgl::ReadPixel(20, H / 2 - 2), {255, 255, 255, 255}, 0, "sharp at t 0");
  ExpectNear(testgl::ReadPixel(20, H / 2 + 1), {0, 0, 0, 255}, 0, "sharp at t 0");
  demoTime = 0;
}

TEST_F(Passes, PanelBlendsByAlphaAndRestoresState) {
  glClearColor(0, 0, 1, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  // Panel: opaque red top row, fully transparent bottom row.
  const GLuint saved = panelTexture;
  panelTexture = MakeTexture(1, 2, {255, 0, 0, 255, 0, 255, 0, 0});
  glEnable(GL_DEPTH_TEST);
  glDisable(GL_BLEND);
  glDisable(GL_TEXTURE_2D);
  glBlendFunc(GL_ONE, GL_ZERO);
  PanelPass();
  // Direct mapping: texture row 0 (red) at the bottom of the screen.
  ExpectNear(testgl::ReadPixel(640, 100), {255, 0, 0, 255}, 0, "opaque panel");
  ExpectNear(testgl::ReadPixel(640, 620), {0, 0, 255, 255}, 0, "transparent panel");
  EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
  EXPECT_FALSE(glIsEnabled(GL_BLEND));
  EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
  GLint source = 0;
  glGetIntegerv(GL_BLEND_SRC_RGB, &source);
  EXPECT_EQ(source, GL_ONE);
  glDeleteTextures(1, &panelTexture);
  panelTexture = saved;
}

TEST(ReadWholeFile, KeepsLineEndsAndRefusesMissingOrEmptyFiles) {
  std::string dirName = testing::TempDir() + "k12-readXXXXXX";
  char* dir = dirName.data();
  ASSERT_NE(mkdtemp(dir), nullptr);
  const std::string crlf = std::string(dir) + "/crlf.glsl";
  const std::string empty = std::string(dir) + "/empty.glsl";
  const char text[] = "void main() {\r\n  gl_FragColor = vec4(1.0);\r\n}\r\n";
  FILE* f = fopen(crlf.c_str(), "wb");
  fwrite(text, 1, sizeof text - 1, f);
  fclose(f);
  fclose(fopen(empty.c_str(), "wb"));

  char* buffer = ReadWholeFile(crlf.c_str());
  ASSERT_NE(buffer, nullptr);
  EXPECT_STREQ(buffer, text);  // the NUL right after what was read
  free(buffer);
  EXPECT_EQ(ReadWholeFile(empty.c_str()), nullptr);
  EXPECT_EQ(ReadWholeFile((std::string(dir) + "/missing.glsl").c_str()), nullptr);
  EXPECT_EQ(ReadWholeFile(nullptr), nullptr);
  remove(crlf.c_str());
  remove(empty.c_str());
  rmdir(dir);
}
