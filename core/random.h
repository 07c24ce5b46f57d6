// The program-wide MT19937 generator (32-bit, 624-word state) and its unit draw.
// Every random choice made while the show plays comes from this stream, seeded with 38
// at start-up, so every run makes the same choices in the same order.
#pragma once
#include <cstdint>

// The generator's state as a value, so the show's state can be copied and
// restored whole.
struct Mt19937State {
  uint32_t words[624];
  int index;  // the next word to temper; 624: twist first; 625: never seeded
};
extern Mt19937State showGenerator;

// Standard MT19937 initialisation from one seed.
void RandomSeed(uint32_t seed);
// Next tempered 32-bit output; a never-seeded generator seeds itself with 5489.
uint32_t RandomU32();
// RandomU32() * 2^-32: a double in [0, 1), never 1.
double RandomUnit();

// The second stream: the sequence of the GNU C library's rand() after
// srand(seed) (its additive feedback generator of 31 words), kept as a value
// instead of hidden library state, so the show's state can be copied and
// restored whole. The rope roots and the director draw from it; the point
// cloud reseeds it every frame for its motion.
struct LibcRandom {
  uint32_t words[31];
  int front, rear;  // the word updated next and the one added to it
  bool seeded;      // a zero state is unseeded and draws as seed 1
};
// The state srand(seed) gives; seed 0 counts as 1, as in the C library.
LibcRandom LibcRandomSeeded(uint32_t seed);
// The next value 0 to 2^31 - 1, as rand() would return it.
int LibcRandomNext(LibcRandom& r);

// The program's second stream. It is zero before main (the rope roots draw
// from it during static initialisation), so its first draw seeds it with 1,
// as the C library's unseeded rand() is.
extern LibcRandom showRand;
// Reseeds the second stream, as srand() would.
void RandSeed(uint32_t seed);
// Next draw of the second stream, as rand() would return it.
int RandNext();
// The next draw of the second stream as a value 0 to 32767.
int Rand15();
