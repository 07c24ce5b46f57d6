// The show's state as bytes: what a checkpoint file holds of the CPU side,
// and the reverse. The bytes are only meant for the same build on the same
// kind of machine (native byte order and layout); the checkpoint header says
// which build made them.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "scenes/show_state.h"

// Appends the show's state to `out`: the clock, both random streams, the
// ropes' particles and their placement, both bodies, the point cloud, the
// bookkeeping of every layer and the key track's fired entries.
void AppendShowState(const ShowState& show, std::vector<uint8_t>& out);

// Reads what AppendShowState wrote into `show`, which must be a show of the
// same build (the ropes' and bodies' shapes are checked against it); the key
// track's fired entries must number `keyEntries`, or none before the first
// fired. On bytes that are short, too long or of another shape it returns
// false with the reason in *why, and `show` is left as it was.
bool ReadShowState(const uint8_t* bytes, size_t size, size_t keyEntries, ShowState& show,
                   std::string* why);

// A 64-bit FNV-1a checksum, continued from `seed`.
uint64_t Checksum64(const void* data, size_t size, uint64_t seed = 14695981039346656037ull);
