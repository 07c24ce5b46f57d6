// The program-wide MT19937 generator (32-bit, 624-word state) and its unit draw.
// Every random choice made while the show plays comes from this stream, seeded with 38
// at start-up, so every run makes the same choices in the same order.
#pragma once
#include <cstdint>

// Standard MT19937 initialisation from one seed.
void RandomSeed(uint32_t seed);
// Next tempered 32-bit output; a never-seeded generator seeds itself with 5489.
uint32_t RandomU32();
// RandomU32() * 2^-32: a double in [0, 1), never 1.
double RandomUnit();

// The C library's rand() as a value 0 to 32767, whatever its RAND_MAX: the
// rope roots and the point cloud draw from this second stream (the point
// cloud reseeds it with srand for its motion).
int Rand15();
