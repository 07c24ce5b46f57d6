// The first act's wire layer (wire icosahedra, then wireBody's spring lines)
// and the pulse figures the director fires on the beat. Both draw inside the
// modelview matrix and the blend state the scene renderer has built, and both
// leave GL state changed for the layers after them.
#include "core/gl.h"  // GLEW and GLU before GLUT

#include <GL/glut.h>

#include <cmath>

#include "core/random.h"
#include "core/timeline.h"
#include "objects/program_objects.h"
#include "scenes/layers.h"
#include "scenes/scene_state.h"

WireLayerState wireLayer;

namespace {
// Grey level of every line figure.
constexpr float kLineGrey = 0.9462890625f;

// How long each pulse figure lives after its key, in demo-time units.
constexpr float kNestWindow = 80.5f;
constexpr float kRingWindow = 4.5f;
constexpr float kWideRingWindow = 3.5f;
constexpr double kWideRingFade = 4.5;  // the wide ring fades as if it lived 4.5
constexpr float kFrameWindow = 4.5f;
constexpr float kBeamWindow = 4.5f;
constexpr float kChevronWindow = 9.5f;

// Advances a pulse stamp by the frame factor and tells whether its figure
// draws this frame. A stamp whose figure has expired is set to 0; while T is
// not past the window length nothing but the advance happens.
bool AdvancePulse(float& stamp, float window, float f) {
  stamp += f;
  if (!(demoTime > window)) return false;
  if (demoTime - stamp < window) return true;
  stamp = 0;
  return false;
}

// Distance of a stamp from the demo time, in double precision.
double PulseAge(float stamp) { return std::fabs(demoTimeDouble - stamp); }

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
void DrawTriangleNest(float f) {
  glPushMatrix();
  glScalef(director.pulseDLevel, director.pulseDLevel, director.pulseDLevel);
  glTranslatef(0, -0.3f, 0);
  glLineWidth(2);
  if (AdvancePulse(director.pulseDStamp, kNestWindow, f)) {
    const double r = PulseAge(director.pulseDStamp) / 80.5;
    const float alpha = (demoTime >= 60 && demoTime < 130) ? 0.8f : 0.7f;
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
void DrawRingPulse(float f) {
  glPushMatrix();
  glScalef(director.pulseBLevel, director.pulseBLevel, director.pulseBLevel);
  glLineWidth(4);
  if (AdvancePulse(director.pulseBStamp, kRingWindow, f)) {
    const double s = 1 - PulseAge(director.pulseBStamp) / 4.5;
    const float v = static_cast<float>(0.1 * s);
    glColor4f(0, 0, 0, 0.4f);
    DrawRing(1.99f - v);
    DrawRing(2.01f - v);
    const float grey = static_cast<float>(s * kLineGrey);
    glColor4f(grey, grey, grey, static_cast<float>(s));
    DrawRing(2 - v);
  }
  glPopMatrix();
}

// A ring of radius about 3 that opens out as it fades; it lives 3.5 units but
// fades at the rate of a 4.5-unit figure, so it vanishes before reaching 0.
void DrawWideRingPulse(float f) {
  glPushMatrix();
  glScalef(director.pulseALevel, director.pulseALevel, director.pulseALevel);
  glLineWidth(4);
  if (AdvancePulse(director.pulseAStamp, kWideRingWindow, f)) {
    const double s = 1 - PulseAge(director.pulseAStamp) / kWideRingFade;
    const float v = static_cast<float>(0.7 * s);
    glColor4f(0, 0, 0, 0.4f);
    DrawRing(2.99f - v);
    DrawRing(3.01f - v);
    glColor4f(kLineGrey, kLineGrey, kLineGrey, static_cast<float>(s));
    DrawRing(3 - v);
  }
  glPopMatrix();
}

// One grey triangle between two black ones, growing as it fades.
void DrawTriangleFrame(float f) {
  glPushMatrix();
  glLineWidth(3);
  if (AdvancePulse(director.pulseEStamp, kFrameWindow, f)) {
    glEnable(GL_BLEND);
    const float s = static_cast<float>(1 - PulseAge(director.pulseEStamp) / 4.5);
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
void DrawBeam(float f) {
  glPushMatrix();
  glScalef(director.pulseBLevel, director.pulseBLevel, director.pulseBLevel);
  glLineWidth(3);
  if (AdvancePulse(director.pulseCStamp, kBeamWindow, f)) {
    const double s = 1 - PulseAge(director.pulseCStamp) / 4.5;
    const float grey = static_cast<float>(s * kLineGrey);
    glColor4f(grey, grey, grey, static_cast<float>(s));
    // The vertical offset takes the first draw, the horizontal the second.
    const double up = RandomUnit();
    const double across = RandomUnit();
    glBegin(GL_LINES);
    glVertex3f(0, 0, 0);
    glVertex3f(static_cast<float>((across - 0.5) * 4), static_cast<float>((up - 0.5) * 5), 0);
    glEnd();
  }
  glPopMatrix();
}

// Two stacked arrow heads (a black rim under a grey one) at a random angle.
void DrawChevronPair(float f) {
  if (!AdvancePulse(director.pulseFStamp, kChevronWindow, f)) return;
  glColor4f(1, 1, 1, 1);
  glPushMatrix();
  const double k = 1 - PulseAge(director.pulseFStamp) * 0.1 / 9.5;
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
void DrawSlidingChevron(float f) {
  if (!AdvancePulse(director.pulseGStamp, kChevronWindow, f)) return;
  const float d = demoTime - director.pulseGStamp;
  const float e = 1 - d / 9.5f;
  glColor4f(e, e, e, 1);
  glPushMatrix();
  const double k = 1 - PulseAge(director.pulseGStamp) * 0.1 / 9.5;
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

void DrawRing(float radius) {
  glBegin(GL_LINE_LOOP);
  for (int k = 0; k <= 720; k += 8) {
    const float a = k * 3.1415f / 180;
    // The radius flickers with the fraction of the demo time, shifted along the ring.
    const float v = demoTime + (k / 2) * 36.0f / 360;
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

void DrawWireLayer(float f) {
  glDisable(GL_DEPTH_TEST);
  glEnable(GL_LIGHTING);
  glEnable(GL_LIGHT0);
  EnableColorMaterial();
  glPushMatrix();
  // The brightness chosen in the previous frame.
  const float b = wireLayer.brightness;
  glColor4f(0.9f * b, 0.93f * b, 0.94f * b, 0.5f * b);
  glRotatef(0.2f * demoTime, 0.3f, 0.2f, 0.1f);
  glScalef(1, 1.2f, 1);
  if (demoTime > 240) wireLayer.turn1 += 0.094f * f;
  glRotatef(wireLayer.turn1, 0, 1, 0);

  // Timer 1 only wraps; timer 2 picks new sizes, timer 3 a new brightness.
  wireLayer.timer1 += f;
  wireLayer.timer2 += f;
  wireLayer.timer3 += f;
  if (wireLayer.timer1 > 23.3) wireLayer.timer1 = 0;
  if (wireLayer.timer2 > 30) {
    wireLayer.timer2 = 0;
    wireLayer.size1 = static_cast<float>((RandomUnit() - 0.5) * 3.5);
    wireLayer.size2 = static_cast<float>((RandomUnit() - 0.5) * 3.2);
  }
  if (wireLayer.timer3 > 5) {
    wireLayer.timer3 = 0;
    wireLayer.brightness = static_cast<float>((RandomUnit() - 0.5) * 0.2 + 0.5);
  }

  if (demoTime < 300) {
    DrawWireIcosahedron(wireLayer.size2 + 1.4f);
    wireLayer.turn2 += 0.8f * f;
    glRotatef(wireLayer.turn2, 1, 0.3f, 0.4f);
    DrawWireIcosahedron(wireLayer.size1 + 1.3f);
    // Before 300 the brightness flickers every frame.
    wireLayer.brightness = static_cast<float>((RandomUnit() - 0.5) * 0.1 + 0.86);
  } else if (demoTime < 400) {
    DrawWireIcosahedron(wireLayer.size2 + 2.3f);
  } else if (demoTime < 630) {
    glRotatef(0.4f * demoTime, -0.3f, 0.4f, 0.4f);
    glScalef(4, 4, 4);
    glRotatef(130, 0, 1, 0.1f);
    DrawWireBody();  // in the colour set above
  }
  glPopMatrix();
}

void ApplyTurn(int turnIndex) {
  if (turnIndex >= 1 && turnIndex <= 3) glRotatef(90.0f * turnIndex, 0, 1, 0);
}

void DrawPulseFigures(float f) {
  // No push: the turn stays in force for the rest of the frame.
  ApplyTurn(director.turnIndexB);
  DrawTriangleNest(f);
  DrawRingPulse(f);
  DrawWideRingPulse(f);
  DrawTriangleFrame(f);
  DrawBeam(f);
  glEnable(GL_BLEND);
  glDisable(GL_DEPTH_TEST);
  glHint(GL_POLYGON_SMOOTH_HINT, GL_NICEST);
  DrawChevronPair(f);
  DrawSlidingChevron(f);
}
