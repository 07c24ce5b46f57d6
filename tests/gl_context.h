// A GL 4.x compatibility context for the GL tests: one hidden-from-nobody
// 1280x720 GLUT window under Xvfb, created once by the test main, plus
// helpers to read the framebuffer back.
#pragma once
#include "core/gl.h"

#include <array>
#include <functional>
#include <vector>

#include "scenes/show_state.h"

namespace testgl {
constexpr int kWidth = 1280;
constexpr int kHeight = 720;

// RGBA bytes of one pixel of the bound read framebuffer (y counted from the bottom).
std::array<int, 4> ReadPixel(int x, int y);
// An opaque 4x4 texture of one colour, nearest filtering; left bound.
GLuint PlainTexture(int r, int g, int b);
// A small RGBA texture, nearest filtering, rows given first (t = 0) row first.
GLuint MakeTexture(int width, int height, const std::vector<unsigned char>& rgba);
// Outputs a generator has given since it was seeded with 38, found against
// a reference generator; -1 when more than `limit`. Takes one output itself.
int DrawsSinceSeed(Mt19937State& generator, int limit = 20000);
// A show state as start-up leaves it (both meshes loaded, generator seeded
// with 38, the cloud scattered), past its loader.
ShowState StartedShow();
// Primitives GL generated while draw ran.
GLuint PrimitivesGenerated(const std::function<void()>& draw);
// Back to a neutral state between tests: default framebuffer, identity
// matrices, no program, everything the tests enable switched off.
void ResetState();
}  // namespace testgl
