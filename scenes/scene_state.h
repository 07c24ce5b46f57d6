// State the scene renderer owns and other parts read: the rope draw binds the
// current rope texture, the particle field reads the particle clock and the
// particle frame factor.
#pragma once

extern unsigned int currentRopeTexture;  // GL texture name bound by the rope draw
extern float particleClock;              // += 0.005 x frame factor per particle frame
extern float particleFrameFactor;        // frame factor of the latest particle frame

// The modelview matrix the display callback had when it called RenderScene;
// the icosahedron chain's first arrangement returns to it.
extern double sceneEntryModelview[16];

// Things the scene renderer does once per run, as bits of sceneOnceFlags.
constexpr int kSoftBodyShiftFrozen = 2;   // soft-body shift taken
constexpr int kEndScreenClockStarted = 4; // first end-screen tick taken

extern int sceneOnceFlags;
extern int particleRestarted;     // 1 once the particle field has been restarted
extern float softBodyShift;       // x shift of the soft body in (760, 823), frozen
extern float closeUpDrift;        // x drift of the soft body in its close-up (634, 730)
extern float endScreenFirstTick;  // tick count of the end screen's first frame (ms)
extern float endScreenElapsed;    // ticks since then / 70

// Back to the start-of-run values of everything above (tests, tools that
// replay a run from its start).
void ResetSceneState();
