// The scene's state: what the scene's steps carry from frame to frame
// (SceneState), what they decide for the frame's drawing (ScenePlan), and the
// scene parameters the director's keys change (DirectorState).
#pragma once
#include "core/random.h"
#include "particles/point_cloud.h"

// Things the scene does once per run, as bits of sceneOnceFlags.
constexpr int kSoftBodyShiftFrozen = 2;   // soft-body shift taken
constexpr int kEndScreenClockStarted = 4; // first end-screen tick taken

struct SceneState {
  float particleClock = 0;              // += 0.005 x frame factor per particle frame
  float particleFrameFactor = 0.01f;    // frame factor of the latest particle frame
  int sceneOnceFlags = 0;
  int particleRestarted = 0;     // 1 once the particle field has been restarted
  float softBodyShift = 0;       // x shift of the soft body in (760, 823), frozen
  float closeUpDrift = 0;        // x drift of the soft body in its close-up window
  float endScreenFirstTick = 0;  // tick count of the end screen's first frame (ms)
  float endScreenElapsed = 0;    // ticks since then / 70
};

// The wire layer's program-lifetime state, changed only in frames it runs.
struct WireLayerState {
  float brightness = 1.0f;          // scales the layer's colour on the next frame
  float size1 = 0, size2 = 0;       // random offsets of the two icosahedra's sizes
  float timer1 = 0, timer2 = 0, timer3 = 0;  // frame-factor counters
  float turn1 = 0, turn2 = 0;       // accumulated turn angles, degrees
};

// The pulse figures, in the order they draw.
enum PulseFigure { kTriangleNest, kRingPulse, kWideRingPulse, kTriangleFrame, kBeam,
                   kChevronPair, kSlidingChevron, kPulseFigures };
constexpr int kChainLinks = 8;
constexpr int kGreetingCards = 15;

// What the scene's steps decided for one frame's drawing, in the order the
// scene draws: the drawing reads these and changes nothing. Random values
// are drawn here, in the order the drawing uses them.
struct ScenePlan {
  bool loaderFrame = true;   // the loader screen has the whole frame
  int assetStep = -1;        // asset-table step the loader performs in this frame, or -1
  bool startMusic = false;   // the first frame of the main phase starts the music
  bool particleFrame = false;  // the particle field steps and draws
  bool restartField = false;   // ... after putting its particles back on the grid
  bool particlesOnly = false;  // ... and the title sequence ends the frame
  float clearColour[3] = {};   // the swell's flickering clear colour: red, green, blue
  // The ropes' centres as the frame began, before their drift: the scene's
  // shift, the orbit camera and the turn about the centre's x use these.
  double centreA[3] = {}, centreB[3] = {};
  float wireBrightness = 1;    // the wire layer's colour: the brightness before its step
  bool pulseShown[kPulseFigures] = {};
  double beamUp = 0, beamAcross = 0;
  float flashCopyShift[3][3] = {};  // x, y, z shift of each copy of the picture flash
  PointCloudLook cloud;
  double chainJitter[kChainLinks][3] = {};  // x, y, z shake of each chain link, unscaled
  // The generator as the rope layer's flickering bolts and threads begin:
  // they draw one value per segment from a copy of it.
  Mt19937State effectFlicker;
  float greetingShake[kGreetingCards][3] = {};  // x, y, z shake of each greeting card
};

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

