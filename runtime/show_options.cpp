#include "runtime/show_options.h"

#include <cstring>

bool ParseShowOptions(int argc, char** argv, ShowOptions* options, std::string* error) {
  for (int i = 1; i < argc; ++i) {
    if (!strcmp(argv[i], "--window")) {
      options->window = true;
    } else if (!strcmp(argv[i], "--help") || !strcmp(argv[i], "-h")) {
      options->help = true;
    } else if (!strcmp(argv[i], "--version")) {
      options->version = true;
    } else {
      *error = std::string("unknown option ") + argv[i];
      return false;
    }
  }
  return true;
}

const char* ProgramName(const char* argv0) {
  const char* slash = strrchr(argv0, '/');
  return slash ? slash + 1 : argv0;
}

std::string ShowUsage(const char* program) {
  return "usage: " + std::string(ProgramName(program)) + " [--window] [--help] [--version]\n"
         "  --window   play in a 1280x720 window that can be resized and moved\n"
         "  --help     print this text\n"
         "  --version  print the version\n"
         "The show plays full screen unless --window is given. F11 switches between\n"
         "full screen and a window; Escape ends the show. It reads its data from\n"
         "beside the program or from ../share/kelvane12 next to its directory.\n";
}
