// Software rasteriser behind the generated pictures (see raster.h).
#include "tools/assetgen/raster.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_GLYPH_H
#include FT_STROKER_H

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

namespace raster {
namespace {

const char* kFontDir = "/usr/share/fonts/truetype/dejavu/";

float Clamp01(float v) { return v < 0 ? 0 : (v > 1 ? 1 : v); }

// Calls f(x, y) -> signed distance for each pixel centre in the box, and
// blends the colour with the coverage that distance gives.
template <class F>
void ShadeSdf(Canvas& c, float x0, float y0, float x1, float y1, Color col, F sdf) {
  int ix0 = std::max(0, static_cast<int>(std::floor(x0)) - 1);
  int iy0 = std::max(0, static_cast<int>(std::floor(y0)) - 1);
  int ix1 = std::min(c.w - 1, static_cast<int>(std::ceil(x1)) + 1);
  int iy1 = std::min(c.h - 1, static_cast<int>(std::ceil(y1)) + 1);
  for (int y = iy0; y <= iy1; ++y)
    for (int x = ix0; x <= ix1; ++x) {
      float cov = Clamp01(0.5f - sdf(x + 0.5f, y + 0.5f));
      if (cov > 0) BlendPixel(c, x, y, col, cov);
    }
}

float SegmentDistance(float px, float py, float ax, float ay, float bx, float by) {
  float dx = bx - ax, dy = by - ay;
  float len2 = dx * dx + dy * dy;
  float t = len2 > 0 ? Clamp01(((px - ax) * dx + (py - ay) * dy) / len2) : 0;
  float ex = px - (ax + t * dx), ey = py - (ay + t * dy);
  return std::sqrt(ex * ex + ey * ey);
}

// One box pass of the blur along a line of n samples spaced by stride floats.
void BoxLine(float* data, int n, int stride, int r, std::vector<float>& tmp) {
  tmp.assign(static_cast<size_t>(n) * 4, 0.f);
  float sum[4] = {0, 0, 0, 0};
  float inv = 1.f / (2 * r + 1);
  for (int i = -r; i <= r; ++i)
    if (i >= 0 && i < n)
      for (int k = 0; k < 4; ++k) sum[k] += data[static_cast<size_t>(i) * stride + k];
  for (int i = 0; i < n; ++i) {
    for (int k = 0; k < 4; ++k) tmp[static_cast<size_t>(i) * 4 + k] = sum[k] * inv;
    int add = i + r + 1, sub = i - r;
    if (add < n)
      for (int k = 0; k < 4; ++k) sum[k] += data[static_cast<size_t>(add) * stride + k];
    if (sub >= 0)
      for (int k = 0; k < 4; ++k) sum[k] -= data[static_cast<size_t>(sub) * stride + k];
  }
  for (int i = 0; i < n; ++i)
    for (int k = 0; k < 4; ++k) data[static_cast<size_t>(i) * stride + k] = tmp[i * 4 + k];
}

FT_Library ftLibrary = nullptr;
std::map<std::string, FT_Face> faces;

// Returns the face of a DejaVu file, loading it on first use; null on failure.
FT_Face Face(const char* name) {
  auto it = faces.find(name);
  if (it != faces.end()) return it->second;
  if (!ftLibrary && FT_Init_FreeType(&ftLibrary)) {
    fprintf(stderr, "assetgen: cannot initialise FreeType\n");
    return nullptr;
  }
  FT_Face face = nullptr;
  std::string path = std::string(kFontDir) + name;
  if (FT_New_Face(ftLibrary, path.c_str(), 0, &face)) {
    fprintf(stderr, "assetgen: cannot load font %s\n", path.c_str());
    face = nullptr;
  }
  faces[name] = face;
  return face;
}

// Decodes UTF-8 into code points (the texts are ASCII plus a few symbols).
std::vector<uint32_t> CodePoints(const std::string& s) {
  std::vector<uint32_t> out;
  for (size_t i = 0; i < s.size();) {
    unsigned char b = s[i];
    int extra = b < 0x80 ? 0 : (b >> 5) == 6 ? 1 : (b >> 4) == 14 ? 2 : 3;
    uint32_t cp = extra == 0 ? b : extra == 1 ? (b & 0x1F) : extra == 2 ? (b & 0x0F) : (b & 0x07);
    for (int k = 1; k <= extra && i + k < s.size(); ++k) cp = (cp << 6) | (s[i + k] & 0x3F);
    out.push_back(cp);
    i += 1 + extra;
  }
  return out;
}

// Walks the glyphs of a line; when render is set, draw(bitmap, left, top) is
// called per glyph. Returns the advance width.
template <class G>
float LayOut(const TextStyle& s, const std::string& text, float x, float baseline, bool render,
             G draw) {
  FT_Face face = Face(s.font);
  if (!face) return 0;
  FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(std::lround(s.size)));
  FT_Stroker stroker = nullptr;
  if (s.stroke > 0) {
    FT_Stroker_New(ftLibrary, &stroker);
    FT_Stroker_Set(stroker, static_cast<FT_Fixed>(s.stroke * 32), FT_STROKER_LINECAP_ROUND,
                   FT_STROKER_LINEJOIN_ROUND, 0);
  }
  float pen = x;
  FT_UInt previous = 0;
  std::vector<uint32_t> cps = CodePoints(text);
  for (size_t n = 0; n < cps.size(); ++n) {
    FT_UInt index = FT_Get_Char_Index(face, cps[n]);
    if (previous && index && FT_HAS_KERNING(face)) {
      FT_Vector k;
      FT_Get_Kerning(face, previous, index, FT_KERNING_UNFITTED, &k);
      pen += k.x / 64.f;
    }
    previous = index;
    if (FT_Load_Glyph(face, index, FT_LOAD_NO_HINTING)) continue;
    float advance = face->glyph->advance.x / 64.f;
    if (render) {
      FT_Glyph glyph;
      if (!FT_Get_Glyph(face->glyph, &glyph)) {
        if (stroker) FT_Glyph_Stroke(&glyph, stroker, 1);
        FT_Vector origin = {static_cast<FT_Pos>(std::lround((pen - std::floor(pen)) * 64)), 0};
        if (!FT_Glyph_To_Bitmap(&glyph, FT_RENDER_MODE_NORMAL, &origin, 1)) {
          FT_BitmapGlyph bg = reinterpret_cast<FT_BitmapGlyph>(glyph);
          draw(bg->bitmap, static_cast<int>(std::floor(pen)) + bg->left,
               static_cast<int>(std::lround(baseline)) - bg->top);
        }
        FT_Done_Glyph(glyph);
      }
    }
    pen += advance + (n + 1 < cps.size() ? s.tracking : 0);
  }
  if (stroker) FT_Stroker_Done(stroker);
  return pen - x;
}

}  // namespace

