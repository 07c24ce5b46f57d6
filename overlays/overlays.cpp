#include "overlays/overlays.h"

#include <cmath>

#include "core/timeline.h"
#include "overlays/quads.h"
#include "overlays/textures.h"

namespace {
// One full-screen fade row: a black or white layer over [start, end) whose
// opacity falls from 1 (or, for a fade in, rises from 0) over the given length.
struct FadeRow {
  float start, end;
  bool white;
  bool rising;   // opacity (t - start) / length instead of 1 - (t - start) / length
  float length;  // divisor of the opacity ramp
};

// A bound of the form F + n: the sum is taken in integers, then made a float.
constexpr float AfterSceneBase(int n) { return static_cast<float>(kSceneBaseTime + n); }

// The first fade block, in drawing order. Rows overlap in places (the two
// black rows around 100, white over black at 205); every row is drawn on its own.
const FadeRow kFirstFades[] = {
    {99, 101, false, true, 1},
    {101, 102, false, false, 1},
    {180, 205, false, true, 20},
    {205, 215, true, false, 10},
    {220, 235, true, false, 15},
    {300, 315, false, true, 15},
    {315, 330, false, false, 15},
    {530, 535, true, false, 5},
    {460, 465, true, false, 5},
    {570, 575, true, false, 5},
    {1399.024f, 1409.024f, true, false, 10},
    {1495, 1505, true, false, 10},
    {1520, 1540, true, false, 20},
    {AfterSceneBase(230), AfterSceneBase(235), true, false, 5},
    {AfterSceneBase(250), AfterSceneBase(255), true, false, 5},
    {AfterSceneBase(270), AfterSceneBase(275), false, false, 5},
    {AfterSceneBase(280), AfterSceneBase(285), true, false, 5},
    // The closing part has no fade to black of its own: the picture flashes
    // and the chain run to the end of the music and the end screen fades in
    // over them by itself.
    {1049, 1054, true, false, 5},
    {1054, 1059, true, false, 5},
    {1062.5f, 1067.5f, true, false, 5},
};

// A picture card: fades in over 1.5 from S, holds to E, fades out over 5;
// a white flash runs from S to G, falling from 1 to 0.
struct Card {
  const GLuint* texture;
  float start, holdEnd, flashEnd;  // S, E, G
};

// The card list in drawing order. The last entry closes the bonfire
// sequence with its title card again; it has no flash of its own (its slot's
// flash is the long one after the list).
const Card kCards[] = {
    {&pictures.tembra, 370, 376.5f, 380},
    {&pictures.bonfireTitle, 403.37f, 409.87f, 413.37f},
    {&pictures.bonfireCards[1], 838.19f, 842.19f, 843.19f},
    {&pictures.bonfireCards[2], 845.31f, 849.31f, 850.31f},
    {&pictures.bonfireCards[3], 852.5f, 856.5f, 857.5f},
    {&pictures.bonfireCards[4], 855, 859, 860},
    {&pictures.bonfireCards[5], 857.5f, 861.5f, 862.5f},
    {&pictures.bonfireCards[6], 860.89f, 864.89f, 865.89f},
    {&pictures.bonfireTitle, 863.39f, 867.39f, 863.39f},
};

// Opacity of one fade row at t.
float FadeOpacity(const FadeRow& row, float t) {
  float ramp = (t - row.start) / row.length;
  return row.rising ? ramp : 1 - ramp;
}

// Fade-in, hold and fade-out of one card, then its flash.
void DrawCard(const Card& card, float t) {
  if (t >= card.start) {
    float a = (t - card.start) / 1.5f;
    if (a > 1) a = 1;
    if (t < card.holdEnd) DrawTextureQuad(*card.texture, a);
  }
  if (t >= card.holdEnd) {
    float a = 1 - (t - card.holdEnd) / 5;
    if (a > 0 && a <= 1) DrawTextureQuad(*card.texture, a);
  }
  if (t >= card.start && t < card.flashEnd)
    FlashWhite(1 - (t - card.start) / (card.flashEnd - card.start));
}
}  // namespace

void DrawOverlays(float t) {
  glPushAttrib(GL_ALL_ATTRIB_BITS);
  glDisable(GL_LIGHTING);

  for (const FadeRow& row : kFirstFades) {
    if (t < row.start || t >= row.end) continue;
    if (row.white)
      FlashWhite(FadeOpacity(row, t));
    else
      FadeToBlack(FadeOpacity(row, t));
  }

  glDisable(GL_DEPTH_TEST);
  glDisable(GL_LIGHTING);
  if (t >= 623 && t < 630) FadeToBlack((t - 623) * 0.25f);
  if (t >= 630 && t < 643) FlashWhite(1 - (t - 630) / 13);

  glDisable(GL_DEPTH_TEST);
  for (const Card& card : kCards) DrawCard(card, t);
  if (t >= 860.89f && t < 868.39f) FlashWhite(1 - (t - 860.89f) / 7.5f);

  // The same windows as the last three white rows above, now in black.
  if (t >= 1049 && t < 1054) FadeToBlack(1 - (t - 1049) / 5);
  if (t >= 1054 && t < 1059) FadeToBlack(1 - (t - 1054) / 5);
  if (t >= 1062.5f && t < 1067.5f) FadeToBlack(1 - (t - 1062.5f) / 5);

  // Two pulsing translucent layers over the slow-motion stretch.
  if (kSlowMotionScene.Holds(t)) {
    DrawTextureQuad(pictures.podserce, static_cast<float>(0.4 + 0.15 * std::cos(0.1 * t + 0.5)));
    DrawTextureQuad(pictures.white, static_cast<float>(0.2 + 0.13 * std::cos(0.16 * t)));
  }
  if (t >= 730 && t < 755) FlashWhite(1 - (t - 730) / 25);
  if (t >= 827 && t < 837) FlashWhite(1 - (t - 827) / 10);

  glPopAttrib();
}
