// The GL-free steps and decisions of the frame loop: the update, which
// composition a demo time takes, the two random flash layers, the soft-body
// frame inside its windows, the rope step of the build and where the picture
// lies in the window.
#pragma once
#include "core/timeline.h"
#include "objects/soft_object.h"
#include "scenes/show_state.h"

// How the screen is composed from the scene texture.
enum class Composition {
  Copy,       // demo time 0: loader screen or no music, copy and panel only
  FirstPost,  // close-up window: depth of field, then multiplied by the loader frame
  Flash,      // flash window: depth of field, then the two flash layers
  Default,    // vignette multiply inside the render target, depth of field to the screen
};
Composition ChooseComposition(float t);


constexpr int kFlashTextureCount = 12;
constexpr float kFlashLimit1 = 20;  // frame-factor units between re-picks of layer 1
constexpr float kFlashLimit2 = 30;  // ... of layer 2

// A post texture index 0..11 from the generator, drawn again until it differs
// from the previous one.
int PickFlashChoice(Mt19937State& generator, int previous);
// Adds the frame factor to the layer's timer; once it exceeds the limit, the
// switch time becomes t, the layer re-picks and its timer restarts.
// Returns whether it re-picked.
bool AdvanceFlashLayer(FlashLayer& layer, float& switchTime, Mt19937State& generator,
                       float limit, float factor, float t);
// The composition's steps at the frame's demo time: in the flash window the
// two layers advance, layer 1's pass seeing the switch time before layer 2's.
void StepComposition(ShowState& show, const FrameTime& time);

// The per-frame update after the scene: the frame clock takes this frame's
// demo time, the key track fires what the music has passed, the point cloud
// moves, the soft body and the ropes step.
void UpdateFrame(ShowState& show, const FrameTime& time);
// A whole frame's steps without its drawing: the scene's steps, the update,
// the composition's steps. (The GL steps, RunSceneDeviceSteps, are apart.)
void StepFrame(ShowState& show, const FrameTime& time);

// The fixed-step build takes a constant rope step; the realtime build scales
// it with the frame factor. Set by main from the build's KELVANE_FIXED_STEP
// definition and by the capture tool's --fixed-step.
extern bool fixedRopeStep;

// Inside the soft-body window: advance the phase, run the force pass, one
// Heun step of 0.001 (0.0001 in slow motion), then set the pressure constant.
// Returns whether the body was stepped.
bool StepSoftBodyFrame(CSoftObject& body, float& phase, float demoTime);

// Where the 16:9 picture lies in a window of the given size: the largest
// rectangle of the picture's shape, centred, with black bars on the other two
// sides. A window within 1 % of the picture's shape is filled whole, since a
// bar of a pixel or two would show and so small a stretch does not.
struct ScreenRect {
  int x, y, width, height;
};
ScreenRect FitPicture(int windowWidth, int windowHeight);
