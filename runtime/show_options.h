// Command line of the show (kelvane12 and kelvane12-fixed).
#pragma once
#include <string>

struct ShowOptions {
  bool window = false;  // an ordinary 1280x720 window instead of full screen
  bool help = false;    // print the usage and end
  bool version = false; // print the version and end
  double from = 0;      // --from: start at this music position, in seconds
  std::string checkpoints;  // --checkpoints: directory of checkpoint files; empty: none
  double checkpointEvery = 10;  // --checkpoint-every: seconds of show between two checkpoints
  bool rehearse = false;    // --rehearse: the rehearsal keys, in a window
};

// Parses argv; on bad input returns false with a reason in *error.
bool ParseShowOptions(int argc, char** argv, ShowOptions* options, std::string* error);
// The program's name as it was started (argv[0] without its directory).
const char* ProgramName(const char* argv0);
// The usage text, naming the program as it was started.
std::string ShowUsage(const char* program);
