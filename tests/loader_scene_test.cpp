#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <filesystem>

#include "core/random.h"
#include "core/ticks.h"
#include "core/timeline.h"
#include "overlays/textures.h"
#include "runtime/director.h"
#include "runtime/startup.h"
#include "scenes/loader_screen.h"
#include "scenes/scene_renderer.h"
#include "scenes/scene_state.h"
#include "scenes/scene_steps.h"
#include "tests/gl_context.h"
#include "tests/test_images.h"

namespace {
using Rgba = std::array<int, 4>;

// Drives the loader clock through the virtual tick counter.
class LoaderClock {
 public:
  explicit LoaderClock(ShowState& show) : show_(show) { TicksUseVirtualClock(); }
  // One frame at the given loader clock (tenths of a second) over a magenta
  // frame; returns the centre pixel.
  Rgba FrameAt(double tenths) {
    const int64_t ms = std::llround(tenths * 100);
    TicksAdvanceVirtual(static_cast<double>(ms - now_));
    now_ = ms;
    testgl::ResetState();
    glClearColor(1, 0, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    FrameTime time;
    time.sceneTime = show_.clock.demoTime;
    time.ticksMs = TickCountMs();
    StepScene(show_, time);
    RunSceneDeviceSteps(show_, time);
    RenderScene(show_, time);
    return testgl::ReadPixel(640, 360);
  }

 private:
  ShowState& show_;
  int64_t now_ = 0;
};

void ExpectPixel(const Rgba& got, int r, int g, int b, int tolerance = 2) {
  EXPECT_NEAR(got[0], r, tolerance);
  EXPECT_NEAR(got[1], g, tolerance);
  EXPECT_NEAR(got[2], b, tolerance);
}

// Scales a colour by the share left visible under a black layer.
std::array<int, 3> Dimmed(std::array<int, 3> c, double visible) {
  for (int& v : c) v = static_cast<int>(std::lround(v * visible));
  return c;
}

// Row of ribbon r (each ribbon is 0.005 of the height, 0.01 apart from 0.3).
int RibbonRow(int r) { return static_cast<int>((0.3 + 0.01 * r + 0.0025) * testgl::kHeight); }
}  // namespace

// The loader screen from its first frame to the first main-phase frame: image
// fade-in, one asset step per 0.1 s (at most one per frame), ribbons growing
// with the counter, the closing fade, then the music starts once.
TEST(LoaderScreen, RunsToTheMainPhaseAndStartsTheMusicOnce) {
  const std::filesystem::path saved = std::filesystem::current_path();
  std::filesystem::current_path(testimg::TestAssetDirectory());
  ShowState show;
  const LoaderState& loader = show.loader;
  pictures.table[33] = LoadTexture("gfx/loader.jpg");  // start-up's job
  const std::array<int, 3> image = testimg::AssetColour(1);  // loader.jpg's colour

  LoaderClock clock(show);
  ExpectPixel(clock.FrameAt(0), 255, 0, 255, 0);  // nothing drawn before 1 s
  ExpectPixel(clock.FrameAt(10), 0, 0, 0, 0);  // black at opacity 1, no image yet
  std::array<int, 3> c = Dimmed(image, 0.25);  // 1 s into the fade-in: black at 0.75
  ExpectPixel(clock.FrameAt(15), c[0], c[1], c[2]);
  ExpectPixel(clock.FrameAt(30), image[0], image[1], image[2]);
  clock.FrameAt(45);
  EXPECT_EQ(loader.loadCounter, 0);  // steps start after 4.5 s
  EXPECT_EQ(testgl::ReadPixel(100, RibbonRow(0))[1], image[1]);

  // The gathered time must pass 1, not reach it.
  clock.FrameAt(46);
  EXPECT_EQ(loader.loadCounter, 0);
  clock.FrameAt(46.5);
  EXPECT_EQ(loader.loadCounter, 1);
  EXPECT_NE(pictures.table[1], 0u);
  // At half a tenth per frame a step comes every third frame.
  for (int frame = 1; frame <= 6; ++frame) clock.FrameAt(46.5 + 0.5 * frame);
  EXPECT_EQ(loader.loadCounter, 3);
  // A slow frame (2 s) still loads only one step.
  clock.FrameAt(69);
  EXPECT_EQ(loader.loadCounter, 4);

  double t = 69;
  // One step a frame: a counter that stops early must fail, not hang.
  for (int frame = 0; frame < 200 && loader.loadCounter < 42; ++frame) clock.FrameAt(t += 1.01);
  EXPECT_EQ(loader.loadCounter, 42);
  // Half loaded: every ribbon runs to about the middle of the screen, no further.
  const Rgba ribbon0 = testgl::ReadPixel(320, RibbonRow(0));
  EXPECT_NEAR(ribbon0[0], std::lround(0.85 * 51 + 0.15 * image[0]), 2);
  EXPECT_NEAR(ribbon0[1], std::lround(0.85 * 255 + 0.15 * image[1]), 2);
  const Rgba ribbon4 = testgl::ReadPixel(320, RibbonRow(4));
  EXPECT_NEAR(ribbon4[0], 255, 2);  // (1, 0.44, -0.6 -> 0) at 1.05 -> opaque
  EXPECT_NEAR(ribbon4[2], 0, 2);
  EXPECT_EQ(testgl::ReadPixel(800, RibbonRow(0))[1], image[1]);

  for (int frame = 0; frame < 200 && loader.loadCounter < 85; ++frame) clock.FrameAt(t += 1.01);
  EXPECT_EQ(loader.loadCounter, 85);
  const double finish = t;
  for (auto& [slot, name] : {std::pair<const char*, GLuint>{"white", pictures.white},
                            {"greetings 15", pictures.greetings[15]},
                            {"post 11", pictures.post[11]}})
    EXPECT_NE(name, 0u) << slot;
  // Fully loaded, the ribbons (waving now) reach the right edge.
  int ribbonPixels = 0;
  for (int y = 0; y < testgl::kHeight; ++y)
    ribbonPixels += testgl::ReadPixel(1276, y)[1] != image[1];
  EXPECT_GT(ribbonPixels, 0);

  ExpectPixel(clock.FrameAt(finish + 4), image[0], image[1], image[2]);
  c = Dimmed(image, 0.5);  // halfway through the closing fade
  ExpectPixel(clock.FrameAt(finish + 22), c[0], c[1], c[2]);
  clock.FrameAt(finish + 40);
  EXPECT_EQ(loader.loadingDone, 0);
  EXPECT_EQ(loader.loadCounter, 85);
  clock.FrameAt(finish + 40.5);
  EXPECT_EQ(loader.loadingDone, 1);
  EXPECT_EQ(loader.musicStarted, 0);  // the loader's own frame does not start it

  show.clock.demoTime = 200;  // a moment where no layer draws
  ExpectPixel(clock.FrameAt(finish + 41), 10, 9, 10);  // the main phase clears dark
  EXPECT_EQ(loader.musicStarted, 1);
  std::filesystem::current_path(saved);
}
