// The image kind: every picture under gfx/ (cards, titles, greetings, flash
// pictures, overlays, rope textures, panel, loader and end screen), drawn
// by our own code in one art direction: the scene's near-black, warm white
// line work, the soft body's red and the swell's orange. Also writes a
// contact sheet of all of them into the work directory.
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "tools/assetgen/assetgen.h"
#include "tools/assetgen/raster.h"

using raster::Canvas;
using raster::Color;
using raster::TextStyle;

namespace {

const int kW = 1280, kH = 720;
const float kPi = 3.14159265f;

// The palette.
const Color kNight = {0.041f, 0.034f, 0.04f, 1};
const Color kClear = {0, 0, 0, 0};
const Color kWarm = {1.0f, 0.93f, 0.82f, 1};
const Color kRed = {0.85f, 0.08f, 0.06f, 1};
const Color kOrange = {0.76f, 0.30f, 0.06f, 1};
const Color kEmber = {1.0f, 0.58f, 0.18f, 1};

const char* kLight = "DejaVuSans-ExtraLight.ttf";
const char* kBook = "DejaVuSans.ttf";
const char* kBold = "DejaVuSans-Bold.ttf";
const char* kCondensed = "DejaVuSansCondensed-Bold.ttf";
const char* kMono = "DejaVuSansMono.ttf";
const char* kItalic = "DejaVuSerif-Italic.ttf";

// One generated file: its name under gfx/ and whether it keeps alpha
// (PNG with alpha), is opaque PNG, or JPEG.
enum class Format { kRgba, kRgb, kJpg };
struct Picture {
  std::string name;
  Format format;
  Canvas canvas;
  bool flip = false;  // stored bottom row first (drawn with the direct mapping)
};

Canvas Card() { return Canvas(kW, kH, kClear); }

// An opaque full frame: the clear colour, a soft vignette and a fine grain.
Canvas Frame(uint32_t seed) {
  Canvas c(kW, kH, kNight);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) {
      float dx = (x - kW * 0.5f) / kW, dy = (y - kH * 0.5f) / kH;
      float v = 1.f - 0.9f * (dx * dx + dy * dy);
      float grain = (raster::Hash2(x, y, seed) - 0.5f) * 0.012f;
      float* p = c.At(x, y);
      for (int k = 0; k < 3; ++k) p[k] = p[k] * v + grain;
    }
  return c;
}

// Draws text into its own transparent layer, for halos and glows.
Canvas TextLayer(const TextStyle& s, const std::string& text, float x, float y, float align) {
  Canvas layer = Card();
  raster::DrawText(layer, s, text, x, y, align);
  return layer;
}

// Lays a blurred, recoloured copy of a layer under what follows: a dark
// halo keeps text legible over a bright scene, a warm one makes it glow.
void Halo(Canvas& dst, const Canvas& layer, Color col, int radius, float strength,
          bool additive = false) {
  Canvas glow = layer;
  raster::Tint(glow, col);
  raster::Blur(glow, radius);
  raster::Composite(dst, glow, strength, additive);
}

// Text with a dark halo under it and an optional coloured glow.
void HaloText(Canvas& dst, const TextStyle& s, const std::string& text, float x, float y,
              float align, float shadow, Color glow = kClear, int glowRadius = 0) {
  Canvas layer = TextLayer(s, text, x, y, align);
  if (shadow > 0) Halo(dst, layer, kNight, std::max(4, static_cast<int>(s.size / 6)), shadow);
  if (glow.a > 0) Halo(dst, layer, glow, glowRadius, glow.a);
  raster::Composite(dst, layer, 1);
}

TextStyle Style(const char* font, float size, Color col, float tracking = 0) {
  TextStyle s;
  s.font = font;
  s.size = size;
  s.color = col;
  s.tracking = tracking;
  return s;
}

// A small typographic label in the monospace face, letter-spaced.
void Label(Canvas& c, const std::string& text, float x, float y, float align, Color col,
           float size = 18) {
  raster::DrawText(c, Style(kMono, size, col, size * 0.35f), text, x, y, align);
}

// A label with a dark halo, for labels that lie over a bright scene.
void HaloLabel(Canvas& c, const std::string& text, float x, float y, float align, Color col,
               float size = 18) {
  HaloText(c, Style(kMono, size, col, size * 0.35f), text, x, y, align, 0.9f);
}

// Rising sparks: small bright dots with short trails.
void Sparks(Canvas& c, int count, float x0, float x1, float y0, float y1, uint32_t seed) {
  for (int i = 0; i < count; ++i) {
    float x = x0 + (x1 - x0) * raster::Hash2(i, 1, seed);
    float y = y0 + (y1 - y0) * raster::Hash2(i, 2, seed);
    float r = 1.2f + 2.2f * raster::Hash2(i, 3, seed);
    float trail = 8 + 30 * raster::Hash2(i, 4, seed);
    raster::StrokeLine(c, x, y, x - trail * 0.15f, y + trail, r * 0.8f,
                       raster::WithAlpha(kOrange, 0.35f));
    raster::FillDisc(c, x, y, r, raster::Mix(kEmber, kWarm, raster::Hash2(i, 5, seed)));
  }
}

