// The rope layer on the real program objects: the layer's early end.
#include <gtest/gtest.h>

#include "scenes/layers.h"
#include "tests/gl_context.h"

namespace {
constexpr int kLinesPerRope = 602 * 13;  // one strip per chain segment in line mode

// The layer's primitives at t, drawn in the line look.
GLuint LayerPrimitives(const ShowState& show, float t) {
  return testgl::PrimitivesGenerated([&] { DrawRopeLayer(show, t, t); });
}

TEST(RopeLayer, EndsEarlyBelow400OutsideTheEarlyWindow) {
  ShowState show = testgl::StartedShow();
  show.director.ropeDrawFlag = 0;
  GLint depth, after;
  glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
  for (float t : {250.0f, 300.0f, 350.0f, 375.0f, 400.0f}) {
    EXPECT_EQ(LayerPrimitives(show, t), 0u) << "T " << t;
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &after);
    EXPECT_EQ(after, depth) << "T " << t;
  }
  for (float t : {300.5f, 349.5f, 400.5f})
    EXPECT_GE(LayerPrimitives(show, t), 2u * kLinesPerRope) << "T " << t;
  testgl::ResetState();
}

}  // namespace
