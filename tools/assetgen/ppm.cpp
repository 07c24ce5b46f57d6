// The three plain-PPM pictures of the particle field, drawn from code:
//  - data/traffic_01_halftone.ppm (640 x 320): halftone dots whose non-zero
//    red marks the fluid's obstacles, open water everywhere else;
//  - data/gfx_floppy_tlo.ppm (1280 x 720): the title picture the particles
//    carry during the opening;
//  - data/gfx_ld1.ppm (1280 x 720): the warm red and orange picture they
//    carry after the swell.
// The files are P3 with exactly four header lines (magic, one comment, size,
// maximum), as the program's reader skips four lines unparsed. PNG copies go
// to WORKDIR for a look by eye.
#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "tools/assetgen/assetgen.h"

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>
#pragma GCC diagnostic pop

namespace assetgen {
namespace {

// Picture sizes the program's readers expect.
constexpr int kHalftoneWidth = 640, kHalftoneHeight = 320;
constexpr int kColourWidth = 1280, kColourHeight = 720;

// Halftone: dots on a grid turned by 45 degrees, radius growing with tone.
constexpr float kDotPitch = 11.0f;        // distance between neighbouring dot centres
constexpr float kDotMaxRadius = 3.4f;     // leaves at least 4 cells open between dots
constexpr float kDotMinRadius = 0.9f;     // smaller dots are left out
constexpr int kHalftoneMargin = 72;       // open water at the left and right edges
constexpr int kHalftoneEdge = 6;          // and along the top and bottom

using Rgb = std::array<float, 3>;

// The show's palette, as 0-1 colours.
constexpr Rgb kNearBlack = {0.041f, 0.034f, 0.04f};
constexpr Rgb kWarmWhite = {1.0f, 0.94f, 0.86f};
constexpr Rgb kBodyRed = {0.8f, 0.07f, 0.09f};
constexpr Rgb kDeepRed = {0.42f, 0.04f, 0.05f};
constexpr Rgb kOrange = {1.0f, 0.47f, 0.08f};
constexpr Rgb kAmber = {1.0f, 0.68f, 0.18f};

constexpr float kPi = 3.14159265358979f;

struct Canvas {
  int w, h;
  std::vector<float> rgb;
  Canvas(int width, int height, Rgb fill) : w(width), h(height), rgb(size_t(width) * height * 3) {
    for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = fill[i % 3];
  }
  float* At(int x, int y) { return &rgb[(size_t(y) * w + x) * 3]; }
};

// Linear blend from a (t = 0) to b (t = 1).
Rgb Mix(const Rgb& a, const Rgb& b, float t) {
  return {a[0] + (b[0] - a[0]) * t, a[1] + (b[1] - a[1]) * t, a[2] + (b[2] - a[2]) * t};
}

// Integer hash of a 2D cell to [0, 1), for deterministic flicker.
float Hash01(int x, int y, uint32_t seed) {
  uint32_t h = uint32_t(x) * 374761393u + uint32_t(y) * 668265263u + seed * 2246822519u;
  h = (h ^ (h >> 13)) * 1274126177u;
  h ^= h >> 16;
  return float(h & 0xFFFFFF) / float(0x1000000);
}

// Paints the region where sdf(px, py) < 0 inside the box [x0, x1) x [y0, y1),
// edges smoothed over one pixel; colour(px, py) may vary over the shape.
template <typename Sdf, typename Colour>
void Paint(Canvas& c, float x0, float y0, float x1, float y1, Sdf sdf, Colour colour) {
  int ix0 = std::max(0, int(std::floor(x0)) - 1), iy0 = std::max(0, int(std::floor(y0)) - 1);
  int ix1 = std::min(c.w, int(std::ceil(x1)) + 1), iy1 = std::min(c.h, int(std::ceil(y1)) + 1);
  for (int y = iy0; y < iy1; ++y) {
    for (int x = ix0; x < ix1; ++x) {
      float px = x + 0.5f, py = y + 0.5f;
      float cover = std::min(1.0f, std::max(0.0f, 0.5f - sdf(px, py)));
      if (cover <= 0) continue;
      Rgb col = colour(px, py);
      float* p = c.At(x, y);
      for (int k = 0; k < 3; ++k) p[k] += (col[k] - p[k]) * cover;
    }
  }
}

// Distance from (px, py) to the segment a-b.
float SegmentDistance(float px, float py, float ax, float ay, float bx, float by) {
  float dx = bx - ax, dy = by - ay;
  float t = ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy);
  t = std::min(1.0f, std::max(0.0f, t));
  return std::hypot(px - ax - t * dx, py - ay - t * dy);
}

// A circle outline of the given line width.
void Ring(Canvas& c, float cx, float cy, float r, float width, Rgb col) {
  float o = r + width;
  Paint(c, cx - o, cy - o, cx + o, cy + o,
        [=](float x, float y) { return std::fabs(std::hypot(x - cx, y - cy) - r) - width / 2; },
        [=](float, float) { return col; });
}

// A straight line with round ends.
void Stroke(Canvas& c, float ax, float ay, float bx, float by, float width, Rgb col) {
  float o = width;
  Paint(c, std::min(ax, bx) - o, std::min(ay, by) - o, std::max(ax, bx) + o, std::max(ay, by) + o,
        [=](float x, float y) { return SegmentDistance(x, y, ax, ay, bx, by) - width / 2; },
        [=](float, float) { return col; });
}

// Block lettering: each glyph is a set of strokes in a 4 x 6 cell, y down.
struct Glyph {
  char ch;
  std::vector<std::array<float, 4>> strokes;
};

const std::vector<Glyph>& Glyphs() {
  static const std::vector<Glyph> glyphs = {
      {'K', {{0, 0, 0, 6}, {3.8f, 0, 0, 3.6f}, {1.3f, 2.5f, 3.9f, 6}}},
      {'E', {{0, 0, 0, 6}, {0, 0, 3.6f, 0}, {0, 3, 3, 3}, {0, 6, 3.6f, 6}}},
      {'L', {{0, 0, 0, 6}, {0, 6, 3.6f, 6}}},
      {'V', {{0, 0, 2, 6}, {2, 6, 4, 0}}},
      {'A', {{0, 6, 2, 0}, {2, 0, 4, 6}, {0.8f, 4.1f, 3.2f, 4.1f}}},
      {'N', {{0, 6, 0, 0}, {0, 0, 4, 6}, {4, 6, 4, 0}}},
      {'1', {{0.7f, 1.3f, 2.2f, 0}, {2.2f, 0, 2.2f, 6}, {0.8f, 6, 3.6f, 6}}},
      {'2', {{0.2f, 1.2f, 1.0f, 0.2f}, {1.0f, 0.2f, 2.3f, 0}, {2.3f, 0, 3.4f, 0.5f},
             {3.4f, 0.5f, 3.8f, 1.6f}, {3.8f, 1.6f, 3.3f, 2.8f}, {3.3f, 2.8f, 0, 6},
             {0, 6, 4, 6}}},
  };
  return glyphs;
}

// Writes text in block letters with its top-left corner at (x, y); unit is
// the size of one glyph cell step (glyphs are 4 x 6 units, 1.8 apart).
void Lettering(Canvas& c, const char* text, float x, float y, float unit, float width,
               Rgb col) {
  for (const char* t = text; *t; ++t, x += 5.8f * unit) {
    for (const Glyph& g : Glyphs()) {
      if (g.ch != *t) continue;
      std::vector<std::array<float, 4>> s;
      for (const auto& k : g.strokes)
        s.push_back({x + k[0] * unit, y + k[1] * unit, x + k[2] * unit, y + k[3] * unit});
      // One shape for the whole glyph, so overlapping strokes blend once.
      Paint(c, x - width, y - width, x + 4 * unit + width, y + 6 * unit + width,
            [&](float px, float py) {
              float d = 1e9f;
              for (const auto& k : s) d = std::min(d, SegmentDistance(px, py, k[0], k[1], k[2], k[3]));
              return d - width / 2;
            },
            [=](float, float) { return col; });
    }
  }
}

// Clamped cubic step from 0 at e0 to 1 at e1.
float SmoothStep(float e0, float e1, float x) {
  float t = std::min(1.0f, std::max(0.0f, (x - e0) / (e1 - e0)));
  return t * t * (3.0f - 2.0f * t);
}

// Signed distance to a closed polygon: negative inside (even-odd rule).
float PolygonSdf(const std::vector<std::array<float, 2>>& poly, float px, float py) {
  float d = 1e9f;
  bool inside = false;
  for (size_t i = 0, j = poly.size() - 1; i < poly.size(); j = i++) {
    const auto &a = poly[i], &b = poly[j];
    d = std::min(d, SegmentDistance(px, py, a[0], a[1], b[0], b[1]));
    if ((a[1] > py) != (b[1] > py) && px < (b[0] - a[0]) * (py - a[1]) / (b[1] - a[1]) + a[0])
      inside = !inside;
  }
  return inside ? -d : d;
}

// The soft body's bulb in side view (round base, crown drawn up into a
// leaning tip) centred at (cx, cy), lit from the upper left.
void Bulb(Canvas& c, float cx, float cy, float size, Rgb col, Rgb rim) {
  std::vector<std::array<float, 2>> outline;
  for (int i = 0; i < 360; ++i) {
    float t = 2.0f * kPi * i / 360;
    float up = std::cos(t);
    float py = up * (up < 0 ? 0.82f : 1.12f);
    float px = std::sin(t) * (1.0f - 0.55f * SmoothStep(0.15f, 1.2f, py)) +
               0.12f * std::max(0.0f, py) * std::max(0.0f, py);
    outline.push_back({cx + px * size, cy - py * size});
  }
  float o = size * 1.2f;
  Paint(c, cx - o, cy - o, cx + o, cy + o,
        [&](float x, float y) { return PolygonSdf(outline, x, y); },
        [=](float x, float y) {
          float t = std::max(0.0f, (-(x - cx) - (y - cy)) / (1.4f * size));
          return Mix(col, rim, std::min(1.0f, t * t));
        });
}

// The obstacle halftone: the soft body's bulb and a drifting band, as dots
// on a 45-degree grid, dot radius following the tone; red 0 means water.
std::vector<uint8_t> DrawHalftone() {
  const int w = kHalftoneWidth, h = kHalftoneHeight;
  std::vector<uint8_t> px(size_t(w) * h * 3, 0);
  auto tone = [](float x, float y) {
    // Bulb: dense core, thinning to its rim.
    float dx = (x - 330.0f) / 120.0f, dy = (y - 165.0f) / 130.0f;
    float bulb = 1.0f - std::min(1.0f, std::sqrt(dx * dx + dy * dy));
    // A wave band across the picture, sparser than the bulb.
    float band = std::exp(-std::pow((y - 160.0f - 70.0f * std::sin(x / 70.0f)) / 40.0f, 2.0f));
    band *= SmoothStep(kHalftoneMargin, kHalftoneMargin + 90.0f, x) *
            SmoothStep(kHalftoneMargin, kHalftoneMargin + 90.0f, kHalftoneWidth - x);
    return std::min(1.0f, std::max(std::sqrt(bulb) * 1.05f, 0.6f * band));
  };
  const float s = kDotPitch / std::sqrt(2.0f);
  for (int i = -80; i <= 80; ++i) {
    for (int j = -80; j <= 80; ++j) {
      // Grid turned by 45 degrees around the picture centre.
      float cx = w / 2.0f + (i - j) * s, cy = h / 2.0f + (i + j) * s;
      if (cx < kHalftoneMargin || cx > w - kHalftoneMargin) continue;
      if (cy < kHalftoneEdge || cy > h - kHalftoneEdge) continue;
      float r = kDotMaxRadius * std::sqrt(tone(cx, cy));
      if (r < kDotMinRadius) continue;
      for (int y = int(cy - r) - 1; y <= int(cy + r) + 1; ++y) {
        for (int x = int(cx - r) - 1; x <= int(cx + r) + 1; ++x) {
          if (x < kHalftoneMargin || x >= w - kHalftoneMargin) continue;
          if (y < kHalftoneEdge || y >= h - kHalftoneEdge) continue;
          if (std::hypot(x + 0.5f - cx, y + 0.5f - cy) > r) continue;
          uint8_t* p = &px[(size_t(y) * w + x) * 3];
          p[0] = 230, p[1] = 60, p[2] = 40;
        }
      }
    }
  }
  return px;
}

// The title picture: block lettering over a red disc and its rings, white
// hairlines and a flickering orange band, on near-black.
Canvas DrawTitle() {
  Canvas c(kColourWidth, kColourHeight, kNearBlack);
  const float cx = 930, cy = 350;
  for (int k = 0; k < 4; ++k) Ring(c, cx, cy, 262.0f + 30.0f * k * (1 + 0.25f * k), 3.0f - 0.5f * k, kWarmWhite);
  Paint(c, cx - 232, cy - 232, cx + 232, cy + 232,
        [=](float x, float y) { return std::hypot(x - cx, y - cy) - 232.0f; },
        [=](float x, float y) {
          // Darker towards the lower right, like a lit sphere.
          float t = std::max(0.0f, ((x - cx) + (y - cy)) / 330.0f);
          return Mix(kBodyRed, kDeepRed, std::min(1.0f, t));
        });
  Stroke(c, 80, 118, 1200, 118, 3, kWarmWhite);
  Stroke(c, 80, 470, 1200, 470, 3, kWarmWhite);
  Lettering(c, "KELVANE", 92, 168, 22.0f, 24.0f, kWarmWhite);
  Lettering(c, "12", 96, 500, 15.0f, 18.0f, kOrange);
  // Orange band of flickering blocks along the bottom.
  Paint(c, 0, 610, kColourWidth, 650, [](float, float y) { return std::max(610.0f - y, y - 650.0f); },
        [](float x, float y) {
          float f = Hash01(int(x) / 8, int(y) / 40, 7);
          return Mix(kOrange, kAmber, f * f);
        });
  Stroke(c, 300, 560, 1200, 560, 2, kWarmWhite);
  return c;
}

// The warm picture: an orange sun cut by widening slits over a red horizon,
// a white line floor running to it, and the soft body's red bulb in front.
Canvas DrawWarm() {
  Canvas c(kColourWidth, kColourHeight, kNearBlack);
  const float horizon = 500;
  // Sky darkens upwards, ground glows deep red.
  Paint(c, 0, 0, kColourWidth, kColourHeight, [](float, float) { return -1.0f; },
        [=](float, float y) {
          if (y < horizon) return Mix(kNearBlack, kDeepRed, std::pow(y / horizon, 2.5f));
          return Mix(kDeepRed, kNearBlack, std::min(1.0f, (y - horizon) / 260.0f));
        });
  const float sx = 700, sy = 330, sr = 250;
  for (int k = 0; k < 3; ++k) Ring(c, sx, sy, sr + 24.0f + 26.0f * k, 2.0f, Mix(kOrange, kWarmWhite, 0.4f * k));
  Paint(c, sx - sr, sy - sr, sx + sr, sy + sr,
        [=](float x, float y) {
          float d = std::hypot(x - sx, y - sy) - sr;
          // Slits across the lower half, wider towards the bottom.
          float v = (y - sy) / sr;
          if (v > 0.05f) {
            float period = 34.0f;
            float local = std::fmod(y - sy, period);
            float gap = 2.0f + 16.0f * v;
            d = std::max(d, gap / 2 - std::fabs(local - period / 2));
          }
          return d;
        },
        [=](float x, float y) {
          float t = std::min(1.0f, std::max(0.0f, (y - (sy - sr)) / (2 * sr)));
          Rgb base = Mix(kAmber, kBodyRed, t);
          float f = Hash01(int(x) / 6, int(y) / 6, 11);
          return Mix(base, kOrange, 0.35f * f);
        });
  // Floor: the horizon and lines running into the distance.
  Stroke(c, 0, horizon, kColourWidth, horizon, 3, kWarmWhite);
  for (int k = -9; k <= 9; ++k)
    Stroke(c, sx + k * 18.0f, horizon, sx + k * 170.0f, kColourHeight + 10, 2, kWarmWhite);
  for (int k = 1; k <= 6; ++k) {
    float y = horizon + 220.0f * std::pow(k / 6.0f, 1.8f);
    Stroke(c, 0, y, kColourWidth, y, 1.5f + 0.3f * k, Mix(kWarmWhite, kOrange, 0.5f));
  }
  Bulb(c, 270, 440, 150, kBodyRed, Mix(kBodyRed, kOrange, 0.8f));
  Ring(c, 270, 440, 215, 2.5f, kWarmWhite);
  return c;
}

// Quantises a canvas to 8-bit samples.
std::vector<uint8_t> ToBytes(const Canvas& c) {
  std::vector<uint8_t> out(c.rgb.size());
  for (size_t i = 0; i < out.size(); ++i)
    out[i] = uint8_t(std::lround(std::min(1.0f, std::max(0.0f, c.rgb[i])) * 255.0f));
  return out;
}

// Writes a plain PPM: four header lines, then the samples in decimal, lines
// kept under 70 characters. Samples are formatted from a table, the file
// written in one piece.
bool WritePlainPpm(const std::string& path, const char* comment, int w, int h,
                   const std::vector<uint8_t>& px) {
  std::string text = "P3\n# " + std::string(comment) + "\n" + std::to_string(w) + " " +
                     std::to_string(h) + "\n255\n";
  text.reserve(text.size() + px.size() * 4 + px.size() / 16);
  static std::array<std::string, 256> numbers;
  if (numbers[0].empty())
    for (int i = 0; i < 256; ++i) numbers[i] = std::to_string(i);
  size_t lineLength = 0;
  for (uint8_t v : px) {
    const std::string& s = numbers[v];
    if (lineLength > 0 && lineLength + 1 + s.size() > 69) {
      text += '\n';
      lineLength = 0;
    } else if (lineLength > 0) {
      text += ' ';
      ++lineLength;
    }
    text += s;
    lineLength += s.size();
  }
  text += '\n';
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) {
    fprintf(stderr, "assetgen: cannot create %s: %s\n", path.c_str(), strerror(errno));
    return false;
  }
  bool ok = fwrite(text.data(), 1, text.size(), f) == text.size();
  ok = (fclose(f) == 0) && ok;
  if (!ok) fprintf(stderr, "assetgen: cannot write %s\n", path.c_str());
  return ok;
}

