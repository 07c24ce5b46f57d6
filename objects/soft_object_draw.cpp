// Immediate-mode drawing of the soft bodies.
#include "objects/soft_object.h"
#include "render/gl.h"

void CSoftObject::Draw() {
  glEnable(GL_LIGHTING);
  glBegin(GL_TRIANGLES);
  for (const Triangle& t : triangles)
    for (int c : t.points) {
      const MassPoint& p = points[c];
      glNormal3f(p.normal.x, p.normal.y, p.normal.z);
      glVertex3f(p.position.x, p.position.y, p.position.z);
    }
  glEnd();

  glDisable(GL_LIGHTING);
  glLineWidth(0.2f);
  glBegin(GL_LINES);
  glColor3f(0.5f, 0.5f, 0.5f);
  for (const Spring& s : springs) {
    const Vec3f& a = points[s.first].position;
    const Vec3f& b = points[s.second].position;
    glVertex3f(a.x, a.y, a.z);
    glVertex3f(b.x, b.y, b.z);
  }
  glEnd();

  glEnable(GL_LIGHTING);
  glColor3f(1, 0, 0);
  glBegin(GL_POINTS);
  for (const MassPoint& p : points) glVertex3f(p.position.x, p.position.y, p.position.z);
  glEnd();
}

void DrawSpringLines(const CSoftObject& body) {
  glDisable(GL_LIGHTING);
  glBegin(GL_LINES);
  for (const Spring& s : body.springs) {
    const Vec3f& a = body.points[s.first].position;
    const Vec3f& b = body.points[s.second].position;
    glVertex3f(a.x, a.y, a.z);
    glVertex3f(b.x, b.y, b.z);
  }
  glEnd();
  glEnable(GL_LIGHTING);
}
