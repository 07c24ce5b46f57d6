#include "scenes/scene_state.h"

DirectorState director;
SceneState scene;

void ResetSceneState() { scene = SceneState{}; }
