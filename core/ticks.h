// The millisecond tick counter of the loader screen and the end screen, the
// only wall-clock readings of the show. Monotonic; the capture tool replaces
// it with its virtual clock.
#pragma once
#include <cstdint>

uint32_t TickCountMs();

// From now on TickCountMs follows a virtual clock that moves only through
// TicksAdvanceVirtual, starting at 0, so that two captures of the same range
// see the same ticks.
void TicksUseVirtualClock();
// Back to the monotonic wall clock.
void TicksUseRealClock();
// Moves the virtual clock on by the given milliseconds (negative steps are ignored).
void TicksAdvanceVirtual(double ms);
// The virtual clock's reading in milliseconds, unrounded, and setting it
// (a checkpoint keeps it and puts it back).
double TicksVirtualMs();
void TicksSetVirtualMs(double ms);
// Back to the wall clock, reading `ms` now and running on from there (the
// show's run-up hands over to the wall clock without a jump).
void TicksUseRealClockFrom(double ms);
