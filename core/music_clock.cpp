#include "core/music_clock.h"

#include <algorithm>
#include <cmath>
#include <limits>

// A stopped clock for a track of the given length and rate.
void ClockReset(MusicClock& clock, double rate, uint64_t length, double latencyFrames) {
  clock = MusicClock();
  clock.rate = rate;
  clock.length = length;
  clock.latency = latencyFrames;
}

// Playback begins at frame `from` at time `now`.
void ClockStart(MusicClock& clock, uint64_t from, double now, bool freeRunning) {
  double start = static_cast<double>(std::min(from, clock.length));
  clock.running = true;
  clock.synced = freeRunning;
  clock.freeRunning = freeRunning;
  clock.anchorTime = now;
  clock.anchorPos = start;
  clock.slope = freeRunning ? clock.rate : 0.0;
  clock.limit = freeRunning ? std::numeric_limits<double>::infinity() : start;
  clock.reported = start;
  clock.meanError = 0.0;
  clock.baseRate = clock.rate;
}

// The unclamped-below estimate at `now`: the anchor moved along the slope,
// held at the end of what the output has been given.
static double Estimate(const MusicClock& clock, double now) {
  double elapsed = std::max(0.0, now - clock.anchorTime);
  return std::min(clock.anchorPos + elapsed * clock.slope, clock.limit);
}

// One output request: re-anchor where the clock stands and steer its speed
// so that the averaged error against the requests closes over
// kClockSteerSeconds.
void ClockOnOutput(MusicClock& clock, double now, uint64_t start, uint64_t frames) {
  if (!clock.running || clock.freeRunning) return;
  // The first frame of this buffer is heard `latency` frames from now.
  double target = static_cast<double>(start) - clock.latency;
  double estimate = Estimate(clock, now);
  double error = target - estimate;
  if (!clock.synced || std::fabs(error) > kClockSnapSeconds * clock.rate) {
    // First request, or the output stalled or skipped: take its word.
    clock.anchorPos = target;
    clock.slope = clock.baseRate;
    clock.meanError = 0.0;
    clock.synced = true;
  } else {
    // Each request weighs by the length of its buffer, not by the time since
    // the previous one: the second of a back-to-back pair counts as much.
    double seconds = frames / clock.rate;
    clock.meanError += (error - clock.meanError) * std::min(1.0, seconds / kClockAverageSeconds);
    // An error that lasts means the output runs at another speed: learn it
    // slowly, so that the speed itself changes smoothly.
    clock.baseRate += clock.meanError / kClockLearnSeconds2 * seconds;
    clock.baseRate = std::clamp(clock.baseRate, 0.5 * clock.rate, 1.5 * clock.rate);
    double maxSkew = kClockMaxSkew * clock.rate;
    clock.anchorPos = estimate;
    clock.slope =
        clock.baseRate + std::clamp(clock.meanError / kClockSteerSeconds, -maxSkew, maxSkew);
  }
  clock.anchorTime = now;
  // Nothing beyond what has been handed out can be heard. The latency is only
  // an estimate, so the bound allows one more: that leaves slack for callbacks
  // that come late and outputs that run a little slow, while a stalled output
  // still stops the clock.
  clock.limit = static_cast<double>(start + frames) + clock.latency;
}

// Position heard at `now`, in frames.
uint64_t ClockRead(MusicClock& clock, double now) {
  if (!clock.running) return 0;
  double position = clock.synced ? Estimate(clock, now) : clock.reported;
  position = std::min(position, static_cast<double>(clock.length));
  clock.reported = std::max(clock.reported, position);
  return static_cast<uint64_t>(clock.reported);
}
