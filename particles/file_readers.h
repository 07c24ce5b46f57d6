// Readers for the particle field's inputs: whole text files (compute shader
// sources) and plain ASCII PPM pictures, unpacked column by column with the
// bottom row first so that they can go straight into storage buffers.
#pragma once
#include <cstdio>
#include <string>

// Reads the rest of an open stream into a zeroed heap block (size + 1 bytes,
// NUL-terminated), closes the stream and returns the block; free() it.
char* ReadTextFile(FILE* stream);

// Reads the red samples of a width x height plain PPM into grid, one int per
// pixel at x * height + (height - 1 - row). Exits with 1 if the file does not open.
void ReadPpmRed(int height, std::string fileName, int* grid, int width);

// Reads all three samples of a width x height plain PPM into grid, three ints
// per pixel at (x * height + (height - 1 - row)) * 3 + channel. Exits with 1
// if the file does not open.
void ReadPpmRgb(int height, std::string fileName, int* grid, int width);
