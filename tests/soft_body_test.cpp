// The soft body: the mesh loader (what it builds, and how each damaged file
// ends), and the dynamics against physics written out here: damped springs,
// gas pressure, the integrators under a constant force and the limiter.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "objects/object_steps.h"
#include "objects/soft_object.h"
#include "runtime/frame_steps.h"
#include "tests/lwo2_bytes.h"

using namespace lwo2;

namespace {
// A body from bytes: stiffness 10, damping 2, point mass 1, scale 1.
std::unique_ptr<CSoftObject> Load(const std::string& bytes, float pressure = 0, float scale = 1,
                                  float ox = 0, float oy = 0, float oz = 0) {
  TempFile file(bytes);
  return std::make_unique<CSoftObject>(ox, oy, oz, 10.0f, 2.0f, file.path(), pressure, scale, 1.0f);
}

const std::vector<float> kSquare = {0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0};

// A closed tetrahedron, every point free (weight 1): a volume that is not 0,
// so that pressure 0 gives no force.
std::unique_ptr<CSoftObject> Tetra(float pressure = 0) {
  return Load(Form(Pnts({0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1}) +
                   Pols({{0, 2, 1}, {0, 1, 3}, {0, 3, 2}, {1, 2, 3}}) +
                   Vmap("WGHT", "Bone01", {{0, 1}, {1, 1}, {2, 1}, {3, 1}})),
              pressure);
}

TEST(Lwo2Loader, TrianglesSpringsScaleOffsetAndCentring) {
  // Two triangles sharing the edge 1-2, a quad and chunks the loader skips.
  std::string pols = "FACE" + Be16(3) + Vx(0) + Vx(1) + Vx(2);
  pols += Be16(4) + Vx(0) + Vx(1) + Vx(3) + Vx(2);
  pols += Be16(0xFC03) + std::string("\xFF\x00\x00\x02", 4) + Vx(1) + Vx(3);  // flags, long index
  auto body = Load(Form(Chunk("TAGS", Name("Default")) + Pnts(kSquare) + Chunk("DESC", "odd") +
                        Chunk("POLS", pols)),
                   0, 2.0f, 7, 8, 9);
  ASSERT_EQ(body->points.size(), 4u);
  ASSERT_EQ(body->triangles.size(), 2u);
  EXPECT_EQ(body->triangles[1].points[0], 2);
  // Springs 0-1, 1-2, 2-0, then 1-3 and 3-2: the shared edge once.
  ASSERT_EQ(body->springs.size(), 5u);
  const int ends[5][2] = {{0, 1}, {1, 2}, {2, 0}, {1, 3}, {3, 2}};
  const float rest[5] = {2, 2 * std::sqrt(2.0f), 2, 2, 2};
  for (int s = 0; s < 5; ++s) {
    EXPECT_EQ(body->springs[s].first, ends[s][0]) << s;
    EXPECT_EQ(body->springs[s].second, ends[s][1]) << s;
    EXPECT_FLOAT_EQ(body->springs[s].restLength, rest[s]) << s;
    EXPECT_FLOAT_EQ(body->springs[s].maxDeviation, rest[s]) << s;
  }
  // Scaled by 2, offset, then centred on the mean: (2, 2, 0) - (1, 1, 0).
  EXPECT_FLOAT_EQ(body->points[3].position.x, 1.0f);
  EXPECT_FLOAT_EQ(body->points[3].position.y, 1.0f);
  EXPECT_FLOAT_EQ(body->points[3].position.z, 0.0f);
  EXPECT_FLOAT_EQ(body->points[0].position.x, -1.0f);
}

TEST(Lwo2Loader, WeightMapsByTypeAndNameAndTheFirstFifthPinned) {
  const std::string pnts = Pnts(kSquare);
  auto body = Load(Form(pnts + Vmap("WGHT", "Bone01", {{1, 0.5f}, {3, 2.0f}})));
  const float inverse[4] = {0, 0.5f, 0, 2.0f};  // weight is the inverse mass; none pinned of 4
  for (int i = 0; i < 4; ++i) EXPECT_EQ(body->points[i].inverseMass, inverse[i]) << i;
  // Other names, and other types without a weight map before them, do nothing;
  // after a weight map a second Bone01 map counts whatever its type.
  body = Load(Form(pnts + Vmap("WGHT", "Bone02", {{1, 0.5f}}) + Vmap("PICK", "Bone01", {{1, 1}})));
  for (const MassPoint& p : body->points) EXPECT_EQ(p.weight, 0.0f);
  body = Load(Form(pnts + Vmap("WGHT", "Bone01", {{0, 0.25f}}) + Vmap("TXUV", "Bone01", {{2, 3}})));
  EXPECT_EQ(body->points[0].weight, 0.25f);
  EXPECT_EQ(body->points[2].weight, 3.0f);
  // 18 points: the first 3 are pinned (mass and inverse mass 0), the rest move.
  body = Load(SphereLwo(1, 1));
  ASSERT_EQ(body->points.size(), 18u);
  for (size_t i = 0; i < 18; ++i)
    EXPECT_EQ(body->points[i].mass + body->points[i].inverseMass, i < 3 ? 0.0f : 2.0f) << i;
}

// Each damaged file ends with status 1 and a message naming the file and fault.
TEST(Lwo2LoaderDeathTest, DamagedFilesEndWithStatusOne) {
  const std::string pnts = Pnts(kSquare);  // 4 points
  std::string overlong = Form(pnts), longForm = Form(pnts);
  overlong.replace(16, 4, Be32(4000));  // PNTS size past the FORM
  longForm.replace(4, 4, Be32(1000));   // FORM size past the file
  const std::pair<std::string, const char*> cases[] = {
      {"RIFF" + Be32(4) + "WAVE", "Error: Not an IFF file \\(Missing FORM tag\\)\nmesh file: .*k12-lwo2"},
      {"FORM" + Be32(4) + "LWOB", "Error: Not a lightwave object \\(Missing LWO2 tag\\)"},
      {longForm, "Error: .*k12-lwo2.*FORM size 1000 runs past the end"},
      {"FORM" + Be32(0x7FFFFFF0) + "LWO2", "FORM size 2147483632 is more than"},
      {Form(Pnts({0, 0, 0, 1, INFINITY, 0})), "PNTS chunk at offset 12: point 1 is not at a finite"},
      {overlong, "PNTS chunk of 4000 bytes.*past the end"},
      {Form(pnts + "TAG"), "chunk header at offset 68"},
      {Form(Chunk("PNTS", std::string(16, '\0'))), "PNTS chunk at offset 12 has 16 bytes"},
      {Form(pnts + Chunk("POLS", "FACE" + Be16(3) + Vx(0) + Vx(1))), "end of POLS chunk at offset 68 inside a polygon"},
      {Form(pnts + Chunk("POLS", "FACE" + Be16(1) + std::string("\xFF\x00\x01", 3))),
       "end of POLS chunk .* inside a polygon"},
      {Form(pnts + Pols({{0, 1, 4}})), "triangle index 4 addresses no loaded point \\(4 points\\)"},
      {Form(Pols({{0, 1, 2}}) + pnts), "triangle index 0 addresses no loaded point \\(0 points\\)"},
      {Form(pnts + Vmap("WGHT", "Bone01", {{4, 1}})), "weight index 4 addresses no loaded point \\(4 points\\)"},
      {Form(pnts + Chunk("VMAP", "WGHT" + Be16(1) + "Bone01")), "end of VMAP chunk .* inside the map name"},
      {Form(pnts + Chunk("VMAP", "WGHT" + Be16(1) + Name("Bone01") + Vx(0) + "\x3F")),
       "end of VMAP chunk .* inside a map entry"},
  };
  for (const auto& [bytes, message] : cases) {
    TempFile file(bytes);
    EXPECT_EXIT(CSoftObject(0, 0, 0, 1, 1, file.path(), 0, 1, 1), testing::ExitedWithCode(1), message);
  }
  EXPECT_EXIT(CSoftObject(0, 0, 0, 1, 1, "/", 0, 1, 1), testing::ExitedWithCode(1),
              "Error: /: not a regular file");
}

TEST(SoftBody, SpringsPullStretchedEndsTogetherWithDamping) {
  // The force on a from each spring (a, b): -(k (L - L0) + c (va - vb).(a - b) / L) (a - b) / L.
  // Positions scaled from the rest shape, and point 1 moving.
  for (const auto& [stretch, velocity] : {std::pair{1.7f, Vec3f{}}, std::pair{0.6f, Vec3f{}},
                                          std::pair{1.0f, Vec3f{3, -1, 0.5f}},
                                          std::pair{2.5f, Vec3f{-2, 0, 1}}}) {
    SCOPED_TRACE(stretch);
    auto body = Tetra();
    for (MassPoint& p : body->points) p.position = p.position * stretch;
    body->points[1].velocity = velocity;
    std::vector<Vec3f> expected(4);
    for (const Spring& s : body->springs) {
      const MassPoint &a = body->points[s.first], &b = body->points[s.second];
      const Vec3f d = a.position - b.position;
      const float L = Length(d);
      const float scalar = 10.0f * (L - s.restLength) + 2.0f * Dot(a.velocity - b.velocity, d) / L;
      expected[s.first] -= d * (scalar / L);
      expected[s.second] += d * (scalar / L);
    }
    body->AccumulateForces();
    for (int i = 0; i < 4; ++i) EXPECT_NEAR(Length(body->points[i].force - expected[i]), 0, 1e-4) << i;
    // Stretched springs pull the points towards the middle, compressed ones push out.
    if (stretch != 1.0f) {
      EXPECT_EQ(Dot(body->points[3].force, body->points[3].position) < 0, stretch > 1);
    }
  }
}

TEST(SoftBody, GasPressurePushesOutwardsAsPressureOverVolume) {
  // Twice the enclosed volume (0.999 of it, from the rounded third), unit
  // vertex normals pointing outwards on a sphere, and the force on a point
  // growing with the pressure and falling as 1/r for a sphere r times as large
  // (area r^2 over volume r^3).
  auto unit = Load(SphereLwo(1.0f, 3), 1000.0f);
  auto twice = Load(SphereLwo(2.0f, 3), 1000.0f);
  auto harder = Load(SphereLwo(1.0f, 3), 3000.0f);
  for (auto* b : {unit.get(), twice.get(), harder.get()})
    for (Spring& s : b->springs) s.stiffness = s.damping = 0;
  unit->AccumulateForces();
  twice->AccumulateForces();
  harder->AccumulateForces();
  EXPECT_NEAR(unit->volume / (2 * 0.999 * 4.0 / 3.0 * M_PI), 1.0, 0.03);
  EXPECT_NEAR(twice->volume / unit->volume, 8.0, 1e-3);
  for (size_t i = 0; i < unit->points.size(); ++i) {
    const MassPoint& p = unit->points[i];
    const float force = Length(p.force);
    EXPECT_NEAR(Length(p.normal), 1.0f, 1e-5) << i;
    EXPECT_GT(Dot(p.normal, p.position), 0.95f) << i;
    if (i < unit->points.size() / 5) continue;
    EXPECT_GT(Dot(p.force, p.position), 0.95f * force) << i;
    EXPECT_NEAR(Length(twice->points[i].force) / force, 0.5f, 1e-3) << i;
    EXPECT_NEAR(Length(harder->points[i].force) / force, 3.0f, 1e-3) << i;
  }
  // Pressure alone inflates the body.
  const float v0 = unit->volume;
  for (int k = 0; k < 20; ++k) {
    unit->AccumulateForces();
    unit->Integrate(1, 0.001f);
  }
  unit->AccumulateForces();
  EXPECT_GT(unit->volume, v0 * 1.001f);
}

TEST(SoftBody, BothIntegratorsFollowAConstantForce) {
  // Under gravity alone, moving as one (springs at rest, no pressure), each
  // point takes v += g h, x += v h in either mode.
  for (int mode : {0, 1}) {
    auto body = Tetra();
    body->gravity = {0.5f, -9.8f, 0};
    for (MassPoint& p : body->points) p.velocity = {1, 2, -3};
    const auto before = body->points;
    body->AccumulateForces();
    body->Integrate(mode, 0.01f);
    const Vec3f v = Vec3f{1, 2, -3} + Vec3f{0.5f, -9.8f, 0} * 0.01f;
    for (int i = 0; i < 4; ++i) {
      EXPECT_NEAR(Length(body->points[i].velocity - v), 0, 1e-5) << mode;
      EXPECT_NEAR(Length(body->points[i].position - (before[i].position + v * 0.01f)), 0, 1e-6) << mode;
    }
  }
}

TEST(SoftBody, StretchLimiterHoldsSpringsWithinTwiceTheirRest) {
  auto body = Tetra();  // spring 0 joins points 0 and 2, rest length 1
  MassPoint &a = body->points[body->springs[0].first], &b = body->points[body->springs[0].second];
  // (a's mass, b's y) before and (a's y, b's y) after: twice the rest length
  // is left alone, beyond it each end with mass moves in by half the excess,
  // compression is never corrected.
  const std::array<float, 4> cases[] = {{1, 2, 0, 2}, {1, 2.2f, 0.1f, 2.1f}, {0, 2.2f, 0, 2.1f},
                                        {1, 0.01f, 0, 0.01f}};
  for (const auto& [mass, y, wantA, wantB] : cases) {
    a.mass = mass, a.position = {0, 0, 0}, b.position = {0, y, 0};
    body->LimitStretch();
    EXPECT_NEAR(a.position.y, wantA, 1e-6) << y;
    EXPECT_NEAR(b.position.y, wantB, 1e-6) << y;
  }
}

TEST(SoftBody, FrameStepRunsInItsWindowWithTheSlowMotionStep) {
  EXPECT_NEAR(SoftBodyPressure(0), 100022.0265f, 0.01);   // 1e5 + 1e-3 e^10
  EXPECT_NEAR(SoftBodyPressure(M_PI / 280), 585165.2f, 1);  // 1e5 + 1e-3 e^20
  // The step at each time; 0: not stepped.
  const std::pair<float, float> cases[] = {{700, 0.001f}, {750, 0.0001f}, {633, 0}, {900, 0},
                                           {1058, 0}, {1065, 0}, {1100, 0.001f}, {1284, 0}};
  for (const auto& [t, step] : cases) {
    auto body = Tetra();
    for (MassPoint& p : body->points) p.velocity = {0, 0, 10};
    const float z = body->points[2].position.z;
    float phase = 0;
    EXPECT_EQ(StepSoftBodyFrame(*body, phase, t), step != 0) << t;
    EXPECT_NEAR(body->points[2].position.z - z, 10 * step, 1e-6) << t;
    EXPECT_EQ(phase, step != 0 ? 0.001f : 0.0f) << t;
    EXPECT_EQ(body->pressureConstant, step != 0 ? SoftBodyPressure(0.001f) : 0.0f) << t;
  }
}
}  // namespace