// Flames licking upward from a line: orange noise shaped by height.
void Flames(Canvas& c, float baseY, float height, uint32_t seed) {
  for (int y = std::max(0, static_cast<int>(baseY - height)); y < kH; ++y)
    for (int x = 0; x < kW; ++x) {
      float up = (baseY - y) / height;  // 0 at the base, 1 at the top
      if (up > 1) continue;
      float n = raster::Fbm(x * 0.012f, y * 0.02f + up * 1.5f, 5, seed);
      float across = std::fabs(x - kW * 0.5f) / (kW * 0.42f);
      float body = (up < 0 ? 1 + up * 3 : 1 - up) - across * across * 0.8f;
      float v = body * 1.4f - (1 - n) * 0.9f;
      if (v <= 0) continue;
      v = std::min(v, 1.f);
      Color col = raster::Mix(kRed, kEmber, std::min(1.f, v * 1.3f));
      raster::BlendPixel(c, x, y, col, v * 0.85f);
    }
}

// --- Cards over the scene -------------------------------------------------

// The five closing text cards: two lines each, placed differently.
Canvas TextCard(int index) {
  struct Lines {
    const char* a;
    const char* b;
    float x, y, align;
  };
  static const Lines kCards[5] = {
      {"everything that holds together", "is only pressure, kept", 110, 430, 0},
      {"six hundred threads", "and not one lets go", 1170, 300, 1},
      {"the water remembers", "every hand that moved it", 640, 330, 0.5f},
      {"a spark is only", "a distance giving up", 110, 250, 0},
      {"stay until", "the light runs out", 640, 345, 0.5f}};
  const Lines& l = kCards[index];
  Canvas c = Card();
  // A soft dark band behind the lines: the cards come over the brightest part
  // of the show (the white-lit soft body), where a halo alone does not carry.
  Canvas band = Card();
  raster::FillRect(band, 0, l.y - 150, kW, l.y + 100, kNight);
  raster::Blur(band, 48);
  raster::Composite(c, band, 0.72f);
  TextStyle big = Style(kBook, 62, kWarm);
  char number[16];
  snprintf(number, sizeof number, "0%d / 05", index + 1);
  float rule = l.align == 0 ? l.x : (l.align == 1 ? l.x - 120 : l.x - 60);
  raster::FillRect(c, rule, l.y - 110, rule + 120, l.y - 106, kRed);
  HaloLabel(c, number, l.align == 1 ? l.x : rule, l.y - 126, l.align == 1 ? 1 : 0, kEmber, 17);
  HaloText(c, big, l.a, l.x, l.y - 20, l.align, 0.75f);
  HaloText(c, Style(kItalic, 62, kWarm), l.b, l.x, l.y + 62, l.align, 0.75f,
           raster::WithAlpha(kOrange, 0.35f), 14);
  return c;
}

// The title over the opening fluid: a wide light word, a rule and a seal.
Canvas Title() {
  Canvas c = Card();
  TextStyle s = Style(kLight, 180, kWarm, 34);
  Canvas word = TextLayer(s, "kelvane", 640, 400, 0.5f);
  Halo(c, word, kNight, 26, 0.7f);
  Halo(c, word, kOrange, 18, 0.9f);
  raster::Composite(c, word, 1);
  raster::FillRect(c, 300, 446, 905, 448, raster::WithAlpha(kWarm, 0.85f));
  raster::FillDisc(c, 950, 447, 34, kRed);
  raster::StrokeCircle(c, 950, 447, 44, 1.5f, raster::WithAlpha(kWarm, 0.8f));
  raster::DrawText(c, Style(kBold, 30, kWarm), "12", 950, 458, 0.5f);
  Label(c, "a real-time piece", 300, 486, 0, raster::WithAlpha(kWarm, 0.8f), 17);
  return c;
}

// Picture 34: the first opening line, high in the frame.
Canvas OpeningFirst() {
  Canvas c = Card();
  HaloText(c, Style(kLight, 64, kWarm, 4), "made of nothing but code", 640, 320, 0.5f, 0.8f,
           raster::WithAlpha(kOrange, 0.5f), 16);
  raster::FillRect(c, 610, 352, 670, 355, kRed);
  return c;
}

// Picture 36: the second opening line, below the first (it drifts slowly).
Canvas OpeningSecond() {
  Canvas c = Card();
  TextStyle s = Style(kMono, 26, kEmber, 6);
  HaloText(c, s, "pressure  \xC2\xB7  threads  \xC2\xB7  water  \xC2\xB7  light", 640, 420, 0.5f,
           0.8f);
  Label(c, "one take, drawn live", 640, 470, 0.5f, raster::WithAlpha(kWarm, 0.75f), 16);
  return c;
}

