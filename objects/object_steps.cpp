// The soft body's pressure and the rope step.
#include "objects/object_steps.h"

#include <cmath>
#include <system_error>
#include <thread>

float RopeStep(float frameFactor, bool fixedStep) {
  return fixedStep ? kRopeStep : kRopeStep * frameFactor;
}

float SoftBodyPressure(float phase) {
  const float angle = 140.0f * phase;
  const float sine = float(std::sin(double(angle)));
  const float growth = float(std::exp(double(10.0f * sine + 10.0f)));
  return 100000.0f + 0.001f * growth;
}

void StepRopeOnce(CRopeObject& rope, float step) { rope.AdvanceStep(step); }

void StepRopes(CRopeObject& rope, float step) {
  // A step above the bound (a slow frame in the realtime build) runs as
  // equal sub-steps below it; at 25 frames per second and above it is one.
  int parts = 1;
  if (std::isfinite(step) && step > kMaxRopeSubStep)
    parts = int(std::ceil(double(step) / double(kMaxRopeSubStep)));
  if (parts > 64) parts = 64;  // a stalled clock must not stall the frame
  const float subStep = step / float(parts);
  for (int k = 0; k < parts; ++k) StepRopeOnce(rope, subStep);
}

void StepRopePair(CRopeObject& first, CRopeObject& second, float step) {
  std::thread worker;
  try {
    worker = std::thread([&first, step] { StepRopes(first, step); });
  } catch (const std::system_error&) {
    StepRopes(first, step);  // no thread to be had: one after the other
  }
  // The worker ends before this returns, however the second rope's step ends.
  struct JoinOnReturn {
    std::thread& thread;
    ~JoinOnReturn() {
      if (thread.joinable()) thread.join();
    }
  } joinOnReturn{worker};
  StepRopes(second, step);
}
