// The committed performance, assets/keys.dat: the generator still writes it,
// the program reads it as composed, its keys land where the show draws what
// they drive, and replaying it through the director plays the intended show.
#include "tools/choreography/choreography.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>

#include "core/timeline.h"
#include "objects/program_objects.h"
#include "runtime/director.h"
#include "runtime/key_track.h"
#include "tools/assetgen/music_score.h"

using namespace choreography;

namespace {
const char kKeysPath[] = KELVANE_SOURCE_DIR "/assets/keys.dat";

// Loads keys.dat and ends the scan after its entries.
int LoadCommittedTrack() {
  const int count = LoadKeyTrack(kKeysPath);
  if (count < kKeyTrackSize) keyTrackTimes[count] = kKeyTrackEnd;
  return count;
}

// Replays the loaded track at 30 frames a second up to endSeconds.
template <typename Frame>
void Replay(double endSeconds, Frame frame) {
  for (long n = 0; n / 30.0 < endSeconds; ++n) {
    const float seconds = float(n / 30.0);
    demoTime = seconds * 10.0f;
    demoTimeDouble = demoTime;
    ReplayKeyTrack(seconds);
    frame(seconds);
  }
}

TEST(Performance, CommittedKeysAreTheGeneratorOutputAndLoadAsComposed) {
  std::ostringstream text;
  text << std::ifstream(kKeysPath, std::ios::binary).rdbuf();
  const std::vector<KeyPress> presses = ComposePerformance();
  EXPECT_TRUE(text.str() == FormatKeyTrack(presses)) << "run `make keys` and commit it";
  ASSERT_EQ(LoadCommittedTrack(), int(presses.size()));
  for (size_t i = 0; i < presses.size(); ++i) {
    ASSERT_EQ(keyTrackKeys[i], presses[i].key) << i;
    ASSERT_NEAR(keyTrackTimes[i], presses[i].seconds, 1e-4) << i;
    if (i > 0) {
      ASSERT_LE(keyTrackTimes[i - 1], keyTrackTimes[i]) << i;
    }
  }
  // Every hit of the music has a key on it, the keys' lead ahead of the beat.
  for (const assetgen::music::Hit& hit : assetgen::music::kHits) {
    const double at = assetgen::music::BeatTime(hit.beat) - 0.04;
    bool played = false;
    for (const KeyPress& k : presses) played |= std::fabs(k.seconds - at) < 1e-6;
    EXPECT_TRUE(played) << "no key on the hit at " << hit.showTime << " s";
  }
  // The Escape comes last, after the end screen and before the track ends.
  EXPECT_EQ(presses.back().key, kEscape);
  EXPECT_GT(presses.back().seconds, 176.5 + 8.4);
  EXPECT_LT(presses.back().seconds, assetgen::music::kTrackSeconds);
}

TEST(Performance, PulseAndFlashWindowsAndTheKeysInThem) {
  // In tenths: pulses in 400-600 and 700-1700 outside 1049-1072.5, 1268-1287
  // and 1295-1406; the flash in 840-1720 outside 1049-1078.22, 1268-1287,
  // 1295-1406 and 1420-1495.
  const struct {
    double tenths;
    bool pulses, flash;
  } rows[] = {{399, false, false}, {401, true, false},  {650, false, false}, {845, true, true},
              {1050, false, false}, {1075, true, false}, {1080, true, true},  {1280, false, false},
              {1290, true, true},  {1300, false, false}, {1407, true, true},  {1450, true, false},
              {1500, true, true},  {1699, true, true},   {1710, false, true}, {1721, false, false}};
  for (const auto& r : rows) {
    EXPECT_EQ(PulsesShow(r.tenths / 10), r.pulses) << r.tenths;
    EXPECT_EQ(FlashShows(r.tenths / 10), r.flash) << r.tenths;
  }
  for (const KeyPress& k : ComposePerformance()) {
    if (std::strchr("123m,.sthre", k.key)) {
      EXPECT_TRUE(PulsesShow(k.seconds)) << k.key << " at " << k.seconds;
    }
  }
}

TEST(Performance, ReplayPlaysTheIntendedShow) {
  ASSERT_GT(LoadCommittedTrack(), 0);
  director = DirectorState{};
  for (int axis = 0; axis < 3; ++axis) ropeA.centre[axis] = ropeB.centre[axis] = 0;
  const double moments[] = {25, 31, 45, 68, 100, 106.5, 115, 125, 141, 150, 156, 171, 180};
  std::map<double, DirectorState> at;
  int flashFrames = 0, flashShown = 0, steps = 0, lastStep = director.textureStep;
  double drift = 0;
  Replay(kEscapeSeconds, [&](float seconds) {
    for (double m : moments)
      if (!at.count(m) && seconds >= m) at[m] = director;
    if (director.textureStep != lastStep) {
      EXPECT_TRUE(FlashShows(seconds)) << "picture stepped unseen at " << seconds;
      lastStep = director.textureStep;
      ++steps;
    }
    if (FlashShows(seconds)) ++flashFrames, flashShown += demoTime - director.beatTime < 10;
    for (int axis = 0; axis < 3; ++axis)
      drift = std::max({drift, std::fabs(ropeA.centre[axis]), std::fabs(ropeB.centre[axis])});
  });
  ASSERT_EQ(at.size(), std::size(moments));
  for (double m : {31.0, 45.0, 115.0, 125.0, 141.0, 150.0, 156.0})
    EXPECT_TRUE(at[m].layerSwitch1 && at[m].layerSwitch2) << "ropes hidden at " << m << " s";
  EXPECT_EQ(at[25].layerSwitch2, 0);
  EXPECT_EQ(at[68].layerSwitch1, 0);
  EXPECT_EQ(at[125].ropeDrawMode, 0);
  EXPECT_EQ(at[141].ropeDrawMode, 1);
  EXPECT_EQ(at[150].ropeDrawMode, 2);
  EXPECT_EQ(at[156].ropeDrawMode, 3);
  EXPECT_EQ(at[115].effectSwitch, 1);
  EXPECT_EQ(at[100].blendSwitch, 0);
  EXPECT_EQ(at[106.5].blendSwitch, 1);
  EXPECT_EQ(at[45].ropeASwing, 1);
  EXPECT_EQ(at[141].ropeBSwing, 1);
  EXPECT_EQ(at[171].ropeASwing + at[171].ropeBSwing, 0);
  EXPECT_EQ(at[180].ropeDrawFlag, 0);
  EXPECT_GT(steps, 60);
  EXPECT_GT(flashShown, flashFrames * 6 / 10);
  EXPECT_LT(drift, 0.25);  // the nudges keep the ropes near the centre
}

TEST(PerformanceDeathTest, TheTrackEndsTheShow) {
  EXPECT_EXIT(
      {
        LoadCommittedTrack();
        Replay(assetgen::music::kTrackSeconds, [](float) {});
      },
      ::testing::ExitedWithCode(0), "");
}
}  // namespace
