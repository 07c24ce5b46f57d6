// The first act's wire layer (wire icosahedra, then wireBody's spring lines)
// and the pulse figures the director fires on the beat. Both draw inside the
// modelview matrix and the blend state the scene renderer has built, and both
// leave GL state changed for the layers after them.
#include "core/gl.h"  // GLEW and GLU before GLUT

#include <GL/glut.h>

#include <cmath>

#include "core/timeline.h"
#include "objects/object_draw.h"
#include "scenes/layers.h"


namespace {
// Grey level of every line figure.
constexpr float kLineGrey = 0.9462890625f;

// The wide ring fades as if it lived 4.5, though it lives 3.5.
constexpr double kWideRingFade = 4.5;

// Distance of a stamp from the demo time, in double precision.
double PulseAge(float stamp, float t) { return std::fabs(static_cast<double>(t) - stamp); }

// Outline of a downward triangle as one closed line strip.
void DrawTriangleOutline() {
  glBegin(GL_LINE_STRIP);
  glVertex3f(-1, 1, 0);
  glVertex3f(1, 1, 0);
  glVertex3f(0, -1, 0);
  glVertex3f(-1, 1, 0);
  glEnd();
}

// Rotation of a chevron: a random base angle plus a swing that fades with age.
void RotateChevron(float random, double k) {
  glRotatef(static_cast<float>((random - 0.5) * k * 60 + random * 180.0), 0, 0, 1);
}

// Eight nested triangles, each scaled again relative to the one before; they
// start large, dark and transparent and brighten and shrink with age.
void DrawTriangleNest(const DirectorState& director, const ScenePlan& plan, float t) {
  glPushMatrix();
  glScalef(director.pulseDLevel, director.pulseDLevel, director.pulseDLevel);
  glTranslatef(0, -0.3f, 0);
  glLineWidth(2);
  if (plan.pulseShown[kTriangleNest]) {
    const double r = PulseAge(director.pulseDStamp, t) / 80.5;
    const float alpha = (t >= 60 && t < 130) ? 0.8f : 0.7f;
    const float grey = static_cast<float>(r * kLineGrey);
    for (int i = 0; i < 8; ++i) {
      glScalef(static_cast<float>(2.7 - 1.3 * r), static_cast<float>(2.6 - 1.3 * r),
               static_cast<float>(2.6 - 1.35 * r));
      glColor4f(grey, grey, grey, static_cast<float>(r * alpha));
      DrawTriangleOutline();
    }
  }
  glPopMatrix();
}

// A white ring of radius about 2 that contracts slightly as it fades.
void DrawRingPulse(const DirectorState& director, const ScenePlan& plan, float t) {
  glPushMatrix();
  glScalef(director.pulseBLevel, director.pulseBLevel, director.pulseBLevel);
  glLineWidth(4);
  if (plan.pulseShown[kRingPulse]) {
    const double s = 1 - PulseAge(director.pulseBStamp, t) / 4.5;
    const float v = static_cast<float>(0.1 * s);
    glColor4f(0, 0, 0, 0.4f);
    DrawRing(1.99f - v, t);
    DrawRing(2.01f - v, t);
    const float grey = static_cast<float>(s * kLineGrey);
    glColor4f(grey, grey, grey, static_cast<float>(s));
    DrawRing(2 - v, t);
  }
  glPopMatrix();
}

// A ring of radius about 3 that opens out as it fades; it lives 3.5 units but
// fades at the rate of a 4.5-unit figure, so it vanishes before reaching 0.
void DrawWideRingPulse(const DirectorState& director, const ScenePlan& plan, float t) {
  glPushMatrix();
  glScalef(director.pulseALevel, director.pulseALevel, director.pulseALevel);
  glLineWidth(4);
  if (plan.pulseShown[kWideRingPulse]) {
    const double s = 1 - PulseAge(director.pulseAStamp, t) / kWideRingFade;
    const float v = static_cast<float>(0.7 * s);
    glColor4f(0, 0, 0, 0.4f);
    DrawRing(2.99f - v, t);
    DrawRing(3.01f - v, t);
    glColor4f(kLineGrey, kLineGrey, kLineGrey, static_cast<float>(s));
    DrawRing(3 - v, t);
  }
  glPopMatrix();
}

// One grey triangle between two black ones, growing as it fades.
void DrawTriangleFrame(const DirectorState& director, const ScenePlan& plan, float t) {
  glPushMatrix();
  glLineWidth(3);
  if (plan.pulseShown[kTriangleFrame]) {
    glEnable(GL_BLEND);
    const float s = static_cast<float>(1 - PulseAge(director.pulseEStamp, t) / 4.5);
    const float size = 0.46f - 0.3f * s;
    glScalef(size, size, size);
    glScalef(1.66f, 1.6f, 1.6f);
    glPushMatrix();
    glScalef(1.025f, 1.025f, 1.025f);
    glColor4f(0, 0, 0, 0.3f);
    DrawTriangleOutline();
    glPopMatrix();
    glPushMatrix();
    glScalef(0.98f, 0.98f, 0.98f);
    glColor4f(0, 0, 0, 0.3f);
    DrawTriangleOutline();
    glPopMatrix();
    glScalef(0.98f, 0.98f, 0.98f);
    glColor4f(kLineGrey, kLineGrey, kLineGrey, 0.6f);
    DrawTriangleOutline();
  }
  glPopMatrix();
}

// A line from the centre in a new random direction every frame.
void DrawBeam(const DirectorState& director, const ScenePlan& plan, float t) {
  glPushMatrix();
  glScalef(director.pulseBLevel, director.pulseBLevel, director.pulseBLevel);
  glLineWidth(3);
  if (plan.pulseShown[kBeam]) {
    const double s = 1 - PulseAge(director.pulseCStamp, t) / 4.5;
    const float grey = static_cast<float>(s * kLineGrey);
    glColor4f(grey, grey, grey, static_cast<float>(s));
    const double up = plan.beamUp;
    const double across = plan.beamAcross;
    glBegin(GL_LINES);
    glVertex3f(0, 0, 0);
    glVertex3f(static_cast<float>((across - 0.5) * 4), static_cast<float>((up - 0.5) * 5), 0);
    glEnd();
  }
  glPopMatrix();
}

// Two stacked arrow heads (a black rim under a grey one) at a random angle.
void DrawChevronPair(const DirectorState& director, const ScenePlan& plan, float t) {
  if (!plan.pulseShown[kChevronPair]) return;
  glColor4f(1, 1, 1, 1);
  glPushMatrix();
  const double k = 1 - PulseAge(director.pulseFStamp, t) * 0.1 / 9.5;
  RotateChevron(director.pulseFRandom, k);
  glScalef(3, 0.5f, 1);
  glColor4f(0, 0, 0, 0.4f);
  glScalef(1.01f, 1.01f, 1);
  DrawChevron(0.35f);
  const float grey = static_cast<float>(k * kLineGrey);
  glColor4f(grey, grey, grey, 0.4f);
  glScalef(0.98f, 0.98f, 1);
  DrawChevron(0.35f);
  glPopMatrix();
}

// A small arrow head that slides along its direction. Its strength e uses the
// signed age T - stamp, which is negative just after the key (the stamp runs
// ahead of T), so e starts above 1 and the arrow starts behind the centre.
void DrawSlidingChevron(const DirectorState& director, const ScenePlan& plan, float t) {
  if (!plan.pulseShown[kSlidingChevron]) return;
  const float d = t - director.pulseGStamp;
  const float e = 1 - d / 9.5f;
  glColor4f(e, e, e, 1);
  glPushMatrix();
  const double k = 1 - PulseAge(director.pulseGStamp, t) * 0.1 / 9.5;
  RotateChevron(director.pulseGRandom, k);
  glTranslatef(0.5f - 0.5f * e, 0, 0);
  const float grey = static_cast<float>(k * kLineGrey * e);
  glColor4f(grey, grey, grey, 0.5f);
  glScalef(3, 0.5f, 1);
  DrawChevron(0.15f);
  glPopMatrix();
}
}  // namespace

