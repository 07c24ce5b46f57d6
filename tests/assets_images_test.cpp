// The generated pictures as the show's texture loader sees them: decoded by
// SDL_image, with the size and pixel layout each slot expects, and the same
// bytes from a second generation run.
#include <SDL/SDL.h>
#include <SDL/SDL_image.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

const std::string kGfx = std::string(KELVANE_RUN_DIR) + "/gfx/";

struct Expected {
  std::string name;
  int w, h, bytesPerPixel;
};

// Every file under gfx/ with the size and layout the loader will upload.
std::vector<Expected> AllImages() {
  std::vector<Expected> all;
  auto add = [&](const std::string& n, int w, int h, int bpp) { all.push_back({n, w, h, bpp}); };
  for (int i : {1, 2, 3, 4, 5, 6, 7, 8, 9, 14, 15, 16, 17})
    add("txt" + std::to_string(i) + ".png", 1280, 720, 4);
  add("txt37.png", 256, 1024, 4);
  add("txt38.png", 256, 1024, 4);
  add("gfx_1floppy_text1.png", 1280, 720, 4);
  add("gfx_1floppy_text2.png", 1280, 720, 4);
  add("kelvane.png", 1280, 720, 4);
  for (int i = 1; i <= 15; ++i) {
    char name[32];
    snprintf(name, sizeof name, "gfx_greets%02d.png", i);
    add(name, 1280, 720, 4);
  }
  add("gfx_tembra.png", 1280, 720, 4);
  add("gfx_bonfire.png", 1280, 720, 4);
  for (int i = 1; i <= 6; ++i) add("bonfire" + std::to_string(i) + ".png", 1280, 720, 4);
  for (int i = 9; i <= 12; ++i) add("overlay" + std::to_string(i) + ".jpg", 1280, 720, 3);
  add("gfx_podserce_1.jpg", 1280, 720, 3);
  add("gfx_ld2.jpg", 1280, 720, 3);
  add("white.png", 1280, 720, 3);
  add("black.png", 1280, 720, 3);
  add("gfx_heart_over_w.png", 512, 512, 3);
  add("gfx_heart_over_b.png", 512, 512, 3);
  add("panel.png", 1280, 720, 4);
  add("loader.jpg", 1280, 720, 3);
  add("endscreen.jpg", 1280, 720, 3);
  return all;
}

// One decoded picture, with its bytes copied out of the SDL surface.
struct Decoded {
  int w = 0, h = 0, bpp = 0;
  std::vector<uint8_t> px;  // tightly packed rows
  const uint8_t* At(int x, int y) const { return &px[(static_cast<size_t>(y) * w + x) * bpp]; }
};

bool Decode(const std::string& path, Decoded& out) {
  SDL_Surface* s = IMG_Load(path.c_str());
  if (!s) return false;
  out.w = s->w;
  out.h = s->h;
  out.bpp = s->format->BytesPerPixel;
  out.px.resize(static_cast<size_t>(out.w) * out.h * out.bpp);
  for (int y = 0; y < out.h; ++y)
    memcpy(&out.px[static_cast<size_t>(y) * out.w * out.bpp],
           static_cast<uint8_t*>(s->pixels) + y * s->pitch, static_cast<size_t>(out.w) * out.bpp);
  SDL_FreeSurface(s);
  return true;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Share of pixels whose alpha is below a level, in a row range of the image.
double ShareTransparent(const Decoded& d, int y0, int y1, uint8_t below) {
  size_t n = 0, clear = 0;
  for (int y = y0; y < y1; ++y)
    for (int x = 0; x < d.w; ++x, ++n) clear += d.At(x, y)[3] < below;
  return static_cast<double>(clear) / n;
}

TEST(Images, EveryFileDecodesWithItsSizeAndLayout) {
  std::vector<Expected> all = AllImages();
  ASSERT_EQ(all.size(), 54u);
  size_t files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(kGfx)) files += entry.is_regular_file();
  EXPECT_EQ(files, all.size()) << "gfx/ holds files the asset table does not name";
  for (const Expected& e : all) {
    Decoded d;
    ASSERT_TRUE(Decode(kGfx + e.name, d)) << e.name << ": " << IMG_GetError();
    EXPECT_EQ(d.w, e.w) << e.name;
    EXPECT_EQ(d.h, e.h) << e.name;
    EXPECT_EQ(d.bpp, e.bytesPerPixel) << e.name;
  }
}

