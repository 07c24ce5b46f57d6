// The generated music, decoded the way the show decodes it (libmpg123):
// format, length, level, where it is loud and where it must not be silent.
#include <gtest/gtest.h>
#include <mpg123.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

struct Decoded {
  long rate = 0;
  int channels = 0, encoding = 0;
  std::vector<float> samples;  // interleaved
};

Decoded Decode(const std::string& path) {
  Decoded d;
  mpg123_init();
  mpg123_handle* mh = mpg123_new(nullptr, nullptr);
  mpg123_param(mh, MPG123_ADD_FLAGS, MPG123_FORCE_FLOAT, 0.0);
  if (mpg123_open(mh, path.c_str()) == MPG123_OK) {
    mpg123_getformat(mh, &d.rate, &d.channels, &d.encoding);
    std::vector<unsigned char> buf(1 << 16);
    int rc = MPG123_OK;
    for (size_t got = 0; rc == MPG123_OK || rc == MPG123_NEW_FORMAT;) {
      rc = mpg123_read(mh, buf.data(), buf.size(), &got);
      const float* f = reinterpret_cast<const float*>(buf.data());
      d.samples.insert(d.samples.end(), f, f + got / sizeof(float));
    }
    if (rc != MPG123_DONE) d.samples.clear();
  }
  mpg123_delete(mh);
  return d;
}

const Decoded& Track() {
  static const Decoded track =
      Decode(std::string(KELVANE_RUN_DIR) + "/q-lune - selvara (kelvane edit).mp3");
  return track;
}

// RMS level in dBFS of both channels over [a, b) seconds.
double RmsDb(double a, double b) {
  const Decoded& t = Track();
  const size_t i0 = size_t(a * 44100) * 2, i1 = std::min(size_t(b * 44100) * 2, t.samples.size());
  double sum = 0;
  for (size_t i = i0; i < i1; ++i) sum += double(t.samples[i]) * t.samples[i];
  return 10.0 * std::log10(sum / double(std::max<size_t>(1, i1 - i0)) + 1e-12);
}

}  // namespace

// 189.5 s of 44100 Hz stereo, its peak between -6 and -1 dBFS; every stretch
// of the show that has music planned is audibly filled, second by second; the
// titles are quieter than the fluid drop, the big moments land on audible hits
// and the closing fade ends in silence.
TEST(Music, FormatLengthLevelsAndHits) {
  const Decoded& t = Track();
  ASSERT_FALSE(t.samples.empty()) << "the music does not decode";
  ASSERT_EQ(t.rate, 44100);
  EXPECT_EQ(t.channels, 2);
  EXPECT_EQ(t.encoding, MPG123_ENC_FLOAT_32);
  const double seconds = double(t.samples.size()) / 2 / 44100;
  EXPECT_NEAR(seconds, 189.5, 0.5);
  float peak = 0;
  for (float v : t.samples) peak = std::max(peak, std::fabs(v));
  EXPECT_LE(peak, std::pow(10.0f, -1.0f / 20.0f));
  EXPECT_GT(peak, 0.5f);
  const double sections[][2] = {{1, 20.5},      {20.5, 30},     {30, 33},       {33, 57.6},
                                {57.6, 63.4},   {63.4, 73},     {73, 82.7},     {82.7, 86.6},
                                {86.6, 104.9},  {104.9, 126.8}, {126.8, 128.7}, {129.5, 140.6},
                                {140.6, 176.5}, {176.5, 182}};
  for (const auto& s : sections) {
    EXPECT_GT(RmsDb(s[0], s[1]), -30.0) << "section from " << s[0] << " s";
    for (double from = s[0]; from + 1 <= s[1]; from += 1)
      EXPECT_GT(RmsDb(from, from + 1), -45.0) << "silent second at " << from << " s";
  }
  EXPECT_LT(RmsDb(1, 20), RmsDb(104.9, 126.8) - 6.0) << "the opening should be quiet";
  for (double hit : {20.5, 46.0, 63.4, 73.0, 104.9, 128.7, 140.0, 149.5, 176.5})
    EXPECT_GT(RmsDb(hit - 0.05, hit + 0.3), RmsDb(hit - 1.5, hit - 0.3) + 3.0)
        << "hit at " << hit << " s";
  EXPECT_LT(RmsDb(seconds - 0.4, seconds), -60.0) << "the fade-out should end in silence";
}