// Greetings card i (1..15): a short salute to a kind of people.
Canvas Greeting(int i) {
  static const char* kLines[15][2] = {
      {"everyone who still", "codes at 4 a.m."},
      {"the ones who read", "the manual twice"},
      {"anyone who fixed it", "with a single line"},
      {"people who keep", "old machines alive"},
      {"the quiet ones at", "the back of the party"},
      {"every sound person", "with tired ears"},
      {"all who draw", "with numbers"},
      {"night-bus", "philosophers"},
      {"those who shipped", "it anyway"},
      {"whoever writes the docs", "nobody thanks them for"},
      {"teachers who", "stayed late"},
      {"whoever left", "the light on"},
      {"first-time", "makers"},
      {"every friend who tested", "the broken build"},
      {"and to you,", "for staying to the end"}};
  Canvas c = Card();
  const float xs[3] = {140, 640, 1140};
  const float aligns[3] = {0, 0.5f, 1};
  int slot = i == 15 ? 1 : (i * 2) % 3;
  float x = xs[slot], align = aligns[slot];
  float y = i == 15 ? 330 : 300 + 40 * ((i * 5) % 3);
  char number[16];
  snprintf(number, sizeof number, "%02d / 15", i);
  HaloLabel(c, i == 15 ? "last, and most of all" : "greetings to", x, y - 96, align, kEmber, 20);
  TextStyle s = Style(kBold, i == 15 ? 78 : 70, kWarm);
  HaloText(c, s, kLines[i - 1][0], x, y, align, 0.8f);
  HaloText(c, s, kLines[i - 1][1], x, y + 84, align, 0.8f, raster::WithAlpha(kRed, 0.55f), 16);
  HaloLabel(c, number, x, y + 150, align, raster::WithAlpha(kWarm, 0.7f), 16);
  if (i == 15) {
    raster::FillRect(c, 600, y + 186, 680, y + 190, kRed);
  }
  return c;
}

// The card at 37 s: a sounding emblem and a quiet line.
Canvas Tembra() {
  Canvas c = Card();
  Canvas rings = Card();
  for (int k = 0; k < 7; ++k) {
    float r = 40 + k * 26;
    float a = 1.f - k * 0.12f;
    raster::StrokeArc(rings, 640, 300, r, k == 0 ? 5 : 2.5f, -0.9f, 0.9f,
                      raster::WithAlpha(kWarm, a));
    raster::StrokeArc(rings, 640, 300, r, k == 0 ? 5 : 2.5f, kPi - 0.9f, kPi + 0.9f,
                      raster::WithAlpha(kWarm, a));
  }
  raster::FillDisc(rings, 640, 300, 16, kRed);
  Halo(c, rings, kNight, 10, 0.7f);
  Halo(c, rings, kOrange, 12, 0.6f);
  raster::Composite(c, rings, 1);
  HaloText(c, Style(kLight, 58, kWarm, 8), "hold still and listen", 640, 530, 0.5f, 0.8f);
  Label(c, "second movement", 640, 575, 0.5f, kEmber, 18);
  return c;
}

// The fire title at 40.3 s: the word with flames and sparks under it.
Canvas BonfireTitle() {
  Canvas c = Card();
  Flames(c, 470, 170, 71);
  Canvas word = TextLayer(Style(kCondensed, 190, kWarm, 22), "BONFIRE", 640, 430, 0.5f);
  Halo(c, word, kNight, 18, 0.6f);
  Halo(c, word, kEmber, 22, 0.9f);
  raster::Composite(c, word, 1);
  Sparks(c, 70, 200, 1080, 140, 470, 72);
  Label(c, "third movement", 640, 520, 0.5f, kWarm, 18);
  return c;
}

// The six quick fire cards: one word each. Cards 3 to 6 are on screen
// together, so they take the centre and three corners; each card's place
// differs from those of the cards it overlaps in time.
Canvas BonfireCard(int i) {
  static const char* kWords[6] = {"gather", "kindle", "burn", "rise", "glow", "ash"};
  static const float kX[6] = {180, 1100, 640, 180, 1100, 1100};
  static const float kY[6] = {230, 590, 410, 590, 230, 590};
  static const float kAlign[6] = {0, 1, 0.5f, 0, 1, 1};
  Canvas c = Card();
  Canvas word = TextLayer(Style(kBold, 130, kWarm, 6), kWords[i - 1], kX[i - 1], kY[i - 1],
                          kAlign[i - 1]);
  Halo(c, word, kNight, 16, 0.6f);
  Halo(c, word, i == 6 ? kRed : kEmber, 24, 0.95f);
  raster::Composite(c, word, 1);
  Sparks(c, 18 + 6 * i, 100, 1180, 60, 660, 80 + i);
  char number[8];
  snprintf(number, sizeof number, "%d / 6", i);
  Label(c, number, kX[i - 1], kY[i - 1] + 50, kAlign[i - 1], kWarm, 17);
  return c;
}

// --- Flash pictures: bold shapes that pulse on beats ----------------------

