#include "runtime/key_track.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "core/timeline.h"
#include "runtime/director.h"

namespace {
std::string WriteTemp(const std::string& name, const std::string& text) {
  std::string path = ::testing::TempDir() + name;
  std::ofstream(path, std::ios::binary) << text;
  return path;
}

int Load(const std::string& text) { return LoadKeyTrack(WriteTemp("keys.dat", text).c_str()); }
}  // namespace

TEST(KeyTrack, ReadsEntriesAndFillsTheRest) {
  EXPECT_EQ(Load("a 1.5\nb 2\n\n   c   3.25\n"), 3);
  EXPECT_EQ(keyTrackKeys[0], 'a');
  EXPECT_EQ(keyTrackTimes[0], 1.5f);
  EXPECT_EQ(keyTrackKeys[1], 'b');
  EXPECT_EQ(keyTrackKeys[2], 'c');  // blanks and empty lines before a key are skipped
  EXPECT_EQ(keyTrackTimes[2], 3.25f);
  EXPECT_EQ(keyTrackKeys[3], '/');
  EXPECT_EQ(keyTrackTimes[kKeyTrackSize - 1], 1e9f);
}

TEST(KeyTrack, EmptyAndMissingFilesGiveAnEmptyTrack) {
  EXPECT_EQ(Load(""), 0);
  EXPECT_EQ(keyTrackKeys[0], '/');
  EXPECT_EQ(keyTrackTimes[0], 1e9f);
  EXPECT_EQ(LoadKeyTrack("/nonexistent/keys.dat"), 0);
  EXPECT_EQ(keyTrackKeys[kKeyTrackSize - 1], '/');
}

TEST(KeyTrack, OnlyTheFirstEntryCanBeABlank) {
  Load(" 4\n  5\n");
  EXPECT_EQ(keyTrackKeys[0], ' ');
  EXPECT_EQ(keyTrackTimes[0], 4.0f);
  // The reader skips the blank before the second key: its digit becomes the key.
  EXPECT_EQ(keyTrackKeys[1], '5');
}

TEST(KeyTrack, LineWithoutANumberKeepsItsKeyAtTimeZero) {
  EXPECT_EQ(Load("x\ny 2\n"), 2);
  EXPECT_EQ(keyTrackKeys[0], 'x');
  EXPECT_EQ(keyTrackTimes[0], 0.0f);
  EXPECT_EQ(keyTrackKeys[1], 'y');
  EXPECT_EQ(keyTrackTimes[1], 2.0f);
  // A word where the number should be is read on as keys.
  Load("s go\n");
  EXPECT_EQ(keyTrackKeys[0], 's');
  EXPECT_EQ(keyTrackKeys[1], 'g');
  EXPECT_EQ(keyTrackKeys[2], 'o');
  EXPECT_EQ(keyTrackTimes[2], 0.0f);
}

TEST(KeyTrack, ReadsAtMostTheTrackSize) {
  std::string text;
  for (int i = 0; i < kKeyTrackSize + 10; ++i) text += "z 7\n";
  text.replace(text.size() - 4, 4, "^ 7\n");
  EXPECT_EQ(Load(text), kKeyTrackSize);
  EXPECT_EQ(keyTrackKeys[kKeyTrackSize - 1], 'z');
}

TEST(KeyTrack, ReplayFiresPassedEntriesOnceInFileOrder) {
  Load("^ 0\n& 2\n* 2\nz -5\n  1 0\n");
  director = DirectorState{};
  demoTime = 0;
  demoTimeDouble = 0;
  // Before the music: only the negative time fires.
  ReplayKeyTrack(0);
  EXPECT_EQ(director.fieldOfView, 65);
  EXPECT_EQ(keyTrackTimes[3], kKeyFired);
  EXPECT_NE(keyTrackTimes[0], kKeyFired);
  // Time 0 waits for music; equal times fire together in file order.
  ReplayKeyTrack(0.01f);
  EXPECT_EQ(director.fieldOfView, 20);
  EXPECT_EQ(director.pulseALevel, 0.2f);
  ReplayKeyTrack(2.5f);
  EXPECT_EQ(director.fieldOfView, 80);  // & then *
  director.fieldOfView = 1;
  ReplayKeyTrack(3.0f);  // fired entries stay fired
  EXPECT_EQ(director.fieldOfView, 1);
}

TEST(KeyTrack, BlankEntryIsConsumedWithoutEffectAndEndMarkStopsTheScan) {
  Load(" 1\n");
  director = DirectorState{};
  demoTimeDouble = 99;
  ReplayKeyTrack(2);
  EXPECT_EQ(director.beatTime, 0);
  EXPECT_EQ(keyTrackTimes[0], kKeyFired);

  Load("^ 1\n& 1\n");
  keyTrackTimes[1] = kKeyTrackEnd;
  keyTrackKeys[2] = 'z';
  keyTrackTimes[2] = 0.5f;
  director = DirectorState{};
  ReplayKeyTrack(5);
  ReplayKeyTrack(6);
  EXPECT_EQ(director.fieldOfView, 20);  // entries after the end mark never fire
  EXPECT_EQ(keyTrackTimes[2], 0.5f);
}

TEST(KeyTrackDeathTest, EscapeInTheTrackEndsTheProcess) {
  Load("\x1b 1\n");
  EXPECT_EXIT(ReplayKeyTrack(1.5f), ::testing::ExitedWithCode(0), "");
}

TEST(KeyTrack, RecordedLiveKeysReplayToTheSameState) {
  std::string path = ::testing::TempDir() + "recorded.dat";
  std::remove(path.c_str());
  setenv("KELVANE_RECORD", path.c_str(), 1);
  StartKeyRecording();
  unsetenv("KELVANE_RECORD");

  // A live performance: keys at rising music times, the director state kept.
  struct Press { unsigned char key; float seconds; };
  const Press presses[] = {{'^', 0.5f}, {'{', 1.25f}, {' ', 1.5f}, {'8', 2.0f},
                           {'1', 2.75f}, {'A', 3.0f}, {'-', 3.5f}, {'\n', 3.6f}};
  director = DirectorState{};
  for (const Press& p : presses) {
    demoTime = p.seconds * 10;
    demoTimeDouble = demoTime;
    RecordLiveKey(p.key, p.seconds);
    HandleKey(p.key);
  }
  EXPECT_TRUE(FinishKeyRecording());
  DirectorState live = director;

  // Replayed frame by frame as a key track.
  ASSERT_EQ(LoadKeyTrack(path.c_str()), 6);  // blank and line end are not recorded
  director = DirectorState{};
  for (float s = 0; s < 5; s += 0.01f) {
    demoTime = s * 10;
    demoTimeDouble = demoTime;
    ReplayKeyTrack(s);
  }
  EXPECT_EQ(director.fieldOfView, live.fieldOfView);
  EXPECT_EQ(director.turnIndexA, live.turnIndexA);
  EXPECT_EQ(director.layerSwitch2, live.layerSwitch2);
  EXPECT_EQ(director.pulseALevel, live.pulseALevel);
  EXPECT_NEAR(director.pulseAStamp, live.pulseAStamp, 0.2);  // within a frame
  EXPECT_EQ(director.angleAB, live.angleAB);
}
