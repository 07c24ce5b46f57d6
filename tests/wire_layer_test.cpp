// The pulse figures' strengths that are easy to get wrong, and the size of
// the wire icosahedra.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "core/random.h"
#include "core/timeline.h"
#include "scenes/scene_state.h"
#include "scenes/layers.h"
#include "tests/gl_context.h"

namespace {
constexpr float kGrey = 0.9462890625f;

void SetTime(float t, float f) {
  demoTime = t;
  demoTimeDouble = t;
  frameFactor = f;
}

// Every pulse stamp at 0: at T = 500 no figure draws.
void ClearPulses() {
  director = DirectorState{};
  director.pulseAStamp = director.pulseBStamp = director.pulseCStamp = 0;
  director.pulseDStamp = director.pulseEStamp = director.pulseFStamp = 0;
  director.pulseGStamp = 0;
}

// The scene as the renderer hands it to these layers: its projection,
// translate (0, 0, -3), scale 2.25, the destination-colour blend of the blend
// switch, black, depth test on.
void SetUpScene() {
  testgl::ResetState();
  glClearColor(0.041f, 0.034f, 0.04f, 0);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glMatrixMode(GL_PROJECTION);
  gluPerspective(88, 1280.0f / 720.0f, 0.01, 120);
  glMatrixMode(GL_MODELVIEW);
  glTranslatef(0, 0, -3);
  glScalef(2.25f, 2.25f, 2.25f);
  glLineWidth(2);
  glEnable(GL_LINE_SMOOTH);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_SRC_COLOR);
  glColor4f(0, 0, 0, 1);
  glEnable(GL_DEPTH_TEST);
}

// As the wire layer leaves the state for the pulse figures.
void SetUpPulseScene() {
  SetUpScene();
  glDisable(GL_DEPTH_TEST);
  glEnable(GL_LIGHTING);
  glEnable(GL_LIGHT0);
  glEnable(GL_COLOR_MATERIAL);
}

std::array<float, 4> CurrentColour() {
  std::array<float, 4> colour{};
  glGetFloatv(GL_CURRENT_COLOR, colour.data());
  return colour;
}

TEST(PulseFigures, StrengthsOfWideRingAndSlidingChevron) {
  // The wide ring lives 3.5 but fades over 4.5: two units after the key its
  // white ring has alpha 1 - 2/4.5. It is the last colour the layer sets.
  SetUpPulseScene();
  ClearPulses();
  SetTime(500, 1);
  director.pulseAStamp = 501;  // 502 after the advance
  DrawPulseFigures();
  std::array<float, 4> colour = CurrentColour();
  EXPECT_FLOAT_EQ(colour[0], kGrey);
  EXPECT_NEAR(colour[3], 1 - 2 / 4.5, 1e-6);

  // The sliding chevron's e uses the signed T - stamp: just after the key it
  // is negative and e is above 1 (with |d| it would be below 1).
  SetUpPulseScene();
  ClearPulses();
  director.pulseGRandom = 0.25f;
  director.pulseGStamp = 499.5f;  // d = -0.5 after the advance
  DrawPulseFigures();
  colour = CurrentColour();
  const double k = 1 - 0.5 * 0.1 / 9.5, e = 1 + 0.5 / 9.5;
  EXPECT_NEAR(colour[0], k * kGrey * e, 1e-5);
  EXPECT_FLOAT_EQ(colour[3], 0.5f);
  testgl::ResetState();
}

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
}  // namespace
