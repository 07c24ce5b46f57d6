#include "overlays/textures.h"

#include <SDL/SDL.h>
#include <SDL/SDL_image.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/fatal.h"
#include "core/file_open.h"

PictureSet pictures;

namespace {
// The images start-up loads itself, before the asset table runs.
const char* const kStartUpImages[] = {"gfx/panel.png", "gfx/loader.jpg"};

// One asset-table step: load a file into a slot, or copy the name another
// slot holds at that moment.
struct AssetRow {
  int step;
  std::string file;  // empty for a copy row
  GLuint* source;    // copy rows only
  GLuint* target;
};

std::string Numbered(const char* prefix, int n, const char* suffix, bool twoDigits = false) {
  char name[64];
  snprintf(name, sizeof name, twoDigits ? "%s%02d%s" : "%s%d%s", prefix, n, suffix);
  return name;
}

// The asset table in step order. Copy rows rely on the rows before them.
const std::vector<AssetRow>& AssetTable() {
  static const std::vector<AssetRow> table = [] {
    std::vector<AssetRow> rows;
    auto load = [&](int step, const std::string& file, GLuint* target) {
      rows.push_back({step, file, nullptr, target});
    };
    auto copy = [&](int step, GLuint* source, GLuint* target) {
      rows.push_back({step, "", source, target});
    };
    GLuint* pic = pictures.table;
    for (int n = 1; n <= 9; ++n) load(n, Numbered("gfx/txt", n, ".png"), &pic[n]);
    for (int n = 10; n <= 13; ++n) copy(n, &pic[n - 4], &pic[n]);
    for (int n = 14; n <= 17; ++n) load(n, Numbered("gfx/txt", n, ".png"), &pic[n]);
    copy(18, &pic[7], &pic[18]);
    copy(19, &pic[8], &pic[19]);
    for (int n = 20; n <= 24; ++n) copy(n, &pic[n - 7], &pic[n]);
    copy(25, &pic[10], &pic[25]);
    copy(26, &pic[10], &pic[26]);
    copy(27, &pic[7], &pic[27]);
    load(30, "gfx/gfx_1floppy_text1.png", &pic[34]);
    load(31, "gfx/gfx_1floppy_text2.png", &pic[36]);
    load(32, "gfx/txt37.png", &pic[37]);
    load(33, "gfx/txt38.png", &pic[38]);
    for (int i = 0; i < 6; ++i) copy(34 + i, &pic[10 + i], &pictures.post[i]);
    for (int n = 1; n <= 6; ++n) load(39 + n, Numbered("gfx/bonfire", n, ".png"), &pictures.bonfireCards[n]);
    load(46, "gfx/black.png", &pictures.black);
    load(49, "gfx/kelvane.png", &pictures.title);
    for (int n = 1; n <= 14; ++n)
      load(51 + n, Numbered("gfx/gfx_greets", n, ".png", true), &pictures.greetings[n]);
    load(66, "gfx/gfx_heart_over_w.png", &pictures.heartWhite);
    load(67, "gfx/gfx_heart_over_b.png", &pictures.heartBlack);
    load(68, "gfx/gfx_ld2.jpg", &pictures.loaderFrame);
    load(69, "gfx/endscreen.jpg", &pictures.endScreen);
    copy(71, &pic[16], &pictures.post[6]);
    load(72, "gfx/gfx_greets15.png", &pictures.greetings[15]);
    copy(75, &pic[17], &pictures.post[7]);
    for (int n = 9; n <= 12; ++n)
      load(67 + n, Numbered("gfx/overlay", n, ".jpg"), &pictures.post[n - 1]);
    load(80, "gfx/gfx_tembra.png", &pictures.tembra);
    load(81, "gfx/gfx_bonfire.png", &pictures.bonfireTitle);
    load(82, "gfx/gfx_podserce_1.jpg", &pictures.podserce);
    load(83, "gfx/white.png", &pictures.white);
    return rows;
  }();
  return table;
}

// PNG and JPEG files end with a marker (the IEND chunk, the end-of-image
// marker). The decoder fills what is missing from a cut-off file with grey
// and says nothing, so the end is looked for first. Only the tail is read:
// a marker further back than this has too much behind it to be the end.
constexpr long kImageTailBytes = 4096;

// Whether `bytes` holds `marker` somewhere.
bool Holds(const std::vector<unsigned char>& bytes, const char* marker, size_t length) {
  const auto* m = reinterpret_cast<const unsigned char*>(marker);
  return std::search(bytes.begin(), bytes.end(), m, m + length) != bytes.end();
}

// Why a PNG or JPEG file is not whole (cut short), or "" when it is whole or
// of another kind (left to the decoder). Reads the open file's head and tail
// and leaves it at its start.
std::string ImageDamage(FILE* file) {
  unsigned char head[8] = {};
  const size_t headBytes = fread(head, 1, sizeof head, file);
  std::vector<unsigned char> tail(kImageTailBytes);
  size_t tailBytes = 0;
  if (fseek(file, 0, SEEK_END) == 0) {
    const long size = ftell(file);
    const long from = size > kImageTailBytes ? size - kImageTailBytes : 0;
    if (size >= 0 && fseek(file, from, SEEK_SET) == 0)
      tailBytes = fread(tail.data(), 1, tail.size(), file);
  }
  const bool readError = ferror(file);
  if (readError || fseek(file, 0, SEEK_SET) != 0) return "cannot be read";
  tail.resize(tailBytes);
  static const unsigned char kPng[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (headBytes == 8 && memcmp(head, kPng, 8) == 0)
    return Holds(tail, "IEND", 4) ? "" : "cut short: the PNG has no end chunk";
  if (headBytes >= 2 && head[0] == 0xFF && head[1] == 0xD8)
    return Holds(tail, "\xFF\xD9", 2) ? "" : "cut short: the JPEG has no end-of-image marker";
  if (headBytes == 0) return "the file is empty";
  return "";
}

// Channel masks of pixels stored as R, G, B(, A) bytes in that order.
#if SDL_BYTEORDER == SDL_LIL_ENDIAN
constexpr Uint32 kRedMask = 0x000000FF, kGreenMask = 0x0000FF00, kBlueMask = 0x00FF0000,
                 kAlphaMask = 0xFF000000;
#else
constexpr Uint32 kRedMask = 0xFF000000, kGreenMask = 0x00FF0000, kBlueMask = 0x0000FF00,
                 kAlphaMask = 0x000000FF;
#endif
// SDL keeps a 3-byte pixel in the low bytes of the 32-bit value's layout.
constexpr int kRgbShift = SDL_BYTEORDER == SDL_LIL_ENDIAN ? 0 : 8;

// True when the surface holds R, G, B (and A) bytes in that order, 3 or 4 to
// a pixel: the layouts GL_RGB and GL_RGBA read directly.
bool IsGlByteOrder(const SDL_PixelFormat* f) {
  if (f->palette) return false;
  if (f->BytesPerPixel == 3) {
    return f->Rmask == kRedMask >> kRgbShift && f->Gmask == kGreenMask >> kRgbShift &&
           f->Bmask == kBlueMask >> kRgbShift;
  }
  return f->BytesPerPixel == 4 && f->Rmask == kRedMask && f->Gmask == kGreenMask &&
         f->Bmask == kBlueMask && f->Amask == kAlphaMask;
}

// Converts a surface the GL cannot read as it is (palette, grey, 16-bit,
// BGR order, colour-keyed) to RGB bytes, or RGBA when it has any
// transparency. Frees the original.
SDL_Surface* ConvertToGlBytes(SDL_Surface* image) {
  bool alpha = image->format->Amask != 0 || (image->flags & SDL_SRCCOLORKEY);
  SDL_Surface* model =
      alpha ? SDL_CreateRGBSurface(SDL_SWSURFACE, 1, 1, 32, kRedMask, kGreenMask, kBlueMask,
                                   kAlphaMask)
            : SDL_CreateRGBSurface(SDL_SWSURFACE, 1, 1, 24, kRedMask >> kRgbShift,
                                   kGreenMask >> kRgbShift, kBlueMask >> kRgbShift, 0);
  if (!model) return nullptr;
  SDL_Surface* converted = SDL_ConvertSurface(image, model->format, SDL_SWSURFACE);
  SDL_FreeSurface(model);
  SDL_FreeSurface(image);
  return converted;
}
}  // namespace

GLuint LoadTexture(const char* path) {
  // Opened without blocking: a pipe or device in a picture's place is refused.
  std::string why;
  FILE* file = OpenRegularFile(path, &why);
  if (!file) {
    Fatal(stderr, "Cannot load image %s: %s\n", path, why.c_str());
  }
  const std::string damage = ImageDamage(file);
  if (!damage.empty()) {
    fclose(file);
    Fatal(stderr, "Cannot load image %s: %s\n", path, damage.c_str());
  }
  // Decoded from the open file, typed by its name's extension as IMG_Load does.
  const char* dot = strrchr(path, '.');
  std::string type = dot ? dot + 1 : "";
  SDL_Surface* image = IMG_LoadTyped_RW(SDL_RWFromFP(file, 1), 1, type.data());
  if (!image) {
    Fatal(stderr, "Cannot load image %s: %s\n", path, IMG_GetError());
  }
  if (!IsGlByteOrder(image->format)) {
    image = ConvertToGlBytes(image);
    if (!image) {
      Fatal(stderr, "Cannot convert image %s: %s\n", path, SDL_GetError());
    }
  }
  GLuint name = 0;
  glGenTextures(1, &name);
  glBindTexture(GL_TEXTURE_2D, name);
  const int bytesPerPixel = image->format->BytesPerPixel;
  const GLenum format = bytesPerPixel == 4 ? GL_RGBA : GL_RGB;

  // The GL reads rows padded to 4 bytes (its default unpack alignment). SDL
  // pads its rows the same way; should a surface ever be laid out otherwise,
  // its rows are repacked rather than read sheared.
  const int rowBytes = image->w * bytesPerPixel;
  const int glRowBytes = (rowBytes + 3) & ~3;
  if (SDL_MUSTLOCK(image)) SDL_LockSurface(image);
  const unsigned char* pixels = static_cast<const unsigned char*>(image->pixels);
  std::vector<unsigned char> repacked;
  if (image->pitch != glRowBytes) {
    repacked.assign(static_cast<size_t>(glRowBytes) * image->h, 0);
    for (int y = 0; y < image->h; ++y)
      memcpy(&repacked[static_cast<size_t>(y) * glRowBytes], pixels + y * image->pitch, rowBytes);
    pixels = repacked.data();
  }
  glTexImage2D(GL_TEXTURE_2D, 0, format, image->w, image->h, 0, format, GL_UNSIGNED_BYTE, pixels);
  if (SDL_MUSTLOCK(image)) SDL_UnlockSurface(image);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  SDL_FreeSurface(image);
  return name;
}

void LoadAssetStep(int step) {
  for (const AssetRow& row : AssetTable()) {
    if (row.step != step) continue;
    *row.target = row.file.empty() ? *row.source : LoadTexture(row.file.c_str());
    return;
  }
}

std::vector<std::string> AssetImageFiles() {
  std::vector<std::string> files(std::begin(kStartUpImages), std::end(kStartUpImages));
  for (const AssetRow& row : AssetTable())
    if (!row.file.empty()) files.push_back(row.file);
  return files;
}

bool CheckAssetImages(const char* directory) {
  std::string missing;
  int count = 0;
  bool ok = true;
  for (const std::string& file : AssetImageFiles()) {
    std::string path = std::string(directory) + "/" + file;
    std::string why;
    FILE* f = OpenRegularFile(path.c_str(), &why);
    if (!f && errno == ENOENT) {
      missing += (count++ ? ", " : "") + file;
      continue;
    }
    if (!f) {
      fprintf(stderr, "Cannot read image file in %s: %s (%s)\n", directory, file.c_str(),
              why.c_str());
      ok = false;
      continue;
    }
    const std::string damage = ImageDamage(f);
    fclose(f);
    if (!damage.empty()) {
      fprintf(stderr, "Damaged image file in %s: %s (%s)\n", directory, file.c_str(),
              damage.c_str());
      ok = false;
    }
  }
  if (count == 0) return ok;
  fprintf(stderr, "Missing %d image file%s in %s: %s\n", count, count == 1 ? "" : "s", directory,
          missing.c_str());
  return false;
}