// A dial: rings, ticks and a red pressure arc around a big number.
Canvas FlashDial() {
  Canvas c = Card();
  raster::StrokeCircle(c, 640, 360, 300, 3, kWarm);
  raster::StrokeArc(c, 640, 360, 250, 30, -2.2f, 1.4f, kRed);
  raster::StrokeArc(c, 640, 360, 250, 30, 1.6f, 2.0f, raster::WithAlpha(kWarm, 0.8f));
  for (int k = 0; k < 72; ++k) {
    float a = k * 2 * kPi / 72;
    float r0 = k % 6 == 0 ? 312 : 320, r1 = 340;
    raster::StrokeLine(c, 640 + r0 * std::cos(a), 360 + r0 * std::sin(a), 640 + r1 * std::cos(a),
                       360 + r1 * std::sin(a), k % 6 == 0 ? 4 : 2, kWarm);
  }
  raster::DrawText(c, Style(kBold, 200, kWarm), "12", 640, 430, 0.5f);
  Label(c, "PRESSURE 1.04", 640, 490, 0.5f, kEmber, 22);
  return c;
}

// Huge outlined letters cut by the frame, with one solid red letter.
Canvas FlashLetters() {
  Canvas c = Card();
  TextStyle outline = Style(kBold, 640, kWarm, -10);
  outline.stroke = 6;
  raster::DrawText(c, outline, "KEL", -60, 620, 0);
  raster::DrawText(c, Style(kBold, 640, kRed), "V", 1010, 620, 0);
  for (int k = 0; k < 5; ++k)
    raster::FillRect(c, 0, 90 + k * 14, 1280, 92 + k * 14, raster::WithAlpha(kWarm, 0.7f));
  Label(c, "K-12 / FRAGMENT", 1240, 680, 1, kWarm, 20);
  return c;
}

// A halftone sphere: dots shrinking away from a lit point.
Canvas FlashHalftone() {
  Canvas c = Card();
  const float cx = 760, cy = 360, r = 330;
  for (int gy = 0; gy < 30; ++gy)
    for (int gx = 0; gx < 54; ++gx) {
      float x = 20 + gx * 24 + (gy % 2) * 12, y = 12 + gy * 24;
      float d = std::hypot(x - cx, y - cy) / r;
      if (d > 1) continue;
      float light = std::hypot(x - (cx - 120), y - (cy - 120)) / (1.4f * r);
      float dot = 11 * (1 - light) * std::sqrt(1 - d * d) + 1.5f;
      raster::FillDisc(c, x, y, dot, raster::Mix(kWarm, kRed, std::min(1.f, d * 1.2f)));
    }
  raster::StrokeCircle(c, cx, cy, r + 18, 3, kWarm);
  raster::DrawText(c, Style(kCondensed, 120, kWarm), "SOFT", 90, 300, 0);
  raster::DrawText(c, Style(kCondensed, 120, kRed), "BODY", 90, 420, 0);
  return c;
}

// A band of diagonal orange stripes with a bold word across it.
Canvas FlashStripes() {
  Canvas c = Card();
  for (int k = -10; k < 40; ++k) {
    float x = k * 56.f;
    std::vector<float> quad = {x, 250, x + 28, 250, x + 28 + 220, 470, x + 220, 470};
    raster::FillPolygon(c, quad, k % 5 == 0 ? kRed : kOrange);
  }
  raster::FillRect(c, 0, 236, 1280, 242, kWarm);
  raster::FillRect(c, 0, 478, 1280, 484, kWarm);
  Canvas word = TextLayer(Style(kCondensed, 230, kWarm, 12), "HOLD", 640, 445, 0.5f);
  Halo(c, word, kNight, 14, 1.f);
  raster::Composite(c, word, 1);
  return c;
}

// Three chevrons driving to the right.
Canvas FlashChevrons() {
  Canvas c = Card();
  for (int k = 0; k < 3; ++k) {
    float x = 260 + k * 260;
    Color col = k == 2 ? kRed : raster::WithAlpha(kWarm, 0.45f + 0.25f * k);
    std::vector<float> chevron = {x, 120, x + 140, 120, x + 380, 360, x + 140, 600, x, 600,
                                  x + 240, 360};
    raster::FillPolygon(c, chevron, col);
  }
  Label(c, "FORWARD / ALWAYS", 260, 660, 0, kWarm, 22);
  return c;
}

// A sighting cross: lines, circles, brackets and coordinates.
Canvas FlashCross() {
  Canvas c = Card();
  Color line = raster::WithAlpha(kWarm, 0.9f);
  raster::StrokeLine(c, 0, 360, 540, 360, 2, line);
  raster::StrokeLine(c, 740, 360, 1280, 360, 2, line);
  raster::StrokeLine(c, 640, 0, 640, 260, 2, line);
  raster::StrokeLine(c, 640, 460, 640, 720, 2, line);
  raster::StrokeCircle(c, 640, 360, 100, 3, kWarm);
  raster::StrokeCircle(c, 640, 360, 210, 12, raster::WithAlpha(kRed, 0.9f));
  raster::FillDisc(c, 640, 360, 14, kRed);
  const float bx[2] = {330, 950}, by[2] = {80, 640};
  for (int i = 0; i < 2; ++i)
    for (int j = 0; j < 2; ++j) {
      float sx = i ? -1 : 1, sy = j ? -1 : 1;
      raster::StrokeLine(c, bx[i], by[j], bx[i] + 70 * sx, by[j], 5, kWarm);
      raster::StrokeLine(c, bx[i], by[j], bx[i], by[j] + 70 * sy, 5, kWarm);
    }
  Label(c, "X 0.318  Y -0.774  Z 3.000", 680, 330, 0, kEmber, 18);
  Label(c, "LOCK", 600, 400, 1, kWarm, 18);
  return c;
}

