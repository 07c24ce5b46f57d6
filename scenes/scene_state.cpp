#include "scenes/scene_state.h"

unsigned int currentRopeTexture = 0;
float particleClock = 0;
float particleFrameFactor = 0.01f;
double sceneEntryModelview[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
