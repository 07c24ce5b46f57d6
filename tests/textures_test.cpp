#include "overlays/textures.h"

#include <SDL/SDL.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <algorithm>
#include <set>

#include "scenes/loader_screen.h"
#include "tests/gl_context.h"
#include "tests/test_images.h"

namespace {
using Rgba = std::array<int, 4>;

GLint InternalFormat(GLuint texture) {
  GLint format = 0;
  glBindTexture(GL_TEXTURE_2D, texture);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &format);
  return format;
}

bool IsRgbFormat(GLint f) { return f == GL_RGB || f == GL_RGB8; }
bool IsRgbaFormat(GLint f) { return f == GL_RGBA || f == GL_RGBA8; }

// Every slot of the texture table back to "not loaded".
void ClearTextureTable() {
  loader.loadCounter = 0;
  memset(pictureTable, 0, sizeof pictureTable);
  memset(postTextures, 0, sizeof postTextures);
  memset(greetings, 0, sizeof greetings);
  memset(bonfireCards, 0, sizeof bonfireCards);
  for (GLuint* slot : {&bonfireTitleTexture, &blackTexture, &titleTexture, &heartWhiteTexture,
                       &heartBlackTexture, &loaderFrameTexture, &endScreenTexture, &tembraTexture,
                       &podserceTexture, &whiteTexture, &panelTexture})
    *slot = 0;
}

// Runs one asset-table step with the counter at `step`.
void RunStep(int step) {
  loader.loadCounter = step;
  LoadAssetStep(loader.loadCounter);
}

// Pictures 6-27 cycle through the nine loaded images txt6-9 and txt14-17,
// and post textures 0-7 hold those nine's first eight in order.
void ExpectPictureAndPostCycles() {
  const int cycle[22] = {6, 7, 8, 9, 6, 7, 8, 9, 14, 15, 16, 17, 7, 8, 9, 14, 15, 16, 17, 6, 6, 7};
  for (int n = 6; n <= 27; ++n)
    EXPECT_EQ(pictureTable[n], pictureTable[cycle[n - 6]]) << "picture " << n;
  const int postSources[8] = {6, 7, 8, 9, 14, 15, 16, 17};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(postTextures[i], pictureTable[postSources[i]]) << i;
  std::set<GLuint> distinct(std::begin(postTextures), std::end(postTextures));
  EXPECT_EQ(distinct.size(), 12u);
}

class CurrentDirectory {
 public:
  explicit CurrentDirectory(const std::string& dir) : saved_(std::filesystem::current_path()) {
    std::filesystem::current_path(dir);
  }
  ~CurrentDirectory() { std::filesystem::current_path(saved_); }

 private:
  std::filesystem::path saved_;
};
}  // namespace

