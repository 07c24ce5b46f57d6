// The one way this program includes OpenGL: GLEW first (it must come before
// any other GL header), then GLU. GLUT is included only where it is used.
#pragma once
#include <GL/glew.h>
#include <GL/glu.h>

// Turns colour material on so that the tracked ambient and diffuse material
// take the current colour at once, as GL defines. Mesa's immediate mode keeps
// earlier glMaterial calls pending and applies them after the enable, over
// the colour it took: a body drawn in black after a white material came out
// white. Reading the material back settles those calls first.
inline void EnableColorMaterial() {
  GLfloat settled[4];
  glGetMaterialfv(GL_FRONT, GL_AMBIENT, settled);
  glEnable(GL_COLOR_MATERIAL);
}
