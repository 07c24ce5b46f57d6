// The 2D layers: the textured, black and white quads, and the overlay
// schedule over a grey frame, moment by moment against the pixel each
// moment must show.
#include "overlays/overlays.h"

#include <gtest/gtest.h>

#include "core/timeline.h"
#include "overlays/quads.h"
#include "overlays/textures.h"
#include "tests/gl_context.h"

namespace {
using Rgba = std::array<int, 4>;

void ExpectPixel(const Rgba& got, const std::array<int, 3>& want, int tolerance, const char* what) {
  for (int c = 0; c < 3; ++c) EXPECT_NEAR(got[c], want[c], tolerance) << what << " channel " << c;
}

// A 2x2 RGBA texture: first row red and green, second row blue and white.
GLuint CornerTexture() {
  return testgl::MakeTexture(2, 2, {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255, 255,
                                    255, 255});
}
}  // namespace

TEST(Quads, TextureQuadsPutTheFirstRowAtTheTopAndMoveByScreens) {
  testgl::ResetState();
  const GLuint texture = CornerTexture();
  DrawTextureQuad(texture, 1.0f);
  ExpectPixel(testgl::ReadPixel(10, 710), {255, 0, 0}, 0, "top left");
  ExpectPixel(testgl::ReadPixel(1270, 710), {0, 255, 0}, 0, "top right");
  ExpectPixel(testgl::ReadPixel(10, 10), {0, 0, 255}, 0, "bottom left");

  testgl::ResetState();
  DrawTextureQuadTranslated(texture, 1.0f, 0.5f, 0, 0);
  ExpectPixel(testgl::ReadPixel(100, 360), {0, 0, 0}, 0, "uncovered left half");
  ExpectPixel(testgl::ReadPixel(700, 710), {255, 0, 0}, 0, "red corner moved to the middle");
  glDeleteTextures(1, &texture);

  glClearColor(1, 1, 1, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  FadeToBlack(0.5f);
  ExpectPixel(testgl::ReadPixel(640, 360), {128, 128, 128}, 2, "half black");
  FlashWhite(7.0f);  // cut to 1
  ExpectPixel(testgl::ReadPixel(640, 360), {255, 255, 255}, 0, "white");
}

// Plain colours in the slots the schedule reads.
class Overlays : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    pictures.tembra = testgl::PlainTexture(255, 0, 0);
    pictures.bonfireTitle = testgl::PlainTexture(0, 0, 255);
    for (int i = 1; i <= 6; ++i) pictures.bonfireCards[i] = testgl::PlainTexture(i * 40, 0, 255 - i * 40);
    pictures.bonfireCards[3] = testgl::PlainTexture(255, 0, 0);
    pictures.bonfireCards[4] = testgl::PlainTexture(0, 255, 0);
    pictures.podserce = testgl::PlainTexture(255, 0, 0);
    pictures.white = testgl::PlainTexture(255, 255, 255);
  }
  // The schedule at demo time t over a grey (100) frame; the centre pixel.
  static Rgba DrawAt(float t) {
    testgl::ResetState();
    glClearColor(100 / 255.0f, 100 / 255.0f, 100 / 255.0f, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    DrawOverlays(t);
    return testgl::ReadPixel(640, 360);
  }
};

// Each moment and the centre pixel over grey 100: a layer of colour c and
// opacity a leaves c a + 100 (1 - a).
TEST_F(Overlays, ScheduleShowsTheRightLayersAtEachMoment) {
  struct Moment {
    float t;
    std::array<int, 3> pixel;
    const char* what;
  };
  const Moment moments[] = {
      {50, {100, 100, 100}, "nothing"},
      {100, {0, 0, 0}, "fade-in row at its end: black 1"},
      {101.5f, {50, 50, 50}, "fade-out row half-way"},
      {190, {50, 50, 50}, "rising row: 10 of its 20 tenths"},
      {204.99f, {0, 0, 0}, "rising row just before its end"},
      {205, {255, 255, 255}, "white row from its start; the black one has ended"},
      {224, {214, 214, 214}, "white row 4 of 15 tenths"},
      {462, {193, 193, 193}, "white row 2 of 5 tenths"},
      {625, {50, 50, 50}, "black at a quarter per tenth"},
      {636, {183, 183, 183}, "white falling over 13 tenths"},
      {1051, {77, 77, 77}, "white, then the black row of the same window"},
      {1559, {40, 40, 40}, "black row 270 after the scene base, 2 of 5 tenths"},
      {371.5f, {255, 217, 217}, "card faded in, its flash at 0.85"},
      {380, {147, 70, 70}, "card fading out at 0.3, its flash over"},
      {854, {255, 179, 179}, "third bonfire card, its flash at 0.7"},
      {730, {255, 255, 255}, "flash at its start, no pulsing layers yet"},
      {760, {183, 78, 78}, "pulsing red and white layers"},
  };
  for (const Moment& m : moments) ExpectPixel(DrawAt(m.t), m.pixel, 2, m.what);
}

// Any state the schedule touches comes back from the attribute stack.
TEST_F(Overlays, RestoresAttributeState) {
  for (float t : {50.0f, 858.0f}) {
    testgl::ResetState();
    glEnable(GL_LIGHTING);
    glEnable(GL_DEPTH_TEST);
    glBlendFunc(GL_ONE, GL_ZERO);
    glColor4f(0.25f, 0.5f, 0.75f, 1);
    DrawOverlays(t);
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING) && glIsEnabled(GL_DEPTH_TEST)) << t;
    EXPECT_FALSE(glIsEnabled(GL_BLEND) || glIsEnabled(GL_TEXTURE_2D)) << t;
    GLint src = 0;
    glGetIntegerv(GL_BLEND_SRC_RGB, &src);
    EXPECT_EQ(src, GL_ONE) << t;
    GLfloat colour[4];
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_FLOAT_EQ(colour[1], 0.5f) << t;
  }
}