// Bars of a level meter, warm at the foot and orange at the top.
Canvas FlashBars() {
  Canvas c = Card();
  for (int k = 0; k < 40; ++k) {
    float x = 60 + k * 29.f;
    float n = raster::Fbm(k * 0.21f, 3.7f, 3, 17);
    float h = 60 + 520 * n * n * 1.6f * (0.6f + 0.4f * std::sin(k * 0.31f + 1.f));
    h = std::min(h, 600.f);
    for (float y = 640; y > 640 - h; y -= 14) {
      float t = (640 - y) / 600.f;
      raster::FillRect(c, x, y - 10, x + 22, y, raster::Mix(kWarm, kOrange, t * 1.4f));
    }
    if (k % 7 == 3) raster::FillRect(c, x, 640 - h - 26, x + 22, 640 - h - 20, kRed);
  }
  raster::FillRect(c, 40, 652, 1240, 656, kWarm);
  Label(c, "LEVEL", 60, 690, 0, kWarm, 20);
  return c;
}

// A burst: rays from the centre and two jagged sparks with a glow.
Canvas FlashBurst() {
  Canvas c = Card();
  Canvas lines = Card();
  for (int k = 0; k < 48; ++k) {
    float a = k * 2 * kPi / 48 + 0.05f * raster::Hash2(k, 0, 5);
    float r0 = 90 + 40 * raster::Hash2(k, 1, 5), r1 = r0 + 120 + 260 * raster::Hash2(k, 2, 5);
    raster::StrokeLine(lines, 640 + r0 * std::cos(a), 360 + r0 * std::sin(a),
                       640 + r1 * std::cos(a), 360 + r1 * std::sin(a), k % 4 ? 2.5f : 6, kWarm);
  }
  for (int bolt = 0; bolt < 2; ++bolt) {
    float x = bolt ? 700 : 580, y = 360;
    for (int s = 0; s < 14; ++s) {
      float nx = x + (bolt ? 42 : -42) + 40 * (raster::Hash2(s, bolt, 9) - 0.5f);
      float ny = y + 60 * (raster::Hash2(s, bolt + 2, 9) - 0.5f);
      raster::StrokeLine(lines, x, y, nx, ny, 4, kWarm);
      x = nx;
      y = ny;
    }
  }
  raster::FillDisc(lines, 640, 360, 40, kWarm);
  Halo(c, lines, kEmber, 14, 1.f);
  raster::Composite(c, lines, 1);
  return c;
}

// --- Full frames -----------------------------------------------------------

// Flash overlay 9: a red bloom with rays from the centre.
Canvas OverlayBloom() {
  Canvas c = Frame(9);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) {
      float dx = x - 640.f, dy = y - 360.f;
      float d = std::hypot(dx, dy) / 520;
      float a = std::atan2(dy, dx);
      float rays = 0.5f + 0.5f * std::pow(std::fabs(std::sin(a * 9 + 0.3f)), 8.f);
      float v = std::exp(-d * d * 3.f) * (0.55f + 0.45f * rays);
      raster::AddPixel(c, x, y, kRed, v * 0.9f);
      raster::AddPixel(c, x, y, kEmber, std::exp(-d * d * 30.f) * 0.8f);
    }
  return c;
}

// Flash overlay 10: orange scan bands torn by noise.
Canvas OverlayScan() {
  Canvas c = Frame(10);
  for (int y = 0; y < kH; ++y) {
    float band = raster::Fbm(0.5f, y * 0.03f, 4, 31);
    float line = (y % 4) < 2 ? 1.f : 0.45f;
    for (int x = 0; x < kW; ++x) {
      float tear = raster::Fbm(x * 0.004f + band * 3, y * 0.01f, 3, 33);
      float v = std::max(0.f, band * 1.6f - 0.55f) * line * (0.5f + tear);
      raster::AddPixel(c, x, y, kOrange, std::min(v, 1.f));
    }
  }
  Label(c, "SIGNAL 10", 60, 670, 0, raster::WithAlpha(kWarm, 0.8f), 20);
  return c;
}

// Flash overlay 11: a warm line floor running to a glowing horizon.
Canvas OverlayFloor() {
  Canvas c = Frame(11);
  const float horizon = 300;
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) {
      float glow = std::exp(-std::fabs(y - horizon) / 40.f);
      raster::AddPixel(c, x, y, kOrange, glow * 0.6f);
    }
  for (int k = -20; k <= 20; ++k)
    raster::StrokeLine(c, 640 + k * 12.f, horizon, 640 + k * 160.f, 720, 1.5f,
                       raster::WithAlpha(kWarm, 0.7f));
  for (int k = 1; k < 14; ++k) {
    float y = horizon + 420 * std::pow(k / 13.f, 2.2f);
    raster::StrokeLine(c, 0, y, 1280, y, 1.5f, raster::WithAlpha(kWarm, 0.7f));
  }
  raster::StrokeLine(c, 0, horizon, 1280, horizon, 2, kWarm);
  return c;
}

