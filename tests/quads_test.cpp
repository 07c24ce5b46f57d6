#include "overlays/quads.h"

#include <gtest/gtest.h>

#include "tests/gl_context.h"

namespace {
// A 2x2 RGBA texture: top row red and green, bottom row blue and white.
GLuint MakeCornerTexture() {
  const unsigned char pixels[16] = {255, 0, 0, 255, 0, 255, 0, 255,
                                    0, 0, 255, 255, 255, 255, 255, 255};
  GLuint name = 0;
  glGenTextures(1, &name);
  glBindTexture(GL_TEXTURE_2D, name);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 2, 2, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  return name;
}
}  // namespace

TEST(Quads, TextureQuadPutsFirstRowAtTheTop) {
  testgl::ResetState();
  GLuint tex = MakeCornerTexture();
  DrawTextureQuad(tex, 1.0f);
  EXPECT_EQ(testgl::ReadPixel(10, 710), (std::array<int, 4>{255, 0, 0, 255}));
  EXPECT_EQ(testgl::ReadPixel(1270, 710), (std::array<int, 4>{0, 255, 0, 255}));
  EXPECT_EQ(testgl::ReadPixel(10, 10), (std::array<int, 4>{0, 0, 255, 255}));
  glDeleteTextures(1, &tex);
}

TEST(Quads, FadeAndFlashBlendOverTheFrame) {
  testgl::ResetState();
  glClearColor(1, 1, 1, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  FadeToBlack(0.5f);
  auto half = testgl::ReadPixel(640, 360);
  EXPECT_NEAR(half[0], 128, 2);
  FlashWhite(7.0f);  // cut to 1: full white
  EXPECT_EQ(testgl::ReadPixel(640, 360)[1], 255);
  // The projection is left as the unit ortho, the modelview as the caller's.
  GLint mode = 0;
  glGetIntegerv(GL_MATRIX_MODE, &mode);
  EXPECT_EQ(mode, GL_MODELVIEW);
}

TEST(Quads, TranslatedQuadMovesByScreens) {
  testgl::ResetState();
  GLuint tex = MakeCornerTexture();
  DrawTextureQuadTranslated(tex, 1.0f, 0.5f, 0, 0);
  auto left = testgl::ReadPixel(100, 360);  // uncovered: still the clear colour
  EXPECT_EQ(left[0] + left[1] + left[2], 0);
  EXPECT_EQ(testgl::ReadPixel(700, 710)[0], 255);  // the red corner now starts mid-screen
  glDeleteTextures(1, &tex);
}
