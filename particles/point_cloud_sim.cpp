// The point cloud's GL-free half: scatter, per-frame motion, the glint
// counters, the neighbour search and the random star colours.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>

#include "core/random.h"
#include "core/timeline.h"
#include "particles/point_cloud.h"

namespace {
constexpr double kCloudEdge = 2 * kCloudHalfEdge;
constexpr int kGlintPeriod = 27;        // frames between two glints of one window
constexpr int kGlintStride = 100;       // points the glint moves on per glint
constexpr int kLastGlintStart = 1400;   // 80 glint vertices from here still fit
constexpr float kNeighbourDistance = 2.3f;

// The neighbour grid: 15 cells of 2.4 per axis, one cell wider than the
// neighbour distance, so every pair closer than 2.3 lies in adjacent cells.
// Even and odd indices get separate grids because only pairs with an even
// index difference count.
constexpr int kGridCells = 15;
constexpr double kCellEdge = kCloudEdge / kGridCells;
constexpr int kGridSize = 2 * kGridCells * kGridCells * kGridCells;
// The grid as one search fills it: where each cell's points start in
// `points`, the points cell by cell, and each point's cell.
struct NeighbourGrid {
  std::vector<int> cellStart = std::vector<int>(kGridSize + 1, 0);
  std::vector<int> points = std::vector<int>(kCloudPoints, 0);
  std::vector<std::array<int, 3>> pointCell = std::vector<std::array<int, 3>>(kCloudPoints);
};


// Cell coordinate of one point coordinate; points outside the cube (or not
// numbers) go to the border cells, which keeps adjacent points adjacent.
int CellCoordinate(double c) {
  const double cell = std::floor((c + kCloudHalfEdge) / kCellEdge);
  if (!(cell >= 0)) return 0;
  if (cell > kGridCells - 1) return kGridCells - 1;
  return static_cast<int>(cell);
}

int CellIndex(int parity, int x, int y, int z) {
  return ((parity * kGridCells + x) * kGridCells + y) * kGridCells + z;
}

// The neighbour test: distance in double precision, compared in single.
bool AreNeighbours(const PointCloudState& cloud, int i, int j) {
  const double dx = cloud.positions[i][0] - cloud.positions[j][0];
  const double dy = cloud.positions[i][1] - cloud.positions[j][1];
  const double dz = cloud.positions[i][2] - cloud.positions[j][2];
  return static_cast<float>(std::sqrt(dx * dx + dy * dy + dz * dz)) < kNeighbourDistance;
}

// Sorts the points into the grid by counting, each cell's points ascending.
void FillNeighbourGrid(const PointCloudState& cloud, NeighbourGrid& grid) {
  std::vector<int>& start = grid.cellStart;
  for (int i = 0; i < kCloudPoints; ++i) {
    for (int c = 0; c < 3; ++c) grid.pointCell[i][c] = CellCoordinate(cloud.positions[i][c]);
    const auto& cell = grid.pointCell[i];
    ++start[CellIndex(i & 1, cell[0], cell[1], cell[2]) + 1];
  }
  for (int cell = 0; cell < kGridSize; ++cell) start[cell + 1] += start[cell];
  std::vector<int> fill(start.begin(), start.end() - 1);
  for (int i = 0; i < kCloudPoints; ++i) {
    const auto& cell = grid.pointCell[i];
    grid.points[fill[CellIndex(i & 1, cell[0], cell[1], cell[2])]++] = i;
  }
}
}  // namespace

void ScatterPointCloud(PointCloudState& cloud, LibcRandom& random) {
  for (int k = 0; k < kCloudPoints; ++k) {
    for (int c = 0; c < 3; ++c)
      cloud.positions[k][c] = (Rand15(random) / 32767.0 - 0.5) * kCloudEdge;
    for (int c = 0; c < 3; ++c) Rand15(random);  // taken and discarded
    for (int c = 0; c < 3; ++c) cloud.velocities[k][c] = 0;
  }
}

