// Compiled into each executable of the show: selects its rope step before
// main runs. KELVANE_FIXED_STEP makes the fixed-step build.
#include "runtime/frame_steps.h"

namespace {
#ifdef KELVANE_FIXED_STEP
[[maybe_unused]] const bool selected = (fixedRopeStep = true);
#else
[[maybe_unused]] const bool selected = (fixedRopeStep = false);
#endif
}  // namespace
