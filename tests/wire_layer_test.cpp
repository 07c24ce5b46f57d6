// The wire icosahedra: their size, read back through feedback.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "scenes/layers.h"
#include "scenes/scene_steps.h"
#include "tests/gl_context.h"

namespace {
// A wire icosahedron of size s reaches 0.5 s from its centre along x (GLUT's
// unit icosahedron has a vertex at x = 1), read back through feedback.
TEST(WireLayer, WireIcosahedronIsHalfItsSizeAcross) {
  testgl::ResetState();
  glViewport(0, 0, 400, 400);
  glMatrixMode(GL_PROJECTION);
  glOrtho(-2, 2, -2, 2, -2, 2);
  glMatrixMode(GL_MODELVIEW);
  std::vector<GLfloat> buffer(4096);
  glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_2D, buffer.data());
  glRenderMode(GL_FEEDBACK);
  DrawWireIcosahedron(1.4f);
  const int n = glRenderMode(GL_RENDER);
  ASSERT_GT(n, 0);
  float reach = 0;
  for (int k = 0; k + 4 < n; k += 5)  // line token, then two (x, y) vertices
    reach = std::max({reach, std::fabs(buffer[k + 1] - 200), std::fabs(buffer[k + 3] - 200)});
  EXPECT_NEAR(reach / 100, 0.7, 1e-3);
  testgl::ResetState();
}

// The layer is drawn in the brightness its step chose a frame before: before
// T = 300 a new one every frame, so each frame's colour is the last one's pick.
TEST(WireLayer, DrawsInTheBrightnessOfTheFrameBefore) {
  ShowState show = testgl::StartedShow();
  for (float t = 250; t < 256; ++t) {
    const float before = show.wireLayer.brightness;
    StepWireLayer(show.wireLayer, show.generator, t, 1, show.plan);
    EXPECT_NE(show.wireLayer.brightness, before) << t;
    testgl::ResetState();
    DrawWireLayer(show, t);
    GLfloat colour[4];
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_FLOAT_EQ(colour[0], 0.9f * before) << t;
    EXPECT_FLOAT_EQ(colour[3], 0.5f * before) << t;
  }
  testgl::ResetState();
}
}  // namespace
