// Playback against the real decoder and SDL audio (SDL_AUDIODRIVER=dummy: an
// output that plays into nothing at real-time speed), on a sine encoded by
// LAME. The tests share the process-wide audio state, so they run in the
// order written: decoding, the silent and the dummy output, the virtual clock.
#include "core/audio.h"

#include <gtest/gtest.h>
#include <lame/lame.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "core/ticks.h"

namespace {

std::string TempPath(const std::string& name) { return testing::TempDir() + "k12-audio-" + name; }

// Encodes one second of a mono 440 Hz sine of amplitude 12000 at 22050 Hz,
// with the encoder-delay tag that gives its exact length.
bool WriteSineMp3(const std::string& path) {
  const int rate = 22050;
  lame_global_flags* lame = lame_init();
  lame_set_in_samplerate(lame, rate);
  lame_set_num_channels(lame, 1);
  lame_set_mode(lame, MONO);
  lame_set_brate(lame, 64);
  if (lame_init_params(lame) < 0) return false;
  std::vector<short> pcm(rate);
  for (int i = 0; i < rate; ++i) pcm[i] = short(12000 * std::sin(2 * M_PI * 440 * i / rate));
  std::vector<unsigned char> mp3(rate * 5 / 4 + 7200);
  int bytes = lame_encode_buffer(lame, pcm.data(), pcm.data(), rate, mp3.data(), int(mp3.size()));
  bytes += lame_encode_flush(lame, mp3.data() + bytes, int(mp3.size()) - bytes);
  FILE* file = std::fopen(path.c_str(), "wb+");
  const bool ok = file && std::fwrite(mp3.data(), 1, bytes, file) == size_t(bytes);
  if (file) lame_mp3_tags_fid(lame, file);
  lame_close(lame);
  return file && std::fclose(file) == 0 && ok;
}

double Now() {
  static const auto start = std::chrono::steady_clock::now();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double PositionSeconds(MusicStream s) {
  return AudioChannelBytes2Seconds(s, AudioChannelGetPosition(s));
}

const std::string& Sine() {
  static const std::string path = TempPath("sine.mp3");
  static const bool written = WriteSineMp3(path);
  EXPECT_TRUE(written);
  return path;
}

}  // namespace

// The mono 22050 Hz file comes out as one second of 44100 Hz stereo that
// still holds the 440 Hz tone at its amplitude; missing, undecodable and cut
// files give no stream and a message naming them.
TEST(Audio, DecodesToStereoAt44100AndNamesBadFiles) {
  std::string error;
  EXPECT_TRUE(AudioCheckFile(Sine().c_str(), &error)) << error;
  MusicStream stream = AudioStreamCreateFile(Sine().c_str());
  ASSERT_NE(stream, 0u);
  EXPECT_EQ(AudioStreamRate(stream), 44100);
  const int16_t* pcm = nullptr;
  size_t frames = 0;
  ASSERT_TRUE(AudioStreamPcm(stream, &pcm, &frames));
  EXPECT_NEAR(frames / 44100.0, 1.0, 0.03);
  EXPECT_DOUBLE_EQ(AudioChannelBytes2Seconds(stream, 4 * 22050), 0.5);
  int crossings = 0, channelDiff = 0;
  double sumSquares = 0;
  for (size_t i = frames / 4; i < frames / 4 + 22050; ++i) {  // the middle half second
    channelDiff = std::max(channelDiff, std::abs(pcm[2 * i] - pcm[2 * i + 1]));
    crossings += pcm[2 * i - 2] < 0 && pcm[2 * i] >= 0;
    sumSquares += double(pcm[2 * i]) * pcm[2 * i];
  }
  EXPECT_EQ(channelDiff, 0);
  EXPECT_NEAR(crossings, 220, 2);
  EXPECT_NEAR(std::sqrt(sumSquares / 22050), 12000 / std::sqrt(2.0), 1200);
  EXPECT_EQ(AudioChannelGetPosition(stream), 0u) << "not playing yet";
  AudioStreamFree(stream);
  EXPECT_FALSE(AudioStreamPcm(stream, &pcm, &frames));

  const std::string garbage = TempPath("garbage.mp3");
  std::ofstream(garbage) << std::string(6000, 'x');
  for (const std::string& path : {TempPath("missing.mp3"), garbage}) {
    EXPECT_FALSE(AudioCheckFile(path.c_str(), &error));
    EXPECT_NE(error.find(path), std::string::npos) << error;
    testing::internal::CaptureStderr();
    EXPECT_EQ(AudioStreamCreateFile(path.c_str()), 0u);
    EXPECT_NE(testing::internal::GetCapturedStderr().find(path), std::string::npos);
  }

  // Cut to half, the file fails the start-up check with both lengths;
  // opened anyway, it plays silence after the cut, so that its clock still
  // runs to the end.
  const std::string cut = TempPath("cut.mp3");
  std::filesystem::copy_file(Sine(), cut);
  std::filesystem::resize_file(cut, std::filesystem::file_size(cut) / 2);
  EXPECT_FALSE(AudioCheckFile(cut.c_str(), &error));
  EXPECT_NE(error.find(cut + "': cut short"), std::string::npos) << error;
  EXPECT_NE(error.find("of the 1.0 s its header gives"), std::string::npos) << error;
  testing::internal::CaptureStderr();
  stream = AudioStreamCreateFile(cut.c_str());
  EXPECT_NE(testing::internal::GetCapturedStderr().find("the rest plays as silence"),
            std::string::npos);
  ASSERT_TRUE(AudioStreamPcm(stream, &pcm, &frames));
  EXPECT_NEAR(frames / 44100.0, 1.0, 0.03);
  size_t lastSound = 0;
  for (size_t i = 0; i < frames; ++i)
    if (pcm[2 * i] != 0) lastSound = i;
  EXPECT_NEAR(lastSound / 44100.0, 0.5, 0.1);
  AudioStreamFree(stream);
}

// Without a device (an unknown driver) the output is silent after one line,
// with the dummy device it is SDL's; either way the position never goes back,
// never runs ahead of the wall clock, moves while it plays and stops at the
// end of the track.
TEST(Audio, PositionFollowsTheWallClockWithAndWithoutDevice) {
  for (const char* driver : {"no-such-driver", "dummy"}) {
    SCOPED_TRACE(driver);
    setenv("SDL_AUDIODRIVER", driver, 1);
    testing::internal::CaptureStderr();
    EXPECT_TRUE(AudioInit(-1, 44100));
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              driver[0] == 'n' ? "no audio device: playing without sound\n" : "");
    EXPECT_TRUE(AudioStart());
    MusicStream stream = AudioStreamCreateFile(Sine().c_str());
    ASSERT_NE(stream, 0u);
    const double beforePlay = Now();
    ASSERT_TRUE(AudioChannelPlay(stream, false));
    double previous = 0;
    for (int i = 0; i < 20; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      const double position = PositionSeconds(stream);
      EXPECT_GE(position, previous);
      EXPECT_LE(position, Now() - beforePlay + 0.001);
      previous = position;
    }
    EXPECT_GT(previous, 0.1);
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    size_t frames = 0;
    AudioStreamPcm(stream, nullptr, &frames);
    EXPECT_EQ(AudioChannelGetPosition(stream), 4u * frames) << "stops at the end of the track";
    AudioStreamFree(stream);
    AudioShutdown();
  }
}

