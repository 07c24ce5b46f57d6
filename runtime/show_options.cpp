#include "runtime/show_options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "runtime/show_seek.h"

bool ParseShowOptions(int argc, char** argv, ShowOptions* options, std::string* error) {
  for (int i = 1; i < argc; ++i) {
    if (!strcmp(argv[i], "--window")) {
      options->window = true;
    } else if (!strcmp(argv[i], "--help") || !strcmp(argv[i], "-h")) {
      options->help = true;
    } else if (!strcmp(argv[i], "--version")) {
      options->version = true;
    } else if (!strcmp(argv[i], "--rehearse")) {
      options->rehearse = true;
    } else if (!strcmp(argv[i], "--from")) {
      char* end = nullptr;
      errno = 0;
      const double seconds = i + 1 < argc ? strtod(argv[i + 1], &end) : NAN;
      if (i + 1 >= argc || end == argv[i + 1] || *end != '\0' || errno != 0 ||
          !std::isfinite(seconds) || seconds < 0) {
        *error = "--from takes a number of seconds, at least 0";
        return false;
      }
      options->from = seconds;
      ++i;
    } else if (!strcmp(argv[i], "--checkpoint-every")) {
      char* end = nullptr;
      errno = 0;
      const double seconds = i + 1 < argc ? strtod(argv[i + 1], &end) : NAN;
      if (i + 1 >= argc || end == argv[i + 1] || *end != '\0' || errno != 0 ||
          !(seconds >= 0.1 && seconds <= 100000)) {
        *error = "--checkpoint-every takes a number of seconds, from 0.1";
        return false;
      }
      options->checkpointEvery = seconds;
      ++i;
    } else if (!strcmp(argv[i], "--checkpoints")) {
      if (i + 1 >= argc || !argv[i + 1][0]) {
        *error = "--checkpoints needs a directory";
        return false;
      }
      options->checkpoints = argv[++i];
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
  return "usage: " + std::string(ProgramName(program)) +
         " [--window] [--from SECONDS] [--checkpoints DIR]\n"
         "       [--checkpoint-every SECONDS] [--rehearse] [--help] [--version]\n"
         "  --window           play in a 1280x720 window that can be resized and moved\n"
         "  --from SECONDS     start the show at this music position, in the state a\n"
         "                     run from the start at " + std::to_string(kRunUpFps) +
         " frames a second reaches there\n"
         "                     (the run-up's progress shows on the terminal)\n"
         "  --checkpoints DIR  keep checkpoints of the show in DIR and start the\n"
         "                     run-up from the latest one at or before --from\n"
         "  --checkpoint-every SECONDS\n"
         "                     seconds of show between two checkpoints (default " +
         std::to_string(kCheckpointEverySeconds) + ")\n"
         "  --rehearse         rehearsal: pause, seek, loop and step keys, in a window\n"
         "  --help             print this text\n"
         "  --version          print the version\n"
         "The show plays full screen unless --window is given. F11 switches between\n"
         "full screen and a window; Escape ends the show. It reads its data from\n"
         "beside the program or from ../share/kelvane12 next to its directory.\n";
}
