// The point cloud: one frame's neighbour search (the grid) and one frame's
// motion, on a scattered cloud that has drifted for a second with the
// neighbour window's random velocities.
// Goal on the 2-core build machine (median): grid neighbour search 2 ms.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <vector>

#include "core/random.h"
#include "particles/point_cloud.h"

namespace {
PointCloudState cloud;
LibcRandom random;

void PrepareCloud() {
  random = LibcRandomSeeded(1);
  ScatterPointCloud(cloud, random);
  for (int frame = 0; frame < 30; ++frame) UpdatePointCloud(cloud, random, 0.25, 350);
}

void BM_NeighbourPairsGrid(benchmark::State& state) {
  PrepareCloud();
  std::vector<int> first, second;
  for (auto _ : state) {
    CollectNeighbourPairs(cloud, first, second);
    benchmark::DoNotOptimize(first.data());
  }
  state.counters["pairs"] = static_cast<double>(first.size());
}
BENCHMARK(BM_NeighbourPairsGrid)->Unit(benchmark::kMillisecond);

void BM_UpdatePointCloud(benchmark::State& state) {
  PrepareCloud();
  for (auto _ : state) UpdatePointCloud(cloud, random, 0.25, 350);
}
BENCHMARK(BM_UpdatePointCloud)->Unit(benchmark::kMillisecond);
}  // namespace
