// The scene renderer: draws the current frame's layers into the render
// target from the show state, as the scene's steps (scenes/scene_steps.h)
// left it.
#pragma once
#include "core/timeline.h"
#include "scenes/show_state.h"

// The GL and audio side of the scene's steps, run after them and before the
// drawing: the loader's asset step, the start of the music, the particle
// field's restart and compute passes.
void RunSceneDeviceSteps(ShowState& show, const FrameTime& time);
// Draws the frame at `time` (the scene sees time.sceneTime); changes only GL.
void RenderScene(const ShowState& show, const FrameTime& time);
