#include "scenes/noise.h"

#include <gtest/gtest.h>

// Reference values computed independently with arbitrary-precision integers
// reduced modulo 2^32.
TEST(Noise, SmoothNoiseMatchesTheWrappingHash) {
  EXPECT_FLOAT_EQ(SmoothNoise(0), 0.027542817406356335f);
  EXPECT_FLOAT_EQ(SmoothNoise(1), -0.11022605141624808f);
  EXPECT_FLOAT_EQ(SmoothNoise(-1), 0.2038172404281795f);
  EXPECT_FLOAT_EQ(SmoothNoise(12345), -0.5824559009633958f);
  // The neighbours of the largest int wrap round to the smallest.
  EXPECT_FLOAT_EQ(SmoothNoise(2147483647), 0.2038172404281795f);
}

TEST(Noise, OctaveNoiseSumsFiveInterpolatedOctaves) {
  EXPECT_NEAR(OctaveNoise(3.7f, 22, 0.3f), -0.5392986797774774, 1e-5);
  EXPECT_NEAR(OctaveNoise(10.25f, 142, 0.5f), 0.4636272723857312, 1e-5);
  // At whole-number arguments every octave lands on its lattice point.
  float sum = 0, amplitude = 1;
  for (int k = 0; k < 5; ++k, amplitude *= 0.5f) sum += SmoothNoise(7 << k) * amplitude;
  EXPECT_NEAR(OctaveNoise(7, 0, 0.5f), sum, 1e-6);
}