// Flash overlay 12: a lit red sphere with contour rings.
Canvas OverlaySphere() {
  Canvas c = Frame(12);
  const float cx = 640, cy = 380, r = 260;
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) {
      float dx = (x - cx) / r, dy = (y - cy) / r;
      float d2 = dx * dx + dy * dy;
      if (d2 >= 1) continue;
      float nz = std::sqrt(1 - d2);
      float diffuse = std::max(0.f, -0.45f * dx - 0.55f * dy + 0.7f * nz);
      float specular = std::pow(std::max(0.f, -0.3f * dx - 0.4f * dy + 0.87f * nz), 60.f);
      float edge = std::min(1.f, (1 - std::sqrt(d2)) * r);
      Color col = {kRed.r * (0.12f + diffuse) + specular, kRed.g * (0.12f + diffuse) + specular,
                   kRed.b * (0.12f + diffuse) + specular, 1};
      raster::BlendPixel(c, x, y, col, edge);
    }
  for (int k = 1; k < 6; ++k)
    raster::StrokeCircle(c, cx, cy, r + k * 34.f, 1.5f, raster::WithAlpha(kWarm, 0.5f - k * 0.07f));
  return c;
}

// The pulse picture over 73 to 82.7 s: a dark red core with veins and ripples.
Canvas Pulse() {
  Canvas c = Frame(82);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) {
      float dx = (x - 640.f) / 360, dy = (y - 360.f) / 360;
      float d = std::sqrt(dx * dx + dy * dy);
      float core = std::exp(-d * d * 2.2f);
      float vein = 1 - std::fabs(raster::Fbm(x * 0.006f, y * 0.006f, 5, 44) * 2 - 1);
      vein = std::pow(vein, 12.f) * std::exp(-d * 1.2f);
      float ripple = 0.5f + 0.5f * std::cos(d * 28 - 1.f);
      ripple *= std::exp(-d * 2.f) * 0.25f;
      raster::AddPixel(c, x, y, kRed, core * 0.85f + ripple);
      raster::AddPixel(c, x, y, kEmber, vein * 0.7f);
    }
  return c;
}

// The picture multiplied into the scene: bright paper with fine structure,
// so the multiply darkens only where lines and the vignette lie.
Canvas MultiplyPaper() {
  Canvas c(kW, kH, {0.97f, 0.95f, 0.92f, 1});
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) {
      float dx = (x - 640.f) / 640, dy = (y - 360.f) / 360;
      float v = 1 - 0.16f * (dx * dx + dy * dy);
      float fibre = raster::Fbm(x * 0.02f, y * 0.002f, 4, 68) * 0.06f;
      float hatch = ((x + y) % 9 == 0) ? 0.05f : 0.f;
      float* p = c.At(x, y);
      for (int k = 0; k < 3; ++k) p[k] = p[k] * v - fibre - hatch;
    }
  for (int k = 0; k < 5; ++k)
    raster::StrokeCircle(c, 640, 360, 120 + k * 70.f, 1.5f, {0.55f, 0.45f, 0.42f, 0.5f});
  raster::StrokeLine(c, 0, 360, 1280, 360, 1.5f, {0.55f, 0.45f, 0.42f, 0.5f});
  return c;
}

Canvas Plain(Color col) { return Canvas(kW, kH, col); }

// A heart outline filled red over a plain ground (loaded, not shown).
Canvas Heart(Color ground) {
  Canvas c(512, 512, ground);
  std::vector<float> xy;
  for (int k = 0; k < 120; ++k) {
    float t = k * 2 * kPi / 120;
    float s = std::sin(t);
    xy.push_back(256 + 13.f * 16 * s * s * s);
    xy.push_back(236 - 13.f * (13 * std::cos(t) - 5 * std::cos(2 * t) - 2 * std::cos(3 * t) -
                               std::cos(4 * t)));
  }
  raster::FillPolygon(c, xy, kRed);
  return c;
}

// Rope texture: s (width) runs along a chain, t (height) across the chains.
// The sheets between neighbouring chains cross each other many times over
// the screen, so most rows are a faint dark glaze and only one in five is a
// bright strand: layered, they stay glass over the dark instead of a wash.
// Every strand fades towards its tip.
Canvas RopeTexture(Color a, Color b, uint32_t seed) {
  const Color glaze = {0.30f, 0.05f, 0.04f, 1};
  Canvas c(256, 1024, kClear);
  for (int y = 0; y < c.h; ++y) {
    const float fibre = raster::Hash2(y, 0, seed);
    const bool strand = fibre > 0.8f;
    const float band = raster::Fbm(0.3f, y * 0.02f, 4, seed + 1);
    for (int x = 0; x < c.w; ++x) {
      const float s = x / 255.f;
      const float streak = raster::Fbm(s * 6, y * 0.35f, 3, seed + 2);
      const float tip = 1 - 0.7f * s;
      if (strand) {
        const float v = 0.45f + 0.5f * (fibre - 0.8f) * 5 * streak;
        const Color col = raster::Mix(a, b, std::min(1.f, band * 1.5f * (0.4f + s)));
        raster::BlendPixel(c, x, y, col, std::min(1.f, v) * tip);
      } else {
        const Color col = raster::Mix(glaze, b, 0.25f * streak);
        raster::BlendPixel(c, x, y, col, (0.05f + 0.08f * streak) * tip);
      }
    }
  }
  return c;
}

