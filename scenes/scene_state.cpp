#include "scenes/scene_state.h"

DirectorState director;
unsigned int currentRopeTexture = 0;
float particleClock = 0;
float particleFrameFactor = 0.01f;
double sceneEntryModelview[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

int sceneOnceFlags = 0;
int particleRestarted = 0;
float softBodyShift = 0;
float closeUpDrift = 0;
float endScreenFirstTick = 0;
float endScreenElapsed = 0;

void ResetSceneState() {
  currentRopeTexture = 0;
  particleClock = 0;
  particleFrameFactor = 0.01f;
  for (int i = 0; i < 16; ++i) sceneEntryModelview[i] = i % 5 == 0 ? 1 : 0;
  sceneOnceFlags = 0;
  particleRestarted = 0;
  softBodyShift = 0;
  closeUpDrift = 0;
  endScreenFirstTick = 0;
  endScreenElapsed = 0;
}
