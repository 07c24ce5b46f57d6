// The point cloud drawn: what each time window sends to the GL, captured in
// feedback mode (primitive counts, colours, random draws), and the stars as
// pixels in the scene's projection, saved as PNGs to look at.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "particles/point_cloud.h"
#include "runtime/random.h"
#include "runtime/timeline.h"
#include "tests/gl_context.h"

namespace {
using Rgba = std::array<float, 4>;

// The primitives of one DrawPointCloud frame as the GL saw them.
struct Primitives {
  std::vector<Rgba> points;  // colour of each point
  std::vector<Rgba> lines;   // colour of each segment's first vertex
};

constexpr int kStarPoints = 3 * 1440 + 2 * 50 + 25 + 2 * 10 + 5;

Primitives DrawInFeedback(float t) {
  static std::vector<GLfloat> buffer(1 << 19);
  demoTime = t;
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(-60, 60, -60, 60, -60, 60);  // the whole cube, nothing clipped
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_3D_COLOR, buffer.data());
  glRenderMode(GL_FEEDBACK);
  DrawPointCloud();
  const int size = glRenderMode(GL_RENDER);
  EXPECT_GE(size, 0) << "feedback buffer overflow";
  Primitives seen;
  constexpr int kVertex = 7;  // x, y, z, r, g, b, a
  for (int k = 0; k < size;) {
    const int token = static_cast<int>(buffer[k]);
    const Rgba colour = {buffer[k + 4], buffer[k + 5], buffer[k + 6], buffer[k + 7]};
    if (token == GL_POINT_TOKEN) {
      seen.points.push_back(colour);
      k += 1 + kVertex;
    } else if (token == GL_LINE_TOKEN || token == GL_LINE_RESET_TOKEN) {
      seen.lines.push_back(colour);
      k += 1 + 2 * kVertex;
    } else {
      ADD_FAILURE() << "unexpected feedback token " << token;
      break;
    }
  }
  testgl::ResetState();
  return seen;
}

void ExpectColour(const Rgba& seen, const Rgba& expected, const char* what) {
  for (int c = 0; c < 4; ++c) EXPECT_NEAR(seen[c], expected[c], 1e-3) << what << " channel " << c;
}

// The next generator output after `draws` draws from a fresh seed of 38.
uint32_t ReferenceAfter(int draws) {
  std::mt19937 reference(38);
  reference.discard(draws);
  return reference();
}

class PointCloudGl : public testing::Test {
 protected:
  void SetUp() override {
    srand(3);
    ScatterPointCloud();
    glintStart = 0;
    glintTime = -1;
    for (int& counter : glintCounters) counter = 0;
  }
  void TearDown() override { demoTime = 0; }
};

TEST_F(PointCloudGl, StarsAndWebFollowTheirWindows) {
  RandomSeed(38);
  Primitives early = DrawInFeedback(40);  // stars only after 40
  EXPECT_TRUE(early.points.empty());
  EXPECT_TRUE(early.lines.empty());

  Primitives plain = DrawInFeedback(634);  // bound excluded: no glint, no random colours
  EXPECT_EQ(plain.points.size(), size_t(kStarPoints));
  EXPECT_TRUE(plain.lines.empty());
  for (const Rgba& colour : plain.points) ExpectColour(colour, {1, 1, 1, 0.8f}, "white star");
  EXPECT_EQ(glintCounters[0], 0);
  EXPECT_EQ(RandomU32(), ReferenceAfter(0));

  glintCounters[1] = 26;  // this frame starts a glint: the second window skips it
  EXPECT_EQ(DrawInFeedback(900).lines.size(), 750u);
  EXPECT_EQ(glintStart, 100);
  Primitives web = DrawInFeedback(901);
  ASSERT_EQ(web.lines.size(), 790u);
  ExpectColour(web.lines[0], {0.25f, 0.23f, 0.21f, 0.025f}, "web");
  const float f = 0.81f, g = 1 - f;  // a = 0.9 one tenth after the start
  ExpectColour(web.lines[750], {0.95f * g + 0.8f * f, 0.93f * g + 0.8f * f,
                                0.91f * g + 0.8f * f, 0.125f * g + 0.8f * f}, "fading glint");
}