Color WithAlpha(Color c, float a) { return {c.r, c.g, c.b, a}; }

Color Mix(Color a, Color b, float t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t,
          a.a + (b.a - a.a) * t};
}

Canvas::Canvas(int width, int height, Color fill) : w(width), h(height) {
  px.resize(static_cast<size_t>(w) * h * 4);
  for (size_t i = 0; i < px.size(); i += 4) {
    px[i] = fill.r * fill.a;
    px[i + 1] = fill.g * fill.a;
    px[i + 2] = fill.b * fill.a;
    px[i + 3] = fill.a;
  }
}

void BlendPixel(Canvas& c, int x, int y, Color col, float coverage) {
  if (x < 0 || y < 0 || x >= c.w || y >= c.h) return;
  float a = col.a * coverage;
  float* p = c.At(x, y);
  p[0] = col.r * a + p[0] * (1 - a);
  p[1] = col.g * a + p[1] * (1 - a);
  p[2] = col.b * a + p[2] * (1 - a);
  p[3] = a + p[3] * (1 - a);
}

void AddPixel(Canvas& c, int x, int y, Color col, float coverage) {
  if (x < 0 || y < 0 || x >= c.w || y >= c.h) return;
  float a = col.a * coverage;
  float* p = c.At(x, y);
  p[0] += col.r * a;
  p[1] += col.g * a;
  p[2] += col.b * a;
  p[3] = std::min(1.f, p[3] + a);
}

