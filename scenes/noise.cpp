#include "scenes/noise.h"

#include <cmath>
#include <cstdint>

namespace {
// Integer hash to about [-1, 1]; all arithmetic wraps in 32 bits.
float HashNoise(int32_t m) {
  uint32_t x = static_cast<uint32_t>(m);
  x = (x << 13) ^ x;
  uint32_t h = (x * (x * x * 15731u + 789221u) - 771171059u) & 0x7fffffffu;
  return 1.0f - static_cast<float>(h) / 1073741824.0f;
}
}  // namespace

float SmoothNoise(int n) {
  const uint32_t u = static_cast<uint32_t>(n);
  return HashNoise(n) / 2 + HashNoise(static_cast<int32_t>(u - 1)) / 4 +
         HashNoise(static_cast<int32_t>(u + 1)) / 4;
}

float OctaveNoise(float x, float offset, float persistence) {
  float sum = 0;
  float frequency = 1;
  float amplitude = 1;
  for (int octave = 0; octave < 5; ++octave) {
    float y = frequency * x + offset;
    int i = static_cast<int>(y);
    float w = static_cast<float>((1 - std::cos((y - i) * 3.1415927)) * 0.5);
    float term = SmoothNoise(i + 1) * w + SmoothNoise(i) * (1 - w);
    sum += term * amplitude;
    frequency *= 2;
    amplitude *= persistence;
  }
  return sum;
}
