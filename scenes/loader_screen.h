// The loader screen (loader image, asset steps, progress ribbons, fades) and
// the start of the music on the first main-phase frame.
#pragma once
#include <cstdint>

// The loader screen's program-lifetime state; a run starts from LoaderState{}.
struct LoaderState {
  int loadingDone = 0;   // 1 from the frame after the loader screen ends
  int loadCounter = 0;   // the asset-table step to perform next
  int musicStarted = 0;
  bool firstTickTaken = false;
  uint32_t firstLoaderTick = 0;
  // Loader clock values are tenths of a second of wall time since the first
  // loader frame.
  float loaderClock = 0;
  float previousLoaderClock = 0;
  float loadAccumulator = 0;  // loader clock since the latest asset step
  int loadingFinishedMark = 0;
  float finishTime = 0;       // loader clock when the last step was taken
};
extern LoaderState loader;

void RunLoaderScreen();
void StartMusic();
