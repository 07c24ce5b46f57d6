// The scene renderer's windows, once flags, random draws and the 2D cards it
// draws itself, with the real program objects and the generated run files.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <map>

#include "core/random.h"
#include "core/ticks.h"
#include "core/timeline.h"
#include "objects/program_objects.h"
#include "overlays/textures.h"
#include "particles/particle_field.h"
#include "render/render_target.h"
#include "runtime/director.h"
#include "runtime/startup.h"
#include "scenes/loader_screen.h"
#include "scenes/picture_flash.h"
#include "scenes/scene_renderer.h"
#include "scenes/scene_state.h"
#include "tests/gl_context.h"

namespace {
using Rgb = std::array<int, 3>;

// An opaque 4x4 texture of one colour.
GLuint PlainTexture(const Rgb& c) { return testgl::PlainTexture(c[0], c[1], c[2]); }

void ExpectColour(const std::array<int, 4>& got, const Rgb& want, int tolerance = 2) {
  EXPECT_NEAR(got[0], want[0], tolerance);
  EXPECT_NEAR(got[1], want[1], tolerance);
  EXPECT_NEAR(got[2], want[2], tolerance);
}

// Random draws taken since the generator was seeded with 38: the next output
// is compared with a reference generator (at most 64 draws apart).
int DrawsSinceSeed() {
  const uint32_t next = RandomU32();
  RandomSeed(38);
  for (int n = 0; n <= 64; ++n)
    if (RandomU32() == next) return n;
  return -1;
}

// Plain-coloured stand-ins for the pictures the renderer draws by itself;
// the show's texture slots are given back afterwards.
const Rgb kPicture34 = {200, 40, 40}, kPicture36 = {40, 200, 40}, kTitle = {40, 40, 200},
          kCard1 = {220, 220, 30}, kGreeting1 = {30, 220, 220}, kEndScreen = {240, 120, 0};

class SceneRendererTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    testgl::ResetState();
    saved_ = {{&pictureTable[34], pictureTable[34]}, {&pictureTable[36], pictureTable[36]},
              {&titleTexture, titleTexture},          {&pictureTable[1], pictureTable[1]},
              {&greetings[1], greetings[1]},          {&endScreenTexture, endScreenTexture}};
    pictureTable[34] = PlainTexture(kPicture34);
    pictureTable[36] = PlainTexture(kPicture36);
    titleTexture = PlainTexture(kTitle);
    pictureTable[1] = PlainTexture(kCard1);
    greetings[1] = PlainTexture(kGreeting1);
    endScreenTexture = PlainTexture(kEndScreen);
    SetUpParticleField(KELVANE_RUN_DIR "/");
  }
  static void TearDownTestSuite() {
    TearDownParticleField();
    for (auto& [slot, name] : saved_) *slot = name;
    TicksUseRealClock();
  }

  void SetUp() override {
    testgl::ResetState();
    loader.loadingDone = 1;
    loader.musicStarted = 1;
    ResetSceneState();
    director = DirectorState{};
    frameFactor = 1;
    RandomSeed(38);
  }
  void TearDown() override { demoTime = 0, demoTimeDouble = 0; }

  // One scene frame at demo time t (the double copy as the update sets it).
  void Frame(float t) { FrameExact(t, t); }
  void FrameExact(float t, double exact) {
    demoTime = t;
    demoTimeDouble = exact;
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glPushMatrix();
    RenderScene();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
  }
  // Draws taken by one frame at t, starting from a fresh seed.
  int DrawsOfFrame(float t, double exact) {
    RandomSeed(38);
    FrameExact(t, exact);
    return DrawsSinceSeed();
  }
  int DrawsOfFrame(float t) { return DrawsOfFrame(t, t); }

  static std::map<GLuint*, GLuint> saved_;
};
std::map<GLuint*, GLuint> SceneRendererTest::saved_;
}  // namespace

