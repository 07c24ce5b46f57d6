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

int InFirstPostWindow() { return demoTime > 634 && demoTime < 730 ? 1 : 0; }

bool InFlashWindow(float t) {
  return (t > 200 && t < 300) || (t > kSceneBaseTime + 230 && t < 1690);
}

bool InSlowMotionWindow(float t) {
  return (t > 460 && t < 490) || (t > 730 && t < 827) || (t > 737 && t < 833);
}

bool InSoftBodyWindow(float t) {
  return t > 633 && t < 1284 && !(t > 850 && t < 1050) && !(t > 1054 && t < 1062.5f) &&
         !(t > 1062.5f && t < 1072.5f);
}
