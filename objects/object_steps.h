// The physics steps of the simulated objects: the soft body's pressure and one
// frame's rope step. The frame loop chooses when and by how much (the show's
// windows, realtime or fixed step); these functions do the stepping.
#pragma once
#include "objects/rope_object.h"
#include "objects/soft_object.h"

constexpr float kRopeStep = 0.035f;  // rope step per frame at frame factor 1

// Largest rope step the two-stage integrator is run with; a frame's step
// above it is split into equal sub-steps (slow machines, low frame rates).
// The scheme holds a link mode of angular frequency w while w h < 2; the
// fastest chain mode of ropeA (6.25 x 340 / 1.3 = 40.4^2) sets h < 0.0495,
// and measured runs start to shake from about 0.055 and blow up by 0.14.
// 0.045 leaves a margin and keeps 25 frames per second (0.042) one step.
constexpr float kMaxRopeSubStep = 0.045f;

// One frame's rope step: 0.035 x frame factor, or 0.035 whatever the frame
// rate in the fixed-step build.
float RopeStep(float frameFactor, bool fixedStep);

// Pressure constant for a soft-body phase: 100000 + 0.001 e^(10 sin(140 phase) + 10).
float SoftBodyPressure(float phase);

// Exactly the two integrator stages with their limiter passes, one step.
void StepRopeOnce(CRopeObject& rope, float step);
// One frame's rope step, split into equal sub-steps of at most kMaxRopeSubStep.
void StepRopes(CRopeObject& rope, float step);
// StepRopes on two ropes at once, the first on a thread of its own that ends
// before this returns; the ropes share nothing, so the results are those of
// stepping one after the other.
void StepRopePair(CRopeObject& first, CRopeObject& second, float step);
