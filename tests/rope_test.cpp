// Ropes: the blockwise frame step, on each vector unit, against a plain
// reference that runs every stage over all particles and links in list order;
// a state written into the particles from outside; copies as values; the
// drawing directions, the roots, the sub-stepping of long frames and two
// ropes stepped at once.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/random.h"
#include "objects/object_steps.h"
#include "objects/program_objects.h"
#include "objects/rope_object.h"
#include "tests/rope_reference.h"

namespace {
using rope_reference::ReferenceDirections;
using rope_reference::ReferenceStep;

void ExpectSameParticles(const CRopeObject& a, const CRopeObject& b, int frame) {
  for (int i = 0; i < a.rows; ++i)
    for (int j = 0; j < a.chains; ++j)
      ASSERT_EQ(std::memcmp(a.grid[i][j], b.grid[i][j], sizeof(RopeParticle)), 0)
          << "frame " << frame << " particle " << i << "," << j;
}

// Runs the rope step on each vector unit in turn, the widest again at the end.
class EachVectorUnit {
 public:
  ~EachVectorUnit() { UseRopeVectorUnit(RopeVectorUnit::Widest); }
  template <typename Body>
  void Run(Body body) {
    for (RopeVectorUnit unit : {RopeVectorUnit::Widest, RopeVectorUnit::Sse2}) {
      SCOPED_TRACE(unit == RopeVectorUnit::Widest ? "widest vector unit" : "SSE2");
      UseRopeVectorUnit(unit);
      body();
    }
  }
};

TEST(Rope, BlockwiseStepEqualsThePlainReferenceBitForBit) {
  // Roots turning and moving, a particle thrown into the core, one onto the
  // origin, one onto its neighbour, a tolerance change and a stretch beyond
  // it, a particle pinned mid-chain and one of another mass beside it: every
  // field of every particle, pinned ones included, must agree.
  EachVectorUnit().Run([] {
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
        if (f == 7) r->grid[5][33]->flags |= kRopePinned, r->grid[5][34]->mass = 0.9f;
        if (f == 8) r->stretchTolerance = 3;
        r->PlaceRoots();
      }
      fused.AdvanceStep(0.035f);
      ReferenceStep(plain, 0.035f);
      ExpectSameParticles(fused, plain, f);
    }
  });
}

TEST(Rope, ParticlesWrittenFromOutsideAreWhatTheNextStepStartsFrom) {
  // A restored state arrives through the particles alone: a rope whose
  // particles are overwritten with those of another steps as that one does.
  EachVectorUnit().Run([] {
    LibcRandom random = LibcRandomSeeded(9);
    CRopeObject source(340, 3.1f, 1.3f, random);
    CRopeObject target = source;
    target.centre[0] = 0.3;
    target.PlaceRoots();
    for (int k = 0; k < 3; ++k) source.AdvanceStep(0.035f), target.AdvanceStep(0.04f);
    for (int i = 0; i < source.rows; ++i)
      for (int j = 0; j < source.chains; ++j) *target.grid[i][j] = *source.grid[i][j];
    for (int k = 0; k < 2; ++k) source.AdvanceStep(0.035f), target.AdvanceStep(0.035f);
    ExpectSameParticles(source, target, 2);
  });
}

TEST(Rope, ACopyMovesOnlyItsOwnParticles) {
  // A copy turned, re-rooted and stepped through its grid and its links'
  // particle pointers leaves the original's particles as they were.
  LibcRandom random = LibcRandomSeeded(6);
  CRopeObject original(340, 3.1f, 1.3f, random);
  original.AdvanceStep(0.035f);
  std::vector<RopeParticle> before;
  for (const auto& row : original.grid)
    for (int j = 0; j < original.chains; ++j) before.push_back(*row[j]);
  CRopeObject copy(original);
  copy.angleA = 0.5f;
  copy.PlaceRoots();
  ReferenceStep(copy, 0.035f);
  for (int i = 0; i < original.rows; ++i)
    for (int j = 0; j < original.chains; ++j)
      ASSERT_EQ(std::memcmp(original.grid[i][j], &before[size_t(i) * original.chains + j], sizeof(RopeParticle)), 0)
          << i << "," << j;
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

TEST(Rope, LongFramesRunAsEqualSubStepsOfAtMostTheBoundAndPairsAsEachAlone) {
  for (const auto& [step, parts] : {std::pair{0.04f, 1}, std::pair{0.045f, 1}, std::pair{0.21f, 5},
                                    std::pair{0.1f, 3}}) {
    LibcRandom randomA = LibcRandomSeeded(7), randomB = randomA;
    CRopeObject whole(340, 3.1f, 1.3f, randomA);
    CRopeObject split(340, 3.1f, 1.3f, randomB);
    StepRopes(whole, step);
    for (int k = 0; k < parts; ++k) StepRopeOnce(split, step / float(parts));
    ExpectSameParticles(whole, split, parts);
  }
  // Two ropes stepped at once, one on a thread of its own, end as when
  // stepped one after the other.
  LibcRandom randomA = LibcRandomSeeded(4), randomB = randomA;
  CRopeObject firstAlone = MakeRopeA(randomA), secondAlone = MakeRopeB(randomA);
  CRopeObject firstPaired = MakeRopeA(randomB), secondPaired = MakeRopeB(randomB);
  for (int frame = 0; frame < 3; ++frame) {
    StepRopes(firstAlone, 0.035f);
    StepRopes(secondAlone, 0.035f);
    StepRopePair(firstPaired, secondPaired, 0.035f);
  }
  ExpectSameParticles(firstAlone, firstPaired, 3);
  ExpectSameParticles(secondAlone, secondPaired, 3);
  EXPECT_EQ(RopeStep(1.0f, false), 0.035f);
  EXPECT_EQ(RopeStep(0.5f, false), 0.0175f);
  EXPECT_EQ(RopeStep(2.0f, true), 0.035f);
}
}  // namespace
