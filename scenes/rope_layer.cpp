// The rope layer: both rope objects with black balls at their centres, extra
// copies of ropeB picked by the director's rope draw mode, and the three line
// effects reaching out of the ropes (lightning to the point cloud and to the
// soft body, threads between the two ropes).
#include "core/gl.h"  // GLEW before any other GL header
#include <GL/freeglut.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "core/timeline.h"
#include "objects/object_draw.h"
#include "overlays/textures.h"
#include "scenes/layers.h"
#include "scenes/scene_steps.h"

namespace {
constexpr int kFirstLightningTarget = 1460;  // the cloud lightning aims at the last 40 stars
constexpr float kCloudLightningStart = 1278;
constexpr int kRopeTextureA = 38;  // ropeA's picture
constexpr int kRopeTextureB = 37;  // ropeB's, and the extra ropes' first and third

// A line width that GL accepts: the dark spot of the cloud lightning can ask for
// widths at or below 0, which become the thinnest line instead of leaving the
// previous segment's width in force.
void SetLineWidth(float width) { glLineWidth(std::max(width, kThinnestLineWidth)); }

// e(k): the fractional part of k x T, a ramp repeating every 1/k tenths.
float Ramp(float k, float t) {
  const float x = k * t;
  return x - std::floor(x);
}


// One GL_LINES segment from e to s.
void Segment(const Vec3d& e, const Vec3d& s) {
  glBegin(GL_LINES);
  glVertex3f(float(e.x), float(e.y), float(e.z));
  glVertex3f(float(s.x), float(s.y), float(s.z));
  glEnd();
}

// The second-to-last particle of chain j, the point every effect leaves from.
Vec3d ChainTip(const CRopeObject& rope, int j) { return rope.grid[rope.rows - 2][j]->position; }

// Depth-tested, unlit, alpha-blended lines with culling off; shared start of
// the three effects.
void BeginEffectLines() {
  glEnable(GL_DEPTH_TEST);
  glDisable(GL_CULL_FACE);
  glDisable(GL_LIGHTING);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
}

// The rope frame: stretched 1.4 in y and turned by the director's three angles.
void ApplyRopeFrame(const DirectorState& director) {
  glScalef(1, 1.4f, 1);
  glRotatef(director.angleAB, 1, 0, 0);
  glRotatef(director.angleCD, 0, 1, 0);
  glRotatef(director.angleEF, 0, 0, 1);
}

// A rope's centre ball frame: moved to its centre, turned by angle a taken as degrees.
void ApplyCentreFrame(const CRopeObject& rope) {
  glTranslatef(float(rope.centre[0]), float(rope.centre[1]), float(rope.centre[2]));
  glRotatef(rope.angleA, 1, 0, 0);
}

// The path point of a bending effect at parameter t: it leaves p slowly
// ((1 - t)^(4t) stays near 1 at first) and reaches q at t = 1.
Vec3d BentPath(const Vec3d& p, const Vec3d& q, float t) {
  const double g = std::pow(1.0 - t, 4.0 * t);
  return p * g + q * double(t);
}

// The black ball at ropeA's centre; its frame stays in force afterwards.
void DrawCentreBallA(const CRopeObject& ropeA) {
  ApplyCentreFrame(ropeA);
  glColor4f(0, 0, 0, 1);
  glDisable(GL_LINE_SMOOTH);
  glDisable(GL_LIGHTING);
  glDisable(GL_TEXTURE_2D);
  glutSolidSphere(0.2, 32, 32);
  glEnable(GL_LIGHTING);
  glEnable(GL_TEXTURE_2D);
  glEnable(GL_LINE_SMOOTH);
}

// The ball at ropeB's centre, drawn inside ropeA's ball frame, so it follows both centres.
void DrawCentreBallB(const DirectorState& director, const CRopeObject& ropeB, float t) {
  glPushMatrix();
  glColor4f(0, 0, 0, 1);
  ApplyRopeFrame(director);
  ApplyCentreFrame(ropeB);
  glColor4f(0, 0, 0, 1);
  glDisable(GL_LINE_SMOOTH);
  if (t > 1000) {
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glutSolidSphere(0.218, 32, 32);
    glEnable(GL_LIGHTING);
    glEnable(GL_TEXTURE_2D);
  }
  glEnable(GL_LINE_SMOOTH);
  glPopMatrix();
}

// One rope as the layer draws it, perhaps several times: once a textured
// draw has computed its normals from the positions, its later draws in the
// frame take those.
struct RopeDraw {
  explicit RopeDraw(const CRopeObject& drawn) : rope(drawn) {}

