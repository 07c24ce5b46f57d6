// Rehearsal's decisions without GL: where each key's seek or step lands,
// when a loop jumps back, what the display says, and the key track read
// again while the show runs.
#include "runtime/rehearsal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>

#include "runtime/key_track.h"
#include "scenes/show_state.h"

namespace {
using A = RehearsalAction;

bool Has(const std::vector<std::string>& names, const std::string& name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

// Seeks stay within the music; a frame step lands on the next moment of the
// frame grid, from a float reading or from between two frames. (The program
// test presses every key and reads where it landed.)
TEST(Rehearsal, SeeksStayInTheMusicAndStepsLandOnTheGrid) {
  EXPECT_EQ(SeekTarget(A::Back1, 0.4, 180), 0);
  EXPECT_EQ(SeekTarget(A::Back10, 5, 180), 0);
  EXPECT_EQ(SeekTarget(A::Forward10, 175, 180), 180);
  EXPECT_EQ(SeekTarget(A::NearEnd, 30, 180), 170);
  EXPECT_EQ(SeekTarget(A::NearEnd, 30, 6), 0) << "music shorter than 10 s";
  EXPECT_EQ(RehearsalActionForKey(rehearsal_keys::kEnd), A::NearEnd);
  EXPECT_EQ(RehearsalActionForKey(11), A::None) << "F11 stays the full-screen key";
  EXPECT_EQ(StepTarget(12.004, 60), 721.0 / 60);
  EXPECT_EQ(StepTarget(static_cast<float>(721.0 / 60), 60), 722.0 / 60);
}

// F8 needs both marks, the start before the end; looping, the music jumps
// back once it reaches the end, and starting a loop from outside it jumps in.
TEST(Rehearsal, LoopNeedsBothMarksAndJumpsBackAtItsEnd) {
  RehearsalState s;
  std::string why;
  EXPECT_FALSE(ToggleLoop(s, &why));
  EXPECT_NE(why.find("F6"), std::string::npos);
  s.loopStart = 12;
  s.loopEnd = 12;
  EXPECT_FALSE(ToggleLoop(s, &why)) << "an empty loop";
  s.loopEnd = 11;
  EXPECT_FALSE(ToggleLoop(s, &why));
  EXPECT_FALSE(s.looping);
  EXPECT_FALSE(LoopJumpsBack(s, 20)) << "not looping";
  s.loopEnd = 15;
  ASSERT_TRUE(ToggleLoop(s, &why));
  EXPECT_TRUE(s.looping);
  EXPECT_FALSE(LoopJumpsBack(s, 12));
  EXPECT_FALSE(LoopJumpsBack(s, 14.99));
  EXPECT_TRUE(LoopJumpsBack(s, 15));
  EXPECT_TRUE(LoopJumpsBack(s, 15.02));
  EXPECT_TRUE(OutsideLoop(s, 11.9));
  EXPECT_FALSE(OutsideLoop(s, 12));
  EXPECT_TRUE(OutsideLoop(s, 15));
  ASSERT_TRUE(ToggleLoop(s, &why));
  EXPECT_FALSE(s.looping);
  EXPECT_FALSE(LoopJumpsBack(s, 16));
}

// The display's text: times, the event lines the tests read, the windows by
// their names in the code, the frame rate of the last second.
TEST(Rehearsal, DisplayTellsTimesWindowsFrameRateAndLoop) {
  EXPECT_EQ(FormatMusicTime(0), "0:00.00");
  EXPECT_EQ(FormatMusicTime(75.5), "1:15.50");
  EXPECT_EQ(FormatMusicTime(8.4f), "0:08.40");
  EXPECT_EQ(FormatMusicTime(12.3467), "0:12.34");
  EXPECT_EQ(FormatMusicTime(-0.5), "0:00.00");
  EXPECT_EQ(RehearsalEventLine("paused at", 12.3467, 60),
            "rehearse: paused at 0:12.34 (12.3467 s, frame 741)");

  const auto at705 = WindowsHolding(705);
  for (const char* name : {"kCloseUpWindow", "kPulseWindow", "kOrbitWindow", "InFirstPostWindow",
                           "InSoftBodyWindow"})
    EXPECT_TRUE(Has(at705, name)) << name;
  for (const char* name : {"kWireWindow", "InFlashWindow", "t < kIntroEnd", "InParticleFieldWindow"})
    EXPECT_FALSE(Has(at705, name)) << name;
  const auto at100 = WindowsHolding(100);
  EXPECT_TRUE(Has(at100, "t < kIntroEnd"));
  EXPECT_TRUE(Has(at100, "InParticleFieldWindow"));
  EXPECT_FALSE(Has(at100, "kCloseUpWindow"));
  EXPECT_TRUE(Has(WindowsHolding(1060), "kPictureFlashHold"));
  EXPECT_TRUE(Has(WindowsHolding(1770), "t > kEndScreenAfter"));

  FrameStats stats;
  for (int i = 1; i <= 30; ++i) AddFrame(stats, i * 0.05, i == 25 ? 0.2 : 0.05);
  EXPECT_EQ(FramesInLastSecond(stats), 20) << "the frames after 0.5 s";
  EXPECT_DOUBLE_EQ(SlowestFrameMs(stats), 200);
  AddFrame(stats, 2.5, 0.05);
  EXPECT_EQ(FramesInLastSecond(stats), 1);
  EXPECT_DOUBLE_EQ(SlowestFrameMs(stats), 50);

  RehearsalState s;
  s.paused = true;
  s.loopStart = 12;
  s.loopEnd = 75.5;
  s.looping = true;
  const auto lines = DisplayLines(s, 62.5, 625, stats, "dat/dof_fragment.glsl does not compile:\n0:3: error");
  ASSERT_GE(lines.size(), 6u);
  EXPECT_EQ(lines[0], "music 1:02.50   demo time 625.0   PAUSED");
  EXPECT_EQ(lines[1], "1 frames/s   slowest 50.0 ms");
  EXPECT_NE(lines[2].find("kWireWindow"), std::string::npos) << lines[2];
  EXPECT_TRUE(Has(lines, "loop 0:12.00 to 1:15.50   looping"));
  EXPECT_EQ(lines[lines.size() - 2], "dat/dof_fragment.glsl does not compile:");
  EXPECT_EQ(lines.back(), "0:3: error");
}

std::string WriteTrack(const std::string& text) {
  const std::string path = ::testing::TempDir() + "rehearse-keys.dat";
  std::ofstream(path, std::ios::binary) << text;
  return path;
}

// The key track read again while the show runs applies from the moment
// given: what lies before it counts as fired and never fires, what lies after
// fires as the music passes it, an end mark still ends the scan; a file that
// cannot be read, or holds no whole entry, leaves the track in use.
TEST(Rehearsal, KeyTrackReadAgainAppliesFromNow) {
  testing::internal::CaptureStderr();
  ASSERT_EQ(LoadKeyTrack(WriteTrack("^ 1\n& 8\n").c_str()), 2);
  testing::internal::GetCapturedStderr();
  ShowState show;
  ReplayKeyTrack(show, 2);
  EXPECT_EQ(show.director.fieldOfView, 20);

  std::string message;
  ASSERT_TRUE(ReloadKeyTrack(WriteTrack("z 1\n* 4.5\nx 5.5\n; 7\n").c_str(), show, 5, &message));
  EXPECT_NE(message.find("4 entries, 2 of them before 5.00 s"), std::string::npos) << message;
  ReplayKeyTrack(show, 5.2f);
  EXPECT_EQ(show.director.fieldOfView, 20) << "z and * lie before the reload: not fired";
  ReplayKeyTrack(show, 6);
  EXPECT_EQ(show.director.fieldOfView, 38) << "x fires after the reload";
  show.director.fieldOfView = 1;
  ReplayKeyTrack(show, 9);
  EXPECT_EQ(show.director.fieldOfView, 38) << "; fires; & of the old track is gone";

  // An end mark in the new track: nothing after it fires, before or after now.
  ASSERT_TRUE(ReloadKeyTrack(WriteTrack("^ 1\n| -1\n& 2\n* 20\n").c_str(), show, 10, &message));
  show.director.fieldOfView = 1;
  ReplayKeyTrack(show, 30);
  EXPECT_EQ(show.director.fieldOfView, 1);

  ASSERT_TRUE(ReloadKeyTrack(WriteTrack("^ 1\n& 12\n").c_str(), show, 10, &message));
  for (const std::string& bad : {std::string(""), std::string("x\ny 2\n")}) {
    EXPECT_FALSE(ReloadKeyTrack(WriteTrack(bad).c_str(), show, 10, &message));
    EXPECT_NE(message.find("keeping the track in use"), std::string::npos) << message;
  }
  const std::string missing = ::testing::TempDir() + "no-such-keys.dat";
  EXPECT_FALSE(ReloadKeyTrack(missing.c_str(), show, 10, &message));
  EXPECT_NE(message.find("cannot read the key track " + missing), std::string::npos) << message;
  ReplayKeyTrack(show, 13);
  EXPECT_EQ(show.director.fieldOfView, 40) << "the track in use still fires its keys";
  std::remove(WriteTrack("").c_str());
}
}  // namespace
