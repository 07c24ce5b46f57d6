#include "scenes/picture_flash.h"

#include <algorithm>

#include "core/random.h"
#include "core/timeline.h"
#include "overlays/quads.h"
#include "overlays/textures.h"
#include "scenes/noise.h"
#include "scenes/scene_state.h"

namespace {
// How long a flash shows after its beat, in tenths of a second.
constexpr float kFlashLength = 10;
// Largest shake of a copy or a card, in either direction.
constexpr float kCopyShift = 0.0075f;
constexpr float kCardShake = 0.01f;

// A card shaken by three fresh draws: z first, then y, then x.
void DrawShakenCard(GLuint texture, float opacity) {
  const float z = static_cast<float>((RandomUnit() - 0.5) * kCardShake);
  const float y = static_cast<float>((RandomUnit() - 0.5) * kCardShake);
  const float x = static_cast<float>((RandomUnit() - 0.5) * kCardShake);
  DrawTextureQuadTranslated(texture, opacity, x, y, z);
}
}  // namespace

void DrawPictureFlash() {
  const float t = demoTime;
  // The stack drifts with noise; the three sums are taken every call.
  const float x = t / 50;
  const float dx = 0.35f * OctaveNoise(x, 142, 0.5f);
  const float dy = 0.4f * OctaveNoise(x, 110, 0.5f) + 0.34f * OctaveNoise(x, 120, 0.5f);

  glColor4f(1, 1, 1, 1);
  glEnable(GL_TEXTURE_2D);
  glEnable(GL_BLEND);
  glBindTexture(GL_TEXTURE_2D, pictureTable[director.textureStep]);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glColor4f(1, 1, 1, 0.35f);
  // A beat time ahead of T counts as well: only the difference is tested.
  if (t - director.beatTime < kFlashLength) {
    glPushMatrix();
    glScalef(2.1f, 1.3f, 1.3f);
    glTranslatef(dx, dy, 0);
    // Each copy grows and moves a little on from the previous one, so the
    // picture looks doubled at its edges.
    for (int copy = 0; copy < 3; ++copy) {
      glScalef(1.02f, 1.0075f, 1.0075f);
      const float sx = static_cast<float>(kCopyShift * RandomUnit());
      const float sy = static_cast<float>(kCopyShift * RandomUnit());
      const float sz = static_cast<float>(kCopyShift * RandomUnit());
      glTranslatef(sx, sy, sz);
      glBegin(GL_QUADS);
      glTexCoord2f(0, 1);
      glVertex3f(-1, -1, 0);
      glTexCoord2f(0, 0);
      glVertex3f(-1, 1, 0);
      glTexCoord2f(1, 0);
      glVertex3f(1, 1, 0);
      glTexCoord2f(1, 1);
      glVertex3f(1, -1, 0);
      glEnd();
    }
    glPopMatrix();
  }
  glDisable(GL_TEXTURE_2D);
}

void DrawTimedCard(GLuint texture, float start, float fadeIn, float hold, float fadeOut) {
  const float t = demoTime;
  if (t < start) return;
  const float holdEnd = start + fadeIn + hold;
  if (t < holdEnd) {
    DrawShakenCard(texture, std::min((t - start) / fadeIn, 1.0f));
    return;
  }
  const float a = 1 - (t - holdEnd) / ((holdEnd + fadeOut) - holdEnd);
  if (a > 0 && a <= 1) DrawShakenCard(texture, a);
}
