// The point cloud drawn: what each time window sends to the GL, captured in
// feedback mode (primitives, colours, random draws), and the stars as pixels
// in the scene's projection, saved as PNGs to look at.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "core/random.h"
#include "core/timeline.h"
#include "particles/point_cloud.h"
#include "tests/gl_context.h"

namespace {
using Rgba = std::array<float, 4>;
constexpr int kStarPoints = 3 * 1440 + 2 * 50 + 25 + 2 * 10 + 5;

// The colour of every point and of every segment's first vertex in one frame.
struct Primitives {
  std::vector<Rgba> points, lines;
  std::array<float, 2> firstPoint{};  // window x, y of the first point
};

// The cloud's step at t, then its drawing into a feedback buffer.
Primitives DrawInFeedback(PointCloudState& cloud, Mt19937State& generator, float t) {
  static std::vector<GLfloat> buffer(1 << 19);
  PointCloudLook look;
  StepPointCloudLook(cloud, generator, t, look);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(-60, 60, -60, 60, -60, 60);  // the whole cube, nothing clipped
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_3D_COLOR, buffer.data());
  glRenderMode(GL_FEEDBACK);
  DrawPointCloud(cloud, look, t);
  const int size = glRenderMode(GL_RENDER);
  EXPECT_GE(size, 0) << "feedback buffer overflow";
  Primitives seen;
  for (int k = 0; k < size;) {  // token, then x, y, z, r, g, b, a per vertex
    const int token = static_cast<int>(buffer[k]);
    const Rgba colour = {buffer[k + 4], buffer[k + 5], buffer[k + 6], buffer[k + 7]};
    const bool line = token == GL_LINE_TOKEN || token == GL_LINE_RESET_TOKEN;
    if (token != GL_POINT_TOKEN && !line) {
      ADD_FAILURE() << "unexpected feedback token " << token;
      break;
    }
    if (!line && seen.points.empty()) seen.firstPoint = {buffer[k + 1], buffer[k + 2]};
    (line ? seen.lines : seen.points).push_back(colour);
    k += line ? 15 : 8;
  }
  testgl::ResetState();
  return seen;
}

void ExpectColour(const Rgba& seen, const Rgba& expected, const char* what) {
  for (int c = 0; c < 4; ++c) EXPECT_NEAR(seen[c], expected[c], 1e-3) << what << " channel " << c;
}

TEST(PointCloudGl, EachWindowDrawsItsLinesStarsAndRandomColours) {
  PointCloudState pointCloud;
  LibcRandom random = LibcRandomSeeded(3);
  ScatterPointCloud(pointCloud, random);
  std::mt19937 reference(38);
  Mt19937State generator;
  RandomSeed(generator, 38);
  EXPECT_TRUE(DrawInFeedback(pointCloud, generator, 40).points.empty());  // stars only after 40

  Primitives frame = DrawInFeedback(pointCloud, generator, 634);  // bound excluded: no glint, no random colours
  EXPECT_EQ(frame.points.size(), size_t(kStarPoints));
  EXPECT_TRUE(frame.lines.empty());
  ExpectColour(frame.points.back(), {1, 1, 1, 0.8f}, "white star");
  // The first star where the cloud puts point 0 (the cube of 120 across the window).
  EXPECT_NEAR(frame.firstPoint[0], 640 + pointCloud.positions[0][0] * 1280 / 120, 1e-2);
  EXPECT_NEAR(frame.firstPoint[1], 360 + pointCloud.positions[0][1] * 720 / 120, 1e-2);

  pointCloud.glintCounters[0] = 26;
  frame = DrawInFeedback(pointCloud, generator, 700);  // the glint starts; no web yet at 700 exactly
  ASSERT_EQ(frame.lines.size(), 40u);
  ExpectColour(frame.lines[0], {0.8f, 0.8f, 0.8f, 0.8f}, "glint at its start");
  double d[4];
  for (double& draw : d) draw = reference() * 0x1p-32;
  ExpectColour(frame.points[0], {float(0.8 + 0.04 * d[3]), float(0.4 + 0.04 * d[2]),
                                 float(0.3 + 0.04 * d[1]), float(d[0])}, "colour 1");
  EXPECT_EQ(frame.points[1439], frame.points[1440]);  // medium stars keep colour 1
  EXPECT_EQ(frame.points.back()[0], 1.0f);            // colour 7's red of 6, clamped
  reference.discard(24);
  EXPECT_EQ(RandomU32(generator), reference());  // 7 random colours of 4 draws each

  pointCloud.glintCounters[1] = 26;  // a glint starts: the second window skips it
  EXPECT_EQ(DrawInFeedback(pointCloud, generator, 900).lines.size(), 750u);
  EXPECT_EQ(pointCloud.glintStart, 200);
  frame = DrawInFeedback(pointCloud, generator, 901);
  ASSERT_EQ(frame.lines.size(), 790u);
  const float f = 0.81f, g = 1 - f;  // a = 0.9 one tenth after the start
  ExpectColour(frame.lines[750], {0.95f * g + 0.8f * f, 0.93f * g + 0.8f * f,
                                  0.91f * g + 0.8f * f, 0.125f * g + 0.8f * f}, "fading glint");

  std::vector<int> first, second;
  CollectNeighbourPairs(pointCloud, first, second);
  pointCloud.glintCounters[2] = 0;
  frame = DrawInFeedback(pointCloud, generator, 350);
  EXPECT_EQ(frame.lines.size(), first.size());
  EXPECT_EQ(pointCloud.glintCounters[2], 1);
  EXPECT_EQ(RandomU32(generator), reference());  // no draws outside the first post window
}

}  // namespace
