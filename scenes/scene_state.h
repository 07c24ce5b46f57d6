// State the scene renderer owns, in one struct so that a fresh run is one
// assignment: the rope texture it binds, the particle clock and frame factor it
// passes to the particle field, and what it does once per run. Beside it, the
// scene parameters the director's keys change.
#pragma once

// Things the scene renderer does once per run, as bits of sceneOnceFlags.
constexpr int kSoftBodyShiftFrozen = 2;   // soft-body shift taken
constexpr int kEndScreenClockStarted = 4; // first end-screen tick taken

struct SceneState {
  unsigned int currentRopeTexture = 0;  // GL texture name the rope draw binds
  float particleClock = 0;              // += 0.005 x frame factor per particle frame
  float particleFrameFactor = 0.01f;    // frame factor of the latest particle frame
  // The modelview matrix the display callback had when it called RenderScene;
  // the icosahedron chain's first arrangement returns to it.
  double sceneEntryModelview[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  int sceneOnceFlags = 0;
  int particleRestarted = 0;     // 1 once the particle field has been restarted
  float softBodyShift = 0;       // x shift of the soft body in (760, 823), frozen
  float closeUpDrift = 0;        // x drift of the soft body in its close-up window
  float endScreenFirstTick = 0;  // tick count of the end screen's first frame (ms)
  float endScreenElapsed = 0;    // ticks since then / 70
};
extern SceneState scene;

// The scene parameters the director's keys change (runtime/director.h turns
// each key into a change); the scenes and the rope layer read them.
struct DirectorState {
  float fieldOfView = 88.0f;  // degrees
  int turnIndexA = 0, turnIndexB = 0, turnIndexC = 0;  // quarter turns, 0..3
  float angleAB = 0, angleCD = 0, angleEF = 0;          // degrees
  int layerSwitch1 = 1;
  int layerSwitch2 = 0;
  int ropeASwing = 0, ropeBSwing = 0;  // ropes' centres follow a noise path
  int ropeDrawMode = 0;
  int ropeDrawFlag = 1;
  int effectSwitch = 0;
  int blendSwitch = 1;
  float pulseALevel = 1.0f, pulseAStamp = 0;
  float pulseBLevel = 1.0f, pulseBStamp = 0;
  float pulseCStamp = 0;
  float pulseDLevel = 1.0f, pulseDStamp = 22275.5f;
  float pulseEStamp = 0;
  float pulseFStamp = 0, pulseFRandom = 35.0f;
  float pulseGStamp = 0, pulseGRandom = 35.0f;
  float beatTime = 0;
  int textureStep = 6;  // picture index 6..27 of the picture flash
};

extern DirectorState director;

// Back to the start-of-run values of the scene state (tests, tools that
// replay a run from its start); the director state stays.
void ResetSceneState();
