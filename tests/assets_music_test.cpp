// The generated music, decoded the way the show decodes it (libmpg123):
// format, length, level, where it is loud and where it must not be silent,
// the grid file beside it, and byte-identical regeneration.
#include <gtest/gtest.h>
#include <mpg123.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "tools/assetgen/music_synth.h"

namespace {

const std::string kMusicPath = std::string(KELVANE_RUN_DIR) + "/q-lune - selvara (kelvane edit).mp3";
const std::string kGridPath = std::string(KELVANE_ASSETGEN_WORK) + "/music_grid.txt";

struct Decoded {
  long rate = 0;
  int channels = 0;
  std::vector<float> samples;  // interleaved
  bool ok = false;
};

// Decodes the whole file to float samples.
Decoded Decode(const std::string& path) {
  Decoded d;
  mpg123_init();
  int err = 0;
  mpg123_handle* mh = mpg123_new(nullptr, &err);
  if (!mh) return d;
  mpg123_param(mh, MPG123_ADD_FLAGS, MPG123_FORCE_FLOAT, 0.0);
  if (mpg123_open(mh, path.c_str()) != MPG123_OK) {
    mpg123_delete(mh);
    return d;
  }
  int encoding = 0;
  mpg123_getformat(mh, &d.rate, &d.channels, &encoding);
  std::vector<unsigned char> buf(1 << 16);
  size_t got = 0;
  for (;;) {
    int rc = mpg123_read(mh, buf.data(), buf.size(), &got);
    const float* f = reinterpret_cast<const float*>(buf.data());
    d.samples.insert(d.samples.end(), f, f + got / sizeof(float));
    if (rc == MPG123_DONE) break;
    if (rc != MPG123_OK && rc != MPG123_NEW_FORMAT) {
      mpg123_close(mh);
      mpg123_delete(mh);
      return d;
    }
  }
  mpg123_close(mh);
  mpg123_delete(mh);
  d.ok = encoding == MPG123_ENC_FLOAT_32;
  return d;
}

class MusicTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { track = new Decoded(Decode(kMusicPath)); }
  static void TearDownTestSuite() { delete track; }
  void SetUp() override { ASSERT_TRUE(track->ok) << "cannot decode " << kMusicPath; }

  // RMS level in dBFS of both channels over [a, b) seconds.
  static double RmsDb(double a, double b) {
    size_t i0 = static_cast<size_t>(a * track->rate) * 2;
    size_t i1 = std::min(static_cast<size_t>(b * track->rate) * 2, track->samples.size());
    double sum = 0;
    for (size_t i = i0; i < i1; ++i) sum += double(track->samples[i]) * track->samples[i];
    return 10.0 * std::log10(sum / std::max<size_t>(1, i1 - i0) + 1e-12);
  }
  static double Seconds() { return double(track->samples.size()) / 2 / track->rate; }

  static Decoded* track;
};
Decoded* MusicTest::track = nullptr;

TEST_F(MusicTest, FormatLengthAndPeak) {
  EXPECT_EQ(track->rate, 44100);
  EXPECT_EQ(track->channels, 2);
  EXPECT_NEAR(Seconds(), 189.5, 0.5);
  float peak = 0;
  for (float v : track->samples) peak = std::max(peak, std::fabs(v));
  EXPECT_LE(peak, std::pow(10.0f, -1.0f / 20.0f)) << "peak above -1 dBFS";
  EXPECT_GT(peak, 0.5f) << "track far too quiet";
}

// Every stretch of the show that has music planned is audibly filled,
// second by second; the titles are quieter than the fluid drop, and the
// closing fade ends in silence.
TEST_F(MusicTest, MusicWhereverItIsPlanned) {
  const double sections[][2] = {
      {1, 20.5},      {20.5, 30},    {30, 33},      {33, 57.6},    {57.6, 63.4},
      {63.4, 73},     {73, 82.7},    {82.7, 86.6},  {86.6, 104.9}, {104.9, 126.8},
      {126.8, 128.7}, {129.5, 140.6}, {140.6, 176.5}, {176.5, 182},
  };
  for (const auto& s : sections) {
    EXPECT_GT(RmsDb(s[0], s[1]), -30.0) << "section from " << s[0] << " s";
    for (double t = s[0]; t + 1 <= s[1]; t += 1)
      EXPECT_GT(RmsDb(t, t + 1), -45.0) << "silent second at " << t << " s";
  }
  EXPECT_LT(RmsDb(1, 20), RmsDb(104.9, 126.8) - 6.0) << "the opening should be quiet";
  EXPECT_LT(RmsDb(Seconds() - 0.4, Seconds()), -60.0) << "the fade-out should end in silence";
}

// The show's big moments land on audible hits: the short stretch from the
// hit on is louder than the second before it.
TEST_F(MusicTest, HitsStandOut) {
  for (double t : {20.5, 46.0, 63.4, 73.0, 104.9, 128.7, 140.0, 149.5, 176.5}) {
    EXPECT_GT(RmsDb(t - 0.05, t + 0.3), RmsDb(t - 1.5, t - 0.3) + 3.0) << "hit at " << t << " s";
  }
}

