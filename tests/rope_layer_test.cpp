// The rope layer and its three line effects, on the real program objects:
// random draws per frame, where the bolts start and end (read back through GL
// feedback), when the threads and the extra ropes appear, the layer's early
// end, widths GL would reject, and pictures of each effect to look at.
#include "core/gl.h"  // GLEW before any other GL header
#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "core/random.h"
#include "core/timeline.h"
#include "objects/object_draw.h"
#include "objects/object_steps.h"
#include "objects/program_objects.h"
#include "overlays/textures.h"
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

// A bolt read back from GL feedback: its segments as world points, in drawing
// order. Every effect starts a bolt with a zero-length segment.
struct Bolt {
  Vec3d start, end, lastStart;  // lastStart: where the last segment begins
  int segments = 0;
  Vec3d ballSum;  // vertices of the polygons drawn after the bolt (its ball)
  int ballVertices = 0;
  Vec3d BallCentre() const { return ballSum * (1.0 / ballVertices); }
};
struct Feedback {
  std::vector<Bolt> bolts;
  int polygons = 0;
};

// Runs fn in feedback mode with world coordinates mapped 1:1 (offset by 100)
// onto window coordinates, and groups the line segments into bolts.
Feedback Capture(const std::function<void()>& fn) {
  static std::vector<GLfloat> buffer(1 << 23);
  glViewport(0, 0, 200, 200);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glScalef(0.01f, 0.01f, 0.01f);
  glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_3D, buffer.data());
  glRenderMode(GL_FEEDBACK);
  fn();
  const int n = glRenderMode(GL_RENDER);
  EXPECT_GE(n, 0) << "feedback buffer overflow";
  auto point = [&](int k) {
    return Vec3d{buffer[k] - 100.0, buffer[k + 1] - 100.0, (buffer[k + 2] * 2.0 - 1) * 100};
  };
  Feedback out;
  for (int k = 0; k < n;) {
    const int token = static_cast<int>(buffer[k]);
    if (token == GL_LINE_TOKEN || token == GL_LINE_RESET_TOKEN) {
      const Vec3d e = point(k + 1), s = point(k + 4);
      if (e.x == s.x && e.y == s.y && e.z == s.z) {
        out.bolts.emplace_back();
        out.bolts.back().start = s;
      }
      if (!out.bolts.empty()) {
        Bolt& b = out.bolts.back();
        b.end = e;
        b.lastStart = s;
        ++b.segments;
      }
      k += 7;
    } else if (token == GL_POLYGON_TOKEN) {
      ++out.polygons;
      const int corners = static_cast<int>(buffer[k + 1]);
      for (int c = 0; c < corners && !out.bolts.empty(); ++c) {
        out.bolts.back().ballSum += point(k + 2 + 3 * c);
        ++out.bolts.back().ballVertices;
      }
      k += 2 + 3 * corners;
    } else {
      k += 2;  // pass-through token and its value
    }
  }
  testgl::ResetState();
  return out;
}

Vec3d Tip(const CRopeObject& rope, int j) {
  const Vec3d& p = rope.grid[12][j]->position;
  return {float(p.x), float(p.y), float(p.z)};
}

