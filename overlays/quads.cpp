#include "overlays/quads.h"

void BeginUnitSquare() {
  glPushMatrix();
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluOrtho2D(0, 1, 0, 1);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
}

namespace {
void SetStandardBlend() { glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA); }
}  // namespace

void DrawUnitQuad() {
  glBegin(GL_QUADS);
  glTexCoord2f(0, 0); glVertex2f(0, 1);
  glTexCoord2f(1, 0); glVertex2f(1, 1);
  glTexCoord2f(1, 1); glVertex2f(1, 0);
  glTexCoord2f(0, 1); glVertex2f(0, 0);
  glEnd();
}

void FadeToBlack(float opacity) {
  BeginUnitSquare();
  glDisable(GL_TEXTURE_2D);
  glEnable(GL_BLEND);
  SetStandardBlend();
  glColor4f(0, 0, 0, opacity);
  DrawUnitQuad();
  glPopMatrix();
}

void FlashWhite(float opacity) {
  glEnable(GL_BLEND);
  glDisable(GL_TEXTURE_2D);
  glDisable(GL_LIGHTING);
  if (opacity > 1) opacity = 1;
  BeginUnitSquare();
  SetStandardBlend();
  glColor4f(1, 1, 1, opacity);
  DrawUnitQuad();
  glPopMatrix();
}

void DrawTextureQuad(GLuint texture, float opacity) {
  BeginUnitSquare();
  glDisable(GL_LIGHTING);
  glDisable(GL_COLOR_MATERIAL);
  glEnable(GL_BLEND);
  SetStandardBlend();
  glEnable(GL_TEXTURE_2D);
  glColor4f(1, 1, 1, opacity);
  glBindTexture(GL_TEXTURE_2D, texture);
  DrawUnitQuad();
  glPopMatrix();
}

void DrawTextureQuadTranslated(GLuint texture, float opacity, float x, float y, float z) {
  BeginUnitSquare();
  glEnable(GL_TEXTURE_2D);
  glEnable(GL_BLEND);
  SetStandardBlend();
  glColor4f(1, 1, 1, opacity);
  glBindTexture(GL_TEXTURE_2D, texture);
  glTranslatef(x, y, z);
  DrawUnitQuad();
  glPopMatrix();
}

void DrawTextureQuadShiftedY(GLuint texture, float opacity, float yOffset) {
  DrawTextureQuadTranslated(texture, opacity, 0, yOffset, 0);
}

void DrawOpaqueTextureQuad(GLuint texture) {
  BeginUnitSquare();
  glDisable(GL_BLEND);
  glDisable(GL_COLOR_MATERIAL);
  glEnable(GL_TEXTURE_2D);
  glColor4f(1, 1, 1, 1);
  glBindTexture(GL_TEXTURE_2D, texture);
  DrawUnitQuad();
  glPopMatrix();
}