// Pictures laid over the scene must leave most of it visible; the panel,
// drawn over every frame, almost all of it.
TEST(Images, OverlaysLeaveTheSceneVisible) {
  for (const Expected& e : AllImages()) {
    bool rope = e.name == "txt37.png" || e.name == "txt38.png";  // these cover their strips
    if (e.bytesPerPixel != 4 || rope) continue;
    Decoded d;
    ASSERT_TRUE(Decode(kGfx + e.name, d)) << e.name;
    double clear = ShareTransparent(d, 0, d.h, 8);
    EXPECT_GT(clear, e.name == "panel.png" ? 0.97 : 0.3) << e.name;
    EXPECT_LT(clear, 0.9999) << e.name << " is empty";
  }
}

// The rope sheets cross each other many times over the screen: their
// textures must be a faint glaze with a minority of bright strands, or the
// layered sheets wash the whole frame.
TEST(Images, RopeSheetsAreAFaintGlazeWithStrands) {
  for (const char* name : {"txt37.png", "txt38.png"}) {
    Decoded d;
    ASSERT_TRUE(Decode(kGfx + name, d)) << name;
    double alpha = 0;
    int strands = 0;
    for (int y = 0; y < d.h; ++y) {
      double row = 0;
      for (int x = 0; x < d.w; ++x) row += d.At(x, y)[3] / 255.0;
      row /= d.w;
      alpha += row / d.h;
      strands += row > 0.25;
    }
    EXPECT_LT(alpha, 0.2) << name;
    EXPECT_GT(strands, d.h / 10) << name << ": too few bright strands";
    EXPECT_LT(strands, d.h / 3) << name << ": too many bright strands";
  }
}

// The panel is drawn with the unflipped texture mapping, so its first file
// row lands at the bottom of the screen: its label, meant for the bottom
// right, must sit in the first rows of the file.
TEST(Images, PanelIsStoredBottomRowFirst) {
  Decoded d;
  ASSERT_TRUE(Decode(kGfx + "panel.png", d));
  auto inkInCorner = [&](int y0, int y1) {
    int ink = 0;
    for (int y = y0; y < y1; ++y)
      for (int x = d.w * 3 / 4; x < d.w - 40; ++x) ink += d.At(x, y)[3] > 60;
    return ink;
  };
  EXPECT_GT(inkInCorner(17, 50), 20);
  EXPECT_EQ(inkInCorner(d.h - 50, d.h - 17), 0);
}

// Plain pictures are exactly plain; the multiplied picture is mostly bright
// (a multiply darkens the scene wherever the picture is dark).
TEST(Images, PlainAndMultipliedPicturesHaveTheirTone) {
  Decoded white, black, paper;
  ASSERT_TRUE(Decode(kGfx + "white.png", white));
  ASSERT_TRUE(Decode(kGfx + "black.png", black));
  ASSERT_TRUE(Decode(kGfx + "gfx_ld2.jpg", paper));
  for (uint8_t v : white.px) ASSERT_EQ(v, 255);
  for (uint8_t v : black.px) ASSERT_EQ(v, 0);
  double sum = 0;
  for (uint8_t v : paper.px) sum += v;
  EXPECT_GT(sum / paper.px.size(), 0.8 * 255);
}

// A second run into a fresh directory writes the same bytes.
TEST(Images, GenerationIsDeterministic) {
  std::string dir = testing::TempDir() + "k12-images-again";
  std::filesystem::remove_all(dir);
  std::string cmd = std::string(KELVANE_ASSETGEN) + " --kind images --out " + dir + "/run --work " +
                    dir + "/work 2>/dev/null";
  ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
  for (const Expected& e : AllImages()) {
    std::string first = ReadFile(kGfx + e.name), second = ReadFile(dir + "/run/gfx/" + e.name);
    EXPECT_FALSE(first.empty()) << e.name;
    EXPECT_TRUE(first == second) << e.name << " differs between runs";
  }
  EXPECT_TRUE(std::filesystem::exists(dir + "/work/contact_sheet.png"));
  std::filesystem::remove_all(dir);
}

}  // namespace
