// The simulated objects through the show: both ropes moved the way the
// director and the scene renderer move them, at low and high frame rates in
// both builds, and the soft body through its window with the shipped mesh.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <tuple>

#include "core/timeline.h"
#include "objects/object_steps.h"
#include "runtime/frame_steps.h"

namespace {
#ifdef KELVANE_SANITIZED
constexpr double kShowSeconds = 8;  // the sanitizer build samples the show
#else
constexpr double kShowSeconds = 60;
#endif

// Runs both ropes through `seconds` at `fps` with keys every three seconds;
// returns the largest link stretch (length over rest length) at the end,
// 30 frames after the last key, or infinity once anything is not finite.
double RopeStretchAtTheEnd(double fps, bool fixedStep, double seconds) {
  srand(1);
  CRopeObject a(340, 3.1f, 1.3f), b(360, 3.1f, 2.3f);
  const float step = RopeStep(float(1.0 / fps) / 0.0333f, fixedStep);
  const long frames = long(seconds * fps);
  for (long f = 0; f < frames; ++f) {
    const double t = f / fps * 10;
    a.angleA += 0.005f;
    b.angleA -= 0.0025f;
    a.centre[0] = 0.8 * std::sin(t / 100);
    a.centre[1] = 0.8 * std::sin(t * 0.015);
    b.centre[0] = f >= frames / 2 ? 0.5 + 0.4 * std::sin(t / 80) : 0;  // the swing switched on
    if (f % long(3 * fps) == 0 && f < frames - std::max(30L, long(fps))) {
      a.centre[0] -= 0.02, a.angleA += 0.1f, b.angleA -= 0.15f, b.angleB += 0.02f;
    }
    a.PlaceRoots();
    b.PlaceRoots();
    StepRopes(a, step);
    StepRopes(b, step);
  }
  double worst = 0;
  for (const CRopeObject* rope : {&a, &b})
    for (const RopeLink& link : rope->links) {
      const double r = Length(link.first->position - link.second->position) / link.restLength;
      if (!std::isfinite(r)) return INFINITY;
      worst = std::max(worst, r);
    }
  return worst;
}

TEST(ObjectShow, RopesSettleAtAnyFrameRate) {
  for (const auto& [fps, fixed, seconds] :
       {std::tuple{5.0, false, kShowSeconds}, std::tuple{5.0, true, kShowSeconds},
        std::tuple{30.0, false, kShowSeconds / 4}, std::tuple{144.0, false, kShowSeconds / 16}})
    EXPECT_LT(RopeStretchAtTheEnd(fps, fixed, seconds), 3.0) << fps << " fps " << fixed;
}

TEST(ObjectShow, SoftBodyBreathesInsideTheWallsThroughItsWindow) {
  const std::string path = std::string(KELVANE_RUN_DIR) + "/Objects/obj4flak1bone.lwo";
  if (FILE* f = fopen(path.c_str(), "rb")) fclose(f);
  else GTEST_SKIP() << path << " not generated in this build";
  for (double fps : {20.0, 240.0}) {
    SCOPED_TRACE(testing::Message() << fps << " fps");
    CSoftObject body(0, 0, 0, 41100, 60, path.c_str(), 826320, 0.05f, 1.0f);
    body.AccumulateForces();
    const float rest = body.volume;
    softBodyPhase = 0;
    float low = INFINITY, high = -INFINITY;
    int stepped = 0, breaths = 0;
    for (long f = 0; 600 + f / fps * 10 < 1290; ++f) {
      if (!StepSoftBodyFrame(body, float(600 + f / fps * 10))) continue;
      for (const MassPoint& p : body.points)  // the camera comes within 1.17 of a body up to 3.25 x
        ASSERT_LT(Length(p.position), 1.05f) << f;
      ASSERT_GT(body.volume, 0.9f * rest) << f;
      ASSERT_LT(body.volume, 2.5f * rest) << f;
      low = std::min(low, body.volume), high = std::max(high, body.volume);
      if (++stepped % 45 == 0) {  // one pressure pulse is 45 frames
        breaths += high > 1.05f * low;
        low = INFINITY, high = -INFINITY;
      }
    }
    EXPECT_GE(breaths, stepped / 45 * 3 / 4) << "the body stops breathing";
  }
  softBodyPhase = 0;
}
}  // namespace
