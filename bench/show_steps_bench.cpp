// The CPU side of a run-up: the show's steps alone, without GL, from the
// start of the music to 60 s at 30 frames a second, with the shipped meshes
// and key track. Beside the run-up's whole time (bench/run_up_bench.sh) it
// gives the share of the run-up the steps take; the rest is the driver's
// (compute passes and state changes).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include "core/random.h"
#include "objects/program_objects.h"
#include "particles/point_cloud.h"
#include "runtime/frame_steps.h"
#include "runtime/key_track.h"
#include "scenes/show_state.h"

namespace {
constexpr int kFps = 30;
constexpr int kSeconds = 60;

// The show as start-up leaves it once the music starts.
ShowState StartedShow() {
  ShowState show;
  RandomSeed(show.generator, 38);
  ScatterPointCloud(show.pointCloud, show.rand);
  LoadProgramMeshes(show.softBody, show.wireBody);
  show.loader.loadingDone = show.loader.musicStarted = 1;
  return show;
}

void BM_ShowStepsTo60s(benchmark::State& state) {
  if (chdir(KELVANE_RUN_DIR) != 0) {
    state.SkipWithError("no run directory");
    return;
  }
  LoadKeyTrack("keys.dat");
  const ShowState start = StartedShow();
  for (auto _ : state) {
    ShowState show = start;
    for (int k = 0; k < kFps * kSeconds; ++k)
      StepFrame(show, NextFrameTime(show.clock, static_cast<float>(k) / kFps,
                                    static_cast<uint32_t>(k * 1000 / kFps)));
    benchmark::DoNotOptimize(show.ropeA.centre[0]);
  }
}
BENCHMARK(BM_ShowStepsTo60s)->Unit(benchmark::kSecond)->Iterations(1);
}  // namespace