TEST_F(PointCloudGl, FirstPostWindowGlintsAndTakesTwentyEightRandomDraws) {
  glintCounters[0] = 26;
  RandomSeed(38);
  Primitives frame = DrawInFeedback(700);  // the web starts only after 700
  EXPECT_EQ(RandomU32(), ReferenceAfter(28));
  ASSERT_EQ(frame.lines.size(), 40u);
  ExpectColour(frame.lines[0], {0.8f, 0.8f, 0.8f, 0.8f}, "glint at its start");
  EXPECT_EQ(glintStart, 100);
  ASSERT_EQ(frame.points.size(), size_t(kStarPoints));
  // Small stars of the first pass in colour 1, the last five large ones in
  // colour 7 with its red clamped to 1.
  EXPECT_NEAR(frame.points[0][0], 0.82f, 0.021f);
  EXPECT_NEAR(frame.points[0][1], 0.42f, 0.021f);
  EXPECT_NEAR(frame.points[kStarPoints - 1][0], 1.0f, 1e-6);
  EXPECT_NEAR(frame.points[kStarPoints - 1][1], 0.22f, 0.021f);
  EXPECT_NE(frame.points[0][3], frame.points[1490][3]);  // the large stars take colour 2
  EXPECT_EQ(frame.points[1439], frame.points[1440]);  // the medium stars keep colour 1

  RandomSeed(38);
  EXPECT_EQ(DrawInFeedback(701).lines.size(), 790u);  // web and glint
  EXPECT_EQ(RandomU32(), ReferenceAfter(28));
}

TEST_F(PointCloudGl, NeighbourWindowDrawsThePairsAndStepsTheGlint) {
  std::vector<int> first, second;
  CollectNeighbourPairs(first, second);
  ASSERT_FALSE(first.empty());
  RandomSeed(38);
  Primitives frame = DrawInFeedback(350);
  EXPECT_EQ(frame.lines.size(), first.size());
  EXPECT_EQ(frame.points.size(), size_t(kStarPoints));
  EXPECT_EQ(glintCounters[2], 1);
  EXPECT_EQ(RandomU32(), ReferenceAfter(0));
  ExpectColour(frame.lines[0], {1, 0.98f, 0.96f, 0.445f}, "neighbour line, no glint");
}

// Clears to the scene's background, sets the scene's projection and layer
// frame (camera at the origin, 3 units back, scale 2.25) and draws the cloud.
std::vector<unsigned char> DrawSceneFrame(float t) {
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  glViewport(0, 0, testgl::kWidth, testgl::kHeight);
  glClearColor(0.041f, 0.034f, 0.04f, 0);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(88, 1280.0f / 720.0f, 0.01, 120);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glTranslatef(0, 0, -3);
  glScalef(2.25f, 2.25f, 2.25f);
  glEnable(GL_DEPTH_TEST);
  glEnable(GL_LINE_SMOOTH);
  glHint(GL_LINE_SMOOTH_HINT, GL_NICEST);
  demoTime = t;
  DrawPointCloud();
  glFinish();
  return testgl::ReadRgb();
}

TEST_F(PointCloudGl, StarsShowInTheSceneProjection) {
  const std::string outDir = std::string(KELVANE_RUN_DIR) + "/../test-output/";
  std::filesystem::create_directories(outDir);
  RandomSeed(38);
  for (float t : {250.0f, 350.0f, 700.0f, 900.0f}) {
    demoTime = t;
    UpdatePointCloud(0.25);
    const std::vector<unsigned char> rgb = DrawSceneFrame(t);
    int bright = 0;
    for (size_t k = 0; k + 2 < rgb.size(); k += 3)
      if (rgb[k] + rgb[k + 1] + rgb[k + 2] > 240) ++bright;
    EXPECT_GT(bright, 2000) << "t = " << t;
    char name[64];
    snprintf(name, sizeof name, "pointcloud_%04d.png", static_cast<int>(t));
    testgl::SavePng(outDir + name);
  }
  testgl::ResetState();
}
}  // namespace
