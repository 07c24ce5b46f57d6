// The committed performance, assets/keys.dat: that the generator still writes
// it, that the program reads it as composed, and that replaying it through the
// director gives the show the choreography means.
#include "tools/choreography/choreography.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <fstream>
#include <functional>
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
constexpr double kFrameRate = 30;  // music frames per second of the replay

std::string ReadFile(const char* path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Loads keys.dat and ends the scan after its entries: the fill entries never
// fire, and the end mark spares the replay 126000 comparisons a frame.
int LoadCommittedTrack() {
  const int count = LoadKeyTrack(kKeysPath);
  if (count < kKeyTrackSize) keyTrackTimes[count] = kKeyTrackEnd;
  return count;
}

// Replays the loaded track frame by frame at kFrameRate from music time 0 up
// to (not including) `endSeconds`, setting the demo time as the update does;
// `frame` sees the state after each frame's replay.
void Replay(double endSeconds, const std::function<void(float seconds)>& frame = nullptr) {
  for (long n = 0;; ++n) {
    const float seconds = static_cast<float>(n / kFrameRate);
    if (seconds >= endSeconds) break;
    demoTime = seconds * 10.0f;
    demoTimeDouble = demoTime;
    ReplayKeyTrack(seconds);
    if (frame) frame(seconds);
  }
}

struct RopePose {
  double centre[3];
  float angleA, angleB;
};
RopePose PoseOf(const CRopeObject& rope) {
  return {{rope.centre[0], rope.centre[1], rope.centre[2]}, rope.angleA, rope.angleB};
}
}  // namespace

TEST(Performance, CommittedKeysAreTheGeneratorOutput) {
  EXPECT_TRUE(ReadFile(kKeysPath) == FormatKeyTrack(ComposePerformance()))
      << kKeysPath << " differs from the choreography: run `make keys` and commit it";
}

TEST(Performance, LoadsAsComposedSortedAndEndsWithEscape) {
  const std::vector<KeyPress> presses = ComposePerformance();
  const std::string text = ReadFile(kKeysPath);
  const int lines = static_cast<int>(std::count(text.begin(), text.end(), '\n'));
  ASSERT_EQ(LoadCommittedTrack(), static_cast<int>(presses.size()));
  EXPECT_EQ(lines, static_cast<int>(presses.size())) << "a line was read as more than one entry";
  for (size_t i = 0; i < presses.size(); ++i) {
    EXPECT_EQ(keyTrackKeys[i], presses[i].key) << "entry " << i;
    EXPECT_NEAR(keyTrackTimes[i], presses[i].seconds, 1e-4) << "entry " << i;
    EXPECT_FALSE(std::isspace(static_cast<unsigned char>(keyTrackKeys[i]))) << "entry " << i;
    if (i > 0) {
      EXPECT_LE(keyTrackTimes[i - 1], keyTrackTimes[i]) << "entry " << i;
    }
    if (i + 1 < presses.size()) {
      EXPECT_NE(keyTrackKeys[i], kEscape) << "entry " << i;
    }
  }
  // The Escape comes once the end screen has faded in, and before the music's
  // position stops at the end of the track (it would never be passed after).
  const float escape = keyTrackTimes[presses.size() - 1];
  EXPECT_EQ(keyTrackKeys[presses.size() - 1], kEscape);
  EXPECT_GT(escape, kEndScreenStart + kEndScreenFade);
  EXPECT_LT(escape, assetgen::music::kTrackSeconds);
}

// Every key of the track changes something from the director's initial state
// (so none is a typo without an action), and every effect the director drives
// is used at least once.
TEST(Performance, EveryKeyActsAndEveryEffectIsPlayed) {
  std::string used;
  for (const KeyPress& k : ComposePerformance())
    if (used.find(k.key) == std::string::npos) used += k.key;
  for (char key : used) {
    if (key == kEscape) continue;
    director = DirectorState{};
    demoTimeDouble = 1234.5;
    const DirectorState before = director;
    const RopePose a = PoseOf(ropeA), b = PoseOf(ropeB);
    HandleKey(static_cast<unsigned char>(key));
    const RopePose a2 = PoseOf(ropeA), b2 = PoseOf(ropeB);
    EXPECT_TRUE(std::memcmp(&before, &director, sizeof director) != 0 ||
                std::memcmp(&a, &a2, sizeof a) != 0 || std::memcmp(&b, &b2, sizeof b) != 0)
        << "key '" << key << "' has no action";
  }
  for (char key : std::string("123m,.sthre+-8?7uGIH{}YURTABCDEF^&*z;xi="))
    EXPECT_NE(used.find(key), std::string::npos) << "key '" << key << "' is never played";
}

