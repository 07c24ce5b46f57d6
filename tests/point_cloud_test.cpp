// The point cloud without GL: scatter, motion and wrap, the per-frame reseed,
// the glint counters, the grid neighbour search against the plain loop, and
// the random star colours against a reference MT19937.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <random>
#include <vector>

#include "particles/point_cloud.h"
#include "runtime/random.h"
#include "runtime/timeline.h"

namespace {
// Every point far from every other: a lattice of spacing 3 filling the cube.
void PlaceOnLattice() {
  for (int k = 0; k < kCloudPoints; ++k) {
    cloudPositions[k][0] = -16.5 + 3 * (k % 12);
    cloudPositions[k][1] = -16.5 + 3 * (k / 12 % 12);
    cloudPositions[k][2] = -16.5 + 3 * (k / 144);
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
  double lowest = 0, highest = 0;
  for (int k = 0; k < kCloudPoints; ++k)
    for (int c = 0; c < 3; ++c) {
      ASSERT_GE(cloudPositions[k][c], -18.0);
      ASSERT_LE(cloudPositions[k][c], 18.0);
      ASSERT_EQ(cloudVelocities[k][c], 0.0);
      lowest = std::min(lowest, cloudPositions[k][c]);
      highest = std::max(highest, cloudPositions[k][c]);
    }
  EXPECT_LT(lowest, -17.5);  // spread over the whole cube, not a corner of it
  EXPECT_GT(highest, 17.5);
}

TEST(PointCloud, MovesAndWrapsAroundTheCube) {
  ScatterPointCloud();
  demoTime = 500;
  cloudPositions[0][2] = 17.99;   // vz = 0.05 for the first half of the points
  cloudPositions[0][0] = -17.99;  // vx = -0.06 for point 0
  UpdatePointCloud(1.0);
  EXPECT_NEAR(cloudPositions[0][2], -17.96, 1e-12);
  EXPECT_NEAR(cloudPositions[0][0], 17.95, 1e-12);

  // A long stall moves a point through the cube more than once.
  cloudPositions[0][0] = 0;
  UpdatePointCloud(1000.0);  // 1000 x -0.06 = -60: back in by 36 twice
  EXPECT_NEAR(cloudPositions[0][0], 12.0, 1e-9);
}

TEST(PointCloud, VelocitiesByIndexOutsideTheWindowAndRepeatingRandomOnesInside) {
  ScatterPointCloud();
  demoTime = 500;
  UpdatePointCloud(0.25);
  const int next = rand();
  srand(1000);
  EXPECT_EQ(next, rand());  // reseeded, nothing drawn
  EXPECT_DOUBLE_EQ(cloudVelocities[0][2], 0.05);
  EXPECT_DOUBLE_EQ(cloudVelocities[0][1], -0.16);
  EXPECT_DOUBLE_EQ(cloudVelocities[0][0], -0.06);
  EXPECT_NEAR(cloudVelocities[750][2], 0.035, 1e-9);
  EXPECT_NEAR(cloudVelocities[750][1], -0.145, 1e-9);
  EXPECT_NEAR(cloudVelocities[1499][0], 0.02 * 1499 / 1500 - 0.06, 1e-9);

  demoTime = 350;
  UpdatePointCloud(0.25);
  std::vector<double> once(&cloudVelocities[0][0], &cloudVelocities[0][0] + 3 * kCloudPoints);
  srand(1000);
  for (int k = 0; k < 3 * kCloudPoints; ++k) rand();
  const int afterWindowFrame = rand();
  srand(5);  // whatever happened to rand in between
  demoTime = 351;
  UpdatePointCloud(0.25);
  EXPECT_EQ(rand(), afterWindowFrame);
  std::vector<double> twice(&cloudVelocities[0][0], &cloudVelocities[0][0] + 3 * kCloudPoints);
  EXPECT_EQ(once, twice);
  int distinct = 0;
  for (int k = 0; k < kCloudPoints; ++k) {
    EXPECT_LE(std::fabs(cloudVelocities[k][2]), 0.1);
    EXPECT_LE(std::fabs(cloudVelocities[k][1]), 0.11);
    EXPECT_LE(std::fabs(cloudVelocities[k][0]), 0.12);
    if (k > 0 && cloudVelocities[k][0] != cloudVelocities[k - 1][0]) ++distinct;
  }
  EXPECT_GT(distinct, kCloudPoints - 50);
}

TEST(PointCloud, FirstPostWindowSlowsTheCloud) {
  ScatterPointCloud();
  cloudPositions[0][2] = 0;
  demoTime = 634;  // bound excluded: full step
  UpdatePointCloud(0.25);
  EXPECT_NEAR(cloudPositions[0][2], 0.25 * 0.05, 1e-12);
  demoTime = 700;
  cloudPositions[0][2] = 0;
  UpdatePointCloud(0.25);
  const float s = static_cast<float>(0.4 * 0.25 + 0.08 * 0.25 * 0.25 * (std::sin(3.5) + 0.5));
  EXPECT_NEAR(cloudPositions[0][2], s * 0.05, 1e-12);
}

TEST(PointCloud, GlintFiresEveryTwentySeventhFrameAndCyclesThroughTheCloud) {
  glintStart = 0;
  glintTime = -1;
  int counter = 0;
  for (int frame = 1; frame < 27; ++frame) EXPECT_EQ(StepGlint(counter, 700), 0.0f);
  EXPECT_EQ(glintStart, 0);
  EXPECT_EQ(StepGlint(counter, 700), 1.0f);  // the 27th frame starts a glint
  EXPECT_EQ(glintStart, 100);
  EXPECT_EQ(glintTime, 700);
  EXPECT_EQ(counter, 0);
  EXPECT_NEAR(StepGlint(counter, 705), 0.25f, 1e-6);  // half faded: a = 0.5
  EXPECT_EQ(StepGlint(counter, 720), 0.0f);

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
  EXPECT_EQ(counter, 2);        // a counter keeps its count meanwhile
  glintStart = 0;
  glintTime = -1;
}

TEST(PointCloud, GridSearchFindsExactlyThePlainLoopsPairsInItsOrder) {
  for (unsigned seed : {1u, 2u, 3u}) {
    srand(seed);
    ScatterPointCloud();
    ExpectSamePairsAsPlainLoop("scattered");
  }

  // Crowded against the faces, edges and corners of the cube, some points on
  // or just past the boundary: the plain distance does not wrap, so points
  // on opposite faces are no neighbours.
  srand(4);
  ScatterPointCloud();
  for (int k = 0; k < kCloudPoints; ++k)
    for (int c = 0; c < 3; ++c)
      if (rand() % 3 != 0) {
        const double depth = (rand() % 1000) / 400.0 - 0.3;  // -0.3 to 2.2 inside
        cloudPositions[k][c] = rand() % 2 ? 18.0 - depth : -18.0 + depth;
      }
  cloudPositions[10][0] = 18.0;
  cloudPositions[12][0] = -18.0;
  ExpectSamePairsAsPlainLoop("near the boundary");

  // Spread along the grid's cell faces, 2.4 apart, where pairs straddle cells.
  srand(5);
  ScatterPointCloud();
  for (int k = 0; k < kCloudPoints; ++k)
    cloudPositions[k][k % 3] = -18.0 + 2.4 * (rand() % 16) + (rand() % 3 - 1) * 1e-9;
  ExpectSamePairsAsPlainLoop("on cell faces");

  // Far apart except for a few placed pairs, at distances around the limit.
  PlaceOnLattice();
  cloudPositions[2][0] = cloudPositions[0][0] + 2.29;  // even difference: found
  cloudPositions[2][1] = cloudPositions[0][1];
  cloudPositions[2][2] = cloudPositions[0][2];
  for (int c = 0; c < 3; ++c) cloudPositions[1][c] = cloudPositions[0][c];  // odd: never
  for (int c = 0; c < 3; ++c) cloudPositions[41][c] = cloudPositions[7][c];
  cloudPositions[41][1] -= 2.3;  // at the limit: not below it
  std::vector<int> first, second;
  CollectNeighbourPairs(first, second);
  EXPECT_EQ(first, (std::vector<int>{0}));
  EXPECT_EQ(second, (std::vector<int>{2}));
}

TEST(PointCloud, RandomStarColourTakesFourUnitDrawsInItsOwnOrder) {
  RandomSeed(38);
  std::mt19937 reference(38);
  float rgba[4];
  RandomStarColour(7, rgba);
  const double d1 = reference() * 0x1p-32, d2 = reference() * 0x1p-32,
               d3 = reference() * 0x1p-32, d4 = reference() * 0x1p-32;
  EXPECT_FLOAT_EQ(rgba[0], 6 + 0.04 * d4);
  EXPECT_FLOAT_EQ(rgba[1], 0.2 + 0.04 * d3);
  EXPECT_FLOAT_EQ(rgba[2], 0.3 + 0.04 * d2);
  EXPECT_FLOAT_EQ(rgba[3], d1);
  RandomStarColour(1, rgba);
  reference.discard(3);
  const double d4Second = reference() * 0x1p-32;
  EXPECT_FLOAT_EQ(rgba[0], 0.8 + 0.04 * d4Second);
  EXPECT_EQ(RandomU32(), reference());
}
}  // namespace
