// The loader screen (loader image, asset steps, progress ribbons, fades).
#pragma once
#include <cstdint>

// The loader screen's state; a run starts from LoaderState{}.
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
// Loader clock values are tenths of a second of wall time since the first
// loader frame.
constexpr float kDrawImageAfter = 10;  // the loader image appears (and fades in)
constexpr float kLoadAfter = 45;       // asset steps and progress ribbons start
constexpr int kLastLoadStep = 84;      // the counter passes this when all is loaded

// Draws the loader screen as its step (scenes/scene_steps.h) left it.
void DrawLoaderScreen(const LoaderState& loader);
