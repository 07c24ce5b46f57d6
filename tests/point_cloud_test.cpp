// The point cloud without GL: scatter, motion and wrap, the per-frame reseed,
// the glint counters and the grid neighbour search against the plain loop.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "core/timeline.h"
#include "particles/point_cloud.h"

namespace {
// The oracle: the plain double loop over all even index differences, with the
// neighbour test the show uses (distance in double, compared in single).
void CollectNeighbourPairsPlain(std::vector<int>& first, std::vector<int>& second) {
  first.clear();
  second.clear();
  for (int i = 0; i < kCloudPoints; ++i)
    for (int j = i + 2; j < kCloudPoints; j += 2) {
      const double dx = cloudPositions[i][0] - cloudPositions[j][0];
      const double dy = cloudPositions[i][1] - cloudPositions[j][1];
      const double dz = cloudPositions[i][2] - cloudPositions[j][2];
      if (static_cast<float>(std::sqrt(dx * dx + dy * dy + dz * dz)) < 2.3f) {
        first.push_back(i);
        second.push_back(j);
      }
    }
}

void ExpectSamePairsAsPlainLoop(const char* cloud) {
  std::vector<int> fastFirst, fastSecond, plainFirst, plainSecond;
  CollectNeighbourPairs(fastFirst, fastSecond);
  CollectNeighbourPairsPlain(plainFirst, plainSecond);
  EXPECT_EQ(fastFirst, plainFirst) << cloud;
  EXPECT_EQ(fastSecond, plainSecond) << cloud;
  EXPECT_GT(plainFirst.size(), 20u) << cloud << ": too few pairs to show anything";
}

TEST(PointCloud, ScatterFillsTheCubeAndTakesSixDrawsAPoint) {
  srand(77);
  for (int k = 0; k < 6 * kCloudPoints; ++k) rand();
  const int next = rand();
  srand(77);
  ScatterPointCloud();
  EXPECT_EQ(rand(), next);  // later users of rand see the sequence they expect
  for (int k = 0; k < kCloudPoints; ++k)
    for (int c = 0; c < 3; ++c) {
      ASSERT_GE(cloudPositions[k][c], -18.0);
      ASSERT_LE(cloudPositions[k][c], 18.0);
      ASSERT_EQ(cloudVelocities[k][c], 0.0);
    }
}

TEST(PointCloud, MovesWrapsAndRepeatsItsRandomVelocities) {
  ScatterPointCloud();
  demoTime = 500;
  cloudPositions[0][2] = 17.99;   // vz = 0.05 for the first half of the points
  cloudPositions[0][0] = -17.99;  // vx = -0.06 for point 0
  UpdatePointCloud(1.0);
  EXPECT_NEAR(cloudPositions[0][2], -17.96, 1e-12);
  EXPECT_NEAR(cloudPositions[0][0], 17.95, 1e-12);
  EXPECT_NEAR(cloudVelocities[750][2], 0.035, 1e-9);  // by index: u = 0.5
  EXPECT_NEAR(cloudVelocities[750][1], -0.145, 1e-9);
  cloudPositions[0][0] = 0;
  UpdatePointCloud(1000.0);  // a long stall: -60 comes back in by 36 twice
  EXPECT_NEAR(cloudPositions[0][0], 12.0, 1e-9);

  demoTime = 350;
  UpdatePointCloud(0.25);
  const double* velocities = &cloudVelocities[0][0];
  const std::vector<double> once(velocities, velocities + 3 * kCloudPoints);
  srand(1000);
  for (int k = 0; k < 3 * kCloudPoints; ++k) rand();
  const int afterWindowFrame = rand();
  srand(5);  // whatever happened to rand in between
  demoTime = 351;
  UpdatePointCloud(0.25);
  EXPECT_EQ(rand(), afterWindowFrame);
  EXPECT_EQ(once, std::vector<double>(velocities, velocities + 3 * kCloudPoints));
  EXPECT_NE(cloudVelocities[0][0], cloudVelocities[1][0]);
}

TEST(PointCloud, GlintFiresEveryTwentySeventhFrameAndCyclesThroughTheCloud) {
  glintStart = 0;
  glintTime = -1;
  int counter = 0;
  for (int frame = 1; frame < 27; ++frame) EXPECT_EQ(StepGlint(counter, 700), 0.0f);
  EXPECT_EQ(glintStart, 0);
  EXPECT_EQ(StepGlint(counter, 700), 1.0f);  // the 27th frame starts a glint
  EXPECT_EQ(glintStart, 100);
  EXPECT_NEAR(StepGlint(counter, 705), 0.25f, 1e-6);  // half faded: a = 0.5

  // The start is shared: another window's counter moves it on from 100.
  int other = 0;
  std::vector<int> starts;
  for (int fire = 2; fire <= 15; ++fire) {
    for (int frame = 0; frame < 27; ++frame) StepGlint(other, 900);
    starts.push_back(glintStart);
  }
  EXPECT_EQ(starts.front(), 200);
  EXPECT_EQ(starts[12], 1400);
  EXPECT_EQ(starts.back(), 0);  // the 15th fire wraps back to the first point
  EXPECT_EQ(counter, 1);        // a counter keeps its count meanwhile
  glintStart = 0;
  glintTime = -1;
}

TEST(PointCloud, GridSearchFindsExactlyThePlainLoopsPairsInItsOrder) {
  for (unsigned seed : {1u, 2u, 3u}) {
    srand(seed);
    ScatterPointCloud();
    ExpectSamePairsAsPlainLoop("scattered");
  }
  // Crowded against the faces, edges and corners, some on or past the
  // boundary: the plain distance does not wrap, so neither may the grid.
  srand(4);
  ScatterPointCloud();
  for (int k = 0; k < kCloudPoints; ++k)
    for (int c = 0; c < 3; ++c)
      if (rand() % 3 != 0) {
        const double depth = (rand() % 1000) / 400.0 - 0.3;  // -0.3 to 2.2 inside
        cloudPositions[k][c] = rand() % 2 ? 18.0 - depth : -18.0 + depth;
      }
  ExpectSamePairsAsPlainLoop("near the boundary");
  // On the grid's cell faces, where pairs straddle cells.
  for (int k = 0; k < kCloudPoints; ++k)
    cloudPositions[k][k % 3] = -18.0 + 2.4 * (rand() % 16) + (rand() % 3 - 1) * 1e-9;
  ExpectSamePairsAsPlainLoop("on cell faces");
  // Pairs 2.29 apart along an axis anywhere in the cube: a grid whose cells
  // were narrower than the limit would miss some of them.
  ScatterPointCloud();
  for (int a = 0; a + 2 < kCloudPoints; a += 4) {
    for (int c = 0; c < 3; ++c) cloudPositions[a + 2][c] = cloudPositions[a][c];
    const int axis = a / 4 % 3;
    cloudPositions[a + 2][axis] += cloudPositions[a][axis] < 0 ? 2.29 : -2.29;
  }
  ExpectSamePairsAsPlainLoop("near the limit");

  // A lattice of spacing 3 (no neighbours) with a row of points 1.145 apart
  // above it along x: every second one is a neighbour at 2.29, across every
  // cell boundary; point 134 sits at exactly 2.3 from point 132.
  const int stride[3] = {1, 12, 144};
  for (int k = 0; k < kCloudPoints; ++k)
    for (int c = 0; c < 3; ++c) cloudPositions[k][c] = -16.5 + 3 * (k / stride[c] % 12);
  std::vector<int> rowFirst, rowSecond;
  for (int k = 0; k < 32; ++k) {
    cloudPositions[k][0] = -18.0 + 1.145 * k;
    cloudPositions[k][1] = cloudPositions[k][2] = 18.3;
    if (k >= 2) rowFirst.push_back(k - 2), rowSecond.push_back(k);
  }
  for (int c = 0; c < 3; ++c) cloudPositions[134][c] = cloudPositions[132][c];
  cloudPositions[134][1] += 2.3;
  ExpectSamePairsAsPlainLoop("along one axis");
  std::vector<int> first, second;
  CollectNeighbourPairs(first, second);
  EXPECT_EQ(first, rowFirst);
  EXPECT_EQ(second, rowSecond);
}
}  // namespace