// The panel over every frame: a thin frame, corner marks and a tiny label.
// It is drawn with the unflipped mapping, so it is stored bottom row first.
Canvas Panel() {
  Canvas c = Card();
  Color faint = raster::WithAlpha(kWarm, 0.16f), mark = raster::WithAlpha(kWarm, 0.6f);
  const float m = 14;
  raster::FillRect(c, m, m, kW - m, m + 1, faint);
  raster::FillRect(c, m, kH - m - 1, kW - m, kH - m, faint);
  raster::FillRect(c, m, m, m + 1, kH - m, faint);
  raster::FillRect(c, kW - m - 1, m, kW - m, kH - m, faint);
  const float cx[2] = {m, kW - m}, cy[2] = {m, kH - m};
  for (int i = 0; i < 2; ++i)
    for (int j = 0; j < 2; ++j) {
      float sx = i ? -1 : 1, sy = j ? -1 : 1;
      raster::FillRect(c, cx[i], cy[j], cx[i] + 26 * sx, cy[j] + 2 * sy, mark);
      raster::FillRect(c, cx[i], cy[j], cx[i] + 2 * sx, cy[j] + 26 * sy, mark);
    }
  Label(c, "kelvane \xC2\xB7 12", kW - m - 34, kH - m - 10, 1, raster::WithAlpha(kWarm, 0.55f),
        11);
  raster::FillDisc(c, kW - m - 22, kH - m - 14, 3, raster::WithAlpha(kRed, 0.8f));
  return c;
}

// The loader image: title high, a label and a faint guide on the line where
// the progress ribbons grow (0.3 of the height from the bottom).
Canvas Loader() {
  Canvas c = Frame(33);
  const float ribbonY = kH * 0.7f;
  Canvas word = TextLayer(Style(kLight, 120, kWarm, 24), "kelvane", 640, 250, 0.5f);
  Halo(c, word, kOrange, 20, 0.6f, true);
  raster::Composite(c, word, 1);
  raster::FillRect(c, 520, 285, 760, 287, kRed);
  Label(c, "twelve", 640, 325, 0.5f, kEmber, 20);
  for (int x = 0; x < kW; x += 8)
    raster::FillRect(c, x, ribbonY + 6, x + 3, ribbonY + 7, raster::WithAlpha(kWarm, 0.22f));
  Label(c, "loading pictures", 40, ribbonY - 48, 0, raster::WithAlpha(kWarm, 0.8f), 16);
  Label(c, "sound on, lights off", 640, 680, 0.5f, raster::WithAlpha(kWarm, 0.5f), 15);
  return c;
}

// The end screen: the name, a thank-you and how to leave.
Canvas EndScreen() {
  Canvas c = Frame(69);
  Canvas word = TextLayer(Style(kLight, 130, kWarm, 26), "kelvane", 640, 320, 0.5f);
  Halo(c, word, kRed, 24, 0.7f, true);
  raster::Composite(c, word, 1);
  raster::FillRect(c, 600, 356, 680, 360, kRed);
  raster::DrawText(c, Style(kItalic, 40, kWarm), "thank you for watching", 640, 430, 0.5f);
  Label(c, "every picture and every sound was made by code", 640, 600, 0.5f,
        raster::WithAlpha(kEmber, 0.85f), 16);
  Label(c, "press esc to leave", 640, 640, 0.5f, raster::WithAlpha(kWarm, 0.55f), 15);
  return c;
}

// The contact sheet: every picture as a thumbnail over a checkerboard (so
// alpha shows), with its file name under it.
Canvas ContactSheet(const std::vector<Picture>& pictures) {
  const int cols = 8, tw = 240, th = 135, pad = 14, label = 24;
  int rows = static_cast<int>((pictures.size() + cols - 1) / cols);
  Canvas sheet(cols * (tw + pad) + pad, rows * (th + pad + label) + pad, {0.16f, 0.15f, 0.16f, 1});
  for (size_t i = 0; i < pictures.size(); ++i) {
    const Picture& p = pictures[i];
    int x0 = pad + static_cast<int>(i % cols) * (tw + pad);
    int y0 = pad + static_cast<int>(i / cols) * (th + pad + label);
    int w = tw, h = th;
    if (p.canvas.w * th < p.canvas.h * tw) w = p.canvas.w * th / p.canvas.h;
    Canvas thumb = raster::Downscale(p.canvas, w, h);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        int sy = p.flip ? h - 1 - y : y;
        bool dark = ((x / 8) + (y / 8)) % 2;
        float* d = sheet.At(x0 + x, y0 + y);
        const float* s = thumb.At(x, sy);
        float g = dark ? 0.3f : 0.4f;
        for (int k = 0; k < 3; ++k) d[k] = s[k] + g * (1 - s[3]);
      }
    raster::DrawText(sheet, Style(kMono, 13, kWarm), p.name, x0, y0 + th + 17, 0);
  }
  return sheet;
}

}  // namespace

