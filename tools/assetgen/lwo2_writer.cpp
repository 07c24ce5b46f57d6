// LWO2 encoding: an IFF FORM of chunks, each a 4-byte tag, a 4-byte size and
// its data; surface sub-chunks use 2-byte sizes. Every name is written
// NUL-terminated and padded to even length, and every chunk comes out even,
// so readers that do not skip pad bytes stay aligned.
#include "tools/assetgen/lwo2_writer.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace assetgen {
namespace {

using Bytes = std::vector<uint8_t>;

// Appends a big-endian 16-bit word.
void PutU2(Bytes& b, uint32_t v) {
  b.push_back(uint8_t(v >> 8));
  b.push_back(uint8_t(v));
}

// Appends a big-endian 32-bit word.
void PutU4(Bytes& b, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) b.push_back(uint8_t(v >> shift));
}

// Appends a big-endian IEEE float.
void PutF4(Bytes& b, float f) {
  uint32_t v;
  memcpy(&v, &f, 4);
  PutU4(b, v);
}

// Appends a four-character tag.
void PutId(Bytes& b, const char* id) { b.insert(b.end(), id, id + 4); }

// Appends a NUL-terminated name padded to even length (an S0 string).
void PutName(Bytes& b, const std::string& s) {
  b.insert(b.end(), s.begin(), s.end());
  b.push_back(0);
  if ((s.size() + 1) % 2) b.push_back(0);
}

// Appends a variable-length index: two bytes below 0xFF00, else 0xFF and
// three more bytes.
void PutVx(Bytes& b, uint32_t index) {
  if (index < 0xFF00) {
    PutU2(b, index);
  } else {
    PutU4(b, 0xFF000000u | index);
  }
}

// Appends a chunk (tag, 32-bit size, data, pad byte when odd).
void PutChunk(Bytes& out, const char* id, const Bytes& data) {
  PutId(out, id);
  PutU4(out, uint32_t(data.size()));
  out.insert(out.end(), data.begin(), data.end());
  if (data.size() % 2) out.push_back(0);
}

// Appends a surface sub-chunk (tag, 16-bit size, data, pad byte when odd).
void PutSubChunk(Bytes& out, const char* id, const Bytes& data) {
  PutId(out, id);
  PutU2(out, uint32_t(data.size()));
  out.insert(out.end(), data.begin(), data.end());
  if (data.size() % 2) out.push_back(0);
}

// The one surface: base colour, full diffuse, smoothing for lit display.
Bytes SurfaceChunk(const Lwo2Mesh& mesh) {
  Bytes surf;
  PutName(surf, mesh.surfaceName);
  PutName(surf, "");  // no source surface
  Bytes colr;
  for (float c : mesh.surfaceColour) PutF4(colr, c);
  PutVx(colr, 0);  // no envelope
  PutSubChunk(surf, "COLR", colr);
  Bytes diff;
  PutF4(diff, 1.0f);
  PutVx(diff, 0);
  PutSubChunk(surf, "DIFF", diff);
  Bytes smoothing;
  PutF4(smoothing, 3.14159265f);  // smooth across every edge: one normal per point
  PutSubChunk(surf, "SMAN", smoothing);
  return surf;
}

}  // namespace

std::vector<uint8_t> EncodeLwo2(const Lwo2Mesh& mesh) {
  Bytes body;
  PutId(body, "LWO2");

  Bytes tags;
  PutName(tags, mesh.surfaceName);
  PutChunk(body, "TAGS", tags);

  Bytes layer;
  PutU2(layer, 0);  // layer number
  PutU2(layer, 0);  // flags
  for (int i = 0; i < 3; ++i) PutF4(layer, 0.0f);  // pivot
  PutName(layer, "");
  PutChunk(body, "LAYR", layer);

  Bytes pnts;
  std::array<float, 3> lo = {0, 0, 0}, hi = {0, 0, 0};
  for (size_t i = 0; i < mesh.points.size(); ++i) {
    for (int k = 0; k < 3; ++k) {
      float v = mesh.points[i][k];
      PutF4(pnts, v);
      if (i == 0 || v < lo[k]) lo[k] = v;
      if (i == 0 || v > hi[k]) hi[k] = v;
    }
  }
  PutChunk(body, "PNTS", pnts);

  Bytes bbox;
  for (float v : lo) PutF4(bbox, v);
  for (float v : hi) PutF4(bbox, v);
  PutChunk(body, "BBOX", bbox);

  if (!mesh.weights.empty()) {
    Bytes vmap;
    PutId(vmap, "WGHT");
    PutU2(vmap, 1);  // dimension
    PutName(vmap, mesh.weightMapName);
    for (size_t i = 0; i < mesh.weights.size(); ++i) {
      PutVx(vmap, uint32_t(i));
      PutF4(vmap, mesh.weights[i]);
    }
    PutChunk(body, "VMAP", vmap);
  }

  Bytes pols;
  PutId(pols, "FACE");
  for (const auto& t : mesh.triangles) {
    PutU2(pols, 3);
    for (uint32_t index : t) PutVx(pols, index);
  }
  PutChunk(body, "POLS", pols);

  Bytes ptag;
  PutId(ptag, "SURF");
  for (size_t i = 0; i < mesh.triangles.size(); ++i) {
    PutVx(ptag, uint32_t(i));
    PutU2(ptag, 0);  // index into TAGS
  }
  PutChunk(body, "PTAG", ptag);

  PutChunk(body, "SURF", SurfaceChunk(mesh));

  Bytes file;
  PutId(file, "FORM");
  PutU4(file, uint32_t(body.size()));
  file.insert(file.end(), body.begin(), body.end());
  return file;
}

bool WriteLwo2(const std::string& path, const Lwo2Mesh& mesh) {
  std::vector<uint8_t> bytes = EncodeLwo2(mesh);
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) {
    fprintf(stderr, "assetgen: cannot create %s: %s\n", path.c_str(), strerror(errno));
    return false;
  }
  bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  ok = (fclose(f) == 0) && ok;
  if (!ok) fprintf(stderr, "assetgen: cannot write %s\n", path.c_str());
  return ok;
}

}  // namespace assetgen
