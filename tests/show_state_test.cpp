// The whole show state is a value: a copy taken after some frames, assigned
// back after more, steps on exactly as the original did from there, every
// subsystem compared field by field; stepping the original never moves the
// copy. Frames are stepped without GL, as a run-up would step them.
#include <gtest/gtest.h>


#include "runtime/frame_steps.h"
#include "scenes/scene_steps.h"
#include "tests/lwo2_bytes.h"
#include "tests/show_compare.h"

using namespace lwo2;
using namespace showcompare;

namespace {
// A small closed body under pressure stands in for both mesh bodies.
CSoftObject SmallBody() {
  TempFile file(Form(Pnts({0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1}) +
                     Pols({{0, 2, 1}, {0, 1, 3}, {0, 3, 2}, {1, 2, 3}}) +
                     Vmap("WGHT", "Bone01", {{0, 1}, {1, 1}, {2, 1}, {3, 1}})));
  return CSoftObject(0, 0, 0, 10.0f, 2.0f, file.path(), 5.0f, 1.0f, 1.0f);
}

// The show past its loader, seeded as start-up seeds it, with the rope layer
// and its effects switched on and the rope centres drifting.
ShowState StartedShow() {
  ShowState show;
  RandomSeed(show.generator, 38);
  ScatterPointCloud(show.pointCloud, show.rand);
  show.softBody = SmallBody();
  show.wireBody = show.softBody;
  show.loader.loadingDone = show.loader.musicStarted = 1;
  show.director.layerSwitch1 = show.director.layerSwitch2 = 1;
  show.director.ropeASwing = show.director.ropeBSwing = 1;
  show.director.beatTime = 1e9f;  // the picture flash shows its copies
  return show;
}

// `frames` frames at 10 a second from the clock's position on.
void StepFrames(ShowState& show, int frames) {
  for (int k = 0; k < frames; ++k)
    StepFrame(show, NextFrameTime(show.clock, show.clock.demoClock + 0.1f, 0));
}

// Stretches of the show, in music seconds, and what stepping each must move:
// the wire layer and the stirred stars; the close-up (the breathing soft
// body, its drift, glints, star colours, chain jitter, pulse figures); the
// last minute (flash layers, picture flash, threads, the last chain).
using Moved = bool (*)(const ShowState& before, const ShowState& after);
const struct {
  float from;
  const char* what;
  Moved moved;
} kStretches[] = {
    {33.0f, "wire layer",
     [](const ShowState& a, const ShowState& b) { return !SameBytes(a.wireLayer, b.wireLayer); }},
    {33.0f, "point cloud",
     [](const ShowState& a, const ShowState& b) { return !SameBytes(a.pointCloud, b.pointCloud); }},
    {70.0f, "soft body",
     [](const ShowState& a, const ShowState& b) {
       return !SameBody(a.softBody, b.softBody) && a.softBodyPhase != b.softBodyPhase;
     }},
    {70.0f, "close-up drift",
     [](const ShowState& a, const ShowState& b) {
       return a.scene.closeUpDrift != b.scene.closeUpDrift;
     }},
    {152.5f, "flash layers",
     [](const ShowState& a, const ShowState& b) {
       return !SameBytes(a.composition, b.composition);
     }},
};

TEST(ShowState, CopiesRestoreAndStepApartInEveryWindow) {
  ShowState show = StartedShow();
  for (const float from : {33.0f, 70.0f, 152.5f}) {
    SCOPED_TRACE(testing::Message() << "from " << from << " s");
    show.clock = FrameClock{from, from * 10};
    StepFrames(show, 3);
    const ShowState copy = show;
    const ShowState untouched = copy;
    StepFrames(show, 4);
    const ShowState after = show;
    EXPECT_FALSE(SameRope(after.ropeA, copy.ropeA)) << "the ropes did not move";
    EXPECT_FALSE(SameBytes(after.generator, copy.generator)) << "nothing drew";
    for (const auto& stretch : kStretches) {
      if (stretch.from == from) {
        EXPECT_TRUE(stretch.moved(copy, after)) << stretch.what;
      }
    }
    ExpectSameShow(copy, untouched);  // stepping the original left the copy alone

    show = copy;
    StepFrames(show, 4);
    ExpectSameShow(show, after);
  }
}
}  // namespace
