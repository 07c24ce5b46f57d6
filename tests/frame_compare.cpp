// Compares a rendered frame with its reference picture tile by tile: the mean
// absolute difference of the colour channels (0 to 255) in every square tile
// and over the whole frame. A frame passes when no tile and not the frame as
// a whole lies above its tolerance. With --report, a failing frame is written
// as reference | frame | difference side by side, the difference amplified
// and the tiles over the tolerance outlined in red.
// usage: k12-frame-compare [--tile N] [--tile-tolerance D] [--frame-tolerance D]
//                          [--report FILE.png] REFERENCE.png FRAME.png
// Exit status: 0 alike, 1 different, 2 bad arguments or unreadable pictures.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#define STB_IMAGE_IMPLEMENTATION
#include <stb/stb_image.h>
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

namespace {
struct Picture {
  int width = 0, height = 0;
  std::vector<unsigned char> rgb;
};

bool Load(const char* path, Picture* p) {
  int channels = 0;
  unsigned char* data = stbi_load(path, &p->width, &p->height, &channels, 3);
  if (!data) {
    fprintf(stderr, "k12-frame-compare: cannot read %s (%s)\n", path, stbi_failure_reason());
    return false;
  }
  p->rgb.assign(data, data + size_t(p->width) * p->height * 3);
  stbi_image_free(data);
  return true;
}

struct Tile {
  int x, y;
  double difference;
};

// Writes reference | frame | difference x amplify, with the failing tiles outlined.
bool WriteReport(const char* path, const Picture& a, const Picture& b, int tile,
                 const std::vector<Tile>& failing) {
  const int w = a.width, h = a.height, amplify = 8;
  std::vector<unsigned char> out(size_t(w) * 3 * h * 3, 0);
  auto put = [&](int panel, int x, int y, const unsigned char* c) {
    memcpy(&out[(size_t(y) * w * 3 + panel * w + x) * 3], c, 3);
  };
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const size_t i = (size_t(y) * w + x) * 3;
      unsigned char d[3];
      for (int c = 0; c < 3; ++c)
        d[c] = static_cast<unsigned char>(std::min(255, amplify * std::abs(a.rgb[i + c] - b.rgb[i + c])));
      put(0, x, y, &a.rgb[i]);
      put(1, x, y, &b.rgb[i]);
      put(2, x, y, d);
    }
  const unsigned char red[3] = {255, 0, 0};
  for (const Tile& t : failing) {
    const int x1 = std::min(t.x + tile, w) - 1, y1 = std::min(t.y + tile, h) - 1;
    for (int x = t.x; x <= x1; ++x) put(2, x, t.y, red), put(2, x, y1, red);
    for (int y = t.y; y <= y1; ++y) put(2, t.x, y, red), put(2, x1, y, red);
  }
  if (!stbi_write_png(path, w * 3, h, 3, out.data(), w * 3 * 3)) {
    fprintf(stderr, "k12-frame-compare: cannot write %s\n", path);
    return false;
  }
  return true;
}

bool ParseNumber(const char* text, double* value) {
  char* end = nullptr;
  *value = strtod(text, &end);
  return end != text && *end == '\0' && std::isfinite(*value) && *value >= 0;
}

int Usage() {
  fprintf(stderr,
          "usage: k12-frame-compare [--tile N] [--tile-tolerance D] [--frame-tolerance D]\n"
          "                         [--report FILE.png] REFERENCE.png FRAME.png\n");
  return 2;
}
}  // namespace

int main(int argc, char** argv) {
  double tile = 16, tileTolerance = 16, frameTolerance = 0.35;
  const char* report = nullptr;
  std::vector<const char*> files;
  for (int i = 1; i < argc; ++i) {
    const bool value = i + 1 < argc;
    if (!strcmp(argv[i], "--tile") && value) {
      if (!ParseNumber(argv[++i], &tile) || tile < 1) return Usage();
    } else if (!strcmp(argv[i], "--tile-tolerance") && value) {
      if (!ParseNumber(argv[++i], &tileTolerance)) return Usage();
    } else if (!strcmp(argv[i], "--frame-tolerance") && value) {
      if (!ParseNumber(argv[++i], &frameTolerance)) return Usage();
    } else if (!strcmp(argv[i], "--report") && value) {
      report = argv[++i];
    } else if (argv[i][0] == '-') {
      return Usage();
    } else {
      files.push_back(argv[i]);
    }
  }
  if (files.size() != 2) return Usage();
  Picture a, b;
  if (!Load(files[0], &a) || !Load(files[1], &b)) return 2;
  if (a.width != b.width || a.height != b.height) {
    printf("the sizes differ: %dx%d against %dx%d\n", a.width, a.height, b.width, b.height);
    return 1;
  }
  const int n = static_cast<int>(tile);
  std::vector<Tile> failing;
  double total = 0, worst = 0;
  for (int ty = 0; ty < a.height; ty += n)
    for (int tx = 0; tx < a.width; tx += n) {
      double sum = 0;
      int count = 0;
      for (int y = ty; y < std::min(ty + n, a.height); ++y)
        for (int x = tx; x < std::min(tx + n, a.width); ++x)
          for (int c = 0; c < 3; ++c, ++count) {
            const size_t i = (size_t(y) * a.width + x) * 3 + c;
            sum += std::abs(a.rgb[i] - b.rgb[i]);
          }
      total += sum;
      const double mean = sum / count;
      worst = std::max(worst, mean);
      if (mean > tileTolerance) failing.push_back({tx, ty, mean});
    }
  const double frameMean = total / (double(a.width) * a.height * 3);
  printf("mean difference %.3f (tolerance %.3f), worst tile %.2f (tolerance %.2f)", frameMean,
         frameTolerance, worst, tileTolerance);
  const bool differs = !failing.empty() || frameMean > frameTolerance;
  if (!failing.empty()) {
    printf(", %zu tile%s over:", failing.size(), failing.size() == 1 ? "" : "s");
    std::sort(failing.begin(), failing.end(),
              [](const Tile& p, const Tile& q) { return p.difference > q.difference; });
    for (size_t k = 0; k < std::min<size_t>(failing.size(), 8); ++k)
      printf(" (%d,%d) %.1f", failing[k].x, failing[k].y, failing[k].difference);
    if (failing.size() > 8) printf(" ...");
  }
  printf("\n");
  if (differs && report && !WriteReport(report, a, b, n, failing)) return 2;
  return differs ? 1 : 0;
}