void Composite(Canvas& dst, const Canvas& src, float opacity, bool additive) {
  for (size_t i = 0; i < dst.px.size(); i += 4) {
    const float* s = &src.px[i];
    float* d = &dst.px[i];
    float sa = s[3] * opacity;
    if (additive) {
      for (int k = 0; k < 3; ++k) d[k] += s[k] * opacity;
      d[3] = std::min(1.f, d[3] + sa);
    } else {
      for (int k = 0; k < 3; ++k) d[k] = s[k] * opacity + d[k] * (1 - sa);
      d[3] = sa + d[3] * (1 - sa);
    }
  }
}

void Blur(Canvas& c, int radius) {
  if (radius <= 0) return;
  std::vector<float> tmp;
  for (int pass = 0; pass < 3; ++pass) {
    for (int y = 0; y < c.h; ++y) BoxLine(c.At(0, y), c.w, 4, radius, tmp);
    for (int x = 0; x < c.w; ++x) BoxLine(c.At(x, 0), c.h, c.w * 4, radius, tmp);
  }
}

void Scale(Canvas& c, float factor) {
  for (float& v : c.px) v *= factor;
}

void Tint(Canvas& c, Color col) {
  for (size_t i = 0; i < c.px.size(); i += 4) {
    float a = c.px[i + 3];
    c.px[i] = col.r * a;
    c.px[i + 1] = col.g * a;
    c.px[i + 2] = col.b * a;
  }
}

void FillDisc(Canvas& c, float cx, float cy, float r, Color col) {
  ShadeSdf(c, cx - r, cy - r, cx + r, cy + r, col,
           [&](float x, float y) { return std::hypot(x - cx, y - cy) - r; });
}

void StrokeCircle(Canvas& c, float cx, float cy, float r, float width, Color col) {
  float o = r + width;
  ShadeSdf(c, cx - o, cy - o, cx + o, cy + o, col, [&](float x, float y) {
    return std::fabs(std::hypot(x - cx, y - cy) - r) - width * 0.5f;
  });
}

void StrokeArc(Canvas& c, float cx, float cy, float r, float width, float a0, float a1,
               Color col) {
  const float kTwoPi = 6.28318530718f;
  float span = a1 - a0;
  float o = r + width;
  float ex0 = cx + r * std::cos(a0), ey0 = cy + r * std::sin(a0);
  float ex1 = cx + r * std::cos(a1), ey1 = cy + r * std::sin(a1);
  ShadeSdf(c, cx - o, cy - o, cx + o, cy + o, col, [&](float x, float y) {
    float ang = std::atan2(y - cy, x - cx) - a0;
    ang -= kTwoPi * std::floor(ang / kTwoPi);
    if (ang <= span) return std::fabs(std::hypot(x - cx, y - cy) - r) - width * 0.5f;
    float d0 = std::hypot(x - ex0, y - ey0), d1 = std::hypot(x - ex1, y - ey1);
    return std::min(d0, d1) - width * 0.5f;
  });
}

void StrokeLine(Canvas& c, float x0, float y0, float x1, float y1, float width, Color col) {
  float o = width;
  ShadeSdf(c, std::min(x0, x1) - o, std::min(y0, y1) - o, std::max(x0, x1) + o,
           std::max(y0, y1) + o, col, [&](float x, float y) {
             return SegmentDistance(x, y, x0, y0, x1, y1) - width * 0.5f;
           });
}

