// The GL-free decisions of the frame loop: which composition a demo time
// takes, the two random flash layers, the soft-body frame inside its windows,
// the rope step of the build and where the picture lies in the window.
#pragma once
#include "objects/soft_object.h"

// How the screen is composed from the scene texture.
enum class Composition {
  Copy,       // demo time 0: loader screen or no music, copy and panel only
  FirstPost,  // close-up window: depth of field, then multiplied by the loader frame
  Flash,      // flash window: depth of field, then the two flash layers
  Default,    // vignette multiply inside the render target, depth of field to the screen
};
Composition ChooseComposition(float t);

// One flash layer: its current post texture index and frame-factor timer.
struct FlashLayer {
  int choice = 0;
  float timer = 0;
};
extern FlashLayer flashLayer1, flashLayer2;
// Demo time of the latest re-pick of either layer; drives the overlay's zoom and fade.
extern float overlaySwitchTime;

constexpr int kFlashTextureCount = 12;
constexpr float kFlashLimit1 = 20;  // frame-factor units between re-picks of layer 1
constexpr float kFlashLimit2 = 30;  // ... of layer 2

// A post texture index 0..11 from the generator, drawn again until it differs
// from the previous one.
int PickFlashChoice(int previous);
// Adds the frame factor to the layer's timer; once it exceeds the limit, the
// overlay switch time becomes t, the layer re-picks and its timer restarts.
// Returns whether it re-picked.
bool AdvanceFlashLayer(FlashLayer& layer, float limit, float factor, float t);

// The fixed-step build takes a constant rope step; the realtime build scales
// it with the frame factor. Set by main from the build's KELVANE_FIXED_STEP
// definition and by the capture tool's --fixed-step.
extern bool fixedRopeStep;

// Inside the soft-body window: advance softBodyPhase, run the force pass, one
// Heun step of 0.001 (0.0001 in slow motion), then set the pressure constant.
// Returns whether the body was stepped.
bool StepSoftBodyFrame(CSoftObject& body, float demoTime);

// Where the 16:9 picture lies in a window of the given size: the largest
// rectangle of the picture's shape, centred, with black bars on the other two
// sides. A window within 1 % of the picture's shape is filled whole, since a
// bar of a pixel or two would show and so small a stretch does not.
struct ScreenRect {
  int x, y, width, height;
};
ScreenRect FitPicture(int windowWidth, int windowHeight);
