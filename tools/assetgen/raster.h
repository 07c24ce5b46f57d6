// A small software rasteriser for the generated pictures: a float RGBA
// canvas, anti-aliased shapes from distance functions, blur for glows,
// FreeType text, value noise, and PNG/JPEG output. Everything is
// single-threaded and deterministic so the same code writes the same bytes.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace raster {

// A colour with straight (not premultiplied) alpha, components 0..1.
struct Color {
  float r, g, b, a;
};
Color WithAlpha(Color c, float a);
Color Mix(Color a, Color b, float t);

// Pixels are premultiplied RGBA floats, top row first.
struct Canvas {
  int w = 0, h = 0;
  std::vector<float> px;
  Canvas(int width, int height, Color fill);
  float* At(int x, int y) { return &px[(static_cast<size_t>(y) * w + x) * 4]; }
  const float* At(int x, int y) const { return &px[(static_cast<size_t>(y) * w + x) * 4]; }
};

// Blends colour c over one pixel with the given coverage (source-over).
void BlendPixel(Canvas& c, int x, int y, Color col, float coverage);
// Adds colour c times coverage to one pixel (light-like, for glows).
void AddPixel(Canvas& c, int x, int y, Color col, float coverage);

// Composites layer src over dst (same size) at an opacity; additive adds light.
void Composite(Canvas& dst, const Canvas& src, float opacity, bool additive = false);
// Approximate Gaussian blur: three box passes of the radius, both directions.
void Blur(Canvas& c, int radius);
// Multiplies every pixel (premultiplied) by a factor, fading the layer.
void Scale(Canvas& c, float factor);
// Replaces the colour of a layer by col, keeping its coverage (alpha).
void Tint(Canvas& c, Color col);

// Distance-function shapes, anti-aliased over one pixel. Coordinates in pixels.
void FillDisc(Canvas& c, float cx, float cy, float r, Color col);
void StrokeCircle(Canvas& c, float cx, float cy, float r, float width, Color col);
// An arc of a ring from angle a0 to a1 (radians, clockwise on screen from +x).
void StrokeArc(Canvas& c, float cx, float cy, float r, float width, float a0, float a1,
               Color col);
void StrokeLine(Canvas& c, float x0, float y0, float x1, float y1, float width, Color col);
void FillRect(Canvas& c, float x0, float y0, float x1, float y1, Color col);
// A convex or concave polygon (even-odd), anti-aliased along its edges.
void FillPolygon(Canvas& c, const std::vector<float>& xy, Color col);

// Deterministic hash noise in [0, 1): integer lattice values and smooth sums.
float Hash2(int x, int y, uint32_t seed);
float ValueNoise(float x, float y, uint32_t seed);
float Fbm(float x, float y, int octaves, uint32_t seed);

// Text through FreeType. Fonts are DejaVu files by name, loaded once.
struct TextStyle {
  const char* font;     // e.g. "DejaVuSans-Bold.ttf"
  float size;           // pixel height of the em
  Color color;
  float tracking = 0;   // extra pixels between letters
  float stroke = 0;     // > 0: draw the outline only, this many pixels wide
};
bool FontsReady();  // false (and logged) when a font file cannot be loaded
float TextWidth(const TextStyle& s, const std::string& utf8);
// Draws one line; align 0 = x is the left end, 0.5 = centre, 1 = right end.
void DrawText(Canvas& c, const TextStyle& s, const std::string& utf8, float x, float baseline,
              float align = 0);

// Writers: RGBA keeps alpha (straight), RGB drops it. Vertical flip on request.
bool WritePng(const std::string& path, const Canvas& c, bool alpha, bool flip = false);
bool WriteJpg(const std::string& path, const Canvas& c, int quality);
// Box-filtered downscale to the given size (for thumbnails).
Canvas Downscale(const Canvas& c, int w, int h);

}  // namespace raster
