#include "core/music_clock.h"
#include "core/ticks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

namespace {
constexpr double kRate = 44100.0;
constexpr uint64_t kBuffer = 1024;

// One simulated output request: when it came and where its buffer started.
struct Request {
  double time;
  uint64_t start;
};

// How a simulated output asks for sound: its speed against the nominal rate,
// the jitter of its callbacks (a fraction of the buffer period), and whether
// it asks for two buffers at once every two periods.
struct Output {
  double speed;
  double jitter;
  bool pairs;
};

// The requests of such an output from time t0 for `seconds`, on a track of
// `length` frames.
std::vector<Request> Requests(const Output& output, double t0, double seconds, uint64_t length) {
  std::mt19937 gen(7);
  std::uniform_real_distribution<double> jit(-output.jitter, output.jitter);
  double period = kBuffer / (kRate * output.speed);
  bool pairs = output.pairs;
  std::vector<Request> requests;
  uint64_t start = 0;
  double last = t0;
  for (int k = 0; k * period < seconds; ++k) {
    // In pairs mode the output asks for two buffers at once every two periods.
    double due = pairs ? (k & ~1) * period : k * period;
    double t = std::max(last, t0 + due + jit(gen) * period);
    requests.push_back({t, std::min(start, length)});
    start += kBuffer;
    last = t;
  }
  return requests;
}

// Reads the clock at a steady frame rate while feeding the requests in time
// order; returns (time, frames) of every read.
std::vector<std::pair<double, uint64_t>> PlayAndRead(MusicClock& clock,
                                                     const std::vector<Request>& requests,
                                                     double t0, double seconds, double fps) {
  std::vector<std::pair<double, uint64_t>> reads;
  size_t next = 0;
  for (double t = t0; t < t0 + seconds; t += 1.0 / fps) {
    while (next < requests.size() && requests[next].time <= t) {
      ClockOnOutput(clock, requests[next].time, requests[next].start, kBuffer);
      ++next;
    }
    reads.push_back({t, ClockRead(clock, t)});
  }
  return reads;
}
}  // namespace

// Irregular callbacks must not show through: at 60 frames per second each
// frame step differs from the one before by a few percent at most, the
// position never goes back, and it stays close to what is being heard, also
// when the output runs at another speed than it should.
TEST(MusicClock, SmoothMonotonicAndOnTimeWithIrregularOutput) {
  for (Output output : {Output{1.0, 0.0, false}, Output{1.0, 0.5, false}, Output{1.0, 0.9, false},
                        Output{1.0, 0.1, true}, Output{0.97, 0.3, false}, Output{1.09, 0.3, true}}) {
    SCOPED_TRACE(testing::Message() << "speed " << output.speed << " jitter " << output.jitter
                                    << " pairs " << output.pairs);
    MusicClock clock;
    uint64_t length = static_cast<uint64_t>(30 * kRate);
    ClockReset(clock, kRate, length, kBuffer);
    double t0 = 5.0;
    ClockStart(clock, 0, t0, false);
    auto reads = PlayAndRead(clock, Requests(output, t0, 20.0, length), t0, 20.0, 60.0);
    double frameStep = kRate / 60.0;
    double worstChange = 0, worstLag = 0;
    for (size_t i = 2; i < reads.size(); ++i) {
      ASSERT_GE(reads[i].second, reads[i - 1].second) << "went back at read " << i;
      double elapsed = reads[i].first - t0;
      if (elapsed < 0.25) continue;  // the first buffer is not heard yet
      double step = double(reads[i].second) - double(reads[i - 1].second);
      double before = double(reads[i - 1].second) - double(reads[i - 2].second);
      worstChange = std::max(worstChange, std::fabs(step - before) / frameStep);
      // Once the clock has learnt the output's speed it follows the sound.
      double heard = elapsed * kRate * output.speed - kBuffer;
      if (elapsed > 8.0) worstLag = std::max(worstLag, std::fabs(double(reads[i].second) - heard));
    }
    // A buffer-sized jump would change the step by about 150%.
    EXPECT_LT(worstChange, 0.03);
    EXPECT_LT(worstLag, 1.5 * kBuffer);
  }
}

