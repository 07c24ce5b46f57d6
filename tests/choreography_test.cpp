// The committed performance, assets/keys.dat: the generator still writes it,
// the program reads it as composed and its keys land where the show draws
// what they drive.
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

#include "runtime/key_track.h"
#include "tools/assetgen/music_score.h"

using namespace choreography;

namespace {
const char kKeysPath[] = KELVANE_SOURCE_DIR "/assets/keys.dat";

// Loads keys.dat and ends the scan after its entries.
int LoadCommittedTrack() {
  const int count = LoadKeyTrack(kKeysPath);
  if (count < kKeyTrackSize) keyTrack.times[count] = kKeyTrackEnd;
  return count;
}

TEST(Performance, CommittedKeysAreTheGeneratorOutputAndLoadAsComposed) {
  std::ostringstream text;
  text << std::ifstream(kKeysPath, std::ios::binary).rdbuf();
  const std::vector<KeyPress> presses = ComposePerformance();
  EXPECT_TRUE(text.str() == FormatKeyTrack(presses)) << "run `make keys` and commit it";
  ASSERT_EQ(LoadCommittedTrack(), int(presses.size()));
  for (size_t i = 0; i < presses.size(); ++i) {
    ASSERT_EQ(keyTrack.keys[i], presses[i].key) << i;
    ASSERT_NEAR(keyTrack.times[i], presses[i].seconds, 1e-4) << i;
    if (i > 0) {
      ASSERT_LE(keyTrack.times[i - 1], keyTrack.times[i]) << i;
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

}  // namespace
