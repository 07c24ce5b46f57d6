// Every piece of state that lives on the GPU and carries from one frame to a
// later one: what a copy of the show's state must read back from GL, beside
// its CPU-side values, to be restored exactly, and when the frames write it.
// GPU state that every frame writes before it reads it (the lattice's
// density and velocity grids, the screen) carries nothing and is not listed;
// neither is what start-up fills once and nothing writes afterwards (the rad
// texture, the obstacle mask, the particle colour sets, the pictures).
// A checkpoint (runtime/checkpoint.h) holds all of these. What it cannot hold
// is the driver's own: how far its buffer of immediate-mode vertices has
// filled. Where a primitive reaches the end of that buffer the driver splits
// it, and a split line strip draws its joining pixel twice, so after a
// restore a few edge pixels of a frame can differ from the run that took the
// checkpoint, while every value of the show stays the same.
#pragma once

#include "core/timeline.h"

struct CarriedGpuState {
  const char* name;       // the GL objects
  const char* writtenBy;  // the code that writes them
  // Whether a frame whose scene sees demo time t writes them (the scene
  // renderer sees the previous frame's demo time).
  bool (*writtenAt)(float t);
};

namespace carried_gpu_state {
inline bool Always(float) { return true; }
inline bool DuringTheLoader(float t) { return t == 0; }
}  // namespace carried_gpu_state

inline constexpr CarriedGpuState kCarriedGpuState[] = {
    // The fluid: the collision relaxes binding 4 in place, the propagation
    // streams it into binding 5, and the two buffers swap every particle frame
    // (the show state's field.pingPong says which is which).
    {"particleField.distributionA, particleField.distributionB (D2Q9 fluid)",
     "StepParticleFluid", InParticleFieldWindow},
    // The particles ride the fluid; the first particle frame past the swell
    // puts them back on their grid.
    {"particleField.positions (921 600 particle positions)",
     "MoveParticles, RestartParticleField", InParticleFieldWindow},
    // Until the loader image appears (the loader's first second, demo time
    // 0) the loader draws nothing, so the copy pass shows what the scene
    // texture held; every frame of the show clears or covers it before
    // reading it. Which of the two colour buffers is the scene texture is
    // CPU state (targets).
    {"targets.sceneTexture (render target colour)", "DrawLoaderScreen",
     carried_gpu_state::DuringTheLoader},
    // The particle move program's uniforms (clock, frame factor, colour set)
    // are set after its dispatch, so each dispatch runs with the previous
    // particle frame's.
    {"particleField.moveProgram's uniforms", "StepParticleField", InParticleFieldWindow},
    // Each layer leaves the fixed-function state it set for the next, and the
    // frame's end resets only the matrices, texturing, lighting, the colour
    // and multisampling: blend function, depth mask, clear colour, line width,
    // point size, enabled capabilities, lights, materials, the bound texture
    // and buffers carry into the next frame.
    {"the GL context's fixed-function state", "every layer", carried_gpu_state::Always},
};