// A late callback (the output stalled) holds the position within a buffer of
// the end of what was handed out; an early burst of callbacks and a callback that reports an
// older position never move it back.
TEST(MusicClock, StallsAndBurstsNeverMoveBack) {
  MusicClock clock;
  ClockReset(clock, kRate, 100000000, kBuffer);
  ClockStart(clock, 0, 0.0, false);
  double period = kBuffer / kRate;
  for (int k = 0; k < 10; ++k) ClockOnOutput(clock, k * period, k * kBuffer, kBuffer);
  // Stall: no callback for half a second.
  uint64_t handedOut = 10 * kBuffer;
  EXPECT_EQ(ClockRead(clock, 9 * period + 0.5), handedOut + kBuffer);
  // Burst: ten callbacks at one instant.
  double t = 9 * period + 0.5;
  uint64_t before = ClockRead(clock, t);
  for (int k = 10; k < 20; ++k) ClockOnOutput(clock, t, k * kBuffer, kBuffer);
  uint64_t after = ClockRead(clock, t);
  EXPECT_GE(after, before);
  // A callback that claims an earlier position: no step back.
  ClockOnOutput(clock, t + 0.01, 2 * kBuffer, kBuffer);
  EXPECT_GE(ClockRead(clock, t + 0.01), after);
  EXPECT_GE(ClockRead(clock, t + 0.02), after);
}

// At the end of the track the position stops at the length, with the device
// or without; before the start it reads 0; a start position is kept.
TEST(MusicClock, StartStopAndEndOfTrack) {
  MusicClock clock;
  uint64_t length = 50000;
  ClockReset(clock, kRate, length, kBuffer);
  EXPECT_EQ(ClockRead(clock, 10.0), 0u);
  ClockStart(clock, 20000, 1.0, false);
  EXPECT_EQ(ClockRead(clock, 1.0), 20000u);
  EXPECT_EQ(ClockRead(clock, 3.0), 20000u) << "no callback yet: nothing heard beyond the start";
  double period = kBuffer / kRate;
  uint64_t start = 20000;
  uint64_t previous = 0;
  for (int k = 0; k < 60; ++k) {
    ClockOnOutput(clock, 3.0 + k * period, std::min(start, length), kBuffer);
    start += kBuffer;
    uint64_t now = ClockRead(clock, 3.0 + (k + 0.5) * period);
    EXPECT_GE(now, previous);
    EXPECT_LE(now, length);
    previous = now;
  }
  EXPECT_EQ(ClockRead(clock, 100.0), length);

  MusicClock silent;
  ClockReset(silent, kRate, length, 0);
  ClockStart(silent, 1000, 2.0, true);
  EXPECT_EQ(ClockRead(silent, 2.5), 1000u + 22050u);
  EXPECT_EQ(ClockRead(silent, 1000.0), length);
  EXPECT_EQ(ClockRead(silent, 2.5), length) << "an earlier time must not move it back";
}

// The virtual tick counter counts exactly what it is given; the real one
// moves forward.
TEST(Ticks, VirtualTicksAreExactAndRealTicksAdvance) {
  uint32_t a = TickCountMs();
  uint32_t b = TickCountMs();
  EXPECT_GE(static_cast<uint32_t>(b - a), 0u);
  EXPECT_LT(static_cast<uint32_t>(b - a), 1000u);

  TicksUseVirtualClock();
  EXPECT_EQ(TickCountMs(), 0u);
  for (int i = 0; i < 30; ++i) TicksAdvanceVirtual(1000.0 / 30.0);
  EXPECT_EQ(TickCountMs(), 1000u);
  TicksAdvanceVirtual(-500.0);
  TicksAdvanceVirtual(0.4);
  EXPECT_EQ(TickCountMs(), 1000u);
  TicksAdvanceVirtual(0.2);
  EXPECT_EQ(TickCountMs(), 1001u);
  TicksUseVirtualClock();
  EXPECT_EQ(TickCountMs(), 0u);
  TicksUseRealClock();
  EXPECT_GE(TickCountMs(), b);
}
