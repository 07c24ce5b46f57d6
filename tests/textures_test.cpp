#include "overlays/textures.h"

#include <SDL/SDL.h>
#include <gtest/gtest.h>

#include <filesystem>

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
