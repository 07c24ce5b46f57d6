#include "scenes/picture_flash.h"

#include <algorithm>

#include "overlays/quads.h"
#include "overlays/textures.h"
#include "scenes/noise.h"

void DrawPictureFlash(const DirectorState& director, const ScenePlan& plan, float t) {
  // The stack drifts with noise; the three sums are taken every call.
  const float x = t / 50;
  const float dx = 0.35f * OctaveNoise(x, 142, 0.5f);
  const float dy = 0.4f * OctaveNoise(x, 110, 0.5f) + 0.34f * OctaveNoise(x, 120, 0.5f);

  glColor4f(1, 1, 1, 1);
  glEnable(GL_TEXTURE_2D);
  glEnable(GL_BLEND);
  glBindTexture(GL_TEXTURE_2D, pictures.table[director.textureStep]);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glColor4f(1, 1, 1, 0.35f);
  if (PictureFlashShows(director, t)) {
    glPushMatrix();
    glScalef(2.1f, 1.3f, 1.3f);
    glTranslatef(dx, dy, 0);
    // Each copy grows and moves a little on from the previous one, so the
    // picture looks doubled at its edges.
    for (const auto& shift : plan.flashCopyShift) {
      glScalef(1.02f, 1.0075f, 1.0075f);
      glTranslatef(shift[0], shift[1], shift[2]);
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

void DrawTimedCard(GLuint texture, const TimedCard& card, const float shake[3], float t) {
  float opacity;
  if (TimedCardOpacity(card, t, &opacity))
    DrawTextureQuadTranslated(texture, opacity, shake[0], shake[1], shake[2]);
}

void DrawGreetingCards(const ScenePlan& plan, float t) {
  for (int card = 1; card <= kGreetingCards; ++card)
    DrawTimedCard(pictures.greetings[card], GreetingCard(card), plan.greetingShake[card - 1], t);
}