void FillRect(Canvas& c, float x0, float y0, float x1, float y1, Color col) {
  float cx = (x0 + x1) * 0.5f, cy = (y0 + y1) * 0.5f;
  float hx = std::fabs(x1 - x0) * 0.5f, hy = std::fabs(y1 - y0) * 0.5f;
  ShadeSdf(c, cx - hx, cy - hy, cx + hx, cy + hy, col, [&](float x, float y) {
    float dx = std::fabs(x - cx) - hx, dy = std::fabs(y - cy) - hy;
    float outside = std::hypot(std::max(dx, 0.f), std::max(dy, 0.f));
    return outside + std::min(std::max(dx, dy), 0.f);
  });
}

void FillPolygon(Canvas& c, const std::vector<float>& xy, Color col) {
  size_t n = xy.size() / 2;
  if (n < 3) return;
  float x0 = xy[0], x1 = xy[0], y0 = xy[1], y1 = xy[1];
  for (size_t i = 1; i < n; ++i) {
    x0 = std::min(x0, xy[2 * i]);
    x1 = std::max(x1, xy[2 * i]);
    y0 = std::min(y0, xy[2 * i + 1]);
    y1 = std::max(y1, xy[2 * i + 1]);
  }
  ShadeSdf(c, x0, y0, x1, y1, col, [&](float x, float y) {
    float d = 1e30f;
    bool inside = false;
    for (size_t i = 0, j = n - 1; i < n; j = i++) {
      float ax = xy[2 * i], ay = xy[2 * i + 1], bx = xy[2 * j], by = xy[2 * j + 1];
      d = std::min(d, SegmentDistance(x, y, ax, ay, bx, by));
      if ((ay > y) != (by > y) && x < (bx - ax) * (y - ay) / (by - ay) + ax) inside = !inside;
    }
    return inside ? -d : d;
  });
}

float Hash2(int x, int y, uint32_t seed) {
  uint32_t h = static_cast<uint32_t>(x) * 374761393u + static_cast<uint32_t>(y) * 668265263u +
               seed * 2246822519u;
  h = (h ^ (h >> 13)) * 1274126177u;
  h ^= h >> 16;
  return (h & 0xFFFFFF) / 16777216.f;
}

float ValueNoise(float x, float y, uint32_t seed) {
  float fx = std::floor(x), fy = std::floor(y);
  int ix = static_cast<int>(fx), iy = static_cast<int>(fy);
  float tx = x - fx, ty = y - fy;
  tx = tx * tx * (3 - 2 * tx);
  ty = ty * ty * (3 - 2 * ty);
  float a = Hash2(ix, iy, seed), b = Hash2(ix + 1, iy, seed);
  float c = Hash2(ix, iy + 1, seed), d = Hash2(ix + 1, iy + 1, seed);
  return (a + (b - a) * tx) + ((c + (d - c) * tx) - (a + (b - a) * tx)) * ty;
}

float Fbm(float x, float y, int octaves, uint32_t seed) {
  float sum = 0, amp = 0.5f, norm = 0;
  for (int o = 0; o < octaves; ++o) {
    sum += ValueNoise(x, y, seed + o * 101u) * amp;
    norm += amp;
    x *= 2.03f;
    y *= 2.03f;
    amp *= 0.5f;
  }
  return sum / norm;
}

bool FontsReady() {
  const char* needed[] = {"DejaVuSans.ttf", "DejaVuSans-Bold.ttf", "DejaVuSans-ExtraLight.ttf",
                          "DejaVuSansMono.ttf", "DejaVuSerif-Italic.ttf",
                          "DejaVuSansCondensed-Bold.ttf"};
  for (const char* name : needed)
    if (!Face(name)) return false;
  return true;
}

float TextWidth(const TextStyle& s, const std::string& utf8) {
  auto none = [](const FT_Bitmap&, int, int) {};
  return LayOut(s, utf8, 0, 0, false, none);
}

