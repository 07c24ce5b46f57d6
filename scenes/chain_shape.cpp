// The icosahedron chain's per-frame quantities, from the demo time alone.
#include <algorithm>

#include "core/timeline.h"
#include "scenes/icosahedron_chain.h"

namespace {
constexpr float kSecondArrangementStart = 1495;  // N is 0 up to and including this T
}  // namespace

float ChainSpread(float t) {
  const float b = t > kSecondArrangementStart ? std::min((t - kSecondArrangementStart) * 0.125f, 1.0f)
                                              : 0.0f;
  const float c = b - 1;
  return (c * c * c + 1) * 0.6f;
}

float ChainLinkOffset(float t) {
  if (!(t > 570 && t < 630)) return 0;
  const float a = std::min((t - 570) / 5, 1.0f);
  float z = 0;
  if (t > 605) {
    // Quintic ease in and out over 20 tenths, held at 1 once it is through.
    const float x = (t - 605) / 20;
    if (x > 1) {
      z = 1;
    } else if (x < 0.5f) {
      z = 16 * x * x * x * x * x;
    } else {
      const float y = 2 * x - 2;
      z = 0.5f * y * y * y * y * y + 1;
    }
  }
  return (a - z) * 0.15f;
}

float ChainSpeed(float t) { return InSlowMotionWindow(t) ? 0.2f : 2.0f; }

float ChainJitter(float t) { return t > 1420 ? std::min((t - 1420) / 100, 1.0f) * 0.01f : 0.0f; }

