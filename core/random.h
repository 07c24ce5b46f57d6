// The show's two random streams as values: an MT19937 generator (32-bit,
// 624-word state) and the GNU C library's rand() sequence. The show state
// holds one of each (seeded at start-up), so every run makes the same choices
// in the same order, and a copy of the state carries its random future.
#pragma once
#include <cstdint>

// The generator's state as a value, so the show's state can be copied and
// restored whole.
struct Mt19937State {
  uint32_t words[624] = {};
  int index = 625;  // the next word to temper; 624: twist first; 625: never seeded
};

// Standard MT19937 initialisation from one seed.
void RandomSeed(Mt19937State& g, uint32_t seed);
// Next tempered 32-bit output; a never-seeded generator seeds itself with 5489.
uint32_t RandomU32(Mt19937State& g);
// RandomU32() * 2^-32: a double in [0, 1), never 1.
double RandomUnit(Mt19937State& g);
// Takes and discards `count` draws.
void SkipRandom(Mt19937State& g, long count);

// The second stream: the sequence of the GNU C library's rand() after
// srand(seed) (its additive feedback generator of 31 words), kept as a value
// instead of hidden library state, so the show's state can be copied and
// restored whole. The rope roots and the director draw from it; the point
// cloud reseeds it every frame for its motion.
struct LibcRandom {
  uint32_t words[31] = {};
  int front = 0, rear = 0;  // the word updated next and the one added to it
  bool seeded = false;      // a zero state is unseeded and draws as seed 1
};
// The state srand(seed) gives; seed 0 counts as 1, as in the C library.
LibcRandom LibcRandomSeeded(uint32_t seed);
// The next value 0 to 2^31 - 1, as rand() would return it.
int LibcRandomNext(LibcRandom& r);

// The next draw as a value 0 to 32767.
int Rand15(LibcRandom& r);
