#include "core/random.h"

namespace {
constexpr int kStateWords = 624;
constexpr int kMiddle = 397;
constexpr int kNeverSeeded = kStateWords + 1;
constexpr int kLibcWords = 31;  // words of the C library's additive feedback generator

// Regenerates all 624 words with the standard twist.
void Twist(Mt19937State& g) {
  uint32_t* state = g.words;
  for (int i = 0; i < kStateWords; ++i) {
    uint32_t y = (state[i] & 0x80000000u) | (state[(i + 1) % kStateWords] & 0x7fffffffu);
    uint32_t next = state[(i + kMiddle) % kStateWords] ^ (y >> 1);
    if (y & 1u) next ^= 0x9908b0dfu;
    state[i] = next;
  }
  g.index = 0;
}
}  // namespace

void RandomSeed(Mt19937State& g, uint32_t seed) {
  uint32_t* state = g.words;
  state[0] = seed;
  for (int i = 1; i < kStateWords; ++i)
    state[i] = 1812433253u * (state[i - 1] ^ (state[i - 1] >> 30)) + static_cast<uint32_t>(i);
  g.index = kStateWords;
}

uint32_t RandomU32(Mt19937State& g) {
  if (g.index >= kStateWords) {
    if (g.index == kNeverSeeded) RandomSeed(g, 5489u);
    Twist(g);
  }
  uint32_t y = g.words[g.index++];
  y ^= y >> 11;
  y ^= (y << 7) & 0x9d2c5680u;
  y ^= (y << 15) & 0xefc60000u;
  y ^= y >> 18;
  return y;
}

double RandomUnit(Mt19937State& g) {
  return static_cast<double>(RandomU32(g)) * 2.3283064365386963e-10;
}

void SkipRandom(Mt19937State& g, long count) {
  for (long i = 0; i < count; ++i) RandomU32(g);
}

LibcRandom LibcRandomSeeded(uint32_t seed) {
  constexpr int kSeparation = 3, kWarmUp = 310;
  LibcRandom r{};
  int32_t word = seed == 0 ? 1 : static_cast<int32_t>(seed);
  r.words[0] = static_cast<uint32_t>(word);
  // The words are filled by the minimal standard generator 16807 x mod 2^31 - 1,
  // computed by Schrage's method so that nothing overflows.
  for (int i = 1; i < kLibcWords; ++i) {
    const int32_t hi = word / 127773, lo = word % 127773;
    word = 16807 * lo - 2836 * hi;
    if (word < 0) word += 2147483647;
    r.words[i] = static_cast<uint32_t>(word);
  }
  r.front = kSeparation;
  r.rear = 0;
  r.seeded = true;
  for (int i = 0; i < kWarmUp; ++i) LibcRandomNext(r);
  return r;
}

int LibcRandomNext(LibcRandom& r) {
  if (!r.seeded) r = LibcRandomSeeded(1);
  r.words[r.front] += r.words[r.rear];
  const int result = static_cast<int>(r.words[r.front] >> 1);
  if (++r.front == kLibcWords) r.front = 0;
  if (++r.rear == kLibcWords) r.rear = 0;
  return result;
}

int Rand15(LibcRandom& r) { return LibcRandomNext(r) & 0x7FFF; }
