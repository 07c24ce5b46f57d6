// Playback clock of one music stream. The audio output asks for whole buffers
// at irregular moments; reading the position straight from those requests
// would make it jump by a buffer at a time, and the frame factor would swing
// between about 0 and 2. This clock instead runs on a monotonic time source
// between requests and is steered gently towards what the requests say, so
// successive frames see evenly growing positions. It never goes backwards and
// never passes the end of the track. No locking here: the owner serialises
// the callback and the readers.
#pragma once
#include <cstdint>

struct MusicClock {
  double rate = 44100.0;     // frames per second of the track
  uint64_t length = 0;       // track length in frames
  double latency = 0.0;      // frames between handing a frame to the output and hearing it
  bool running = false;      // started: the position may move
  bool synced = false;       // at least one output request seen since the start
  bool freeRunning = false;  // no output: the position runs on the time source alone
  double anchorTime = 0.0;   // seconds of the time source
  double anchorPos = 0.0;    // frames heard at anchorTime (may be negative before the first is heard)
  double slope = 0.0;        // frames per second from the anchor
  double limit = 0.0;        // the estimate stops here: a buffer past what has been handed out
  double reported = 0.0;     // largest position read since the start
  double meanError = 0.0;    // recent requests' error against the estimate, frames, smoothed
  double baseRate = 0.0;     // learnt speed of the output, frames per second
};

// Errors larger than this (in seconds) are jumped over instead of steered out.
constexpr double kClockSnapSeconds = 0.25;
// The error is averaged over about this much output, so that requests that
// come in bursts steer as much as evenly spaced ones.
constexpr double kClockAverageSeconds = 0.25;
// Time over which the averaged error is steered out, and the largest speed
// change used to do it (a fraction of the nominal rate).
constexpr double kClockSteerSeconds = 1.0;
constexpr double kClockMaxSkew = 0.1;
// How fast a lasting error teaches the clock the output's true speed (an
// output that runs slow, or a sound card whose crystal is off), in seconds
// squared; 4 steer times squared settles without overshoot.
constexpr double kClockLearnSeconds2 = 4.0 * kClockSteerSeconds * kClockSteerSeconds;

// A stopped clock for a track of the given length and rate.
void ClockReset(MusicClock& clock, double rate, uint64_t length, double latencyFrames);
// Playback begins at frame `from` at time `now`. A free-running clock moves
// at the nominal rate from there; otherwise it waits for the output requests.
void ClockStart(MusicClock& clock, uint64_t from, double now, bool freeRunning);
// The output took `frames` frames starting at track frame `start` at time
// `now` (start is at most the track length; the part past the end is silence).
void ClockOnOutput(MusicClock& clock, double now, uint64_t start, uint64_t frames);
// Position heard at time `now`, in frames: 0 before the start, otherwise
// never less than an earlier reading and never past the track length.
uint64_t ClockRead(MusicClock& clock, double now);
