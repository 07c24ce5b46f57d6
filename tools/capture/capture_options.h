// Command line of kelvane12-capture.
#pragma once
#include <string>

struct CaptureOptions {
  int fps = 60;
  double from = 0;        // music position of the first frame written, seconds
  bool quickStart = false; // start the show fresh at `from` instead of running up to it
  double to = -1;         // last frame's music position; below 0: end of the music
  std::string outDir;     // PNG frames; empty: none
  int every = 1;          // write every K-th frame
  bool fixedStep = false; // the fixed-step build's rope step
  bool loader = false;    // write the loader screen's frames too
  std::string video;      // MP4 through ffmpeg; empty: none
  int width = 1280;       // --size: the window the show is composed into
  int height = 720;
  std::string checkpoints;  // --checkpoints: directory of checkpoint files; empty: none
  double checkpointEvery = 10;  // --checkpoint-every: seconds of show between two
  bool help = false;      // --help: the usage, nothing else
  bool version = false;   // --version: the version, nothing else
};

// Parses argv; on bad input returns false with a reason in *error.
bool ParseCaptureOptions(int argc, char** argv, CaptureOptions* options, std::string* error);
// The usage text.
const char* CaptureUsage();
