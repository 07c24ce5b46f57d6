// The standard and soft-body light sets of the scene renderer.
#include "scenes/scene_lights.h"

#include "core/gl.h"

namespace {
// Puts one four-float vector into a light or material parameter.
void SetLight(GLenum light, GLenum name, float a, float b, float c, float d) {
  const GLfloat v[4] = {a, b, c, d};
  glLightfv(light, name, v);
}
void SetMaterial(GLenum name, float a, float b, float c, float d) {
  const GLfloat v[4] = {a, b, c, d};
  glMaterialfv(GL_FRONT, name, v);
}

// The colours of the first light, the same in both light sets.
void SetFirstLightColours() {
  SetLight(GL_LIGHT0, GL_AMBIENT, 0.2f, 0.2f, 0.2f, 1);
  SetLight(GL_LIGHT0, GL_DIFFUSE, 0.8f, 0.8f, 0.8f, 1);
  SetLight(GL_LIGHT0, GL_SPECULAR, 1, 1, 1, 1);
}

// The second light's colours, with the ambient red that tells the sets apart.
void SetSecondLightColours(float ambientRed) {
  SetLight(GL_LIGHT1, GL_AMBIENT, ambientRed, 0.24f, 0.29f, 1);
  SetLight(GL_LIGHT1, GL_DIFFUSE, 0.82f, 0.83f, 0.84f, 1);
  SetLight(GL_LIGHT1, GL_SPECULAR, 1.05f, 1.1f, 1.1f, 1);
}
}  // namespace

void SetStandardLights() {
  SetFirstLightColours();
  SetSecondLightColours(0.21f);
  SetLight(GL_LIGHT0, GL_POSITION, 0.5f, 0.5f, 0, 1);
  SetLight(GL_LIGHT1, GL_POSITION, -0.95f, 0.95f, 0, 1);
  SetMaterial(GL_AMBIENT, 1, 1, 1, 1);
  SetMaterial(GL_DIFFUSE, 1, 1, 1, 1);
  SetMaterial(GL_SPECULAR, 1, 1, 1, 1);
  glMaterialf(GL_FRONT, GL_SHININESS, 25);
}

void SetSoftBodyLights() {
  SetFirstLightColours();
  SetSecondLightColours(0.31f);
  SetMaterial(GL_AMBIENT, 1, 0, 0, 1);
  SetMaterial(GL_DIFFUSE, 1, 0, 0, 1);
  SetMaterial(GL_SPECULAR, 1, 1, 1, 1);
  glMaterialf(GL_FRONT, GL_SHININESS, 60);
  SetLight(GL_LIGHT0, GL_POSITION, 5.5f, 4.5f, 4.2f, 1);
  SetLight(GL_LIGHT1, GL_POSITION, -6.5f, -7.5f, 2.3f, 1);
}

void BeginSoftBodyLighting() {
  glColor3f(0, 0, 0);
  glDisable(GL_TEXTURE_2D);
  EnableColorMaterial();
  glDisable(GL_BLEND);
  glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, 1);
  glEnable(GL_LIGHTING);
  glEnable(GL_LIGHT0);
  glEnable(GL_LIGHT1);
  SetSoftBodyLights();
}