// Formats: alpha gives RGBA, no alpha RGB; odd row lengths are not sheared;
// grey and BGR images arrive as the right colours.
TEST(LoadTexture, UploadsEachPixelLayoutAsItsColours) {
  testgl::ResetState();
  std::string dir = testimg::MakeTempDir("textures");

  std::vector<unsigned char> rgba = {255, 0, 0, 128, 0, 255, 0, 255,
                                     0, 0, 255, 0,   9, 8,   7, 64};
  ASSERT_TRUE(testimg::WritePng(dir + "/rgba.png", 2, 2, 4, rgba));
  GLuint t = LoadTexture((dir + "/rgba.png").c_str());
  GLint bound = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
  EXPECT_EQ(static_cast<GLuint>(bound), t);  // left bound for the caller
  EXPECT_TRUE(IsRgbaFormat(InternalFormat(t)));
  EXPECT_EQ(testimg::Texel(t, 0, 0), (Rgba{255, 0, 0, 128}));
  EXPECT_EQ(testimg::Texel(t, 1, 1), (Rgba{9, 8, 7, 64}));
  GLint minFilter = 0;
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minFilter);
  EXPECT_EQ(minFilter, GL_LINEAR);

  // 3 pixels of 3 bytes: 9 bytes a row, padded to 12 by the decoder.
  std::vector<unsigned char> rgb;
  for (int i = 0; i < 9; ++i) rgb.insert(rgb.end(), {static_cast<unsigned char>(20 * i),
                                                     static_cast<unsigned char>(200 - 20 * i),
                                                     static_cast<unsigned char>(7 * i)});
  ASSERT_TRUE(testimg::WritePng(dir + "/odd.png", 3, 3, 3, rgb));
  t = LoadTexture((dir + "/odd.png").c_str());
  EXPECT_TRUE(IsRgbFormat(InternalFormat(t)));
  for (int i = 0; i < 9; ++i)
    EXPECT_EQ(testimg::Texel(t, i % 3, i / 3), (Rgba{20 * i, 200 - 20 * i, 7 * i, 255})) << i;

  // A grey PNG decodes to an 8-bit palette surface; it must not go up as RGB bytes.
  std::vector<unsigned char> grey = {0, 60, 120, 180, 240};
  ASSERT_TRUE(testimg::WritePng(dir + "/grey.png", 5, 1, 1, grey));
  t = LoadTexture((dir + "/grey.png").c_str());
  EXPECT_TRUE(IsRgbFormat(InternalFormat(t)));
  for (int x = 0; x < 5; ++x)
    EXPECT_EQ(testimg::Texel(t, x, 0), (Rgba{grey[x], grey[x], grey[x], 255})) << x;

  // A BMP decodes with blue first in memory; the texture must still be red.
  SDL_Surface* bmp = SDL_CreateRGBSurface(SDL_SWSURFACE, 3, 1, 24, 0xFF0000, 0x00FF00, 0x0000FF, 0);
  ASSERT_NE(bmp, nullptr);
  SDL_FillRect(bmp, nullptr, SDL_MapRGB(bmp->format, 250, 20, 5));
  ASSERT_EQ(SDL_SaveBMP(bmp, (dir + "/bgr.bmp").c_str()), 0);
  SDL_FreeSurface(bmp);
  t = LoadTexture((dir + "/bgr.bmp").c_str());
  EXPECT_EQ(testimg::Texel(t, 2, 0), (Rgba{250, 20, 5, 255}));
  std::filesystem::remove_all(dir);
}

// The whole table over images of distinct colours: each slot ends up with the
// right file, and copies share the names of the slots they copy.
TEST(AssetTable, FillsEverySlotInStepOrder) {
  testgl::ResetState();
  CurrentDirectory inAssets(testimg::TestAssetDirectory());
  ClearTextureTable();
  const std::vector<std::string> files = AssetImageFiles();
  for (int step = 1; step <= 85; ++step) {
    RunStep(step);
    // A copy row copies the slot as it stands at its step: pictures 25 and 26
    // copy picture 10, itself a copy of picture 6.
    if (step == 26) {
      EXPECT_EQ(pictureTable[26], pictureTable[6]);
    }
  }
  // Each loaded slot shows its own file's colour.
  auto expectFile = [&](GLuint texture, const std::string& file) {
    auto it = std::find(files.begin(), files.end(), file);
    ASSERT_NE(it, files.end()) << file;
    std::array<int, 3> c = testimg::AssetColour(static_cast<int>(it - files.begin()));
    Rgba got = testimg::Texel(texture, 3, 3);
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(got[k], c[k], 3) << file;
  };
  for (int n : {1, 2, 3, 4, 5, 6, 7, 8, 9, 14, 15, 16, 17, 37, 38})
    expectFile(pictureTable[n], "gfx/txt" + std::to_string(n) + ".png");
  expectFile(pictureTable[34], "gfx/gfx_1floppy_text1.png");
  expectFile(pictureTable[36], "gfx/gfx_1floppy_text2.png");
  expectFile(greetings[1], "gfx/gfx_greets01.png");
  expectFile(greetings[15], "gfx/gfx_greets15.png");
  expectFile(bonfireCards[6], "gfx/bonfire6.png");
  expectFile(postTextures[8], "gfx/overlay9.jpg");
  expectFile(postTextures[11], "gfx/overlay12.jpg");
  expectFile(bonfireTitleTexture, "gfx/gfx_bonfire.png");
  expectFile(whiteTexture, "gfx/white.png");

  ExpectPictureAndPostCycles();
  ClearTextureTable();
}
