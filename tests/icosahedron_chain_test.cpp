// The icosahedron chain drawn under the scene's projection and transforms:
// which arrangement runs, how many shared random draws it takes and the
// matrix it leaves for the layers after it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "core/random.h"
#include "core/timeline.h"
#include "scenes/icosahedron_chain.h"
#include "scenes/layers.h"
#include "scenes/scene_lights.h"
#include "scenes/scene_state.h"
#include "scenes/scene_steps.h"
#include "tests/gl_context.h"

namespace {
// A light grey clear, so the black links stand out from it.
constexpr int kClearLevel = 128;

// Clears, sets the scene's projection, records the caller's modelview matrix
// (moved off the identity so the test can tell them apart) as the scene entry
// matrix, pushes as the display callback does, and builds the scene's
// transforms and the state the chain is called with.
void SetUpSceneFrame(double entryModelview[16]) {
  testgl::ResetState();
  glClearColor(kClearLevel / 255.0f, kClearLevel / 255.0f, kClearLevel / 255.0f, 1);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(88, 16.0 / 9.0, 0.01, 120);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glTranslatef(0.001f, -0.002f, 0.003f);
  glGetDoublev(GL_MODELVIEW_MATRIX, entryModelview);
  glPushMatrix();
  glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, 1);
  glEnable(GL_LIGHTING);
  glEnable(GL_LIGHT0);
  glEnable(GL_LIGHT1);
  SetStandardLights();
  glEnable(GL_COLOR_MATERIAL);  // left on by the layers before the chain
  glEnable(GL_NORMALIZE);       // the scaled links keep unit normals
  glTranslatef(0, 0, -3);
  glScalef(2.25f, 2.25f, 2.25f);
  glEnable(GL_DEPTH_TEST);
  glDisable(GL_TEXTURE_2D);
}

void EndSceneFrame() {
  glPopMatrix();
  glFinish();
}

// One call of the chain at T, as RenderScene's step makes it: the shared
// random draws it took and the modelview matrix and stack depth around it.
struct ChainCall {
  int draws = -1;
  GLint depthBefore = 0, depthAfter = 0;
  double entry[16], before[16], after[16];
};

ChainCall CallChain(float t) {
  ChainCall c;
  SetUpSceneFrame(c.entry);
  Mt19937State generator;
  RandomSeed(generator, 38);
  ScenePlan plan;
  StepChain(generator, t, plan);
  glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &c.depthBefore);
  glGetDoublev(GL_MODELVIEW_MATRIX, c.before);
  DrawIcosahedronChain(plan, t, c.entry);
  glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &c.depthAfter);
  glGetDoublev(GL_MODELVIEW_MATRIX, c.after);
  EndSceneFrame();
  c.draws = testgl::DrawsSinceSeed(generator, 200);
  return c;
}

TEST(IcosahedronChain, ArrangementDrawsAndMatrixLeftBehind) {
  // First arrangement (up to 1495 exactly): three draws per link, jitter or
  // none, and the caller's matrix at the same stack depth for the later layers.
  for (float t : {450.0f, 680.0f, 780.0f, 1058.0f, 1450.0f, 1495.0f}) {
    const ChainCall c = CallChain(t);
    EXPECT_EQ(c.draws, 24) << "T = " << t;
    EXPECT_EQ(c.depthAfter, c.depthBefore) << "T = " << t;
    for (int i = 0; i < 16; ++i) EXPECT_EQ(c.after[i], c.entry[i]) << "T = " << t;
  }
  // Second arrangement: no draws, and the scene's own matrix as on entry.
  for (float t : {std::nextafter(1495.0f, 2000.0f), 1510.0f}) {
    const ChainCall c = CallChain(t);
    EXPECT_EQ(c.draws, 0) << "T = " << t;
    EXPECT_EQ(c.depthAfter, c.depthBefore) << "T = " << t;
    for (int i = 0; i < 16; ++i) EXPECT_EQ(c.after[i], c.before[i]) << "T = " << t;
    EXPECT_NE(c.after[14], c.entry[14]);
  }
}

}  // namespace
