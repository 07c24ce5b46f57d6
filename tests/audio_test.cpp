// Playback tests against the real decoder and SDL audio. They run with
// SDL_AUDIODRIVER=dummy (an output that plays into nothing at real-time
// speed). The tests share the process-wide audio state, so they run in the
// order written: decoding, no device, the dummy device, the virtual clock.
#include "core/audio.h"
#include "core/ticks.h"

#include <gtest/gtest.h>
#include <lame/lame.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

// A scratch file name in the test's temporary directory.
std::string TempPath(const std::string& name) {
  const char* dir = std::getenv("TMPDIR");
  return std::string(dir && *dir ? dir : "/tmp") + "/k12-audio-" + std::to_string(getpid()) +
         "-" + name;
}

// Encodes `seconds` of a mono sine at `rate` Hz into an MP3 file.
bool WriteSineMp3(const std::string& path, int rate, double hz, double seconds) {
  lame_global_flags* lame = lame_init();
  lame_set_in_samplerate(lame, rate);
  lame_set_num_channels(lame, 1);
  lame_set_mode(lame, MONO);
  lame_set_brate(lame, 64);
  lame_set_quality(lame, 5);
  if (lame_init_params(lame) < 0) return false;
  int count = static_cast<int>(rate * seconds);
  std::vector<short> pcm(count);
  for (int i = 0; i < count; ++i)
    pcm[i] = static_cast<short>(12000 * std::sin(2 * M_PI * hz * i / rate));
  std::vector<unsigned char> mp3(count * 5 / 4 + 7200);
  int bytes = lame_encode_buffer(lame, pcm.data(), pcm.data(), count, mp3.data(), mp3.size());
  int tail = lame_encode_flush(lame, mp3.data() + bytes, mp3.size() - bytes);
  FILE* file = std::fopen(path.c_str(), "wb+");
  if (!file || bytes < 0 || tail < 0) return false;
  std::fwrite(mp3.data(), 1, bytes + tail, file);
  lame_mp3_tags_fid(lame, file);  // the encoder-delay tag, for an exact length
  std::fclose(file);
  lame_close(lame);
  return true;
}

// Seconds on the monotonic clock since the first call.
double Now() {
  static auto start = std::chrono::steady_clock::now();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double PositionSeconds(MusicStream stream) {
  return AudioChannelBytes2Seconds(stream, AudioChannelGetPosition(stream));
}

class AudioTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    sinePath = new std::string(TempPath("sine.mp3"));
    ASSERT_TRUE(WriteSineMp3(*sinePath, 22050, 440.0, 1.0));
  }
  static void TearDownTestSuite() {
    std::remove(sinePath->c_str());
    delete sinePath;
  }
  static std::string* sinePath;
};
std::string* AudioTest::sinePath = nullptr;

}  // namespace

// A 22050 Hz mono file comes out as one second of 44100 Hz stereo that still
// holds the 440 Hz tone, and byte positions convert at that rate.
TEST_F(AudioTest, DecodesToStereoAt44100) {
  std::string error;
  EXPECT_TRUE(AudioCheckFile(sinePath->c_str(), &error)) << error;
  MusicStream stream = AudioStreamCreateFile(sinePath->c_str());
  ASSERT_NE(stream, 0u);
  EXPECT_EQ(AudioStreamRate(stream), 44100);
  const int16_t* pcm = nullptr;
  size_t frames = 0;
  ASSERT_TRUE(AudioStreamPcm(stream, &pcm, &frames));
  EXPECT_NEAR(frames / 44100.0, 1.0, 0.03);
  EXPECT_DOUBLE_EQ(AudioChannelBytes2Seconds(stream, 4 * 44100), 1.0);
  EXPECT_DOUBLE_EQ(AudioChannelBytes2Seconds(stream, 4 * 22050), 0.5);

  // Measure the middle half second: channels equal, 440 rising zero
  // crossings per second, and the encoded amplitude.
  int crossings = 0;
  double sumSquares = 0;
  int channelDiff = 0;
  size_t from = frames / 4, to = from + 22050;
  for (size_t i = from; i < to; ++i) {
    channelDiff = std::max(channelDiff, std::abs(pcm[2 * i] - pcm[2 * i + 1]));
    if (pcm[2 * i - 2] < 0 && pcm[2 * i] >= 0) ++crossings;
    sumSquares += double(pcm[2 * i]) * pcm[2 * i];
  }
  EXPECT_EQ(channelDiff, 0);
  EXPECT_NEAR(crossings, 220, 2);
  EXPECT_NEAR(std::sqrt(sumSquares / 22050), 12000 / std::sqrt(2.0), 1200);
  // Not playing yet: the position reads 0.
  EXPECT_EQ(AudioChannelGetPosition(stream), 0u);
  AudioStreamFree(stream);
  EXPECT_FALSE(AudioStreamPcm(stream, &pcm, &frames));
}

// Missing and undecodable files give no stream and a message naming them.
TEST_F(AudioTest, RejectsMissingAndGarbageFiles) {
  std::string missing = TempPath("missing.mp3");
  std::string garbage = TempPath("garbage.mp3");
  FILE* file = std::fopen(garbage.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  for (int i = 0; i < 200; ++i) std::fputs("this is a text file, not music\n", file);
  std::fclose(file);
  for (const std::string& path : {missing, garbage}) {
    std::string error;
    EXPECT_FALSE(AudioCheckFile(path.c_str(), &error));
    EXPECT_NE(error.find(path), std::string::npos) << error;
    testing::internal::CaptureStderr();
    EXPECT_EQ(AudioStreamCreateFile(path.c_str()), 0u);
    std::string log = testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find(path), std::string::npos) << log;
  }
  std::remove(garbage.c_str());
}

