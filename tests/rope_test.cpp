// Ropes: the blockwise frame step against a plain reference that runs every
// stage over all particles and links in list order, the drawing directions,
// the roots and the sub-stepping of long frames.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/random.h"
#include "objects/object_steps.h"
#include "objects/rope_object.h"

namespace {
bool Pinned(const RopeParticle& p) { return (p.flags & 2) != 0; }

// The per-particle direction of the drawing frame: from the particle towards
// the one above it, as (-dy, dz, dx) with dx rounded to single precision,
// made unit; the border rows and chains copy their inner neighbour and the
// corners take the unit sum of their two neighbours.
std::vector<Vec3d> ReferenceDirections(const CRopeObject& r) {
  const int S = r.rows, N = r.chains;
  std::vector<Vec3d> dir(size_t(S) * N);
  auto at = [&](int i, int j) -> Vec3d& { return dir[size_t(i) * N + j]; };
  for (int i = 1; i < S; ++i)
    for (int j = 0; j < N; ++j) {
      const Vec3d d = r.grid[i - 1][j]->position - r.grid[i][j]->position;
      at(i, j) = Normalized({-d.y, d.z, double(float(d.x))});
    }
  for (int i = 1; i <= S - 2; ++i) at(i, 0) = at(i, 1), at(i, N - 1) = at(i, N - 2);
  for (int j = 1; j <= N - 2; ++j) at(0, j) = at(1, j), at(S - 1, j) = at(S - 2, j);
  at(0, 0) = Normalized(at(1, 0) + at(0, 1));
  at(0, N - 1) = Normalized(at(0, N - 2) + at(1, N - 1));
  at(S - 1, N - 1) = Normalized(at(S - 1, N - 2) + at(S - 2, N - 1));
  at(S - 1, 0) = Normalized(at(S - 1, 1) + at(S - 2, 0));
  return dir;
}

// One stage of the reference step. Forces: no gravity, damped link springs
// pulling each link's ends together, a drag towards 0.14 times the outward
// unit along the direction, a particle closer than 0.1 to the core put back
// at 0.2 on its ray with its velocity reversed, and inside 0.2 an outward push
// of 0.2 x 1.02 x 1.2. Then a half step (predict) or the full step from the
// saved state (correct), and the limiter: a link longer than its rest length
// plus tolerance percent is shortened to that, each free end taking half.
void ReferenceStage(CRopeObject& r, float step, bool correct) {
  for (auto& row : r.grid)
    for (RopeParticle* p : row)
      if (p && !Pinned(*p)) p->force = Vec3d{};
  for (RopeLink& link : r.links) {
    RopeParticle &a = *link.first, &b = *link.second;
    const Vec3d d = a.position - b.position;
    const double length = Length(d);
    if (length == 0) continue;
    const double inverse = 1.0 / length;
    const float s = float(Dot(a.velocity - b.velocity, d) * link.damping * inverse +
                          (length - link.restLength) * link.stiffness);
    b.force += d * (inverse * s);
    a.force -= d * (inverse * s);
  }
  const std::vector<Vec3d> dir = ReferenceDirections(r);
  for (int i = 0; i < r.rows; ++i)
    for (int j = 0; j < r.chains; ++j) {
      RopeParticle& p = *r.grid[i][j];
      p.direction = dir[size_t(i) * r.chains + j];
      if (Pinned(p)) continue;
      double distance = Length(p.position);
      Vec3d outward = distance != 0 ? p.position * (1.0 / distance) : p.position;
      p.force += p.direction * Dot(p.direction, outward * 0.14 - p.velocity);
      if (distance < double(0.1f)) {
        p.position = outward * double(0.2f);
        p.velocity = p.velocity * -1.0;
        distance = Length(p.position);
        outward = distance != 0 ? p.position * (1.0 / distance) : p.position;
      }
      if (distance < double(0.2f)) p.force += (outward * 0.2 * 1.02) * 1.2;
      const float inverseMass = 1.0f / p.mass;
      if (correct) {
        p.velocity = p.savedVelocity + (p.force * inverseMass) * step;
        p.position = p.savedPosition + p.velocity * step;
      } else {
        const Vec3d change = (p.force * inverseMass) * step;
        const Vec3d move = (p.velocity + change * 0.5) * step;
        p.savedVelocity = p.velocity;
        p.velocity += change * 0.5;
        p.savedPosition = p.position;
        p.position += move * 0.5;
      }
    }
  for (RopeLink& link : r.links) {
    RopeParticle &a = *link.first, &b = *link.second;
    const float tolerance = link.restLength * float(r.stretchTolerance) / 100.0f;
    const Vec3d d = b.position - a.position;
    const double length = Length(d);
    if (!(length - link.restLength > tolerance)) continue;
    const Vec3d c = d * ((length - (double(link.restLength) + tolerance)) * 0.5 / length);
    if (!Pinned(a)) a.position += c;
    if (!Pinned(b)) b.position -= c;
  }
}

void ExpectSameParticles(const CRopeObject& a, const CRopeObject& b, int frame) {
  for (int i = 0; i < a.rows; ++i)
    for (int j = 0; j < a.chains; ++j)
      ASSERT_EQ(std::memcmp(a.grid[i][j], b.grid[i][j], sizeof(RopeParticle)), 0)
          << "frame " << frame << " particle " << i << "," << j;
}

TEST(Rope, BlockwiseStepEqualsThePlainReferenceBitForBit) {
  // Roots turning and moving, a particle thrown into the core, one onto the
  // origin, one onto its neighbour, a tolerance change and a stretch beyond
  // it: every field of every particle, pinned ones included, must agree.
  LibcRandom randomA = LibcRandomSeeded(5), randomB = randomA;
  CRopeObject fused(360, 3.1f, 2.3f, randomA);
  CRopeObject plain(360, 3.1f, 2.3f, randomB);
  for (int f = 0; f < 14; ++f) {
    for (CRopeObject* r : {&fused, &plain}) {
      r->angleA += 0.2f;
      r->angleB -= 0.05f;
      r->centre[1] -= 0.03;
      if (f == 3) r->grid[6][601]->position = {0.02, 0.01, 0};
      if (f == 4) r->grid[4][9]->position = {0, 0, 0};
      if (f == 5) r->grid[7][20]->position = r->grid[6][20]->position;
      if (f == 6) r->grid[13][300]->position = r->grid[13][300]->position * 3.0;
      if (f == 8) r->stretchTolerance = 3;
      r->PlaceRoots();
    }
    fused.AdvanceStep(0.035f);
    ReferenceStage(plain, 0.035f, false);
    ReferenceStage(plain, 0.035f, true);
    ExpectSameParticles(fused, plain, f);
  }
}

TEST(Rope, DrawingDirectionsFollowTheFrame) {
  LibcRandom random = LibcRandomSeeded(3);
  CRopeObject rope(340, 3.1f, 1.3f, random);
  for (int k = 0; k < 3; ++k) rope.AdvanceStep(0.035f);
  const std::vector<Vec3d> expected = ReferenceDirections(rope);
  // Computed without storing them (drawing), then stored: the same directions.
  const std::vector<Vec3d> computed = rope.Directions();
  ASSERT_EQ(std::memcmp(computed.data(), expected.data(), expected.size() * sizeof(Vec3d)), 0);
  rope.ComputeDirections();
  for (int i = 0; i < rope.rows; ++i)
    for (int j = 0; j < rope.chains; ++j) {
      const Vec3d& d = rope.grid[i][j]->direction;
      ASSERT_EQ(std::memcmp(&d, &expected[size_t(i) * rope.chains + j], sizeof d), 0) << i << "," << j;
      ASSERT_NEAR(Length(d), 1.0, 1e-12);
    }
}

TEST(Rope, RootsTurnAboutZThenYThenXAndMoveToTheCentre) {
  LibcRandom random = LibcRandomSeeded(2);
  CRopeObject rope(340, 3.1f, 1.3f, random);
  struct Pose {
    double a, b, cx, cy, cz;
  } const poses[] = {{0, 0, 1, 0, 0}, {M_PI / 2, 0, 0, 0, 0}, {0.7, -0.3, 0.1, -0.5, 0.25}, {-2, 1.1, 0, 0.3, 0}};
  for (const Pose& pose : poses) {
    rope.angleA = float(pose.a);
    rope.angleB = float(pose.b);
    rope.centre[0] = pose.cx, rope.centre[1] = pose.cy, rope.centre[2] = pose.cz;
    rope.PlaceRoots();
    for (int j = 0; j < rope.chains; j += 7) {
      const Vec3d r = rope.restCopies[0][j].position;
      const double ca = std::cos(pose.a), sa = std::sin(pose.a);
      const double cb = std::cos(pose.b), sb = std::sin(pose.b);
      const double x1 = ca * r.x - sa * r.y, y1 = sa * r.x + ca * r.y;   // about z
      const double x2 = cb * x1 + sb * r.z, z2 = cb * r.z - sb * x1;     // about y
      const double y3 = cb * y1 - sb * z2, z3 = sb * y1 + cb * z2;       // about x
      const RopeParticle& root = *rope.grid[0][j];
      ASSERT_NEAR(Length(root.position - Vec3d{x2 + pose.cx, y3 + pose.cy, z3 + pose.cz}), 0, 2e-6) << j;
      ASSERT_EQ(root.velocity.x, rope.restCopies[0][j].velocity.x);
    }
  }
}

TEST(Rope, LongFramesRunAsEqualSubStepsOfAtMostTheBound) {
  for (const auto& [step, parts] : {std::pair{0.04f, 1}, std::pair{0.045f, 1}, std::pair{0.21f, 5},
                                    std::pair{0.1f, 3}}) {
    LibcRandom randomA = LibcRandomSeeded(7), randomB = randomA;
    CRopeObject whole(340, 3.1f, 1.3f, randomA);
    CRopeObject split(340, 3.1f, 1.3f, randomB);
    StepRopes(whole, step);
    for (int k = 0; k < parts; ++k) StepRopeOnce(split, step / float(parts));
    ExpectSameParticles(whole, split, parts);
  }
  EXPECT_EQ(RopeStep(1.0f, false), 0.035f);
  EXPECT_EQ(RopeStep(0.5f, false), 0.0175f);
  EXPECT_EQ(RopeStep(2.0f, true), 0.035f);
}
}  // namespace