// Writes the PPM into the run directory and a PNG copy into the work directory.
bool WritePicture(const std::string& outDir, const std::string& workDir, const char* name,
                  const char* comment, int w, int h, const std::vector<uint8_t>& px) {
  if (!WritePlainPpm(outDir + "/data/" + name + ".ppm", comment, w, h, px)) return false;
  std::string png = workDir + "/" + name + ".png";
  if (!stbi_write_png(png.c_str(), w, h, 3, px.data(), w * 3)) {
    fprintf(stderr, "assetgen: cannot write %s\n", png.c_str());
    return false;
  }
  return true;
}

}  // namespace

int GeneratePpms(const std::string& outDir, const std::string& workDir) {
  std::error_code ec;
  std::filesystem::create_directories(outDir + "/data", ec);
  if (ec) {
    fprintf(stderr, "assetgen: cannot create %s/data: %s\n", outDir.c_str(), ec.message().c_str());
    return 1;
  }
  fprintf(stderr, "assetgen: halftone obstacles\n");
  if (!WritePicture(outDir, workDir, "traffic_01_halftone", "kelvane12 fluid obstacles",
                    kHalftoneWidth, kHalftoneHeight, DrawHalftone()))
    return 1;
  fprintf(stderr, "assetgen: title particle colours\n");
  if (!WritePicture(outDir, workDir, "gfx_floppy_tlo", "kelvane12 title particle colours",
                    kColourWidth, kColourHeight, ToBytes(DrawTitle())))
    return 1;
  fprintf(stderr, "assetgen: warm particle colours\n");
  if (!WritePicture(outDir, workDir, "gfx_ld1", "kelvane12 warm particle colours", kColourWidth,
                    kColourHeight, ToBytes(DrawWarm())))
    return 1;
  return 0;
}

}  // namespace assetgen
