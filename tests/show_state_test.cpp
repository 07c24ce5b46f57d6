// The whole show state is a value: a copy taken after some frames, assigned
// back after more, steps on exactly as the original did from there, every
// subsystem compared field by field; stepping the original never moves the
// copy. Frames are stepped without GL, as a run-up would step them.
#include <gtest/gtest.h>


#include <cstring>
#include <vector>

#include "runtime/frame_steps.h"
#include "runtime/key_track.h"
#include "scenes/scene_steps.h"
#include "scenes/show_state_io.h"
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

// The state as bytes, as a checkpoint file holds it: read into a freshly
// started show it gives the same show, which steps on as the original does;
// bytes cut short, with more after them, or of a show of another shape are
// refused and leave the show as it was.
TEST(ShowState, BytesGiveTheSameShowAndBadBytesAreRefused) {
  constexpr size_t kEntries = kKeyTrackSize;
  ShowState show = StartedShow();
  show.clock = FrameClock{70.0f, 700.0f};
  StepFrames(show, 5);
  show.keysFired.assign(kEntries, false);
  show.keysFired[1] = true;
  std::vector<uint8_t> bytes;
  AppendShowState(show, bytes);

  ShowState read = StartedShow();
  std::string why;
  ASSERT_TRUE(ReadShowState(bytes.data(), bytes.size(), kEntries, read, &why)) << why;
  ExpectSameShow(read, show);
  EXPECT_EQ(read.keysFired, show.keysFired);
  StepFrames(show, 3);
  StepFrames(read, 3);
  ExpectSameShow(read, show);

  const ShowState fresh = StartedShow();
  std::vector<uint8_t> longer = bytes;
  longer.push_back(0);
  ShowState other = StartedShow();
  other.softBody.points.pop_back();
  const struct {
    const char* what;
    const uint8_t* data;
    size_t size;
    size_t entries;
    ShowState into;
  } refused[] = {
      {"cut short", bytes.data(), bytes.size() - 1, kEntries, fresh},
      {"cut at the ropes", bytes.data(), bytes.size() / 2, kEntries, fresh},
      {"longer", longer.data(), longer.size(), kEntries, fresh},
      {"another mesh", bytes.data(), bytes.size(), kEntries, other},
      {"another key track", bytes.data(), bytes.size(), kEntries + 1, fresh},
  };
  for (const auto& r : refused) {
    SCOPED_TRACE(r.what);
    ShowState into = r.into;
    EXPECT_FALSE(ReadShowState(r.data, r.size, r.entries, into, &why));
    EXPECT_FALSE(why.empty());
    ExpectSameShow(into, r.into);
  }
}
}  // namespace
