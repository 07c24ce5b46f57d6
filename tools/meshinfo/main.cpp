// kelvane12-meshinfo FILE [SCALE [MASS]], or --help, or --version
// Loads an LWO2 mesh with the show's own loader and prints what the soft body
// would simulate: counts, the pinned first fifth, the bounding box after
// scaling and the volume measure of a first force pass.
#include <cfloat>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>

#include "objects/soft_object.h"
#include "runtime/version.h"

namespace {
constexpr const char* kUsage =
    "usage: kelvane12-meshinfo FILE [SCALE [MASS]]\n"
    "  prints what the show's soft body makes of the LWO2 mesh FILE\n"
    "  --help     this text\n"
    "  --version  the version\n";

int Usage() {
  fputs(kUsage, stderr);
  return 2;
}

// Parses a finite float argument; false when it is not one.
bool ParseFloat(const char* text, float* value) {
  char* end = nullptr;
  const double parsed = strtod(text, &end);
  if (end == text || *end != '\0' || !(parsed >= -FLT_MAX && parsed <= FLT_MAX)) return false;
  *value = float(parsed);
  return true;
}
}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && !strcmp(argv[1], "--version")) return PrintVersion("kelvane12-meshinfo") ? 0 : 1;
  if (argc == 2 && !strcmp(argv[1], "--help")) return PrintHelp("kelvane12-meshinfo", kUsage) ? 0 : 1;
  if (argc < 2 || argc > 4) return Usage();
  float scale = 1.0f, mass = 1.0f;
  if (argc > 2 && !ParseFloat(argv[2], &scale)) return Usage();
  if (argc > 3 && !ParseFloat(argv[3], &mass)) return Usage();

  CSoftObject body(0, 0, 0, 1.0f, 0.0f, argv[1], 0.0f, scale, mass);
  size_t weighted = 0;
  const size_t pinned = body.points.size() / 5;  // the constructor's first-fifth rule
  Vec3f low{FLT_MAX, FLT_MAX, FLT_MAX}, high{-FLT_MAX, -FLT_MAX, -FLT_MAX};
  for (const MassPoint& p : body.points) {
    if (p.weight != 0) ++weighted;
    low = {std::min(low.x, p.position.x), std::min(low.y, p.position.y),
           std::min(low.z, p.position.z)};
    high = {std::max(high.x, p.position.x), std::max(high.y, p.position.y),
            std::max(high.z, p.position.z)};
  }
  if (body.points.empty()) low = high = Vec3f{};
  body.AccumulateForces();

  printf("points: %zu\n", body.points.size());
  printf("springs: %zu\n", body.springs.size());
  printf("triangles: %zu\n", body.triangles.size());
  printf("weighted: %zu\n", weighted);
  printf("pinned: %zu\n", pinned);
  printf("bbox: %g %g %g %g %g %g\n", low.x, low.y, low.z, high.x, high.y, high.z);
  printf("volume: %g\n", body.volume);
  return 0;
}
