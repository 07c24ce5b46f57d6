#include "runtime/show_seek.h"

#include <cmath>

double RunUpGridSeconds(double seconds) {
  return std::round(seconds * kRunUpFps) / kRunUpFps;
}

bool StartShowAt(double, const std::string&, bool, SeekProgress) { return false; }

double SeekShow(double seconds, SeekProgress) { return RunUpGridSeconds(seconds); }