namespace assetgen {

// Draws every picture, writes them under outDir/gfx and the contact sheet
// into workDir.
int GenerateImages(const std::string& outDir, const std::string& workDir) {
  if (!raster::FontsReady()) return 1;
  std::string gfx = outDir + "/gfx";
  std::error_code ec;
  std::filesystem::create_directories(gfx, ec);
  if (ec) {
    fprintf(stderr, "assetgen: cannot create %s\n", gfx.c_str());
    return 1;
  }

  // Each entry is drawn and written in turn; only the canvases are kept
  // for the contact sheet.
  struct Job {
    std::string name;
    Format format;
    std::function<Canvas()> draw;
    bool flip;
  };
  std::vector<Job> jobs;
  for (int i = 1; i <= 5; ++i)
    jobs.push_back({"txt" + std::to_string(i) + ".png", Format::kRgba,
                    [i] { return TextCard(i - 1); }, false});
  const std::pair<int, Canvas (*)()> flashes[8] = {
      {6, FlashDial},  {7, FlashLetters},   {8, FlashHalftone}, {9, FlashStripes},
      {14, FlashBurst}, {15, FlashChevrons}, {16, FlashCross},  {17, FlashBars}};
  for (const auto& f : flashes)
    jobs.push_back({"txt" + std::to_string(f.first) + ".png", Format::kRgba, f.second, false});
  jobs.push_back({"txt37.png", Format::kRgba, [] { return RopeTexture(kWarm, kRed, 37); }, false});
  jobs.push_back({"txt38.png", Format::kRgba, [] { return RopeTexture(kWarm, kEmber, 38); }, false});
  jobs.push_back({"gfx_1floppy_text1.png", Format::kRgba, OpeningFirst, false});
  jobs.push_back({"gfx_1floppy_text2.png", Format::kRgba, OpeningSecond, false});
  jobs.push_back({"kelvane.png", Format::kRgba, Title, false});
  for (int i = 1; i <= 15; ++i) {
    char name[32];
    snprintf(name, sizeof name, "gfx_greets%02d.png", i);
    jobs.push_back({name, Format::kRgba, [i] { return Greeting(i); }, false});
  }
  jobs.push_back({"gfx_tembra.png", Format::kRgba, Tembra, false});
  jobs.push_back({"gfx_bonfire.png", Format::kRgba, BonfireTitle, false});
  for (int i = 1; i <= 6; ++i)
    jobs.push_back({"bonfire" + std::to_string(i) + ".png", Format::kRgba,
                    [i] { return BonfireCard(i); }, false});
  jobs.push_back({"overlay9.jpg", Format::kJpg, OverlayBloom, false});
  jobs.push_back({"overlay10.jpg", Format::kJpg, OverlayScan, false});
  jobs.push_back({"overlay11.jpg", Format::kJpg, OverlayFloor, false});
  jobs.push_back({"overlay12.jpg", Format::kJpg, OverlaySphere, false});
  jobs.push_back({"gfx_podserce_1.jpg", Format::kJpg, Pulse, false});
  jobs.push_back({"gfx_ld2.jpg", Format::kJpg, MultiplyPaper, false});
  jobs.push_back({"white.png", Format::kRgb, [] { return Plain({1, 1, 1, 1}); }, false});
  jobs.push_back({"black.png", Format::kRgb, [] { return Plain({0, 0, 0, 1}); }, false});
  jobs.push_back({"gfx_heart_over_w.png", Format::kRgb, [] { return Heart({1, 1, 1, 1}); }, false});
  jobs.push_back({"gfx_heart_over_b.png", Format::kRgb, [] { return Heart({0, 0, 0, 1}); }, false});
  jobs.push_back({"panel.png", Format::kRgba, Panel, true});
  jobs.push_back({"loader.jpg", Format::kJpg, Loader, false});
  jobs.push_back({"endscreen.jpg", Format::kJpg, EndScreen, false});

  std::vector<Picture> done;
  for (size_t i = 0; i < jobs.size(); ++i) {
    const Job& job = jobs[i];
    fprintf(stderr, "\rassetgen: image %zu/%zu %-24s", i + 1, jobs.size(), job.name.c_str());
    Canvas canvas = job.draw();
    std::string path = gfx + "/" + job.name;
    bool ok = job.format == Format::kJpg
                  ? raster::WriteJpg(path, canvas, 92)
                  : raster::WritePng(path, canvas, job.format == Format::kRgba, job.flip);
    if (!ok) return 1;
    done.push_back({job.name, job.format, raster::Downscale(canvas, 320, canvas.h * 320 / canvas.w),
                    job.flip});
  }
  fprintf(stderr, "\n");
  std::string sheet = workDir + "/contact_sheet.png";
  if (!raster::WritePng(sheet, ContactSheet(done), false)) return 1;
  fprintf(stderr, "assetgen: contact sheet in %s\n", sheet.c_str());
  return 0;
}

}  // namespace assetgen
