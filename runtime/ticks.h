// The millisecond tick counter of the loader screen and the end screen, the
// only wall-clock readings of the show. Monotonic; the capture tool replaces
// it with its virtual clock.
#pragma once
#include <cstdint>

uint32_t TickCountMs();
