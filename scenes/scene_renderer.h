// The scene renderer: draws the current frame's layers into the render target.
#pragma once

void RenderScene();