// Pulse keys land where the figures are drawn (the replay checks the flash),
// and every hit of the music is played.
TEST(Performance, KeysMeetTheMusicAndTheirWindows) {
  const std::vector<KeyPress> presses = ComposePerformance();
  for (const KeyPress& k : presses) {
    if (std::strchr("123m,.sthre", k.key)) {
      EXPECT_TRUE(PulsesShow(k.seconds)) << k.key << " at " << k.seconds;
    }
  }
  for (const assetgen::music::Hit& hit : assetgen::music::kHits) {
    const double at = assetgen::music::BeatTime(hit.beat) - kLeadSeconds;
    bool played = false;
    for (const KeyPress& k : presses) played |= std::fabs(k.seconds - at) < 1e-6;
    EXPECT_TRUE(played) << "no key on the hit at " << hit.showTime << " s";
  }
}

TEST(Performance, ReplayPlaysTheIntendedShow) {
  const int count = LoadCommittedTrack();
  ASSERT_GT(count, 0);
  director = DirectorState{};
  for (int axis = 0; axis < 3; ++axis) ropeA.centre[axis] = ropeB.centre[axis] = 0;
  const RopePose startA = PoseOf(ropeA), startB = PoseOf(ropeB);

  // Snapshots of the director at moments the choreography means something.
  const double moments[] = {25, 31, 45, 68, 75, 100, 106.5, 115, 125, 128.5,
                            141, 150, 156, 160, 171, 180};
  std::map<double, DirectorState> at;
  int flashFrames = 0, flashShown = 0, pulseFrames = 0, pulseFresh = 0, steps = 0;
  int lastStep = director.textureStep;
  double worstDrift = 0;
  Replay(kEscapeSeconds, [&](float seconds) {
    for (double m : moments)
      if (at.count(m) == 0 && seconds >= m) at[m] = director;
    const float t = demoTime;
    if (director.textureStep != lastStep) {
      EXPECT_TRUE(FlashShows(seconds)) << "picture stepped unseen at " << seconds;
      lastStep = director.textureStep;
      ++steps;
    }
    // The flash shows for a second after each beat; a pulse figure is fresh
    // for about half a second after its key.
    if (FlashShows(seconds)) {
      ++flashFrames;
      flashShown += t - director.beatTime < 10;
    }
    if (PulsesShow(seconds)) {
      const DirectorState& d = director;
      const float stamps[] = {d.pulseAStamp, d.pulseBStamp, d.pulseCStamp, d.pulseDStamp,
                              d.pulseEStamp, d.pulseFStamp, d.pulseGStamp};
      float latest = 0;
      for (float s : stamps)
        if (s <= t) latest = std::max(latest, s);  // pulse D starts far in the future
      ++pulseFrames;
      pulseFresh += t - latest < 5;
    }
    for (int axis = 0; axis < 3; ++axis) {
      worstDrift = std::max(worstDrift, std::fabs(ropeA.centre[axis] - startA.centre[axis]));
      worstDrift = std::max(worstDrift, std::fabs(ropeB.centre[axis] - startB.centre[axis]));
    }
  });
  ASSERT_EQ(at.size(), std::size(moments));
  printf("flash up %d of %d frames, pulses fresh %d of %d, %d picture steps, rope drift %.3f\n",
         flashShown, flashFrames, pulseFresh, pulseFrames, steps, worstDrift);

  // The rope layer shows in its windows: the break, the second act, the
  // lightning, the finale; the close-up belongs to the soft body alone.
  for (double m : {31.0, 45.0, 75.0, 115.0, 125.0, 128.5, 141.0, 150.0, 156.0, 160.0}) {
    EXPECT_TRUE(at[m].layerSwitch1 && at[m].layerSwitch2) << "ropes hidden at " << m << " s";
  }
  EXPECT_EQ(at[25].layerSwitch2, 0);
  EXPECT_EQ(at[68].layerSwitch1, 0);
  // Extra ropes in their three modes, lightning with the effect switch, the
  // blend flipped for the build, the swings on in the acts and off at the end.
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
  for (const auto& [m, d] : at) {
    EXPECT_GE(d.fieldOfView, 20) << m;
    EXPECT_LE(d.fieldOfView, 88) << m;
  }

  // Pictures step on the beats through 84-172 s and the flash is up for most
  // of its window; the pulse figures keep firing through theirs.
  EXPECT_GT(steps, 60);
  EXPECT_GT(flashShown, flashFrames * 6 / 10) << flashShown << " of " << flashFrames;
  EXPECT_GT(pulseFresh, pulseFrames * 7 / 10) << pulseFresh << " of " << pulseFrames;
  // The nudges of + - r e keep the ropes near where the show put them.
  EXPECT_LT(worstDrift, 0.25);
  EXPECT_LT(std::fabs(ropeA.angleB - startA.angleB), 0.5f);
}

TEST(PerformanceDeathTest, TheTrackEndsTheShow) {
  EXPECT_EXIT(
      {
        LoadCommittedTrack();
        Replay(assetgen::music::kTrackSeconds);  // the position stops at the end
      },
      ::testing::ExitedWithCode(0), "");
}