// Windows are open intervals: each bound frame behaves like the outside.
TEST_F(SceneRendererTest, WindowBoundsAreExcluded) {
  // Particle frames end before 200.
  Frame(199.9f);
  EXPECT_FLOAT_EQ(scene.particleClock, 0.005f);
  EXPECT_FLOAT_EQ(scene.particleFrameFactor, 1);
  Frame(200);
  EXPECT_FLOAT_EQ(scene.particleClock, 0.005f);
  // Particle frames before the restart end the frame: the centre follow,
  // which turns ropeA, does not run.
  const float angle = ropeA.angleA;
  Frame(1050);
  EXPECT_FLOAT_EQ(ropeA.angleA, angle);
  EXPECT_EQ(scene.particleRestarted, 0);
  Frame(1054);  // not a particle frame: the layers run
  EXPECT_FLOAT_EQ(ropeA.angleA, angle + 0.005f);

  // The close-up drift moves only inside (634, 730).
  Frame(634);
  EXPECT_EQ(scene.closeUpDrift, 0);
  Frame(634.1f);
  EXPECT_FLOAT_EQ(scene.closeUpDrift, 0.009f);
  Frame(730);
  EXPECT_FLOAT_EQ(scene.closeUpDrift, 0.009f);

  // The swell draws its clear colour only inside (1268, 1287).
  EXPECT_EQ(DrawsOfFrame(1268), 0);
  EXPECT_EQ(DrawsOfFrame(1268.1f), 3);
  EXPECT_EQ(DrawsOfFrame(1287), 0);

  // The picture flash (nine draws with a beat) stops short of a bound that
  // only double precision tells apart.
  director.beatTime = 1075;
  const double flashBound = 1078.2231755859375;
  EXPECT_EQ(DrawsOfFrame(static_cast<float>(flashBound), flashBound), 9);
  EXPECT_EQ(DrawsOfFrame(static_cast<float>(flashBound), 1078.22317), 0);
  director.beatTime = 836;
  EXPECT_EQ(DrawsOfFrame(840), 0);
  EXPECT_EQ(DrawsOfFrame(840.1f), 9);
  EXPECT_EQ(DrawsOfFrame(845), 9);  // gaps of the point cloud do not matter here
  director.beatTime = 1716;
  EXPECT_EQ(DrawsOfFrame(1720), 0);
}

// A frame factor of 0 counts as 1 in every per-frame step of the scene.
TEST_F(SceneRendererTest, ZeroFrameFactorCountsAsOne) {
  frameFactor = 0;
  Frame(100);
  EXPECT_FLOAT_EQ(scene.particleClock, 0.005f);
  EXPECT_FLOAT_EQ(scene.particleFrameFactor, 1);
  Frame(700);
  EXPECT_FLOAT_EQ(scene.closeUpDrift, 0.009f);
  frameFactor = 2;
  Frame(700);
  EXPECT_FLOAT_EQ(scene.closeUpDrift, 0.027f);
}

// The particle restart and the soft-body shift happen once per run.
TEST_F(SceneRendererTest, OnceFlagsHoldTheirFirstValue) {
  Frame(760);
  EXPECT_EQ(scene.sceneOnceFlags & kSoftBodyShiftFrozen, 0);
  Frame(760.5f);
  EXPECT_FLOAT_EQ(scene.softBodyShift, 0.5f / 63);
  Frame(800);
  EXPECT_FLOAT_EQ(scene.softBodyShift, 0.5f / 63);

  // The field restarts on the first particle frame after 1268, then the
  // frame goes on with the layers (ropeA turns in the centre follow).
  Frame(1290);  // not a particle frame
  EXPECT_EQ(scene.particleRestarted, 0);
  const float angle = ropeA.angleA;
  Frame(1300);
  EXPECT_EQ(scene.particleRestarted, 1);
  EXPECT_EQ(particleColourSet, 1);
  EXPECT_FLOAT_EQ(ropeA.angleA, angle + 0.005f);
}

