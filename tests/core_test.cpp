// The bottom layer: the random generator against the standard library's,
// the tick counter, the music clock against simulated outputs, the frame
// factor and the time windows.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <random>
#include <tuple>
#include <vector>

#include "core/music_clock.h"
#include "core/random.h"
#include "core/ticks.h"
#include "core/timeline.h"
#include "runtime/carried_gpu_state.h"

namespace {

TEST(Random, DrawsMatchTheStandardGeneratorAndUnitsLieBelowOne) {
  for (uint32_t seed : {38u, 1u, 4000000000u}) {
    Mt19937State g;
    RandomSeed(g, seed);
    std::mt19937 reference(seed);
    for (int i = 0; i < 2000; ++i) ASSERT_EQ(RandomU32(g), reference()) << seed << " draw " << i;
    for (int i = 0; i < 2000; ++i) {
      const double u = RandomUnit(g);
      ASSERT_EQ(u, std::ldexp(double(reference()), -32));
      ASSERT_LT(u, 1.0);
    }
    // Skipping draws and taking them leave the generator alike.
    Mt19937State skipped = g;
    SkipRandom(skipped, 1000);
    for (int i = 0; i < 1000; ++i) RandomU32(g);
    ASSERT_EQ(RandomU32(skipped), RandomU32(g)) << seed;
  }
  Mt19937State unseeded;
  EXPECT_EQ(RandomU32(unseeded), std::mt19937(5489u)());
}

// The second stream is the C library's rand() as a value: the same sequence
// after the same seed (the rope roots' unseeded state, the point cloud's
// 1000, 0 taken as 1, a seed past 2^31), and a copy goes on as the original.
TEST(Random, SecondStreamIsTheLibraryRandAndCopiesGoOnAlike) {
  ASSERT_EQ(RAND_MAX, 2147483647) << "the show's sequence is the GNU C library's";
  for (uint32_t seed : {1u, 1000u, 9u, 0u, 3000000000u}) {
    LibcRandom r = seed == 1 ? LibcRandom{} : LibcRandomSeeded(seed);
    srand(seed);
    for (int i = 0; i < 200000; ++i) ASSERT_EQ(LibcRandomNext(r), rand()) << seed << " draw " << i;
    LibcRandom copy = r;
    for (int i = 0; i < 100; ++i) ASSERT_EQ(LibcRandomNext(copy), LibcRandomNext(r));
  }
  srand(1);
  const int first = rand();
  LibcRandom r = LibcRandomSeeded(1000);
  LibcRandomNext(r);
  r = LibcRandomSeeded(1);
  EXPECT_EQ(LibcRandomNext(r), first);
  EXPECT_EQ(rand(), LibcRandomNext(r)) << "the show's stream leaves the library's alone";
  EXPECT_EQ(Rand15(r), rand() & 0x7FFF);
}

TEST(Ticks, VirtualTicksRoundToTheMillisecondAndRealTicksAdvance) {
  const uint32_t real = TickCountMs();
  TicksUseVirtualClock();
  for (int k = 0; k <= 30; ++k, TicksAdvanceVirtual(1000.0 / 30.0))
    EXPECT_EQ(TickCountMs(), uint32_t(std::lround(k * 100 / 3.0))) << k;  // 0, 33, 67, 100, ...
  TicksAdvanceVirtual(-500.0);  // never backwards
  EXPECT_EQ(TickCountMs(), 1033u);
  TicksUseRealClock();
  EXPECT_GE(TickCountMs(), real);
}

constexpr double kRate = 44100.0;
constexpr uint64_t kBuffer = 1024;

// An output asking for buffers: its speed against the nominal rate, the
// jitter of its callbacks (a fraction of the period), and whether it asks
// for two buffers at once every two periods. Reads the clock at 60 frames a
// second meanwhile and returns (time, frames) of every read.
std::vector<std::pair<double, uint64_t>> Play(MusicClock& clock, double speed, double jitter,
                                              bool pairs, double t0, double seconds) {
  std::mt19937 gen(7);
  std::uniform_real_distribution<double> jit(-jitter, jitter);
  const double period = kBuffer / (kRate * speed);
  std::vector<std::pair<double, uint64_t>> reads;
  double last = t0;
  int k = 0;
  auto due = [&] { return std::max(last, t0 + ((pairs ? (k & ~1) : k) + jit(gen)) * period); };
  double next = due();
  for (double t = t0; t < t0 + seconds; t += 1.0 / 60) {
    for (; next <= t; ++k, next = due()) {
      ClockOnOutput(clock, next, std::min<uint64_t>(k * kBuffer, clock.length), kBuffer);
      last = next;
    }
    reads.push_back({t, ClockRead(clock, t)});
  }
  return reads;
}

// Irregular callbacks must not show: each frame's step differs from the one
// before by a few percent at most, the position never goes back, and it
// follows what is heard, also from an output running at another speed.
TEST(MusicClock, SmoothMonotonicAndOnTimeWithIrregularOutput) {
  for (const auto& [speed, jitter, pairs] :
       {std::tuple{1.0, 0.0, false}, std::tuple{1.0, 0.9, false}, std::tuple{1.0, 0.1, true},
        std::tuple{0.97, 0.3, false}, std::tuple{1.09, 0.3, true}}) {
    SCOPED_TRACE(testing::Message() << speed << " " << jitter << " " << pairs);
    MusicClock clock;
    ClockReset(clock, kRate, uint64_t(30 * kRate), kBuffer);
    ClockStart(clock, 0, 5.0, false);
    const auto reads = Play(clock, speed, jitter, pairs, 5.0, 20.0);
    double worstChange = 0, worstLag = 0;
    for (size_t i = 2; i < reads.size(); ++i) {
      ASSERT_GE(reads[i].second, reads[i - 1].second) << i;
      const double elapsed = reads[i].first - 5.0;
      if (elapsed < 0.25) continue;  // the first buffer is not heard yet
      const double step = double(reads[i].second) - double(reads[i - 1].second);
      const double before = double(reads[i - 1].second) - double(reads[i - 2].second);
      worstChange = std::max(worstChange, std::fabs(step - before) / (kRate / 60));
      const double heard = elapsed * kRate * speed - kBuffer;
      if (elapsed > 8) worstLag = std::max(worstLag, std::fabs(double(reads[i].second) - heard));
    }
    EXPECT_LT(worstChange, 0.03);  // a buffer-sized jump changes the step by 150 %
    EXPECT_LT(worstLag, 1.5 * kBuffer);
  }
}

TEST(Timeline, FrameFactorAndOpenWindows) {
  EXPECT_EQ(ComputeFrameFactor(12.5f, 12.5f), 1.0f);  // a standing clock counts as a frame
  EXPECT_NEAR(ComputeFrameFactor(1.0333f, 1.0f), 1.0f, 1e-4);
  EXPECT_NEAR(ComputeFrameFactor(1.0f / 60, 0), 0.5f, 0.002f);
  // Flash 200-300 and 1517-1690; slow motion 460-490, 730-827 and 737-833.
  const std::tuple<float, bool, bool> rows[] = {{200, false, false}, {200.5f, true, false}, {299.9f, true, false},
                      {300, false, false}, {460, false, false},   {470, false, true},
                      {490, false, false}, {730, false, false},   {800, false, true},
                      {830, false, true},  {833, false, false},   {1517, false, false},
                      {1518, true, false}, {1689.9f, true, false}, {1690, false, false}};
  for (const auto& [t, flash, slowMotion] : rows) {
    EXPECT_EQ(InFlashWindow(t), flash) << t;
    EXPECT_EQ(InSlowMotionWindow(t), slowMotion) << t;
  }
  // The particle field runs before 200, in 1049-1054 and in 1295-1406; its
  // fluid and particles are the GPU state those frames carry on.
  const std::pair<float, bool> field[] = {{0, true},       {199.9f, true},  {200, false},
                                          {1049, false},   {1050, true},    {1054, false},
                                          {1295, false},   {1295.5f, true}, {1406, false}};
  ASSERT_EQ(kCarriedGpuState[0].writtenAt, InParticleFieldWindow);
  for (const auto& [t, runs] : field) EXPECT_EQ(InParticleFieldWindow(t), runs) << t;
}
}  // namespace