// Pause holds the position and set-position moves it, on the silent output
// and on the dummy device alike: a paused stream reads the same position
// however long it waits and stays paused when moved; resumed, it plays on
// from where it was held; moved while playing, it plays on from there; a
// position past the end is clamped to the track.
TEST(Audio, PauseHoldsAndSetPositionMovesWithAndWithoutDevice) {
  for (const char* driver : {"no-such-driver", "dummy"}) {
    SCOPED_TRACE(driver);
    setenv("SDL_AUDIODRIVER", driver, 1);
    testing::internal::CaptureStderr();
    ASSERT_TRUE(AudioInit(-1, 44100));
    testing::internal::GetCapturedStderr();
    AudioStart();
    MusicStream stream = AudioStreamCreateFile(Sine().c_str());
    ASSERT_NE(stream, 0u);
    EXPECT_FALSE(AudioChannelPause(stream)) << "not started";
    ASSERT_TRUE(AudioChannelPlay(stream, false));
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    ASSERT_TRUE(AudioChannelPause(stream));
    EXPECT_TRUE(AudioChannelPaused(stream));
    const uint64_t held = AudioChannelGetPosition(stream);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(AudioChannelGetPosition(stream), held) << "the position holds while paused";

    ASSERT_TRUE(AudioChannelSetPosition(stream, 0.5));
    EXPECT_EQ(AudioChannelGetPosition(stream), 4u * 22050) << "exactly the moment set";
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_TRUE(AudioChannelPaused(stream));
    EXPECT_EQ(AudioChannelGetPosition(stream), 4u * 22050) << "still paused there";

    const double resumed = Now();
    ASSERT_TRUE(AudioChannelResume(stream));
    EXPECT_FALSE(AudioChannelPaused(stream));
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    double position = PositionSeconds(stream);
    EXPECT_GT(position, 0.5 + 0.1) << "plays on from the moment set";
    EXPECT_LE(position, 0.5 + Now() - resumed + 0.001);

    ASSERT_TRUE(AudioChannelSetPosition(stream, 0.25));
    position = PositionSeconds(stream);
    EXPECT_NEAR(position, 0.25, 0.005) << "moved back while playing";
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    EXPECT_GT(PositionSeconds(stream), 0.25 + 0.1) << "and plays on";

    AudioChannelPause(stream);
    ASSERT_TRUE(AudioChannelSetPosition(stream, 5.0));
    size_t frames = 0;
    AudioStreamPcm(stream, nullptr, &frames);
    EXPECT_EQ(AudioChannelGetPosition(stream), 4u * frames) << "clamped to the track";
    EXPECT_DOUBLE_EQ(AudioStreamSeconds(stream), frames / 44100.0);
    AudioStreamFree(stream);
    EXPECT_FALSE(AudioChannelSetPosition(stream, 0.1)) << "no stream";
    AudioShutdown();
  }
}

