// The scene renderer: draws the current frame's layers into the render target.
#pragma once

void RenderScene();
// The frame factor as the scene's per-frame steps use it: 1 when it is 0.
float SceneFrameFactor();