// Only the cards and the flash draw from the generator in these frames: three
// draws per card drawn, three per flash copy, none otherwise.
TEST_F(SceneRendererTest, DrawsTheExpectedNumberOfRandoms) {
  EXPECT_EQ(DrawsOfFrame(1300), 0);   // before the first greeting
  EXPECT_EQ(DrawsOfFrame(1306), 3);   // greeting 1 fading in
  EXPECT_EQ(DrawsOfFrame(1312), 3);   // greeting 1 fading out
  EXPECT_EQ(DrawsOfFrame(1407), 3);   // greeting 15
  director.beatTime = 905;  // a beat ahead of T counts too
  EXPECT_EQ(DrawsOfFrame(900), 9);
  director.beatTime = 890;
  EXPECT_EQ(DrawsOfFrame(900), 0);
}

// The opening over the particle field: black, picture 36 over 34, the title.
TEST_F(SceneRendererTest, TitleSequence) {
  Frame(0);
  ExpectColour(testgl::ReadPixel(640, 360), {0, 0, 0});
  ExpectColour(testgl::ReadPixel(10, 700), {0, 0, 0});
  Frame(37);
  ExpectColour(testgl::ReadPixel(640, 360), kPicture36);
  Frame(70);
  ExpectColour(testgl::ReadPixel(640, 360), kTitle);
  testgl::SavePng(testing::TempDir() + "scene-title-70.png");
}

// The closing cards: a text card starts opaque, a greeting holds opaque, the
// end screen fades in on the tick clock however the music moves.
TEST_F(SceneRendererTest, ClosingCards) {
  Frame(1075.5f);
  const auto before = testgl::ReadPixel(640, 360);
  EXPECT_FALSE(before[0] == kCard1[0] && before[1] == kCard1[1] && before[2] == kCard1[2]);
  Frame(1075.6f);
  ExpectColour(testgl::ReadPixel(640, 360), kCard1);
  testgl::SavePng(testing::TempDir() + "scene-card-1075.png");

  Frame(1309);
  ExpectColour(testgl::ReadPixel(640, 360), kGreeting1);
  testgl::SavePng(testing::TempDir() + "scene-greeting-1309.png");

  TicksUseVirtualClock();
  TicksAdvanceVirtual(5000);
  Frame(1765);
  EXPECT_EQ(scene.sceneOnceFlags & kEndScreenClockStarted, 0);
  Frame(1766);
  EXPECT_FLOAT_EQ(scene.endScreenFirstTick, 5000);
  TicksAdvanceVirtual(4200);  // half of the fade, while the music stands still
  Frame(1766);
  EXPECT_FLOAT_EQ(scene.endScreenElapsed, 60);
  const auto half = testgl::ReadPixel(640, 360);
  TicksAdvanceVirtual(4200);
  Frame(1800);
  ExpectColour(testgl::ReadPixel(640, 360), kEndScreen);
  testgl::SavePng(testing::TempDir() + "scene-end-screen.png");
  // Half-way the end screen lies half over the scene below it.
  EXPECT_GT(half[0], 60);
  EXPECT_LT(half[0], 240);
  TicksUseRealClock();
}

// With the render target bound the scene is laid out for the render size,
// whatever size the window has; the composition then sets the window's own
// viewport before it draws to the screen.
TEST_F(SceneRendererTest, ViewportFollowsTheRenderTargetWhileItIsBound) {
  if (targets.renderTarget == 0) CreateRenderTarget();
  const int savedWidth = windowWidth, savedHeight = windowHeight;
  windowWidth = 1920;
  windowHeight = 1200;
  glBindFramebuffer(GL_FRAMEBUFFER, targets.renderTarget);
  glFramebufferTexture(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, targets.sceneTexture, 0);
  Frame(300);
  GLint viewport[4];
  glGetIntegerv(GL_VIEWPORT, viewport);
  EXPECT_EQ(viewport[2], kRenderWidth);
  EXPECT_EQ(viewport[3], kRenderHeight);
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  windowWidth = savedWidth;
  windowHeight = savedHeight;
}
