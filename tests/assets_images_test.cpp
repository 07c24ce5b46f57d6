// The generated pictures as the show's texture loader sees them: decoded by
// SDL_image, with the size and pixel layout each slot expects, and the tone
// each must have where it is laid over the scene.
#include <SDL/SDL.h>
#include <SDL/SDL_image.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

struct Expected {
  std::string name;
  int w, h, bytesPerPixel;
  double clearAtLeast;  // share of pixels with alpha below 8 (RGBA files)
};

// Every file under gfx/ with the size and layout the loader will upload.
std::vector<Expected> AllImages() {
  std::vector<Expected> all;
  auto add = [&](const std::string& name, int w, int h, int bpp, double clear = 0.3) {
    all.push_back({name, w, h, bpp, clear});
  };
  for (int i : {1, 2, 3, 4, 5, 6, 7, 8, 9, 14, 15, 16, 17})
    add("txt" + std::to_string(i) + ".png", 1280, 720, 4);
  for (const char* name : {"gfx_1floppy_text1.png", "gfx_1floppy_text2.png", "kelvane.png",
                           "gfx_tembra.png", "gfx_bonfire.png"})
    add(name, 1280, 720, 4);
  for (int i = 1; i <= 15; ++i)
    add("gfx_greets" + std::string(i < 10 ? "0" : "") + std::to_string(i) + ".png", 1280, 720, 4);
  for (int i = 1; i <= 6; ++i) add("bonfire" + std::to_string(i) + ".png", 1280, 720, 4);
  add("txt37.png", 256, 1024, 4, 0);  // the rope sheets cover their strips
  add("txt38.png", 256, 1024, 4, 0);
  add("panel.png", 1280, 720, 4, 0.97);  // over every frame: almost all clear
  for (const char* name :
       {"overlay9.jpg", "overlay10.jpg", "overlay11.jpg", "overlay12.jpg", "gfx_podserce_1.jpg",
        "gfx_ld2.jpg", "white.png", "black.png", "loader.jpg", "endscreen.jpg"})
    add(name, 1280, 720, 3);
  add("gfx_heart_over_w.png", 512, 512, 3);
  add("gfx_heart_over_b.png", 512, 512, 3);
  return all;
}

// A decoded picture's bytes, tightly packed rows from the top.
std::vector<uint8_t> Decode(const std::string& name, int* w, int* h, int* bpp) {
  SDL_Surface* s = IMG_Load((std::string(KELVANE_RUN_DIR) + "/gfx/" + name).c_str());
  if (!s) return {};
  *w = s->w, *h = s->h, *bpp = s->format->BytesPerPixel;
  std::vector<uint8_t> px(size_t(*w) * *h * *bpp);
  for (int y = 0; y < *h; ++y)
    memcpy(&px[size_t(y) * *w * *bpp], static_cast<uint8_t*>(s->pixels) + y * s->pitch,
           size_t(*w) * *bpp);
  SDL_FreeSurface(s);
  return px;
}

}  // namespace

// Each file decodes with its size and layout, and nothing else lies in gfx/.
// Pictures laid over the scene leave most of it visible (and are not empty);
// the rope sheets are a faint glaze with a minority of bright strands, or
// their layers wash the frame; white and black are exactly that, and the
// multiplied paper is mostly bright. The panel is drawn with the unflipped
// mapping, so its label, meant for the bottom right, sits in its first rows.
TEST(Images, EveryFileHasItsSizeLayoutAndTone) {
  const std::vector<Expected> all = AllImages();
  size_t files = 0;
  for (const auto& entry :
       std::filesystem::directory_iterator(std::string(KELVANE_RUN_DIR) + "/gfx/"))
    files += entry.is_regular_file();
  EXPECT_EQ(files, all.size()) << "gfx/ holds files the table does not name";
  for (const Expected& e : all) {
    SCOPED_TRACE(e.name);
    int w = 0, h = 0, bpp = 0;
    const std::vector<uint8_t> px = Decode(e.name, &w, &h, &bpp);
    ASSERT_FALSE(px.empty()) << IMG_GetError();
    EXPECT_EQ(w, e.w);
    EXPECT_EQ(h, e.h);
    ASSERT_EQ(bpp, e.bytesPerPixel);
    auto alpha = [&](int x, int y) { return px[(size_t(y) * w + x) * 4 + 3]; };
    double clear = 0, mean = 0, glaze = 0;
    int strands = 0;
    for (int y = 0; y < h; ++y) {
      double row = 0;
      for (int x = 0; x < w; ++x) {
        if (bpp == 4) clear += alpha(x, y) < 8, row += alpha(x, y) / 255.0;
        for (int c = 0; c < bpp; ++c) mean += px[(size_t(y) * w + x) * bpp + c];
      }
      strands += row / w > 0.25;
      glaze += row / w / h;
    }
    clear /= double(w) * h;
    mean /= double(px.size()) * 255;
    if (e.name == "white.png" || e.name == "black.png") EXPECT_EQ(mean, e.name[0] == 'w' ? 1 : 0);
    if (e.name == "gfx_ld2.jpg") EXPECT_GT(mean, 0.8);
    if (bpp == 3) continue;
    EXPECT_GE(clear, e.clearAtLeast);
    EXPECT_LT(clear, 0.9999) << "empty";
    if (e.name == "txt37.png" || e.name == "txt38.png") {
      EXPECT_LT(glaze, 0.2);
      EXPECT_GT(strands, h / 10) << "too few bright strands";
      EXPECT_LT(strands, h / 3) << "too many bright strands";
    }
    if (e.name != "panel.png") continue;
    int top = 0, bottom = 0;  // label ink in the right quarter of the first and last rows
    for (int x = w * 3 / 4; x < w - 40; ++x)
      for (int y = 17; y < 50; ++y) top += alpha(x, y) > 60, bottom += alpha(x, h - 1 - y) > 60;
    EXPECT_GT(top, 20);
    EXPECT_EQ(bottom, 0);
  }
}
