// The frame's choices: the composition by time, the flash layers' timers and
// picks, and the picture's place in the window.
#include "runtime/frame_steps.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <set>
#include <vector>

#include "core/random.h"
#include "core/timeline.h"

namespace {
TEST(Composition, CopyAtZeroThenTheOpenWindows) {
  const std::pair<float, Composition> rows[] = {
      {0, Composition::Copy},           {0.01f, Composition::Default},
      {634, Composition::Default},      {634.01f, Composition::FirstPost},
      {729.99f, Composition::FirstPost}, {730, Composition::Default},
      {200, Composition::Default},      {250, Composition::Flash},
      {1600, Composition::Flash},       {1690, Composition::Default}};
  for (const auto& [t, composition] : rows) EXPECT_EQ(ChooseComposition(t), composition) << t;
}

TEST(FlashLayers, PicksNeverRepeatAndFollowTheUnitDraws) {
  // Each pick is floor(12 u) of the next unit draw, drawn again while it
  // equals the previous choice.
  Mt19937State generator;
  RandomSeed(generator, 38);
  std::mt19937 reference(38);
  std::set<int> seen;
  int previous = 0;
  for (int i = 0; i < 3000; ++i) {
    int expected;
    do expected = int(std::floor(std::ldexp(double(reference()), -32) * kFlashTextureCount));
    while (expected == previous);
    const int choice = PickFlashChoice(generator, previous);
    ASSERT_EQ(choice, expected) << i;
    seen.insert(choice);
    previous = choice;
  }
  EXPECT_EQ(seen.size(), size_t(kFlashTextureCount));
}

// The composition's step in the flash window: at frame factor 1, layer 1
// re-picks on its 21st frame (20 is not above the limit), layer 2 on its
// 31st; layer 1's pass sees the switch time before layer 2's step.
TEST(FlashLayers, TimersRePickOnceAboveTheirLimits) {
  ShowState show;
  RandomSeed(show.generator, 38);
  const CompositionState& c = show.composition;
  for (int frame = 1; frame <= 31; ++frame) {
    FrameTime time;
    time.frameFactor = 1;
    time.demoTime = 200 + frame;
    const FlashLayer before1 = c.flashLayer1, before2 = c.flashLayer2;
    StepComposition(show, time);
    EXPECT_EQ(c.flashLayer1.choice != before1.choice, frame == 21) << frame;
    EXPECT_EQ(c.flashLayer2.choice != before2.choice, frame == 31) << frame;
    if (frame == 21) {
      EXPECT_EQ(c.layer1SwitchTime, time.demoTime);
    }
    if (frame == 31) {
      EXPECT_EQ(c.layer1SwitchTime, 221.0f);  // layer 2's re-pick comes after layer 1's pass
    }
  }
  EXPECT_EQ(c.overlaySwitchTime, 231.0f);
  EXPECT_EQ(c.flashLayer1.timer, 10.0f);
  // Outside the flash window the layers rest.
  const CompositionState rested = c;
  FrameTime outside;
  outside.demoTime = 500;
  StepComposition(show, outside);
  EXPECT_EQ(c.flashLayer1.timer, rested.flashLayer1.timer);
}

// The picture keeps its 16:9 shape, centred between bars where the window's
// shape differs, the whole window where it (nearly) agrees.
TEST(FitPicture, KeepsTheShapeBetweenBars) {
  const struct {
    int w, h;
    ScreenRect want;
  } rows[] = {{1280, 720, {0, 0, 1280, 720}},   {1024, 768, {0, 96, 1024, 576}},
              {1920, 1200, {0, 60, 1920, 1080}}, {2560, 1080, {320, 0, 1920, 1080}},
              {1366, 768, {0, 0, 1366, 768}},   {0, 720, {0, 0, 0, 0}}};
  for (const auto& r : rows) {
    const ScreenRect got = FitPicture(r.w, r.h);
    EXPECT_EQ(std::vector<int>({got.x, got.y, got.width, got.height}),
              std::vector<int>({r.want.x, r.want.y, r.want.width, r.want.height}))
        << r.w << "x" << r.h;
  }
}
}  // namespace
