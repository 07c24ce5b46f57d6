#include "core/timeline.h"

float demoClock = 0;
float previousDemoClock = 0;
float frameFactor = 0;
float demoTime = 0;
double demoTimeDouble = 0;
float softBodyPhase = 0;

float ComputeFrameFactor(float clock, float previousClock) {
  float factor = (clock - previousClock) / 0.0333f;
  return factor == 0 ? 1.0f : factor;
}

int InFirstPostWindow() { return kCloseUpWindow.Holds(demoTime) ? 1 : 0; }

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
