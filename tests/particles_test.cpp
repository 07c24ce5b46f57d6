// The point cloud without GL (drift constants, the wrap, the per-frame random
// velocities, the glint, the neighbour grid against the plain double loop)
// and the picture and text readers.
#include <gtest/gtest.h>

#include <unistd.h>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "core/random.h"
#include "core/timeline.h"
#include "particles/file_readers.h"
#include "particles/point_cloud.h"

namespace {
// Every pair (i, j), i < j, with an even index difference closer than 2.3
// (distance in double, compared in single), in index order.
void PlainNeighbourPairs(const PointCloudState& cloud, std::vector<int>& first,
                         std::vector<int>& second) {
  for (int i = 0; i < kCloudPoints; ++i)
    for (int j = i + 2; j < kCloudPoints; j += 2) {
      double sum = 0;
      for (int c = 0; c < 3; ++c) sum += std::pow(cloud.positions[i][c] - cloud.positions[j][c], 2);
      if (float(std::sqrt(sum)) < 2.3f) first.push_back(i), second.push_back(j);
    }
}

void ExpectSamePairsAsPlainLoop(const PointCloudState& cloud, const char* what) {
  std::vector<int> first, second, plainFirst, plainSecond;
  CollectNeighbourPairs(cloud, first, second);
  PlainNeighbourPairs(cloud, plainFirst, plainSecond);
  EXPECT_EQ(first, plainFirst) << what;
  EXPECT_EQ(second, plainSecond) << what;
  EXPECT_GT(plainFirst.size(), 20u) << what;
}

TEST(PointCloud, DriftsByIndexWrapsAndScalesItsStepInTheCloseUp) {
  // Velocity by index: x 0.02 u - 0.06, y 0.03 u - 0.16, z 0.05 for the first
  // half and 0.02 u + 0.025 after, u = index / 1500.
  const std::pair<int, std::array<double, 3>> rows[] = {
      {0, {-0.06, -0.16, 0.05}}, {749, {-0.0500133333, -0.14502, 0.05}},
      {750, {-0.05, -0.145, 0.035}}, {1499, {-0.0400133333, -0.13002, 0.0449866667}}};
  PointCloudState cloud;
  LibcRandom random = LibcRandomSeeded(3);
  ScatterPointCloud(cloud, random);
  for (int k = 0; k < 3 * kCloudPoints; ++k) ASSERT_LE(std::fabs((&cloud.positions[0][0])[k]), 18.0);
  // Outside the windows a step of 1; in the close-up 0.4 + 0.08 (sin(0.005 T) + 0.5).
  for (const auto& [t, scale] : {std::pair{500.0f, 1.0}, std::pair{650.0f, 0.43134438923759133}}) {
    double before[kCloudPoints][3];
    std::copy(&cloud.positions[0][0], &cloud.positions[0][0] + 3 * kCloudPoints, &before[0][0]);
    UpdatePointCloud(cloud, random, 1.0, t);
    for (const auto& [index, v] : rows)
      for (int c = 0; c < 3; ++c) {
        EXPECT_NEAR(cloud.velocities[index][c], v[c], 1e-8) << index << " " << c;
        double moved = cloud.positions[index][c] - before[index][c];
        if (std::fabs(moved) > 18) moved -= std::copysign(36.0, moved);  // wrapped
        EXPECT_NEAR(moved, v[c] * scale, 1e-7) << t << " " << index << " " << c;
      }
  }
  cloud.positions[0][2] = 17.99;
  cloud.positions[0][0] = -17.99;
  UpdatePointCloud(cloud, random, 1.0, 500);
  EXPECT_NEAR(cloud.positions[0][2], -17.96, 1e-12);
  EXPECT_NEAR(cloud.positions[0][0], 17.95, 1e-12);
  cloud.positions[0][0] = 0;
  UpdatePointCloud(cloud, random, 1000.0, 500);  // a long stall: -60 comes back in by 36 twice
  EXPECT_NEAR(cloud.positions[0][0], 12.0, 1e-9);
}

TEST(PointCloud, NeighbourWindowDrawsTheSameRandomVelocitiesEveryFrame) {
  // Seed 1000 every frame; per point z, y, x from rand: (r / 32767 - 0.5)
  // times 0.2, 0.22 and 0.24.
  srand(1000);
  std::vector<double> expected;
  for (int k = 0; k < kCloudPoints; ++k) {
    const double z = ((rand() & 0x7FFF) / 32767.0 - 0.5) * 0.2;
    const double y = ((rand() & 0x7FFF) / 32767.0 - 0.5) * 0.22;
    const double x = ((rand() & 0x7FFF) / 32767.0 - 0.5) * 0.24;
    expected.insert(expected.end(), {x, y, z});
  }
  const int afterFrame = rand();
  PointCloudState cloud;
  for (float t : {350.0f, 351.0f}) {
    LibcRandom random = LibcRandomSeeded(5);
    UpdatePointCloud(cloud, random, 0.25, t);
    EXPECT_EQ(LibcRandomNext(random), afterFrame);
    for (int k = 0; k < kCloudPoints; ++k)
      for (int c = 0; c < 3; ++c) ASSERT_NEAR(cloud.velocities[k][c], expected[3 * k + c], 1e-7);
  }
}

TEST(PointCloud, GlintFiresEveryTwentySeventhFrameAndCyclesThroughTheCloud) {
  PointCloudState cloud;
  for (int frame = 1; frame < 27; ++frame) EXPECT_EQ(StepGlint(cloud, kCloseUpGlint, 700), 0.0f);
  EXPECT_EQ(cloud.glintStart, 0);
  EXPECT_EQ(StepGlint(cloud, kCloseUpGlint, 700), 1.0f);  // the 27th frame starts a glint
  EXPECT_NEAR(StepGlint(cloud, kCloseUpGlint, 705), 0.25f, 1e-6);  // half faded: 0.5 squared
  EXPECT_EQ(StepGlint(cloud, kCloseUpGlint, 712), 0.0f);
  // The start is shared and moves on by 100 up to 1400, then back to 0.
  std::vector<int> starts = {cloud.glintStart};
  for (int fire = 0; fire < 15; ++fire) {
    for (int frame = 0; frame < 27; ++frame) StepGlint(cloud, kPauseGlint, 900);
    starts.push_back(cloud.glintStart);
  }
  for (int k = 0; k < 14; ++k) EXPECT_EQ(starts[k], 100 * (k + 1)) << k;
  EXPECT_EQ(starts[14], 0);
  EXPECT_EQ(starts[15], 100);
}

TEST(PointCloud, GridSearchFindsExactlyThePlainLoopsPairsInItsOrder) {
  PointCloudState cloud;
  LibcRandom random = LibcRandomSeeded(1);
  ScatterPointCloud(cloud, random);
  ExpectSamePairsAsPlainLoop(cloud, "scattered");
  // Crowded against the faces, some on or past the boundary.
  srand(4);
  for (int k = 0; k < kCloudPoints; ++k)
    for (int c = 0; c < 3; ++c)
      if (rand() % 3 != 0) {
        const double depth = (rand() % 1000) / 400.0 - 0.3;
        cloud.positions[k][c] = rand() % 2 ? 18.0 - depth : -18.0 + depth;
      }
  ExpectSamePairsAsPlainLoop(cloud, "near the boundary");
  // On the grid's cell faces, where pairs straddle cells.
  for (int k = 0; k < kCloudPoints; ++k)
    cloud.positions[k][k % 3] = -18.0 + 2.4 * (rand() % 16) + (rand() % 3 - 1) * 1e-9;
  ExpectSamePairsAsPlainLoop(cloud, "on cell faces");
  // Pairs 2.29 apart along each axis in turn.
  ScatterPointCloud(cloud, random);
  for (int a = 0; a + 2 < kCloudPoints; a += 4) {
    for (int c = 0; c < 3; ++c) cloud.positions[a + 2][c] = cloud.positions[a][c];
    const int axis = a / 4 % 3;
    cloud.positions[a + 2][axis] += cloud.positions[a][axis] < 0 ? 2.29 : -2.29;
  }
  ExpectSamePairsAsPlainLoop(cloud, "near the limit");
}

std::string TempPath(const std::string& name) { return ::testing::TempDir() + name; }

// A plain PPM of width x height whose pixel (x, row) is pixel(x, row); the
// comment line may be left out and the last samples dropped.
template <typename Pixel>
std::string WritePpm(const std::string& name, int width, int height, Pixel pixel,
                     bool comment = true, long drop = 0) {
  const std::string path = TempPath(name);
  std::ofstream out(path);
  out << "P3\n" << (comment ? "# test\n" : "") << width << " " << height << "\n255\n";
  long left = long(width) * height * 3 - drop;
  for (int r = 0; r < height; ++r) {
    for (int x = 0; x < width; ++x) {
      const std::array<int, 3> s = pixel(x, r);
      for (int c = 0; c < 3 && left > 0; ++c, --left) out << s[c] << ' ';
    }
    out << '\n';
  }
  return path;
}

TEST(PpmReaders, GridsAreColumnMajorWithTheTopRowLast) {
  // Index x * height + (height - 1 - row): the top row is the highest y.
  const auto pixel = [](int x, int r) { return std::array<int, 3>{(x + 3 * r) % 251, x % 7, r % 5}; };
  const std::string path = WritePpm("pic.ppm", 640, 320, pixel);
  std::vector<int> red(640 * 320 + 1, -1), rgb(640 * 320 * 3 + 1, -1);
  ReadPpmRed(320, path, red.data(), 640);
  ReadPpmRgb(320, path, rgb.data(), 640);
  for (int x : {0, 1, 333, 639})
    for (int r : {0, 1, 160, 319}) {
      const long at = long(x) * 320 + (319 - r);
      EXPECT_EQ(red[at], pixel(x, r)[0]) << x << "," << r;
      for (int c = 0; c < 3; ++c) EXPECT_EQ(rgb[3 * at + c], pixel(x, r)[c]) << x << "," << r;
    }
  EXPECT_EQ(red[640 * 320] + rgb[640 * 320 * 3], -2);  // nothing past the grids
}

TEST(PpmReaders, ShortOrCommentlessFilesLeaveZerosAndSaySo) {
  // The reader skips four lines whatever they hold: without a comment the
  // first row is lost, everything moves up a row and the last reads 0.
  std::string path = WritePpm(
      "nocomment.ppm", 640, 320, [](int, int r) { return std::array<int, 3>{r % 256, 0, 0}; }, false);
  std::vector<int> grid(640 * 320, -1);
  testing::internal::CaptureStdout();
  ReadPpmRed(320, path, grid.data(), 640);
  EXPECT_NE(testing::internal::GetCapturedStdout().find(path), std::string::npos);
  EXPECT_EQ(grid[319], 1);
  EXPECT_EQ(grid[0], 0);
  path = WritePpm("short.ppm", 64, 32, [](int, int) { return std::array<int, 3>{200, 100, 50}; },
                  true, 3);
  std::vector<int> rgb(64 * 32 * 3, -1);
  testing::internal::CaptureStdout();
  ReadPpmRgb(32, path, rgb.data(), 64);
  const std::string said = testing::internal::GetCapturedStdout();
  EXPECT_EQ(said.find('\n'), said.size() - 1);
  EXPECT_NE(said.find(path), std::string::npos);
  const long last = 63 * 32;  // bottom right, read last
  EXPECT_EQ(std::vector<int>(&rgb[3 * last], &rgb[3 * last] + 3), (std::vector<int>{0, 0, 0}));
  EXPECT_EQ(rgb[3 * (last - 32)], 200);
}
}  // namespace
