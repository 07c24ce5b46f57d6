// The icosahedron chain: eight small solid icosahedra hung on a chain of
// rotations, seven black and the last one red. Up to T = 1495 the links sit
// on accumulated rotations with an opening spread and random jitter; after it
// each link spins in its own frame and the chain opens out.
#include "scenes/icosahedron_chain.h"

#include <algorithm>
#include <cmath>

#include "core/gl.h"  // before GLUT: GLEW must come first
#include <GL/glut.h>

#include "core/timeline.h"
#include "scenes/layers.h"
#include "scenes/scene_steps.h"

namespace {

// Push, uniform scale, GLUT's unit solid icosahedron, pop.
void DrawSolidIcosahedron(float size) {
  glPushMatrix();
  glScalef(size, size, size);
  glutSolidIcosahedron();
  glPopMatrix();
}

// One link's random shake, as the chain's step drew it (three draws per link
// on every frame, even when the jitter is 0).
void Jitter(const double shake[3], float jitter) {
  glTranslated(shake[0] * jitter, shake[1] * jitter, shake[2] * jitter);
}

// Up to T = 1495: every link's rotation and offset accumulates onto the
// previous link's; ends on the modelview matrix RenderScene was called with.
void DrawFirstArrangement(const double (&shake)[kChainLinks][3], float t,
                          const double entryModelview[16]) {
  const float g = ChainSpeed(t);
  const float l = ChainLinkOffset(t);
  const float jitter = ChainJitter(t);
  const bool closeUp = kCloseUpWindow.Holds(t);

  if (t > 500 && t < 525) glScalef(3.2f, 3.2f, 3.2f);
  glDisable(GL_LINE_SMOOTH);
  glPushMatrix();
  if (t > 630 && t < 1495) glScalef(2, 2, 2);
  glColor4f(0, 0, 0, 1);

  glRotatef(3.4f * g * t, 1, 1, 1);
  Jitter(shake[0], jitter);
  glTranslatef(-l, -0.3f * l, -1.5f * l);
  DrawSolidIcosahedron(0.15f);

  glRotatef(2.4f * g * t, 0.2f, 1.5f, -1);
  glTranslatef(l, -0.1f * l, -1.5f * l);
  Jitter(shake[1], jitter);
  DrawSolidIcosahedron(0.15f);

  glRotatef(1.4f * g * t, -0.2f, -0.5f, -0.4f);
  Jitter(shake[2], jitter);
  glTranslatef(0.4f * l * g, 0.3f * l, 1.15f * l);  // the x offset shrinks with the speed
  DrawSolidIcosahedron(0.15f);

  glRotatef(0.4f * g * t, -0.1f, -0.7f, -0.1f);
  Jitter(shake[3], jitter);
  glTranslatef(-0.4f * l, -0.3f * l, -1.15f * l);
  DrawSolidIcosahedron(0.15f);

  glRotatef(0.3f * g * t, -0.7f, -0.5f, -0.5f);
  Jitter(shake[4], jitter);
  glTranslatef(0.23f * l, -0.23f * l, 1.25f * l);
  DrawSolidIcosahedron(0.15f);

  glRotatef(0.7f * g * t, -0.2f, -0.3f, -0.4f);
  Jitter(shake[5], jitter);
  glTranslatef(0.13f * l, -0.13f * l, 1.15f * l);
  DrawSolidIcosahedron(0.15f);

  glRotatef(0.9f * g * t, -0.3f, -0.3f, -0.1f);
  Jitter(shake[6], jitter);
  glTranslatef(0.33f * l, -0.53f * l, -0.85f * l);
  if (closeUp) glScalef(0.05f, 0.05f, 0.05f);  // stays in force for the red link too
  DrawSolidIcosahedron(0.15f);

  glRotatef(1.1f * g * t, -0.4f, -0.2f, -0.2f);
  glColor4f(1, 0, 0, 1);
  Jitter(shake[7], jitter);
  glTranslatef(0.83f * l, -1.43f * l, 0.35f * l);
  DrawSolidIcosahedron(0.15f);

  glPopMatrix();
  glEnable(GL_LINE_SMOOTH);
  // Back to the matrix the display callback had when it called RenderScene:
  // loading it leaves the stack depth as it is and drops the scene's
  // transforms (and the entry's window transforms) for the layers after this.
  glLoadMatrixd(entryModelview);
}

// After T = 1495: the links hang on accumulated rotations of one outer
// matrix, but each spins and is offset by the spread in its own push.
void DrawSecondArrangement(float t, float spread) {
  const float q = 1.4f * spread;
  const float w = 0.5f * q, h = 0.2f * q, m = -q, r = -0.2f * q, k = -0.3f * q, o = 0.4f * q,
              s = 0.3f * q, p = 0.1f * q;

  glPushMatrix();
  glRotatef(3.4f * t, 1, 1, 1);

  glPushMatrix();
  glColor4f(0, 0, 0, 1);
  glRotatef(5 * t + 20, q, h, w);
  glTranslatef(q, 0, 0);
  DrawSolidIcosahedron(0.15f);
  glPopMatrix();

  glRotatef(2.4f * t, 0.2f, 1.5f, -1);
  glPushMatrix();
  glRotatef(20, k, r, r);
  glTranslatef(0, q, 0);
  glTranslatef(q, 0, o);
  glRotatef(8 * t + 20, q, r, w);
  DrawSolidIcosahedron(0.15f);
  glPopMatrix();

  glRotatef(1.4f * t, -0.2f, -0.5f, -0.4f);
  glPushMatrix();
  glRotatef(14 * t + 20, s, h, r);
  glTranslatef(q, s, 0);
  glRotatef(q, 0.2f, 1.5f, -1);
  glTranslatef(q, 0, k);
  glRotatef(6 * t + 20, s, p, h);
  DrawSolidIcosahedron(0.15f);
  glPopMatrix();

  glRotatef(0.4f * t, -0.1f, -0.7f, -0.1f);
  glPushMatrix();
  glTranslatef(q, w, 0);
  glRotatef(8 * t + 30, q, r, h);
  glTranslatef(0, 0, p);
  glRotatef(14 * t + 30, q, h, h);
  DrawSolidIcosahedron(0.15f);
  glPopMatrix();

  glRotatef(0.3f * t, -0.7f, -0.5f, -0.5f);
  glPushMatrix();
  glTranslatef(r, m, o);
  DrawSolidIcosahedron(0.15f);
  glPopMatrix();

  glRotatef(0.7f * t, -0.2f, -0.3f, -0.4f);
  glPushMatrix();
  glTranslatef(h, 0, h);
  glRotatef(14 * t + 30, m, r, r);
  glTranslatef(w, h, 0);
  DrawSolidIcosahedron(0.15f);
  glPopMatrix();

  glRotatef(0.9f * t, -0.3f, -0.3f, -0.1f);
  glPushMatrix();
  glTranslatef(q, 0, 1.2f * m);
  glRotatef(17 * t + 10, 0.4f * m, 1.2f * q, h);
  glTranslatef(o, 0.6f * m, w);
  DrawSolidIcosahedron(0.15f);
  glPopMatrix();

  glRotatef(1.1f * t, -0.4f, -0.2f, -0.2f);
  glPushMatrix();
  glTranslatef(m, h, h);
  glColor4f(1, 0, 0, 1);
  glTranslatef(q, h, h);
  glRotatef(11 * t + 20, o, 0.8f * q, s);
  DrawSolidIcosahedron(0.3f);
  glPopMatrix();

  glPopMatrix();
  glEnable(GL_LINE_SMOOTH);
}
}  // namespace

void DrawIcosahedronChain(const ScenePlan& plan, float t, const double entryModelview[16]) {
  glDisable(GL_LINE_SMOOTH);
  if (kSlowMotionScene.Holds(t)) {
    const float p = (t - 730) / 80;
    glTranslatef((0.65f * p - 0.25f) * 10, 0, 1);  // slides from left to right
  }
  if (kCloseUpWindow.Holds(t)) {
    // Tiny, near the left edge, bobbing once every five seconds.
    const float e = 0.02f * t - std::floor(0.02f * t);
    glTranslatef(-0.92f, e * e * 1.4f * 0.1f + 0.21f, 0);
    glScalef(0.05f, 0.05f, 0.05f);
  }
  if (ChainFirstArrangement(t))
    DrawFirstArrangement(plan.chainJitter, t, entryModelview);
  else
    DrawSecondArrangement(t, ChainSpread(t));
}