void DrawText(Canvas& c, const TextStyle& s, const std::string& utf8, float x, float baseline,
              float align) {
  float left = x - TextWidth(s, utf8) * align;
  LayOut(s, utf8, left, baseline, true, [&](const FT_Bitmap& bm, int gx, int gy) {
    for (unsigned row = 0; row < bm.rows; ++row)
      for (unsigned col = 0; col < bm.width; ++col) {
        unsigned char v = bm.buffer[row * bm.pitch + col];
        if (v) BlendPixel(c, gx + static_cast<int>(col), gy + static_cast<int>(row), s.color,
                          v / 255.f);
      }
  });
}

namespace {
// 4x4 ordered dither in (-0.5, 0.5) of one 8-bit step, to keep gradients smooth.
float Dither(int x, int y) {
  static const int kBayer[16] = {0, 8, 2, 10, 12, 4, 14, 6, 3, 11, 1, 9, 15, 7, 13, 5};
  return (kBayer[(y & 3) * 4 + (x & 3)] + 0.5f) / 16.f - 0.5f;
}

uint8_t Quantise(float v, float dither) {
  float q = std::floor(Clamp01(v) * 255.f + 0.5f + dither);
  return static_cast<uint8_t>(q < 0 ? 0 : (q > 255 ? 255 : q));
}

// Converts to 8-bit rows of 3 or 4 channels, straight alpha.
std::vector<uint8_t> ToBytes(const Canvas& c, int channels, bool flip) {
  std::vector<uint8_t> out(static_cast<size_t>(c.w) * c.h * channels);
  for (int y = 0; y < c.h; ++y)
    for (int x = 0; x < c.w; ++x) {
      const float* p = c.At(x, flip ? c.h - 1 - y : y);
      uint8_t* o = &out[(static_cast<size_t>(y) * c.w + x) * channels];
      float d = Dither(x, y);
      if (channels == 3) {
        for (int k = 0; k < 3; ++k) o[k] = Quantise(p[k], d);
      } else {
        uint8_t a = Quantise(p[3], d);
        o[3] = a;
        for (int k = 0; k < 3; ++k) o[k] = a ? Quantise(p[k] / p[3], d) : 0;
      }
    }
  return out;
}
}  // namespace

bool WritePng(const std::string& path, const Canvas& c, bool alpha, bool flip) {
  int channels = alpha ? 4 : 3;
  std::vector<uint8_t> bytes = ToBytes(c, channels, flip);
  if (!stbi_write_png(path.c_str(), c.w, c.h, channels, bytes.data(), c.w * channels)) {
    fprintf(stderr, "assetgen: cannot write %s\n", path.c_str());
    return false;
  }
  return true;
}

bool WriteJpg(const std::string& path, const Canvas& c, int quality) {
  std::vector<uint8_t> bytes = ToBytes(c, 3, false);
  if (!stbi_write_jpg(path.c_str(), c.w, c.h, 3, bytes.data(), quality)) {
    fprintf(stderr, "assetgen: cannot write %s\n", path.c_str());
    return false;
  }
  return true;
}

Canvas Downscale(const Canvas& c, int w, int h) {
  Canvas out(w, h, {0, 0, 0, 0});
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      int sx0 = x * c.w / w, sx1 = std::max(sx0 + 1, (x + 1) * c.w / w);
      int sy0 = y * c.h / h, sy1 = std::max(sy0 + 1, (y + 1) * c.h / h);
      float sum[4] = {0, 0, 0, 0};
      for (int sy = sy0; sy < sy1; ++sy)
        for (int sx = sx0; sx < sx1; ++sx)
          for (int k = 0; k < 4; ++k) sum[k] += c.At(sx, sy)[k];
      float n = static_cast<float>((sx1 - sx0) * (sy1 - sy0));
      for (int k = 0; k < 4; ++k) out.At(x, y)[k] = sum[k] / n;
    }
  return out;
}

}  // namespace raster
