// The rope layer and its three line effects, on the real program objects:
// random draws per frame, when the threads and the extra ropes appear, the
// layer's early end and widths GL would reject.
#include "core/gl.h"  // GLEW before any other GL header
#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>

#include "core/random.h"
#include "core/timeline.h"
#include "objects/object_draw.h"
#include "objects/program_objects.h"
#include "particles/point_cloud.h"
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

// Primitives GL generated while fn ran.
GLuint Primitives(const std::function<void()>& fn) {
  GLuint query, count = 0;
  glGenQueries(1, &query);
  glBeginQuery(GL_PRIMITIVES_GENERATED, query);
  fn();
  glEndQuery(GL_PRIMITIVES_GENERATED);
  glGetQueryObjectuiv(query, GL_QUERY_RESULT, &count);
  glDeleteQueries(1, &query);
  return count;
}

// Runs fn on a freshly seeded generator and checks it made exactly `expected` draws.
void ExpectDraws(const std::function<void()>& fn, unsigned expected, const char* what) {
  RandomSeed(38);
  fn();
  std::mt19937 reference(38);
  reference.discard(expected);
  EXPECT_EQ(RandomU32(), reference()) << what << ": expected " << expected << " draws";
}

TEST(RopeLayer, RandomDrawsOnePerSegmentWithTheEffectSwitchOff) {
  At(1200);
  auto body = [] { DrawBodyLightning(ropeA); };
  Direct(0, 0, 0);
  const GLuint bodySegments = Primitives(body);
  ASSERT_GT(bodySegments, 0u);
  ExpectDraws(body, bodySegments, "body lightning");
  Direct(1, 0, 0);
  ExpectDraws(body, 0, "body lightning, effect on");

  At(1560);
  auto threads = [] { DrawThreads(ropeA, ropeB); };
  Direct(0, 0, 0);
  const GLuint threadSegments = Primitives(threads);
  ASSERT_GT(threadSegments, 0u);
  ExpectDraws(threads, threadSegments, "threads");
  ExpectDraws(DrawRopeLayer, threadSegments, "the layer around the threads");
  Direct(1, 0, 0);
  ExpectDraws(threads, 0, "threads, effect on");

  At(1285);
  for (int effect : {0, 1}) {
    Direct(effect, 0, 0);
    ExpectDraws([] { DrawCloudLightning(ropeA); }, 0, "cloud lightning");
  }
  testgl::ResetState();
}

TEST(RopeLayer, DrawModesAddTheirExtraRopes) {
  // Extra primitives of mode `mode` over mode 0 at time t.
  auto extra = [](int mode, int flag, float t) {
    At(t);
    Direct(0, 0, flag);
    const GLuint base = Primitives(DrawRopeLayer);
    Direct(0, mode, flag);
    return static_cast<int>(Primitives(DrawRopeLayer)) - static_cast<int>(base);
  };
  const int ball = static_cast<int>(Primitives([] { glutSolidSphere(0.218, 32, 32); }));
  EXPECT_EQ(extra(1, 0, 1450), kLinesPerRope + ball);  // ropeB again and its centre ball
  EXPECT_EQ(extra(2, 0, 1401), kLinesPerRope);  // its own T > 1300 always holds
  EXPECT_EQ(extra(2, 0, 1700), 0);
  EXPECT_EQ(extra(3, 1, 1499), 0);  // only after 1500, then in lines under the quads flag
  EXPECT_EQ(extra(3, 1, 1501), kLinesPerRope);
  testgl::ResetState();
}

TEST(RopeLayer, EndsEarlyBelow400OutsideTheEarlyWindow) {
  Direct(0, 0, 0);
  GLint depth, after;
  glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
  for (float t : {250.0f, 300.0f, 350.0f, 375.0f, 400.0f}) {
    At(t);
    EXPECT_EQ(Primitives(DrawRopeLayer), 0u) << "T " << t;
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &after);
    EXPECT_EQ(after, depth) << "T " << t;
  }
  for (float t : {300.5f, 349.5f, 400.5f}) {
    At(t);
    EXPECT_GE(Primitives(DrawRopeLayer), 2u * kLinesPerRope) << "T " << t;
  }
  testgl::ResetState();
}

TEST(RopeLayer, NarrowingLinesNeverAskForRejectedWidths) {
  // A chain tip pulled 0.9 from the centre asks the rope draw for width 3 - 6.3.
  RopeParticle& tip = *ropeA.grid[12][601];
  const Vec3d kept = tip.position;
  tip.position = Vec3d{ropeA.centre[0], ropeA.centre[1], ropeA.centre[2]} + Vec3d{0, 0.9, 0};
  At(1450);
  while (glGetError() != GL_NO_ERROR) {
  }
  glLineWidth(7);
  DrawRope(ropeA, 0, demoTime, 0);
  GLfloat width = 0;
  glGetFloatv(GL_LINE_WIDTH, &width);
  EXPECT_FLOAT_EQ(width, kThinnestLineWidth);
  tip.position = kept;
  while (glGetError() != GL_NO_ERROR) {
  }
  // At 1301 the dark spot (e = 0.04) lies inside bolts reaching 0.36 of the way.
  At(1301);
  Direct(1, 0, 0);
  DrawCloudLightning(ropeA);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  testgl::ResetState();
}

}  // namespace
