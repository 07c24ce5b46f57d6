// kelvane12-choreograph --out FILE
// Writes the show's performance, the director keys placed on the music's grid,
// as a key track (keys.dat). The output is deterministic: the committed
// assets/keys.dat is regenerated with `make keys`.
#include <cstdio>
#include <cstring>
#include <string>

#include "tools/choreography/choreography.h"

namespace {
int Usage() {
  fprintf(stderr, "usage: kelvane12-choreograph --out FILE\n");
  return 2;
}
}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 || std::strcmp(argv[1], "--out") != 0 || argv[2][0] == '\0') return Usage();
  const char* path = argv[2];

  const std::vector<choreography::KeyPress> presses = choreography::ComposePerformance();
  const std::string text = choreography::FormatKeyTrack(presses);
  FILE* file = fopen(path, "wb");
  if (!file) {
    fprintf(stderr, "kelvane12-choreograph: cannot write %s\n", path);
    return 1;
  }
  const bool written = fwrite(text.data(), 1, text.size(), file) == text.size();
  if (fclose(file) != 0 || !written) {
    fprintf(stderr, "kelvane12-choreograph: cannot finish %s\n", path);
    return 1;
  }
  printf("kelvane12-choreograph: %zu key presses from %.2f s to %.2f s written to %s\n",
         presses.size(), presses.front().seconds, presses.back().seconds, path);
  return 0;
}