  const CRopeObject& rope;
  std::vector<Vec3d> directions;
  bool computed = false;

  void Draw(int mode, float t, GLuint texture) {
    if (mode == 1 && !computed) {
      directions = rope.Directions();
      computed = true;
    }
    DrawRope(rope, mode, t, texture, computed ? &directions : nullptr);
  }
};

// Extra copies of ropeB in (1400, 1700), picked by the rope draw mode 1 to 3.
void DrawExtraRopes(const DirectorState& director, RopeDraw& ropeB, float t) {
  const int mode = director.ropeDrawMode;
  if (!(t > 1400 && t < 1700) || mode == 0) return;
  glPushMatrix();
  ApplyRopeFrame(director);
  if (mode == 1) ropeB.Draw(director.ropeDrawFlag, t, pictures.table[kRopeTextureB]);
  if (mode == 2 && t > 1300) {  // always true inside the window
    glTranslatef(-0.03f, 0, 0);
    glRotatef(20, 0.02f, 0.03f, 0.05f);
    ropeB.Draw(director.ropeDrawFlag, t, pictures.table[kRopeTextureA]);
  }
  if (mode == 3 && t > 1500) {
    glTranslatef(0.04f, 0, 0);
    glRotatef(-20, -0.02f, 0.03f, 0.05f);
    // the other look of the two
    ropeB.Draw(1 - director.ropeDrawFlag, t, pictures.table[kRopeTextureB]);
    glColor4f(1, 1, 1, 1);
  }
  glPopMatrix();
}
}  // namespace

void DrawRopeLayer(const ShowState& show, float t, double exact) {
  const DirectorState& director = show.director;
  const CRopeObject& ropeA = show.ropeA;
  const CRopeObject& ropeB = show.ropeB;
  glPushMatrix();
  if (kLoweredRopeWindow.Holds(t)) glTranslatef(0, -0.4f, 0);
  if (!RopeBodyShows(t)) {
    glPopMatrix();
    return;
  }
  glColor4f(0, 0, 0, 1);
  ApplyRopeFrame(director);
  if (exact > kCloudLightningStart && exact < 1292) {
    DrawCloudLightning(ropeA, show.pointCloud, director, t);
    DrawCloudLightning(ropeB, show.pointCloud, director, t);
  }
  // The flickering effects draw from a copy of the generator the step kept.
  Mt19937State flicker = show.plan.effectFlicker;
  if (BodyLightningShows(t)) DrawBodyLightning(ropeA, show.softBody, director, flicker, t);
  if (ThreadsShow(t)) DrawThreads(ropeA, ropeB, director, flicker, t);
  glDisable(GL_TEXTURE_2D);
  glColor4f(0, 0, 0, 1);
  glEnable(GL_DEPTH_TEST);
  RopeDraw drawA(ropeA), drawB(ropeB);
  drawB.Draw(director.ropeDrawFlag, t, pictures.table[kRopeTextureB]);
  drawA.Draw(director.ropeDrawFlag, t, pictures.table[kRopeTextureA]);
  DrawCentreBallA(ropeA);
  if (director.ropeDrawMode == 1) DrawCentreBallB(director, ropeB, t);
  DrawExtraRopes(director, drawB, t);
  if (t > 1350) {  // ropeA again, inside the centre ball's frame: a shifted twin
    glPushMatrix();
    ApplyRopeFrame(director);
    drawA.Draw(director.ropeDrawFlag, t, pictures.table[kRopeTextureA]);
    glColor4f(0, 0, 0, 1);
    glPopMatrix();
  }
  glPopMatrix();
}

