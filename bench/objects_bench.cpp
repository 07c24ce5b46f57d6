// The simulated objects: one frame of both ropes, one soft-body frame with the
// shipped mesh, and loading each shipped mesh. The rope frame runs beside the
// plain reference sequence of the rope test, for the ratio of the two.
// Goals on the 2-core build machine (median): both ropes at most a third of
// the reference sequence's time, soft body 0.3 ms.
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <string>

#include "objects/program_objects.h"
#include "objects/object_steps.h"
#include "runtime/frame_steps.h"
#include "tests/rope_reference.h"

namespace {
const std::string kObjects = std::string(KELVANE_RUN_DIR) + "/Objects/";

std::unique_ptr<CSoftObject> LoadSoftBody() {
  return std::make_unique<CSoftObject>(0, 0, 0, 41100.0f, 60.0f,
                                       (kObjects + "obj4flak1bone.lwo").c_str(), 826320.0f,
                                       0.05f, 1.0f);
}

// Both ropes' frames at 30 frames per second, the roots moving the way the
// scene renderer moves them, the pair stepped by `stepRopes`.
template <typename StepBoth>
void RunRopeFrames(benchmark::State& state, StepBoth stepRopes) {
  LibcRandom random;
  CRopeObject ropeA = MakeRopeA(random), ropeB = MakeRopeB(random);
  int frame = 0;
  for (auto _ : state) {
    ropeA.centre[0] = 0.5 * std::sin(0.01 * frame++);
    ropeA.angleA += 0.005f;
    ropeB.angleA -= 0.0025f;
    ropeA.PlaceRoots();
    ropeB.PlaceRoots();
    stepRopes(ropeA, ropeB, RopeStep(1.0f, false));
  }
}

// One frame's rope step of both ropes as the show runs it. Wall time, so that
// the rope stepped on a second thread is counted.
void BM_RopeFrameBothRopes(benchmark::State& state) { RunRopeFrames(state, StepRopePair); }
BENCHMARK(BM_RopeFrameBothRopes)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same, one rope after the other on one thread.
void BM_RopeFrameBothRopesOneThread(benchmark::State& state) {
  RunRopeFrames(state, [](CRopeObject& a, CRopeObject& b, float step) {
    StepRopes(a, step);
    StepRopes(b, step);
  });
}
BENCHMARK(BM_RopeFrameBothRopesOneThread)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same frames through the plain reference sequence the rope test checks
// the step against: the yardstick for the step's speed-up.
void BM_RopeFrameBothRopesReference(benchmark::State& state) {
  RunRopeFrames(state, [](CRopeObject& a, CRopeObject& b, float step) {
    rope_reference::ReferenceStep(a, step);
    rope_reference::ReferenceStep(b, step);
  });
}
BENCHMARK(BM_RopeFrameBothRopesReference)->Unit(benchmark::kMillisecond)->UseRealTime();

// One simulated soft-body frame (force pass, Heun step, pressure rule).
void BM_SoftBodyFrame(benchmark::State& state) {
  auto body = LoadSoftBody();
  float phase = 0;
  for (auto _ : state) StepSoftBodyFrame(*body, phase, 700.0f);
}
BENCHMARK(BM_SoftBodyFrame)->Unit(benchmark::kMillisecond);

void BM_LoadSoftBodyMesh(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(LoadSoftBody());
}
BENCHMARK(BM_LoadSoftBodyMesh)->Unit(benchmark::kMillisecond);

void BM_LoadWireBodyMesh(benchmark::State& state) {
  for (auto _ : state)
    benchmark::DoNotOptimize(std::make_unique<CSoftObject>(
        0, 0, 0, 19990.0f, 1990.0f, (kObjects + "glowa32.lwo").c_str(), 0.0f, 0.7f, 1.0f));
}
BENCHMARK(BM_LoadWireBodyMesh)->Unit(benchmark::kMillisecond);
}  // namespace
