// A small writer of LightWave LWO2 object files: one layer of points and
// triangles, one surface, and an optional one-dimensional weight map.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace assetgen {

struct Lwo2Mesh {
  std::vector<std::array<float, 3>> points;
  std::vector<std::array<uint32_t, 3>> triangles;  // indices into points
  std::vector<float> weights;        // one per point; empty writes no weight map
  std::string weightMapName = "Bone01";
  std::string surfaceName = "Default";
  std::array<float, 3> surfaceColour = {0.8f, 0.8f, 0.8f};
};

// Encodes the mesh as a complete FORM/LWO2 file: TAGS, LAYR, PNTS, BBOX,
// VMAP (WGHT, when weights are given), POLS (FACE), PTAG (SURF), SURF.
// All numbers big-endian; names and chunks padded to even length.
std::vector<uint8_t> EncodeLwo2(const Lwo2Mesh& mesh);

// Writes EncodeLwo2(mesh) to path; logs the file and returns false on failure.
bool WriteLwo2(const std::string& path, const Lwo2Mesh& mesh);

}  // namespace assetgen
