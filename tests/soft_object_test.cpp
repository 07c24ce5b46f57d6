// Soft-body physics: pinning, the walls of the Heun step, the stretch
// limiter, degenerate geometry, the volume measure and the frame step.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "core/timeline.h"
#include "objects/object_steps.h"
#include "objects/soft_object.h"
#include "runtime/frame_steps.h"
#include "tests/lwo2_bytes.h"

using namespace lwo2;

namespace {
std::unique_ptr<CSoftObject> Body(const std::string& bytes, float pressure = 0) {
  TempFile file(bytes);
  return std::make_unique<CSoftObject>(0, 0, 0, 10.0f, 2.0f, file.path(), pressure, 1.0f, 1.0f);
}

// One triangle (0,0,0), (1,0,0), (0,1,0), every point weight 1.
std::unique_ptr<CSoftObject> Triangle3() {
  auto body = Body(Form(Pnts({0, 0, 0, 1, 0, 0, 0, 1, 0}) + Pols({{0, 1, 2}}) +
                        Vmap("WGHT", "Bone01", {{0, 1}, {1, 1}, {2, 1}})));
  body->points[0].position = {0, 0, 0};
  body->points[1].position = {1, 0, 0};
  body->points[2].position = {0, 1, 0};
  return body;
}

bool Finite(const Vec3f& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

TEST(SoftObject, FirstFifthIsPinnedAndWeightIsInverseMass) {
  auto small = Triangle3();
  for (const MassPoint& p : small->points) EXPECT_EQ(p.inverseMass, 1.0f);

  // 18 points: 0 to 2 pinned; weights 0 everywhere else leave inverse mass 0.
  auto sphere = Body(SphereLwo(1, 1, false));
  ASSERT_EQ(sphere->points.size(), 18u);
  for (size_t i = 0; i < sphere->points.size(); ++i) {
    EXPECT_EQ(sphere->points[i].mass, i < 3 ? 0.0f : 1.0f) << i;
    EXPECT_EQ(sphere->points[i].inverseMass, 0.0f) << i;
  }
  // Forces do not move weight-0 or pinned points; the limiter moves only the former.
  sphere->points[5].position.x += 10;
  sphere->points[0].position.x += 10;
  const auto before = sphere->points;
  sphere->AccumulateForces();
  sphere->Integrate(0, 0.1f);
  EXPECT_EQ(sphere->points[0].position.x, before[0].position.x);
  EXPECT_LT(sphere->points[5].position.x, before[5].position.x);
  for (size_t i = 0; i < 18; ++i) EXPECT_EQ(sphere->points[i].velocity.x, 0.0f);
}

TEST(SoftObject, WallsOnlyInTheHeunStep) {
  for (int mode : {0, 1}) {
    auto body = Triangle3();
    body->springs.clear();  // free points, no forces
    body->points[0].position = {0, -4.85f, 0};
    body->points[1].position = {4.9f, 0, 0};
    body->points[0].velocity = {1, -20, 2};
    body->points[1].velocity = {20, 3, 4};
    body->points[2].position = {0, 1, 1};  // not flat in x: a volume that is not 0
    body->AccumulateForces();
    body->Integrate(mode, 0.01f);
    const MassPoint& a = body->points[0];
    const MassPoint& b = body->points[1];
    if (mode == 0) {
      EXPECT_FLOAT_EQ(a.position.y, -5.05f);
      EXPECT_FLOAT_EQ(b.position.x, 5.1f);
      continue;
    }
    EXPECT_EQ(a.position.y, -4.5f);  // floor: the whole velocity turns
    EXPECT_FLOAT_EQ(a.velocity.x, -0.6f);
    EXPECT_FLOAT_EQ(a.velocity.y, 12.0f);
    EXPECT_FLOAT_EQ(a.velocity.z, -1.2f);
    EXPECT_EQ(b.position.x, 4.5f);  // side wall: only vx
    EXPECT_FLOAT_EQ(b.velocity.x, -12.0f);
    EXPECT_FLOAT_EQ(b.velocity.y, 3.0f);
  }
}

TEST(SoftObject, StretchLimiter) {
  auto body = Triangle3();
  // Exactly twice the rest length: untouched (strict test).
  body->points[1].position = {2, 0, 0};
  body->Integrate(7, 0.01f);  // any other mode runs only the limiter
  EXPECT_EQ(body->points[0].position.x, 0.0f);
  EXPECT_EQ(body->points[1].position.x, 2.0f);
  // 2.2 times: each end moves a tenth of the rest length inwards.
  body->points[1].position = {2.2f, 0, 0};
  body->LimitStretch();
  EXPECT_NEAR(body->points[0].position.x, 0.1f, 1e-6);
  EXPECT_NEAR(body->points[1].position.x, 2.1f, 1e-6);
  // A massless end stays and the other moves by half the excess only.
  body->points[0].position = {0, 0, 0};
  body->points[0].mass = 0;
  body->points[1].position = {2.2f, 0, 0};
  body->LimitStretch();
  EXPECT_EQ(body->points[0].position.x, 0.0f);
  EXPECT_NEAR(body->points[1].position.x, 2.1f, 1e-6);
  // Compression is never corrected.
  body->points[1].position = {0.01f, 0, 0};
  body->LimitStretch();
  EXPECT_EQ(body->points[1].position.x, 0.01f);
}

TEST(SoftObject, DegenerateGeometryStaysFinite) {
  // A tetrahedron plus a triangle with two corners at one position.
  auto body = Body(Form(Pnts({0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 1}) +
                        Pols({{0, 2, 1}, {0, 1, 3}, {0, 3, 2}, {1, 2, 3}, {3, 4, 1}}) +
                        Vmap("WGHT", "Bone01", {{1, 1}, {2, 1}, {3, 1}, {4, 1}})),
                   5000.0f);
  ASSERT_EQ(body->triangles.size(), 5u);
  body->points[4].position = body->points[3].position;
  body->AccumulateForces();
  EXPECT_EQ(body->triangles[4].crossLength, 0.0f);
  EXPECT_EQ(body->triangles[4].pressureForce, 0.0f);
  EXPECT_NE(body->volume, 0.0f);
  for (int k = 0; k < 50; ++k) {
    body->AccumulateForces();
    body->Integrate(1, 0.001f);
  }
  for (const MassPoint& p : body->points) {
    EXPECT_TRUE(Finite(p.position));
    EXPECT_TRUE(Finite(p.force));
  }
}

TEST(SoftObject, VolumeAndPressureOfASphere) {
  // The volume measure is twice the enclosed volume (0.999 of it, from the
  // rounded third); the pressure pushes every free point outwards.
  auto body = Body(SphereLwo(1.0f, 3), 1000.0f);
  body->AccumulateForces();
  const double sphere = 4.0 / 3.0 * M_PI;
  EXPECT_NEAR(body->volume / (2 * 0.999 * sphere), 1.0, 0.03);
  for (size_t i = body->points.size() / 5; i < body->points.size(); ++i)
    EXPECT_GT(Dot(body->points[i].force, body->points[i].position), 0) << i;
  // Inflating: the body grows under pressure alone, and stays finite.
  for (auto& s : body->springs) s.stiffness = s.damping = 0;
  const float v0 = body->volume;
  for (int k = 0; k < 20; ++k) {
    body->AccumulateForces();
    body->Integrate(1, 0.001f);
  }
  body->AccumulateForces();
  EXPECT_GT(body->volume, v0);
}

TEST(SoftObject, FrameStepFollowsTheWindowAndThePulse) {
  EXPECT_NEAR(SoftBodyPressure(0), 100000.0f + 0.001f * std::exp(10.0f), 0.01);
  EXPECT_NEAR(SoftBodyPressure(M_PI / 280), 100000.0f + 0.001f * std::exp(20.0f), 50);
  auto body = Body(SphereLwo(0.5f, 2), 826320.0f);
  softBodyPhase = 0;
  EXPECT_FALSE(StepSoftBodyFrame(*body, 900));  // a gap of the window
  EXPECT_EQ(softBodyPhase, 0.0f);
  EXPECT_EQ(body->pressureConstant, 826320.0f);
  EXPECT_TRUE(StepSoftBodyFrame(*body, 700));
  EXPECT_EQ(softBodyPhase, 0.001f);
  EXPECT_EQ(body->pressureConstant, SoftBodyPressure(0.001f));
  softBodyPhase = 0;
}
}  // namespace
