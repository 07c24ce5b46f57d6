// The full-screen passes that turn the scene texture into the screen image.
#pragma once
#include "core/gl.h"

// Scene texture to the current target unchanged.
void CopyPass();
// Focus/blur of the scene texture weighted by the rad texture, t from the demo time.
void DofPass(float demoTime);
// Scene texture multiplied by an image with the given strength.
void MultiplyPass(GLuint image, float value);
// Scene texture, then an overlay that shrinks and fades over the 6 tenths of
// a second after its latest re-pick at switchTime (both in demo time).
void FlashOverlayPass(GLuint overlay, float demoTime, float switchTime);
// The panel over the whole screen; all GL attributes restored afterwards.
void PanelPass();