void DrawWireIcosahedron(float size) {
  glPushMatrix();
  const float scale = 0.5f * size;
  glScalef(scale, scale, scale);
  glutWireIcosahedron();
  glPopMatrix();
}

void DrawRing(float radius, float t) {
  glBegin(GL_LINE_LOOP);
  for (int k = 0; k <= 720; k += 8) {
    const float a = k * 3.1415f / 180;
    // The radius flickers with the fraction of the demo time, shifted along the ring.
    const float v = t + (k / 2) * 36.0f / 360;
    const float r = (v - std::floor(v)) * 0.01f + radius;
    glVertex2d(std::cos(a) * r, std::sin(a) * r * 1.2);
  }
  glEnd();
}

void DrawChevron(float x) {
  glBegin(GL_POLYGON);
  glVertex2d(x, 1.95 * x);
  glVertex2d(1.5 * x, 0);
  glVertex2d(x, -1.95 * x);
  glEnd();
}

void DrawWireLayer(const ShowState& show, float t) {
  const WireLayerState& wire = show.wireLayer;
  glDisable(GL_DEPTH_TEST);
  glEnable(GL_LIGHTING);
  glEnable(GL_LIGHT0);
  EnableColorMaterial();
  glPushMatrix();
  const float b = show.plan.wireBrightness;
  glColor4f(0.9f * b, 0.93f * b, 0.94f * b, 0.5f * b);
  glRotatef(0.2f * t, 0.3f, 0.2f, 0.1f);
  glScalef(1, 1.2f, 1);
  glRotatef(wire.turn1, 0, 1, 0);
  if (t < 300) {
    DrawWireIcosahedron(wire.size2 + 1.4f);
    glRotatef(wire.turn2, 1, 0.3f, 0.4f);
    DrawWireIcosahedron(wire.size1 + 1.3f);
  } else if (t < 400) {
    DrawWireIcosahedron(wire.size2 + 2.3f);
  } else if (t < 630) {
    glRotatef(0.4f * t, -0.3f, 0.4f, 0.4f);
    glScalef(4, 4, 4);
    glRotatef(130, 0, 1, 0.1f);
    DrawSpringLines(show.wireBody);  // in the colour set above
  }
  glPopMatrix();
}

void ApplyTurn(int turnIndex) {
  if (turnIndex >= 1 && turnIndex <= 3) glRotatef(90.0f * turnIndex, 0, 1, 0);
}

void DrawPulseFigures(const ShowState& show, float t) {
  const DirectorState& director = show.director;
  const ScenePlan& plan = show.plan;
  // No push: the turn stays in force for the rest of the frame.
  ApplyTurn(director.turnIndexB);
  DrawTriangleNest(director, plan, t);
  DrawRingPulse(director, plan, t);
  DrawWideRingPulse(director, plan, t);
  DrawTriangleFrame(director, plan, t);
  DrawBeam(director, plan, t);
  glEnable(GL_BLEND);
  glDisable(GL_DEPTH_TEST);
  glHint(GL_POLYGON_SMOOTH_HINT, GL_NICEST);
  DrawChevronPair(director, plan, t);
  DrawSlidingChevron(director, plan, t);
}
