#include "runtime/data_directory.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {
// Every data directory holds the pictures' folder: its presence tells a data
// directory from any other. A single file missing inside it is reported by
// the start-up checks, by name.
constexpr const char* kMarker = "gfx";

std::string dataDirectory;
std::string startDirectory;

bool HoldsData(const fs::path& directory) {
  std::error_code ec;
  return fs::is_directory(directory / kMarker, ec);
}

// Where the data of an executable in `exeDirectory` may lie, in the order
// tried: beside it, then in ../share/kelvane12.
std::vector<std::string> DataDirectoryCandidates(const fs::path& exeDirectory) {
  const fs::path here = exeDirectory.lexically_normal();
  return {here.string(), (here / ".." / "share" / "kelvane12").lexically_normal().string()};
}
}  // namespace

bool EnterDataDirectory(const char* program) {
  std::error_code ec;
  const fs::path start = fs::current_path(ec);
  if (ec) {
    fprintf(stderr, "%s: cannot tell which directory it was started in (%s)\n", program,
            ec.message().c_str());
    return false;
  }
  // The kernel's name of the executable, with every link to it (on the PATH,
  // at the archive's top) followed to where it lies.
  const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (ec) {
    fprintf(stderr, "%s: cannot tell where its executable lies (/proc/self/exe: %s)\n", program,
            ec.message().c_str());
    return false;
  }
  const std::vector<std::string> candidates = DataDirectoryCandidates(exe.parent_path());
  for (const std::string& candidate : candidates) {
    if (!HoldsData(candidate)) continue;
    if (chdir(candidate.c_str()) != 0) {
      fprintf(stderr, "%s: cannot enter its data directory %s (%s)\n", program,
              candidate.c_str(), strerror(errno));
      return false;
    }
    dataDirectory = candidate;
    startDirectory = start.string();
    return true;
  }
  std::string looked;
  for (size_t i = 0; i < candidates.size(); ++i)
    looked += (i == 0 ? "" : i + 1 == candidates.size() ? " and " : ", ") + candidates[i];
  fprintf(stderr,
          "%s: cannot find the show's data (pictures, shaders, meshes, music): looked for "
          "%s/ in %s.\nKeep the program beside its data, or install both with cmake --install.\n",
          program, kMarker, looked.c_str());
  return false;
}

const std::string& DataDirectory() { return dataDirectory; }

std::string FromStartDirectory(const std::string& path) {
  if (path.empty()) return path;
  const fs::path p(path);
  if (startDirectory.empty()) return path;
  return (p.is_absolute() ? p : fs::path(startDirectory) / p).lexically_normal().string();
}

void AnchorEnvironmentPath(const char* name) {
  const char* value = getenv(name);
  if (!value || !*value) return;
  const std::string anchored = FromStartDirectory(value);
  if (anchored != value) setenv(name, anchored.c_str(), 1);
}