// The grid file lists the beat and a hit near every moment the show needs,
// and the greetings cards fall on its beats.
TEST(MusicGrid, MatchesTheShow) {
  std::ifstream in(kGridPath);
  ASSERT_TRUE(in) << "cannot read " << kGridPath;
  double beat = 0, origin = 0;
  std::vector<double> hits;
  std::string line, word;
  while (std::getline(in, line)) {
    std::istringstream ls(line);
    ls >> word;
    if (word == "beat") ls >> beat;
    if (word == "origin") ls >> origin;
    if (word == "hit") {
      double t = 0;
      ls >> t;
      hits.push_back(t);
    }
  }
  ASSERT_NEAR(beat, 0.3608, 1e-6);
  for (int i = 1; i <= 15; ++i) {
    double card = (1298 + i * 4.4 * 1.64) / 10.0;
    double beats = (card - origin) / beat;
    EXPECT_NEAR(beats, std::round(beats), 0.02) << "greetings card " << i;
  }
  for (double t : {20.5, 22.0, 37.0, 40.3, 46.0, 53.0, 57.0, 63.4, 73.0, 82.7, 104.9, 128.7,
                   140.0, 149.5, 151.7, 153.7, 155.7, 156.7, 176.5}) {
    double nearest = 1e9;
    for (double h : hits) nearest = std::min(nearest, std::fabs(h - t));
    EXPECT_LT(nearest, 0.1) << "no hit near " << t << " s";
  }
}

// A second run of the generator writes exactly the same file.
TEST(MusicGeneration, IsDeterministic) {
  namespace fs = std::filesystem;
  fs::path dir = fs::temp_directory_path() / ("k12-music-" + std::to_string(getpid()));
  fs::create_directories(dir);
  std::string cmd = std::string("\"") + KELVANE_ASSETGEN + "\" --kind music --out \"" +
                    (dir / "run").string() + "\" --work \"" + (dir / "work").string() +
                    "\" >/dev/null 2>&1";
  ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
  auto slurp = [](const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
  };
  std::string fresh = slurp(dir / "run" / "q-lune - selvara (kelvane edit).mp3");
  std::string built = slurp(kMusicPath);
  fs::remove_all(dir);
  ASSERT_FALSE(built.empty());
  EXPECT_TRUE(fresh == built) << "regenerated music differs from the built file";
}

// Every voice stays inside the mix when it starts before the track or runs
// past its end, and sounds when it lies inside.
TEST(MusicSynth, VoicesStayInsideTheMix) {
  using namespace assetgen::music;
  Mix mix;
  ResetMix(mix, 1.0);
  const size_t frames = mix.frames;
  for (double t : {-0.5, 0.98, 1.0, 5.0}) {
    Kick(mix, t, 1);
    Snare(mix, t, 1, 1);
    Hat(mix, t, 1, true, 0.5f, 2);
    Crash(mix, t, 1, 2, 3);
    Boom(mix, t, 1, 4);
    Riser(mix, t, t + 0.5, 1, 5);
    Duck(mix, t, 1);
    Pad(mix, t, 0.5, {50, 53, 57}, 300, 2000, 1, 6);
    SubBass(mix, t, 0.5, 38, 1);
    ReeseBass(mix, t, 0.5, 38, 1, 400);
    Pluck(mix, t, 62, 1, 3000, 0.2f, Route{});
    Lead(mix, t, 0.5, 69, 1, 1500);
    Bell(mix, t, 81, 1, -0.5f);
  }
  EXPECT_EQ(mix.music.l.size(), frames);
  EXPECT_EQ(mix.drums.r.size(), frames);
  EXPECT_EQ(mix.duck.size(), frames);
  double energy = 0;
  for (size_t i = 0; i < frames; ++i) energy += std::fabs(mix.music.l[i]) + std::fabs(mix.drums.r[i]);
  EXPECT_GT(energy, 1.0);
  for (float v : mix.music.l) ASSERT_TRUE(std::isfinite(v));
}

// The master stage hits the requested peak, keeps the reverb and echo
// tails after a short note, and is silent after the closing fade.
TEST(MusicSynth, MasterPeakTailsAndFade) {
  using namespace assetgen::music;
  Mix mix;
  ResetMix(mix, 3.0);
  Route wet{false, 1, 0, 0.8f, 0.8f};
  Pluck(mix, 0.1, 69, 1, 3000, 0.05f, wet);
  std::vector<float> out = MasterMix(mix, 0.3608, 2.0, 2.5, 0.5f);
  ASSERT_EQ(out.size(), mix.frames * 2);
  float peak = 0, tail = 0, after = 0;
  for (size_t i = 0; i < out.size(); ++i) {
    double t = double(i / 2) / 44100;
    peak = std::max(peak, std::fabs(out[i]));
    if (t > 0.8 && t < 1.5) tail = std::max(tail, std::fabs(out[i]));
    if (t >= 2.5) after = std::max(after, std::fabs(out[i]));
  }
  EXPECT_NEAR(peak, 0.5f, 1e-4f);
  EXPECT_GT(tail, 0.001f) << "no reverb or echo tail";
  EXPECT_EQ(after, 0.0f);
}

}  // namespace
