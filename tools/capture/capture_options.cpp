#include "tools/capture/capture_options.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {
// Whole text to a number, or false.
bool ParseDouble(const char* text, double* value) {
  char* end = nullptr;
  errno = 0;
  *value = strtod(text, &end);
  return end != text && *end == '\0' && errno == 0 && std::isfinite(*value);
}

// "WxH", each side 64 to 8192 pixels.
bool ParseSize(const char* text, int* width, int* height) {
  int w = 0, h = 0, used = 0;
  if (sscanf(text, "%dx%d%n", &w, &h, &used) != 2 || text[used] != '\0' || w < 64 || h < 64 ||
      w > 8192 || h > 8192)
    return false;
  *width = w;
  *height = h;
  return true;
}

bool ParseInt(const char* text, int* value) {
  char* end = nullptr;
  errno = 0;
  long v = strtol(text, &end, 10);
  if (end == text || *end != '\0' || errno != 0 || v < -1000000 || v > 1000000) return false;
  *value = static_cast<int>(v);
  return true;
}
}  // namespace

const char* CaptureUsage() {
  return "usage: kelvane12-capture [--fps N] [--from SECONDS] [--to SECONDS] [--out DIR]\n"
         "                         [--every K] [--fixed-step] [--loader] [--quick-start]\n"
         "                         [--video FILE.mp4] [--size WxH] [--checkpoints DIR]\n"
         "                         [--checkpoint-every SECONDS] [--help] [--version]\n"
         "  --fps N          frames per second of music time (default 60)\n"
         "  --from SECONDS   first frame written (default 0); the show runs up to\n"
         "                   there from its start, every step but no pixel drawn,\n"
         "                   so the frames are the whole show's\n"
         "  --quick-start    start the show fresh at --from instead (quicker; the\n"
         "                   simulations then start at rest)\n"
         "  --to SECONDS     stop after the frame at this position (default: end of music)\n"
         "  --out DIR        write DIR/frame_000000.png, ... (RGB, of the --size)\n"
         "  --every K        write every K-th frame, still running all of them (default 1)\n"
         "  --fixed-step     the fixed-step build's rope step\n"
         "  --loader         write the loader screen's frames too\n"
         "  --video FILE     encode frames and music into FILE with ffmpeg\n"
         "  --size WxH       the window the show is composed into (default 1280x720);\n"
         "                   off screen where the display is smaller\n"
         "  --checkpoints DIR  keep checkpoints of the show in DIR and start from the\n"
         "                   latest one at or before --from: a checkpoint holds the\n"
         "                   whole show at one frame, for this --fps and rope step\n"
         "  --checkpoint-every SECONDS\n"
         "                   seconds of show between two checkpoints (default 10)\n"
         "  --help           this text\n"
         "  --version        the version\n"
         "Output paths are taken from the working directory; the show's data is read\n"
         "from beside the program or from ../share/kelvane12 next to its directory.\n";
}

bool ParseCaptureOptions(int argc, char** argv, CaptureOptions* o, std::string* error) {
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    const bool hasValue = i + 1 < argc;
    auto needValue = [&]() {
      if (!hasValue) *error = std::string(arg) + " needs a value";
      return hasValue;
    };
    if (!strcmp(arg, "--help")) {
      o->help = true;
    } else if (!strcmp(arg, "--version")) {
      o->version = true;
    } else if (!strcmp(arg, "--fixed-step")) {
      o->fixedStep = true;
    } else if (!strcmp(arg, "--loader")) {
      o->loader = true;
    } else if (!strcmp(arg, "--quick-start")) {
      o->quickStart = true;
    } else if (!strcmp(arg, "--fps")) {
      if (!needValue()) return false;
      if (!ParseInt(argv[++i], &o->fps) || o->fps < 1 || o->fps > 1000) {
        *error = "--fps takes a whole number from 1 to 1000";
        return false;
      }
    } else if (!strcmp(arg, "--every")) {
      if (!needValue()) return false;
      if (!ParseInt(argv[++i], &o->every) || o->every < 1) {
        *error = "--every takes a whole number of at least 1";
        return false;
      }
    } else if (!strcmp(arg, "--from")) {
      if (!needValue()) return false;
      if (!ParseDouble(argv[++i], &o->from) || o->from < 0) {
        *error = "--from takes a number of seconds, at least 0";
        return false;
      }
    } else if (!strcmp(arg, "--to")) {
      if (!needValue()) return false;
      if (!ParseDouble(argv[++i], &o->to) || o->to < 0) {
        *error = "--to takes a number of seconds, at least 0";
        return false;
      }
    } else if (!strcmp(arg, "--out")) {
      if (!needValue()) return false;
      o->outDir = argv[++i];
      if (o->outDir.empty()) {
        *error = "--out needs a directory name";
        return false;
      }
    } else if (!strcmp(arg, "--size")) {
      if (!needValue()) return false;
      if (!ParseSize(argv[++i], &o->width, &o->height)) {
        *error = "--size takes WIDTHxHEIGHT, each from 64 to 8192 pixels";
        return false;
      }
    } else if (!strcmp(arg, "--checkpoints")) {
      if (!needValue()) return false;
      o->checkpoints = argv[++i];
      if (o->checkpoints.empty()) {
        *error = "--checkpoints needs a directory name";
        return false;
      }
    } else if (!strcmp(arg, "--checkpoint-every")) {
      if (!needValue()) return false;
      if (!ParseDouble(argv[++i], &o->checkpointEvery) || o->checkpointEvery < 0.1 ||
          o->checkpointEvery > 100000) {
        *error = "--checkpoint-every takes a number of seconds, from 0.1";
        return false;
      }
    } else if (!strcmp(arg, "--video")) {
      if (!needValue()) return false;
      o->video = argv[++i];
      if (o->video.empty()) {
        *error = "--video needs a file name";
        return false;
      }
    } else {
      *error = std::string("unknown option ") + arg;
      return false;
    }
  }
  if (!o->video.empty() && (o->width % 2 || o->height % 2)) {
    *error = "--video needs an even width and height in --size";
    return false;
  }
  if (!o->checkpoints.empty() && o->quickStart) {
    *error = "--checkpoints and --quick-start exclude each other: a quick start is not the "
             "whole show's run";
    return false;
  }
  if (o->to >= 0 && o->to < o->from) {
    *error = "--to lies before --from";
    return false;
  }
  return true;
}