// A file cut short of the length its header gives fails the start-up check
// with both lengths; opened anyway, it plays silence for the rest, so that
// its clock still runs to the end.
TEST_F(AudioTest, FileCutShortOfItsHeader) {
  std::string cut = TempPath("cut.mp3");
  FILE* in = std::fopen(sinePath->c_str(), "rb");
  ASSERT_NE(in, nullptr);
  std::vector<char> bytes(1 << 16);
  bytes.resize(std::fread(bytes.data(), 1, bytes.size(), in));
  std::fclose(in);
  FILE* out = std::fopen(cut.c_str(), "wb");
  ASSERT_NE(out, nullptr);
  std::fwrite(bytes.data(), 1, bytes.size() / 2, out);
  std::fclose(out);

  std::string error;
  EXPECT_FALSE(AudioCheckFile(cut.c_str(), &error));
  EXPECT_NE(error.find(cut + "': cut short"), std::string::npos) << error;
  EXPECT_NE(error.find("of the 1.0 s its header gives"), std::string::npos) << error;

  testing::internal::CaptureStderr();
  MusicStream stream = AudioStreamCreateFile(cut.c_str());
  std::string log = testing::internal::GetCapturedStderr();
  EXPECT_NE(log.find("the rest plays as silence"), std::string::npos) << log;
  const int16_t* pcm = nullptr;
  size_t frames = 0;
  ASSERT_TRUE(AudioStreamPcm(stream, &pcm, &frames));
  EXPECT_NEAR(frames / 44100.0, 1.0, 0.03);
  int lastSound = 0;
  for (size_t i = 0; i < frames; ++i)
    if (pcm[2 * i] != 0) lastSound = static_cast<int>(i);
  EXPECT_NEAR(lastSound / 44100.0, 0.5, 0.1);
  AudioStreamFree(stream);
  std::remove(cut.c_str());
}

// Without a device the init still succeeds after one line, and the position
// runs on the wall clock at real-time rate.
TEST_F(AudioTest, SilentOutputWithoutDevice) {
  setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
  testing::internal::CaptureStderr();
  EXPECT_TRUE(AudioInit(-1, 44100));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "no audio device: playing without sound\n");
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  EXPECT_TRUE(AudioStart());

  MusicStream stream = AudioStreamCreateFile(sinePath->c_str());
  ASSERT_NE(stream, 0u);
  double beforePlay = Now();
  ASSERT_TRUE(AudioChannelPlay(stream, false));
  double afterPlay = Now();
  double previous = 0;
  for (int i = 0; i < 8; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
    double readStart = Now();
    double position = PositionSeconds(stream);
    double readEnd = Now();
    EXPECT_GE(position, previous);
    EXPECT_GE(position, readStart - afterPlay - 0.001);
    EXPECT_LE(position, readEnd - beforePlay + 0.001);
    previous = position;
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(1000));
  size_t frames = 0;
  AudioStreamPcm(stream, nullptr, &frames);
  EXPECT_EQ(AudioChannelGetPosition(stream), 4u * frames) << "stops at the end of the track";
  AudioStreamFree(stream);
}

// With the dummy device the position follows what has been played: never
// back, never ahead of the wall clock, and moving while it plays.
TEST_F(AudioTest, DummyDevicePlaysInRealTime) {
  testing::internal::CaptureStderr();
  EXPECT_TRUE(AudioInit(-1, 44100));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_TRUE(AudioStart());
  MusicStream stream = AudioStreamCreateFile(sinePath->c_str());
  ASSERT_NE(stream, 0u);
  double beforePlay = Now();
  ASSERT_TRUE(AudioChannelPlay(stream, false));
  double previous = 0;
  for (int i = 0; i < 40; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    double position = PositionSeconds(stream);
    double readEnd = Now();
    EXPECT_GE(position, previous);
    EXPECT_LE(position, readEnd - beforePlay + 0.001);
    previous = position;
  }
  EXPECT_GT(previous, 0.1);
  AudioStreamFree(stream);
  AudioShutdown();
}

// Ending the process with exit(0) while music plays stops the audio thread
// before the decoded music is destroyed: the process exits cleanly.
TEST_F(AudioTest, ExitWhilePlayingIsClean) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        AudioInit(-1, 44100);
        AudioStart();
        MusicStream stream = AudioStreamCreateFile(sinePath->c_str());
        AudioChannelPlay(stream, false);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        const int status = stream != 0 && AudioChannelGetPosition(stream) > 0 ? 0 : 3;
        // The child wrote its own copy of the sine file when its suite started.
        std::remove(sinePath->c_str());
        std::exit(status);
      },
      ::testing::ExitedWithCode(0), "");
}

// The capture tool's clock: positions are exactly what it sets, starting at
// the start position, capped at the end; the ticks move with it.
TEST_F(AudioTest, VirtualClockGivesExactPositionsAndTicks) {
  AudioUseVirtualClock();
  EXPECT_TRUE(AudioInit(-1, 44100));
  EXPECT_TRUE(AudioStart());
  AudioSetStartSeconds(0.25);
  MusicStream stream = AudioStreamCreateFile(sinePath->c_str());
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
  AudioSetVirtualPosition(0.2);
  EXPECT_EQ(PositionSeconds(stream), 0.2);
  AudioSetVirtualPosition(60.0);
  size_t frames = 0;
  AudioStreamPcm(stream, nullptr, &frames);
  EXPECT_EQ(AudioChannelGetPosition(stream), 4u * frames) << "capped at the track length";
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_EQ(TickCountMs(), 1000u) << "wall time does not move the virtual ticks";
  AudioStreamFree(stream);
}
