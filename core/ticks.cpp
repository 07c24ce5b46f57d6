#include "core/ticks.h"

#include <chrono>
#include <cmath>
#include <cstdint>

namespace {
// Readings count from the first call; only their differences matter.
const std::chrono::steady_clock::time_point tickEpoch = std::chrono::steady_clock::now();
bool ticksVirtual = false;
double virtualTicksMs = 0.0;
// Added to the wall clock's readings, so that it can run on from where the
// virtual clock stood.
int64_t realOffsetMs = 0;

int64_t WallMs() {
  auto elapsed = std::chrono::steady_clock::now() - tickEpoch;
  return std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count();
}
}  // namespace

// Milliseconds since an arbitrary start, wrapping at 32 bits.
uint32_t TickCountMs() {
  // The virtual clock is read to the nearest millisecond, so that steps of
  // 1000/30 ms add up to whole seconds.
  if (ticksVirtual) return static_cast<uint32_t>(std::llround(virtualTicksMs));
  return static_cast<uint32_t>(static_cast<uint64_t>(WallMs() + realOffsetMs));
}

// Switches the counter to the virtual clock, at 0.
void TicksUseVirtualClock() {
  ticksVirtual = true;
  virtualTicksMs = 0.0;
}

// Back to the monotonic wall clock.
void TicksUseRealClock() { ticksVirtual = false; }

// Moves the virtual clock on.
void TicksAdvanceVirtual(double ms) {
  if (ms > 0.0) virtualTicksMs += ms;
}

double TicksVirtualMs() { return virtualTicksMs; }

void TicksSetVirtualMs(double ms) { virtualTicksMs = ms; }

void TicksUseRealClockFrom(double ms) {
  realOffsetMs = std::llround(ms) - WallMs();
  ticksVirtual = false;
}
