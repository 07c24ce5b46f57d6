#include "overlays/overlays.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "core/timeline.h"
#include "overlays/textures.h"
#include "tests/gl_context.h"
#include "tests/test_images.h"

namespace {
using Rgba = std::array<int, 4>;
constexpr int kGrey = 100;  // the frame under the overlays

// A 1x1 opaque texture of one colour.
GLuint PlainTexture(int r, int g, int b) {
  const unsigned char pixel[4] = {static_cast<unsigned char>(r), static_cast<unsigned char>(g),
                                  static_cast<unsigned char>(b), 255};
  GLuint name = 0;
  glGenTextures(1, &name);
  glBindTexture(GL_TEXTURE_2D, name);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  return name;
}

// Plain colours in the slots the schedule reads.
class Overlays : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    tembraTexture = PlainTexture(255, 0, 0);
    bonfireTitleTexture = PlainTexture(0, 0, 255);
    for (int i = 1; i <= 6; ++i) bonfireCards[i] = PlainTexture(i * 40, 255 - i * 40, 0);
    bonfireCards[3] = PlainTexture(255, 0, 0);
    bonfireCards[4] = PlainTexture(0, 255, 0);
    bonfireCards[5] = PlainTexture(0, 0, 255);
    podserceTexture = PlainTexture(255, 0, 0);
    whiteTexture = PlainTexture(255, 255, 255);
  }

  // The schedule at demo time t over a grey frame; returns the centre pixel.
  Rgba DrawAt(float t) {
    testgl::ResetState();
    glClearColor(kGrey / 255.0f, kGrey / 255.0f, kGrey / 255.0f, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    demoTime = t;
    DrawOverlays();
    return testgl::ReadPixel(640, 360);
  }

  // How many full-screen layers the schedule draws at demo time t.
  double LayersAt(float t) {
    GLuint query = 0;
    glGenQueries(1, &query);
    glBeginQuery(GL_SAMPLES_PASSED, query);
    DrawAt(t);
    glEndQuery(GL_SAMPLES_PASSED);
    GLuint samples = 0;
    glGetQueryObjectuiv(query, GL_QUERY_RESULT, &samples);
    glDeleteQueries(1, &query);
    return static_cast<double>(samples) / (testgl::kWidth * testgl::kHeight);
  }
};

// Grey under a layer of colour c with opacity a.
int Over(int under, int c, double a) { return static_cast<int>(std::lround(c * a + under * (1 - a))); }

void ExpectPixel(const Rgba& got, int r, int g, int b, int tolerance = 2) {
  EXPECT_NEAR(got[0], r, tolerance);
  EXPECT_NEAR(got[1], g, tolerance);
  EXPECT_NEAR(got[2], b, tolerance);
}
}  // namespace

// The opening black: full from 100 (opacity 1, then 1.5 clamped), clearing
// over [101, 102); the [180, 205) fade ends in full black just before 205
// and the white flash takes over at 205.
TEST_F(Overlays, FirstFadesMeetAtTheirBounds) {
  ExpectPixel(DrawAt(100), 0, 0, 0);
  EXPECT_DOUBLE_EQ(LayersAt(100), 1);
  ExpectPixel(DrawAt(100.5f), 0, 0, 0, 0);
  ExpectPixel(DrawAt(101.5f), Over(kGrey, 0, 0.5), Over(kGrey, 0, 0.5), Over(kGrey, 0, 0.5));
  ExpectPixel(DrawAt(204.99f), 0, 0, 0, 0);
  ExpectPixel(DrawAt(205), 255, 255, 255, 0);
  EXPECT_DOUBLE_EQ(LayersAt(205), 1);  // the black fade has ended
  int g = Over(kGrey, 255, 1 - 4.0 / 15);
  ExpectPixel(DrawAt(224), g, g, g);
  // The F-based rows: F + 270 is a black fade, [1557, 1562).
  g = Over(kGrey, 0, 1 - 2.0 / 5);
  ExpectPixel(DrawAt(1559), g, g, g);
  // Both layers in the shared windows: white first, then black over it.
  g = Over(Over(kGrey, 255, 0.6), 0, 0.6);
  ExpectPixel(DrawAt(1051), g, g, g);
}

