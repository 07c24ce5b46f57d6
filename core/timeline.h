// The program-wide time quantities and the named time windows of the frame
// loop. The music position is the only clock: every frame reads it once for
// the demo clock and the frame factor, and the update reads it again for the
// demo time (tenths of a second of music), which every time window tests.
#pragma once

extern float demoClock;          // music position in seconds, start of the frame
extern float previousDemoClock;  // demoClock of the previous frame
extern float frameFactor;        // (demoClock - previousDemoClock) / 0.0333, 1 when that is 0
extern float demoTime;           // music position x 10, set at the start of UpdateFrame
extern double demoTimeDouble;    // the same value as a double (director stamps, scene renderer)
extern float softBodyPhase;      // advanced by 0.001 per simulated soft-body frame

// The shared scene base time: several windows are written relative to it.
constexpr int kSceneBaseTime = 1287;

// Frame factor for a clock step: the step over 0.0333 s, exactly 1 when 0.
float ComputeFrameFactor(float clock, float previousClock);

// 634 < T < 730: the first post window (also used by the point cloud).
int InFirstPostWindow();
// 200 < T < 300, or 1517 < T < 1690: the two random flash layers run.
bool InFlashWindow(float t);
// 460 < T < 490, 730 < T < 827 or 737 < T < 833.
bool InSlowMotionWindow(float t);
// 633 < T < 1284 outside (850, 1050), (1054, 1062.5) and (1062.5, 1072.5).
bool InSoftBodyWindow(float t);
