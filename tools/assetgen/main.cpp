// kelvane12-assetgen --kind KIND --out RUNDIR --work WORKDIR
// Generates one kind of asset (images, ppm, meshes, music) into RUNDIR.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "tools/assetgen/assetgen.h"

namespace {
struct Kind {
  const char* name;
  int (*generate)(const std::string&, const std::string&);
};

// Each module registers its kind here as it lands.
const std::vector<Kind> kKinds = {
    {"meshes", assetgen::GenerateMeshes},
    {"ppm", assetgen::GeneratePpms},
};

int Usage() {
  fprintf(stderr,
          "usage: kelvane12-assetgen --kind images|ppm|meshes|music|all --out RUNDIR "
          "[--work WORKDIR]\n");
  return 2;
}
}  // namespace

int main(int argc, char** argv) {
  std::string kind, out, work;
  for (int i = 1; i < argc; ++i) {
    if (i + 1 < argc && !strcmp(argv[i], "--kind")) kind = argv[++i];
    else if (i + 1 < argc && !strcmp(argv[i], "--out")) out = argv[++i];
    else if (i + 1 < argc && !strcmp(argv[i], "--work")) work = argv[++i];
    else return Usage();
  }
  if (kind.empty() || out.empty()) return Usage();
  if (work.empty()) work = out + "/../assetgen";
  std::error_code ec;
  std::filesystem::create_directories(out, ec);
  std::filesystem::create_directories(work, ec);

  bool known = false;
  for (const Kind& k : kKinds) {
    if (kind != "all" && kind != k.name) continue;
    known = true;
    auto start = std::chrono::steady_clock::now();
    fprintf(stderr, "assetgen: generating %s...\n", k.name);
    int rc = k.generate(out, work);
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (rc != 0) {
      fprintf(stderr, "assetgen: %s failed\n", k.name);
      return 1;
    }
    fprintf(stderr, "assetgen: %s done in %.1f s\n", k.name, seconds);
  }
  return known ? 0 : Usage();
}
