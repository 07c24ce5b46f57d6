// Loading generated meshes of about 100 KB, 1 MB and 10 MB with the show's
// LWO2 loader, as kelvane12-meshinfo does: the time per byte stays the same
// as the mesh grows (the bytes/s column), so loading is linear in its size.
// Goal on the 2-core build machine: a 1 MB mesh well under a second.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "objects/soft_object.h"
#include "tools/assetgen/lwo2_writer.h"

namespace {
// A closed torus of rows x columns points, two triangles a cell, every
// point weighted: each edge is offered by two triangles, as in a real mesh.
assetgen::Lwo2Mesh Torus(uint32_t rows, uint32_t columns) {
  assetgen::Lwo2Mesh mesh;
  for (uint32_t r = 0; r < rows; ++r) {
    const float u = 6.2831853f * r / rows;
    for (uint32_t c = 0; c < columns; ++c) {
      const float v = 6.2831853f * c / columns;
      mesh.points.push_back({(2 + std::cos(v)) * std::cos(u), std::sin(v),
                             (2 + std::cos(v)) * std::sin(u)});
      mesh.weights.push_back(0.5f);
    }
  }
  auto at = [&](uint32_t r, uint32_t c) { return (r % rows) * columns + c % columns; };
  for (uint32_t r = 0; r < rows; ++r)
    for (uint32_t c = 0; c < columns; ++c) {
      mesh.triangles.push_back({at(r, c), at(r + 1, c), at(r + 1, c + 1)});
      mesh.triangles.push_back({at(r, c), at(r + 1, c + 1), at(r, c + 1)});
    }
  return mesh;
}

// Writes a torus of about `bytes` bytes to a file in TMPDIR (or /tmp);
// returns its path and its exact size. A point takes some 34 bytes, more
// once indices need four bytes, so the first guess is scaled once.
std::string WriteMeshOfAbout(long bytes, long* size) {
  const uint32_t columns = 100;
  uint32_t rows = std::max<uint32_t>(3, uint32_t(bytes / 34 / columns));
  std::vector<uint8_t> data = assetgen::EncodeLwo2(Torus(rows, columns));
  rows = std::max<uint32_t>(3, uint32_t(double(rows) * double(bytes) / double(data.size())));
  data = assetgen::EncodeLwo2(Torus(rows, columns));
  const char* tmpdir = getenv("TMPDIR");
  std::string path = std::string(tmpdir && *tmpdir ? tmpdir : "/tmp") + "/kelvane12-mesh-XXXXXX";
  const int fd = mkstemp(path.data());
  if (fd < 0) return "";
  const bool ok = write(fd, data.data(), data.size()) == ssize_t(data.size());
  close(fd);
  *size = long(data.size());
  if (!ok) unlink(path.c_str());
  return ok ? path : "";
}

void BM_LoadGeneratedMesh(benchmark::State& state) {
  long size = 0;
  const std::string path = WriteMeshOfAbout(state.range(0), &size);
  if (path.empty()) {
    state.SkipWithError("cannot write the mesh file");
    return;
  }
  for (auto _ : state)
    benchmark::DoNotOptimize(
        std::make_unique<CSoftObject>(0, 0, 0, 1.0f, 0.0f, path.c_str(), 0.0f, 1.0f, 1.0f));
  unlink(path.c_str());
  state.SetBytesProcessed(int64_t(state.iterations()) * size);
  state.counters["file_bytes"] = double(size);
}
BENCHMARK(BM_LoadGeneratedMesh)
    ->Arg(100 << 10)
    ->Arg(1 << 20)
    ->Arg(10 << 20)
    ->Unit(benchmark::kMillisecond);
}  // namespace
