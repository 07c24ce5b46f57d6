// Small image files for the texture tests, written into a temporary directory.
#pragma once
#include <array>
#include <string>
#include <vector>

namespace testimg {
// A fresh empty directory under the system's temporary directory.
std::string MakeTempDir(const char* tag);
// Writes a PNG with 1 (grey), 3 (RGB) or 4 (RGBA) channels, rows top first.
bool WritePng(const std::string& path, int width, int height, int channels,
              const std::vector<unsigned char>& pixels);
// The plain colour the asset directory gives to the image of the given index
// in AssetImageFiles().
std::array<int, 3> AssetColour(int index);
// A run directory holding every image the program loads, each one 8x8 of its
// own plain colour (PNG or JPEG by its name). Made once per test process.
const std::string& TestAssetDirectory();
// RGBA of texel (x, y) of a texture's level 0 (y counted from the first row).
std::array<int, 4> Texel(unsigned int texture, int x, int y);
}  // namespace testimg
