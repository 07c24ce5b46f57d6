#include "core/random.h"

#include <cstdlib>

namespace {
constexpr int kStateWords = 624;
constexpr int kMiddle = 397;
constexpr int kNeverSeeded = kStateWords + 1;

uint32_t state[kStateWords];
int stateIndex = kNeverSeeded;

// Regenerates all 624 words with the standard twist.
void Twist() {
  for (int i = 0; i < kStateWords; ++i) {
    uint32_t y = (state[i] & 0x80000000u) | (state[(i + 1) % kStateWords] & 0x7fffffffu);
    uint32_t next = state[(i + kMiddle) % kStateWords] ^ (y >> 1);
    if (y & 1u) next ^= 0x9908b0dfu;
    state[i] = next;
  }
  stateIndex = 0;
}
}  // namespace

void RandomSeed(uint32_t seed) {
  state[0] = seed;
  for (int i = 1; i < kStateWords; ++i)
    state[i] = 1812433253u * (state[i - 1] ^ (state[i - 1] >> 30)) + static_cast<uint32_t>(i);
  stateIndex = kStateWords;
}

uint32_t RandomU32() {
  if (stateIndex >= kStateWords) {
    if (stateIndex == kNeverSeeded) RandomSeed(5489u);
    Twist();
  }
  uint32_t y = state[stateIndex++];
  y ^= y >> 11;
  y ^= (y << 7) & 0x9d2c5680u;
  y ^= (y << 15) & 0xefc60000u;
  y ^= y >> 18;
  return y;
}

double RandomUnit() {
  return static_cast<double>(RandomU32()) * 2.3283064365386963e-10;
}

int Rand15() { return rand() & 0x7FFF; }