void UpdatePointCloud(PointCloudState& cloud, LibcRandom& random, double step, float t) {
  // The same seed every frame: the random velocities repeat from frame to frame.
  random = LibcRandomSeeded(1000);
  const bool randomVelocities = kNeighbourWindow.Holds(t);
  float s = static_cast<float>(step);
  if (InFirstPostWindow(t))
    s = static_cast<float>(0.4 * s + 0.08 * s * step * (std::sin(0.005 * t) + 0.5));
  for (int i = 0; i < kCloudPoints; ++i) {
    double v[3];
    if (randomVelocities) {
      v[2] = (Rand15(random) / 32767.0f - 0.5) * 0.2;
      v[1] = (Rand15(random) / 32767.0f - 0.5) * 0.22;
      v[0] = (Rand15(random) / 32767.0f - 0.5) * 0.24;
    } else {
      const float u = i / 1500.0f;
      v[2] = i < kCloudPoints / 2 ? 0.05 : u * 0.02 + 0.025;
      v[1] = u * 0.03 - 0.16;
      v[0] = u * 0.02 - 0.06;
    }
    for (int c = 0; c < 3; ++c) {
      double& p = cloud.positions[i][c];
      p += s * v[c];
      cloud.velocities[i][c] = v[c];
      if (!std::isfinite(p)) continue;  // the wrap loops below would never end
      while (p < -kCloudHalfEdge) p += kCloudEdge;
      while (p > kCloudHalfEdge) p -= kCloudEdge;
    }
  }
}

float StepGlint(PointCloudState& cloud, int window, float t) {
  int& counter = cloud.glintCounters[window];
  if (++counter % kGlintPeriod == 0) {
    counter = 0;
    cloud.glintTime = t;
    cloud.glintStart += kGlintStride;
    if (cloud.glintStart > kLastGlintStart) cloud.glintStart = 0;
  }
  const float a = std::clamp(1 - (t - cloud.glintTime) / 10, 0.0f, 1.0f);
  return a * a;
}

void StepPointCloudLook(PointCloudState& cloud, Mt19937State& generator, float t,
                        PointCloudLook& look) {
  if (kCloseUpWindow.Holds(t)) look.glintFade[kCloseUpGlint] = StepGlint(cloud, kCloseUpGlint, t);
  if (kSoftBodyPause.Holds(t)) look.glintFade[kPauseGlint] = StepGlint(cloud, kPauseGlint, t);
  if (kNeighbourWindow.Holds(t))
    look.glintFade[kNeighbourGlint] = StepGlint(cloud, kNeighbourGlint, t);
  // The star passes of colours 1 to 7 take their colours in this order.
  if (t > kStarsAfter && kCloseUpWindow.Holds(t))
    for (int colour = 1; colour <= kStarColours; ++colour)
      RandomStarColour(generator, colour, look.starColours[colour - 1]);
}

void CollectNeighbourPairs(const PointCloudState& cloud, std::vector<int>& first,
                           std::vector<int>& second) {
  first.clear();
  second.clear();
  NeighbourGrid grid;
  FillNeighbourGrid(cloud, grid);
  std::vector<int> found;
  for (int i = 0; i < kCloudPoints; ++i) {
    found.clear();
    const auto& cell = grid.pointCell[i];
    const int x0 = std::max(cell[0] - 1, 0), x1 = std::min(cell[0] + 1, kGridCells - 1);
    const int y0 = std::max(cell[1] - 1, 0), y1 = std::min(cell[1] + 1, kGridCells - 1);
    const int z0 = std::max(cell[2] - 1, 0), z1 = std::min(cell[2] + 1, kGridCells - 1);
    for (int x = x0; x <= x1; ++x)
      for (int y = y0; y <= y1; ++y) {
        // The z run of cells is contiguous in the grid.
        const int* begin = grid.points.data() + grid.cellStart[CellIndex(i & 1, x, y, z0)];
        const int* end = grid.points.data() + grid.cellStart[CellIndex(i & 1, x, y, z1) + 1];
        for (const int* j = begin; j != end; ++j)
          if (*j > i && AreNeighbours(cloud, i, *j)) found.push_back(*j);
      }
    // The plain loop meets the partners of i in index order.
    std::sort(found.begin(), found.end());
    for (int j : found) {
      first.push_back(i);
      second.push_back(j);
    }
  }
}

void RandomStarColour(Mt19937State& generator, int colour, float rgba[4]) {
  // Base red, green and blue of colours 1 to 7; colour 7's red of 6 is
  // clamped to 1 by the GL.
  static const float kBase[7][3] = {{0.8f, 0.4f, 0.3f}, {0.9f, 0.4f, 0.3f}, {1.0f, 0.4f, 0.3f},
                                    {0.7f, 0.3f, 0.3f}, {0.9f, 0.4f, 0.6f}, {0.9f, 0.3f, 0.6f},
                                    {6.0f, 0.2f, 0.3f}};
  const float* base = kBase[colour - 1];
  const double d1 = RandomUnit(generator), d2 = RandomUnit(generator), d3 = RandomUnit(generator),
               d4 = RandomUnit(generator);
  rgba[0] = static_cast<float>(base[0] + 0.04 * d4);
  rgba[1] = static_cast<float>(base[1] + 0.04 * d3);
  rgba[2] = static_cast<float>(base[2] + 0.04 * d2);
  rgba[3] = static_cast<float>(d1);
}