// Cards: fade-in over 1.5, hold, fade-out from E with opacity 1, each with
// its white flash from S to G.
TEST_F(Overlays, PictureCardsFadeAndFlash) {
  // tembra (red) at 371.5: fully in, under its flash at 1 - 1.5/10.
  ExpectPixel(DrawAt(371.5f), 255, Over(0, 255, 0.85), Over(0, 255, 0.85));
  // At E the fade-out draws with opacity 1 while the flash (to G = 380) goes on.
  EXPECT_DOUBLE_EQ(LayersAt(376.5f), 2);
  ExpectPixel(DrawAt(380), Over(kGrey, 255, 0.3), Over(kGrey, 0, 0.3), Over(kGrey, 0, 0.3));
  EXPECT_DOUBLE_EQ(LayersAt(381.5f), 0);  // t = E + 5: nothing

  // At 858 card 3 fades out (0.7), card 4 is opaque, card 5 fades in (1/3),
  // then the flashes of cards 4 (0.4) and 5 (0.9).
  EXPECT_DOUBLE_EQ(LayersAt(858), 5);
  double red = 0, green = 255, blue = 0;  // card 4 covers card 3
  red = red * 2 / 3, green = green * 2 / 3, blue = blue * 2 / 3 + 255.0 / 3;
  for (double flash : {0.4, 0.9}) {
    red = 255 * flash + red * (1 - flash);
    green = 255 * flash + green * (1 - flash);
    blue = 255 * flash + blue * (1 - flash);
  }
  ExpectPixel(DrawAt(858), static_cast<int>(red), static_cast<int>(green), static_cast<int>(blue));
}

// 730 opens the flash but not the pulsing layers (both bounds excluded).
TEST_F(Overlays, PulsingLayersStartAfter730) {
  EXPECT_DOUBLE_EQ(LayersAt(730), 1);
  ExpectPixel(DrawAt(730), 255, 255, 255, 0);
  EXPECT_DOUBLE_EQ(LayersAt(760), 2);
  // Podserce red at 0.4 + 0.15 cos(76.5), then white at 0.2 + 0.13 cos(121.6).
  double a = 0.4 + 0.15 * std::cos(0.1 * 760.0 + 0.5);
  double b = 0.2 + 0.13 * std::cos(0.16 * 760.0);
  double red = Over(kGrey, 255, a), other = Over(kGrey, 0, a);
  ExpectPixel(DrawAt(760), Over(red, 255, b), Over(other, 255, b), Over(other, 255, b));
  EXPECT_DOUBLE_EQ(LayersAt(827), 1);  // only the [827, 837) flash
}

// Outside every window nothing is drawn, and any state the schedule touches
// comes back from the attribute stack.
TEST_F(Overlays, RestoresAttributeState) {
  for (float t : {50.0f, 858.0f}) {
    testgl::ResetState();
    glEnable(GL_LIGHTING);
    glEnable(GL_DEPTH_TEST);
    glBlendFunc(GL_ONE, GL_ZERO);
    glColor4f(0.25f, 0.5f, 0.75f, 1);
    demoTime = t;
    DrawOverlays();
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING)) << t;
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST)) << t;
    EXPECT_FALSE(glIsEnabled(GL_BLEND)) << t;
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D)) << t;
    GLint src = 0, depth = -1;
    glGetIntegerv(GL_BLEND_SRC_RGB, &src);
    EXPECT_EQ(src, GL_ONE) << t;
    GLfloat colour[4];
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_FLOAT_EQ(colour[1], 0.5f) << t;
    glGetIntegerv(GL_ATTRIB_STACK_DEPTH, &depth);
    EXPECT_EQ(depth, 0) << t;
  }
  EXPECT_DOUBLE_EQ(LayersAt(50), 0);
  ExpectPixel(DrawAt(50), kGrey, kGrey, kGrey, 0);
}
