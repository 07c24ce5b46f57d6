// lwo2-fuzz-seeds DIR: writes the LWO2 loader's fuzzing seeds into DIR, small
// hand-made files that reach each part of the loader: an empty form, shared
// edges, a quad and the four-byte index form, skipped chunks with a weight
// map, and two layers with a map of another type.
#include <cstdio>
#include <fstream>
#include <string>

#include "tests/lwo2_bytes.h"

using namespace lwo2;

namespace {
// Writes one seed; false when the file cannot be written.
bool WriteSeed(const std::string& dir, const char* name, const std::string& bytes) {
  std::ofstream out(dir + "/" + name, std::ios::binary);
  out << bytes;
  if (out) return true;
  fprintf(stderr, "lwo2-fuzz-seeds: cannot write %s/%s\n", dir.c_str(), name);
  return false;
}

const std::vector<float> kSquare = {0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0};
const std::vector<float> kTetra = {0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1};
}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: lwo2-fuzz-seeds DIR\n");
    return 2;
  }
  const std::string dir = argv[1];
  // A quad, then a triangle whose first index uses the four-byte form.
  std::string quadAndLongIndex = "FACE" + Be16(4) + Vx(0) + Vx(1) + Vx(3) + Vx(2) + Be16(3) +
                                 std::string("\xFF\x00\x00\x00", 4) + Vx(1) + Vx(2);
  const bool ok =
      WriteSeed(dir, "empty_form.lwo", Form("")) &&
      WriteSeed(dir, "two_triangles.lwo", Form(Pnts(kSquare) + Pols({{0, 1, 2}, {2, 1, 3}}))) &&
      WriteSeed(dir, "quad_and_long_index.lwo",
                Form(Pnts(kSquare) + Chunk("POLS", quadAndLongIndex))) &&
      WriteSeed(dir, "tetra_weights.lwo",
                Form(Chunk("TAGS", Name("Default")) + Chunk("LAYR", std::string(18, '\0')) +
                     Pnts(kTetra) + Pols({{0, 2, 1}, {0, 1, 3}, {0, 3, 2}, {1, 2, 3}}) +
                     Vmap("WGHT", "Bone01", {{1, 1.0f}, {2, 0.5f}, {3, 0.25f}}))) &&
      WriteSeed(dir, "two_layers.lwo",
                Form(Pnts({0, 0, 0, 1, 0, 0, 0, 1, 0}) + Pols({{0, 1, 2}}) +
                     Pnts({5, 5, 5, 6, 5, 5, 5, 6, 5}) + Pols({{3, 4, 5}}) +
                     Vmap("TXUV", "Bone01", {{4, 1.0f}})));
  return ok ? 0 : 1;
}