void DrawCloudLightning(const CRopeObject& rope, const PointCloudState& cloud,
                        const DirectorState& director, float t) {
  glDisable(GL_TEXTURE_2D);
  BeginEffectLines();
  const int chains = rope.chains, stride = chains / 3;
  const bool effect = director.effectSwitch != 0;
  // With the effect switch on a dark narrow spot runs along the bolts once
  // per 25 tenths; inside the layer's window it stays beyond their reach.
  const float spot = Ramp(0.04f, t);
  const float reach = std::pow((t - kCloudLightningStart) / 165 - 1, 3.0f) + 1;
  for (int q = kFirstLightningTarget; q < kCloudPoints; ++q) {
    const Vec3d target = {cloud.positions[q][0], cloud.positions[q][1], cloud.positions[q][2]};
    for (int j = 0; j < chains; j += stride) {
      const Vec3d tip = ChainTip(rope, j);
      const Vec3d p = {float(tip.x), float(tip.y), float(tip.z)};
      Vec3d s = p;
      if (reach > 0) {
        // Straight bolt towards the star, one segment per 0.01; the first has zero length.
        for (float u = 0; u < reach;) {
          const Vec3d e = p * (1.0 - u) + target * double(u);
          const float v = effect ? 0.98f - 2 * std::exp(-1000 * (u - spot) * (u - spot)) : 0.98f;
          SetLineWidth(effect ? 2 * v : 2);
          glColor4f(v, v, v, 0.96f);
          Segment(e, s);
          u = NextPathStep(u, 0.01);
          if (u < reach) s = e;
        }
      }
      // The ball at the bolt's head, one step behind its tip.
      glDisable(GL_LINE_SMOOTH);
      glDisable(GL_LIGHTING);
      glDisable(GL_TEXTURE_2D);
      glPushMatrix();
      const Vec3d& head = reach == 1 ? target : s;
      glTranslatef(float(head.x), float(head.y), float(head.z));
      glutSolidSphere(0.05, 16, 16);
      glPopMatrix();
      glEnable(GL_LIGHTING);
      glEnable(GL_TEXTURE_2D);
      glEnable(GL_LINE_SMOOTH);
    }
  }
  glEnable(GL_LIGHTING);
}

void DrawBodyLightning(const CRopeObject& rope, const CSoftObject& body,
                       const DirectorState& director, Mt19937State& flicker, float t) {
  glEnable(GL_DEPTH_TEST);
  glDisable(GL_CULL_FACE);
  glDisable(GL_LIGHTING);
  glDisable(GL_TEXTURE_2D);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  const bool effect = director.effectSwitch != 0;
  const float pulse = Ramp(0.04f, t);
  const float reach = BodyLightningReach(t);
  const int bodyPoints = static_cast<int>(body.points.size());
  for (int j = 0; j < rope.chains && j < bodyPoints; j += 3) {
    const Vec3d p = ChainTip(rope, j);
    const Vec3f& mass = body.points[j].position;
    const Vec3d q = Vec3d{mass.x, mass.y, mass.z} * 2.0;
    Vec3d s = p;
    for (float u = 0; u < reach; u = NextPathStep(u, 0.0025)) {
      const Vec3d e = BentPath(p, q, u);
      float a;
      if (effect) {  // a bright pulse runs along every bolt
        a = 2 * std::exp(-1000 * (u - pulse) * (u - pulse)) + 0.6f;
        SetLineWidth(2 * a);
      } else {  // a flicker, one draw per segment
        a = 0.9f + 0.1f * static_cast<float>(RandomUnit(flicker));
        SetLineWidth(2);
      }
      glColor4f(1, 1, 1, a);
      Segment(e, s);
      s = e;
    }
  }
  glEnable(GL_LIGHTING);
}

void DrawThreads(const CRopeObject& first, const CRopeObject& second,
                 const DirectorState& director, Mt19937State& flicker, float t) {
  BeginEffectLines();
  const bool effect = director.effectSwitch != 0;
  const float pulse = Ramp(0.07f, t);
  for (int j = 0; j < first.chains; j += 3) {
    const Vec3d p = ChainTip(first, j);
    const Vec3d q = second.grid[first.rows - 2][j]->position;
    glDisable(GL_TEXTURE_2D);
    // The threads grow out of the first rope over 65 tenths, fast at first.
    const float grown = ThreadsReach(t);
    Vec3d s = p;
    if (grown > 0) {
      for (float u = 0; u < grown; u = NextPathStep(u, 0.01)) {
        const Vec3d e = BentPath(p, q, u);
        float b;
        if (effect) {
          b = 2 * std::exp(-500 * (u - pulse) * (u - pulse)) + 0.9f;
          SetLineWidth(2 * b);
        } else {
          b = 0.9f + 0.1f * static_cast<float>(RandomUnit(flicker));
          SetLineWidth(2);
        }
        glColor4f(b, b, b, b);
        Segment(e, s);
        s = e;
      }
    }
  }
  glEnable(GL_LIGHTING);
}
