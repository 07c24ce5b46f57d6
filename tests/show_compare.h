// Field-by-field comparison of two show states, naming each subsystem that
// differs: the copy-and-restore test and the drawing tests share it.
#pragma once
#include <gtest/gtest.h>

#include <cstring>
#include <type_traits>

#include "scenes/show_state.h"

namespace showcompare {
template <typename T>
bool SameBytes(const T& a, const T& b) {
  static_assert(std::is_trivially_copyable_v<T>);
  return std::memcmp(&a, &b, sizeof(T)) == 0;
}
inline bool SameRope(const CRopeObject& a, const CRopeObject& b) {
  for (int i = 0; i < a.rows; ++i)
    for (int j = 0; j < a.chains; ++j)
      if (std::memcmp(a.grid[i][j], b.grid[i][j], sizeof(RopeParticle)) != 0) return false;
  return SameBytes(a.centre, b.centre) && a.angleA == b.angleA && a.angleB == b.angleB;
}
inline bool SameBody(const CSoftObject& a, const CSoftObject& b) {
  if (a.points.size() != b.points.size()) return false;
  for (size_t k = 0; k < a.points.size(); ++k)
    if (std::memcmp(&a.points[k], &b.points[k], sizeof(MassPoint)) != 0) return false;
  return a.volume == b.volume && a.pressureConstant == b.pressureConstant;
}

// Every subsystem of two states, named where it differs.
inline void ExpectSameShow(const ShowState& a, const ShowState& b) {
  EXPECT_TRUE(SameBytes(a.clock, b.clock)) << "frame clock";
  EXPECT_TRUE(SameBytes(a.generator, b.generator)) << "generator";
  EXPECT_TRUE(SameBytes(a.rand, b.rand)) << "C library sequence";
  EXPECT_TRUE(SameRope(a.ropeA, b.ropeA)) << "ropeA";
  EXPECT_TRUE(SameRope(a.ropeB, b.ropeB)) << "ropeB";
  EXPECT_TRUE(SameBody(a.softBody, b.softBody)) << "soft body";
  EXPECT_TRUE(SameBody(a.wireBody, b.wireBody)) << "wire body";
  EXPECT_EQ(a.softBodyPhase, b.softBodyPhase) << "soft-body phase";
  EXPECT_TRUE(SameBytes(a.pointCloud, b.pointCloud)) << "point cloud";
  EXPECT_TRUE(SameBytes(a.field, b.field)) << "particle field";
  EXPECT_TRUE(SameBytes(a.loader, b.loader)) << "loader";
  EXPECT_TRUE(SameBytes(a.scene, b.scene)) << "scene";
  EXPECT_TRUE(SameBytes(a.plan, b.plan)) << "scene plan";
  EXPECT_TRUE(SameBytes(a.director, b.director)) << "director";
  EXPECT_TRUE(SameBytes(a.wireLayer, b.wireLayer)) << "wire layer";
  EXPECT_TRUE(SameBytes(a.composition, b.composition)) << "composition";
  EXPECT_EQ(a.keysFired, b.keysFired) << "key track";
}

}  // namespace showcompare
