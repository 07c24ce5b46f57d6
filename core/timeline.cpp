#include "core/timeline.h"


float ComputeFrameFactor(float clock, float previousClock) {
  float factor = (clock - previousClock) / 0.0333f;
  return factor == 0 ? 1.0f : factor;
}

FrameTime NextFrameTime(const FrameClock& clock, float seconds, uint32_t ticksMs) {
  FrameTime time;
  time.clock = seconds;
  time.previousClock = clock.demoClock;
  time.frameFactor = ComputeFrameFactor(seconds, clock.demoClock);
  time.sceneTime = clock.demoTime;
  time.ticksMs = ticksMs;
  return WithUpdatePosition(time, seconds);
}

FrameTime WithUpdatePosition(FrameTime time, float seconds) {
  time.updateSeconds = seconds;
  time.demoTime = seconds * 10.0f;
  return time;
}

void AdvanceFrameClock(FrameClock& clock, const FrameTime& time) {
  clock.demoClock = time.clock;
  clock.demoTime = time.demoTime;
}

int InFirstPostWindow(float t) { return kCloseUpWindow.Holds(t) ? 1 : 0; }

bool InFlashWindow(float t) {
  constexpr TimeWindow kFirstFlashes{200, 300}, kLastFlashes{kSceneBaseTime + 230, 1690};
  return kFirstFlashes.Holds(t) || kLastFlashes.Holds(t);
}

bool InSlowMotionWindow(float t) {
  constexpr TimeWindow kFirstSlowMotion{460, 490}, kLateSlowMotion{737, 833};
  return kFirstSlowMotion.Holds(t) || kSlowMotionScene.Holds(t) || kLateSlowMotion.Holds(t);
}

bool InSoftBodyWindow(float t) {
  constexpr TimeWindow kSoftBodySpan{633, 1284};
  return kSoftBodySpan.Holds(t) && !kSoftBodyPause.Holds(t) && !kChainInterlude.Holds(t) &&
         !kLoweredRopeWindow.Holds(t);
}

bool InParticleFieldWindow(float t) {
  return kFieldOnlyWindow.Holds(t) || kFieldAgainWindow.Holds(t) || t < kIntroEnd;
}