// The capture tool's clock: positions are exactly what it sets, starting at
// the start position, capped at the end; the ticks move with it and not with
// the wall clock.
TEST(Audio, VirtualClockGivesExactPositionsAndTicks) {
  AudioUseVirtualClock();
  EXPECT_TRUE(AudioInit(-1, 44100));
  EXPECT_TRUE(AudioStart());
  AudioSetStartSeconds(0.25);
  MusicStream stream = AudioStreamCreateFile(Sine().c_str());
  ASSERT_NE(stream, 0u);
  AudioAdvanceVirtualClock(0.5);
  EXPECT_EQ(AudioChannelGetPosition(stream), 0u) << "not playing yet";
  EXPECT_EQ(TickCountMs(), 500u);
  ASSERT_TRUE(AudioChannelPlay(stream, false));
  EXPECT_EQ(PositionSeconds(stream), 0.25);
  for (int frame = 1; frame <= 15; ++frame) {
    AudioAdvanceVirtualClock(1.0 / 30.0);
    EXPECT_EQ(AudioChannelGetPosition(stream), 4u * (11025 + 1470 * frame));
  }
  EXPECT_EQ(TickCountMs(), 1000u);
  AudioSetVirtualPosition(60.0);
  size_t frames = 0;
  AudioStreamPcm(stream, nullptr, &frames);
  EXPECT_EQ(AudioChannelGetPosition(stream), 4u * frames) << "capped at the track length";
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_EQ(TickCountMs(), 1000u);
  AudioStreamFree(stream);
}

// On the capture tool's clock a pause holds the position while the clock
// moves on, set-position is exact, and a resumed stream moves with the clock
// again from where it was held.
TEST(Audio, VirtualClockPausesAndSetsPositionsExactly) {
  MusicStream stream = AudioStreamCreateFile(Sine().c_str());
  ASSERT_NE(stream, 0u);
  AudioSetStartSeconds(0);
  ASSERT_TRUE(AudioChannelPlay(stream, false));
  AudioAdvanceVirtualClock(0.1);
  ASSERT_TRUE(AudioChannelPause(stream));
  AudioAdvanceVirtualClock(0.3);
  EXPECT_EQ(AudioChannelGetPosition(stream), 4u * 4410);
  ASSERT_TRUE(AudioChannelSetPosition(stream, 0.6));
  EXPECT_EQ(AudioChannelGetPosition(stream), 4u * 26460);
  AudioAdvanceVirtualClock(0.1);
  EXPECT_EQ(AudioChannelGetPosition(stream), 4u * 26460) << "still paused";
  ASSERT_TRUE(AudioChannelResume(stream));
  AudioAdvanceVirtualClock(0.1);
  EXPECT_EQ(AudioChannelGetPosition(stream), 4u * (26460 + 4410));
  ASSERT_TRUE(AudioChannelSetPosition(stream, 0.2));
  EXPECT_EQ(AudioChannelGetPosition(stream), 4u * 8820);
  AudioAdvanceVirtualClock(0.05);
  EXPECT_EQ(AudioChannelGetPosition(stream), 4u * (8820 + 2205));
  AudioStreamFree(stream);
}
