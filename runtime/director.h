// The director: single key characters, from the live keyboard or the recorded
// key track, change a small set of scene parameters that the scene renderer
// and the rope objects read.
#pragma once

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

// Turns one character into one change of the director state (Escape ends the
// process with status 0). Characters without an action do nothing.
void HandleKey(unsigned char key);

// What Escape does: ends the process with status 0. The capture tool puts its
// own action here, so that an Escape in the key track lets it finish writing
// its frames and video before it ends.
extern void (*escapeAction)();
