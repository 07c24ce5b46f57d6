// The rope layer on the real program objects: the layer's early end.
#include <gtest/gtest.h>

#include "core/timeline.h"
#include "runtime/director.h"
#include "scenes/layers.h"
#include "tests/gl_context.h"

namespace {
constexpr int kLinesPerRope = 602 * 13;  // one strip per chain segment in line mode

void At(float t) {
  demoTime = t;
  demoTimeDouble = t;
}

void Direct(int effect, int mode, int flag) {
  director = DirectorState();
  director.effectSwitch = effect;
  director.ropeDrawMode = mode;
  director.ropeDrawFlag = flag;
}

TEST(RopeLayer, EndsEarlyBelow400OutsideTheEarlyWindow) {
  Direct(0, 0, 0);
  GLint depth, after;
  glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
  for (float t : {250.0f, 300.0f, 350.0f, 375.0f, 400.0f}) {
    At(t);
    EXPECT_EQ(testgl::PrimitivesGenerated(DrawRopeLayer), 0u) << "T " << t;
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &after);
    EXPECT_EQ(after, depth) << "T " << t;
  }
  for (float t : {300.5f, 349.5f, 400.5f}) {
    At(t);
    EXPECT_GE(testgl::PrimitivesGenerated(DrawRopeLayer), 2u * kLinesPerRope) << "T " << t;
  }
  testgl::ResetState();
}

}  // namespace
