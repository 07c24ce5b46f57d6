// Everything that changes while the show plays, as one value: the frame
// clock, both random streams, the four simulated objects, the point cloud,
// the particle field's bookkeeping, the loader, the scene, the director's
// parameters, the wire layer, the composition's flash layers and the key
// track's progress. A copy holds the whole show at a frame (its GPU side is
// listed in runtime/carried_gpu_state.h); assigning it back restores it.
// What start-up builds once (GL names, programs, pictures, the key track as
// read) lives apart, with the code that builds it.
#pragma once
#include <vector>

#include "core/random.h"
#include "core/timeline.h"
#include "objects/program_objects.h"
#include "particles/particle_field_state.h"
#include "particles/point_cloud.h"
#include "scenes/loader_screen.h"
#include "scenes/scene_state.h"

// One flash layer of the composition: its current post texture index and
// frame-factor timer.
struct FlashLayer {
  int choice = 0;
  float timer = 0;
};

// What the composition's steps leave for its passes.
struct CompositionState {
  FlashLayer flashLayer1, flashLayer2;
  // Demo time of the latest re-pick of either layer; drives the overlay's zoom and fade.
  float overlaySwitchTime = 0;
  // The switch time as layer 1's pass sees it: before layer 2's step.
  float layer1SwitchTime = 0;
};

struct ShowState {
  FrameClock clock;
  Mt19937State generator;  // the MT19937 stream, seeded with 38 at start-up
  LibcRandom rand;         // the C library sequence; unseeded while the ropes are built
  CRopeObject ropeA = MakeRopeA(rand);
  CRopeObject ropeB = MakeRopeB(rand);
  CSoftObject softBody;  // empty until start-up loads its mesh
  CSoftObject wireBody;
  float softBodyPhase = 0;  // advanced by 0.001 per simulated soft-body frame
  PointCloudState pointCloud;
  ParticleFieldState field;
  LoaderState loader;
  SceneState scene;
  ScenePlan plan;
  DirectorState director;
  WireLayerState wireLayer;
  CompositionState composition;
  // The key track entries that have fired, by entry; empty until the first.
  std::vector<bool> keysFired;
};