void ExpectNear(const Vec3d& a, const Vec3d& b, double tolerance, const std::string& what) {
  EXPECT_LT(Length(a - b), tolerance) << what;
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

TEST(RopeLayer, BoltsRunFromTheChainTipsToTheirTargets) {
  ScatterPointCloud();
  Direct(0, 0, 0);

  // Fully grown body lightning: every third chain below both counts reaches
  // twice its mass point.
  At(1262);
  Feedback body = Capture([] { DrawBodyLightning(ropeA); });
  const int reached = std::min<int>(602, static_cast<int>(softBody.points.size()));
  ASSERT_EQ(static_cast<int>(body.bolts.size()), (reached + 2) / 3);
  for (size_t k = 0; k < body.bolts.size(); ++k) {
    const int j = 3 * static_cast<int>(k);
    const Vec3f& m = softBody.points[j].position;
    ExpectNear(body.bolts[k].start, Tip(ropeA, j), 1e-3, "body bolt start " + std::to_string(j));
    ExpectNear(body.bolts[k].end, Vec3d{m.x, m.y, m.z} * 2.0, 0.02, "body bolt end " + std::to_string(j));
  }

  // Cloud lightning: for each of the last 40 stars, chains 0, 200, 400, 600,
  // straight towards the star and still short of it; a ball on every bolt,
  // one step behind its tip.
  At(1285);
  Feedback cloud = Capture([] { DrawCloudLightning(ropeB); });
  ASSERT_EQ(cloud.bolts.size(), 160u);
  EXPECT_GT(cloud.polygons, 0);
  EXPECT_EQ(cloud.polygons % 160, 0);
  for (size_t k = 0; k < cloud.bolts.size(); ++k) {
    const int q = 1460 + static_cast<int>(k / 4), j = 200 * static_cast<int>(k % 4);
    const Bolt& b = cloud.bolts[k];
    const Vec3d p = Tip(ropeB, j), star = {cloudPositions[q][0], cloudPositions[q][1], cloudPositions[q][2]};
    ExpectNear(b.start, p, 1e-3, "cloud bolt start");
    const double along = Dot(b.end - p, star - p) / Dot(star - p, star - p);
    EXPECT_GT(along, 0.05) << "bolt " << k;
    EXPECT_LT(along, 0.25) << "bolt " << k;
    ExpectNear(b.end, p + (star - p) * along, 1e-3, "cloud bolt off its line");
    ASSERT_GT(b.ballVertices, 0);
    ExpectNear(b.BallCentre(), b.lastStart, 1e-3, "ball one step behind the tip");
  }

  // Fully grown threads join the same chains of the two ropes.
  At(1600);
  Feedback threads = Capture([] { DrawThreads(ropeA, ropeB); });
  ASSERT_EQ(threads.bolts.size(), 201u);
  for (size_t k = 0; k < threads.bolts.size(); ++k) {
    const int j = 3 * static_cast<int>(k);
    ExpectNear(threads.bolts[k].start, Tip(ropeA, j), 1e-3, "thread start");
    ExpectNear(threads.bolts[k].end, Tip(ropeB, j), 0.02, "thread end");
  }
}

TEST(RopeLayer, ThreadsGrowFrom1520To1585AndVanishAfter1650) {
  Direct(1, 0, 0);
  auto threadsAt = [](float t) {
    At(t);
    return Primitives([] { DrawThreads(ropeA, ropeB); });
  };
  EXPECT_LT(threadsAt(1530), threadsAt(1560));
  EXPECT_LT(threadsAt(1560), threadsAt(1584));
  EXPECT_EQ(threadsAt(1585), threadsAt(1620));
  EXPECT_EQ(threadsAt(1650), threadsAt(1620));
  EXPECT_EQ(threadsAt(1650.5f), 0u);
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

// Draws fn under the scene's projection and transforms with the standard
// lights, saves the frame and returns how many pixels differ from the clear colour.
int Picture(const std::string& name, const std::function<void()>& fn) {
  glClearColor(0.041f, 0.034f, 0.04f, 0);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(88, 16.0 / 9.0, 0.01, 120);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glTranslatef(0, 0, -3);
  glScalef(2.25f, 2.25f, 2.25f);
  const GLfloat grey[] = {0.8f, 0.8f, 0.8f, 1}, white[] = {1, 1, 1, 1};
  const GLfloat position0[] = {0.5f, 0.5f, 0, 1}, position1[] = {-0.95f, 0.95f, 0, 1};
  glLightfv(GL_LIGHT0, GL_DIFFUSE, grey);
  glLightfv(GL_LIGHT1, GL_DIFFUSE, grey);
  glLightfv(GL_LIGHT0, GL_POSITION, position0);
  glLightfv(GL_LIGHT1, GL_POSITION, position1);
  glMaterialfv(GL_FRONT, GL_AMBIENT_AND_DIFFUSE, white);
  glEnable(GL_LIGHT0);
  glEnable(GL_LIGHT1);
  glEnable(GL_COLOR_MATERIAL);  // left on by the soft-body layer in the show
  glEnable(GL_DEPTH_TEST);
  glEnable(GL_LINE_SMOOTH);
  glPushAttrib(0xFFFFF);
  fn();
  glPopAttrib();
  glFinish();
  const std::string dir = std::string(KELVANE_RUN_DIR) + "/../test-output/";
  std::filesystem::create_directories(dir);
  testgl::SavePng(dir + name);
  int lit = 0;
  const std::vector<unsigned char> rgb = testgl::ReadRgb();
  for (size_t k = 0; k + 2 < rgb.size(); k += 3)
    if (std::abs(rgb[k] - 10) + std::abs(rgb[k + 1] - 9) + std::abs(rgb[k + 2] - 10) > 24) ++lit;
  testgl::ResetState();
  return lit;
}

TEST(RopeLayer, PicturesOfTheRopesAndTheirEffects) {
  const std::string gfx = std::string(KELVANE_RUN_DIR) + "/gfx/";
  if (!std::filesystem::exists(gfx + "txt37.png")) GTEST_SKIP() << "run directory not generated";
  pictureTable[37] = LoadTexture((gfx + "txt37.png").c_str());
  pictureTable[38] = LoadTexture((gfx + "txt38.png").c_str());
  ScatterPointCloud();
  for (int frame = 0; frame < 300; ++frame) {  // let the chains settle from their start
    StepRopes(ropeA, kRopeStep);
    StepRopes(ropeB, kRopeStep);
  }
  struct Shot { const char* name; float t; int effect, mode, flag, least; };
  const Shot shots[] = {{"ropes_lines.png", 1450, 0, 0, 0, 20000},
                        {"ropes_quads.png", 1450, 0, 1, 1, 20000},
                        {"cloud_lightning.png", 1285, 0, 0, 1, 20000},
                        {"body_lightning.png", 1200, 0, 0, 1, 20000},
                        {"body_lightning_effect.png", 1200, 1, 0, 1, 20000},
                        {"threads.png", 1560, 0, 0, 1, 20000}};
  for (const Shot& s : shots) {
    At(s.t);
    Direct(s.effect, s.mode, s.flag);
    EXPECT_GT(Picture(s.name, DrawRopeLayer), s.least) << s.name;
  }
}
}  // namespace
