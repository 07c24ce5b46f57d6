// The picture flash: when it draws, what it draws, how many draws of the
// shared generator it takes, and how its copies grow.
#include <gtest/gtest.h>

#include <cmath>
#include <algorithm>
#include <cstdint>
#include <vector>

#include "core/random.h"
#include "overlays/textures.h"
#include "scenes/scene_steps.h"
#include "scenes/picture_flash.h"
#include "tests/gl_context.h"

namespace {

class PictureEffects : public testing::Test {
 protected:
  void SetUp() override {
    testgl::ResetState();
    savedStep6 = pictures.table[6];
    savedStep7 = pictures.table[7];
    pictures.table[6] = testgl::PlainTexture(250, 0, 0);
    pictures.table[7] = testgl::PlainTexture(0, 250, 0);
  }
  void TearDown() override {
    pictures.table[6] = savedStep6;
    pictures.table[7] = savedStep7;
  }
  // One flash over black at demo time t, its step and its drawing; returns
  // the draws the step took.
  int Flash(float t) {
    testgl::ResetState();
    Mt19937State generator;
    RandomSeed(generator, 38);
    StepPictureFlash(director, generator, t, plan);
    DrawPictureFlash(director, plan, t);
    return testgl::DrawsSinceSeed(generator, 32);
  }
  GLuint savedStep6 = 0, savedStep7 = 0;
  DirectorState director;
  ScenePlan plan;
};
}  // namespace

// A flash shows for 10 tenths from its beat, before the beat too, three
// draws per copy; the picture follows the director's texture step.
TEST_F(PictureEffects, FlashShowsTheStepPictureForOneSecondAroundTheBeat) {
  director.beatTime = 900;
  director.textureStep = 7;
  EXPECT_EQ(Flash(909.9f), 9);
  // Three copies at 0.35 over black: 1 - 0.65^3 of the picture's green.
  const auto centre = testgl::ReadPixel(640, 360);
  EXPECT_NEAR(centre[1], std::lround(250 * (1 - std::pow(0.65, 3))), 3);
  EXPECT_EQ(centre[0], 0);
  EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));

  director.textureStep = 6;
  EXPECT_EQ(Flash(890), 9);  // beat still ahead
  EXPECT_GT(testgl::ReadPixel(640, 360)[0], 150);
  EXPECT_EQ(Flash(910), 0);
  EXPECT_EQ(testgl::ReadPixel(640, 360)[0], 0);

  // From the start of the program the beat time 0 flashes the first second.
  director.beatTime = 0;
  EXPECT_EQ(Flash(9.5f), 9);
  EXPECT_EQ(Flash(10), 0);
}

// Each of the three copies is the previous one grown by 2 % in width and
// 0.75 % in height (their shifts do not change their sizes): the copies'
// boxes, read back through feedback, grow by exactly those factors.
TEST_F(PictureEffects, FlashCopiesGrowWiderThanTheyGrowTall) {
  director.beatTime = 900;
  Mt19937State generator;
  StepPictureFlash(director, generator, 900, plan);
  glViewport(0, 0, 1000, 1000);
  glScalef(0.1f, 0.1f, 1);
  std::vector<GLfloat> buffer(4096);
  glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_2D, buffer.data());
  glRenderMode(GL_FEEDBACK);
  DrawPictureFlash(director, plan, 900);
  const int n = glRenderMode(GL_RENDER);
  std::vector<std::array<float, 2>> corners;
  for (int k = 0; k < n;) {  // polygon token, vertex count, (x, y) per vertex
    ASSERT_EQ(static_cast<int>(buffer[k]), GL_POLYGON_TOKEN);
    const int count = static_cast<int>(buffer[k + 1]);
    for (int v = 0; v < count; ++v) corners.push_back({buffer[k + 2 + 2 * v], buffer[k + 3 + 2 * v]});
    k += 2 + 2 * count;
  }
  ASSERT_EQ(corners.size() % 3, 0u);
  const size_t per = corners.size() / 3;
  std::array<float, 3> width{}, height{};
  for (int copy = 0; copy < 3; ++copy) {
    float x0 = 1e9f, x1 = -1e9f, y0 = 1e9f, y1 = -1e9f;
    for (size_t v = copy * per; v < (copy + 1) * per; ++v) {
      x0 = std::min(x0, corners[v][0]), x1 = std::max(x1, corners[v][0]);
      y0 = std::min(y0, corners[v][1]), y1 = std::max(y1, corners[v][1]);
    }
    width[copy] = x1 - x0, height[copy] = y1 - y0;
  }
  EXPECT_NEAR(width[0], 500 * 0.2f * 2.1f * 1.02f, 0.01);
  EXPECT_NEAR(height[0], 500 * 0.2f * 1.3f * 1.0075f, 0.01);
  for (int copy = 1; copy < 3; ++copy) {
    EXPECT_NEAR(width[copy] / width[copy - 1], 1.02, 1e-4) << copy;
    EXPECT_NEAR(height[copy] / height[copy - 1], 1.0075, 1e-4) << copy;
  }
}
