// Immediate-mode drawing of the simulated objects: the ropes as coloured lines
// or textured, shaded quads, the soft bodies as lit triangles, spring lines
// and points. The simulation classes know nothing of GL; these functions read
// their state.
#include "objects/object_draw.h"

#include "core/timeline.h"

#include <algorithm>

namespace {
const Vec3d kRopeLight = {0.2, -1.9, -0.6};  // light direction of the quad shading

void Normal(const Vec3d& n) { glNormal3f(float(n.x), float(n.y), float(n.z)); }
void Vertex(const Vec3d& p) { glVertex3f(float(p.x), float(p.y), float(p.z)); }

// Distance of a particle from the centre, past the core, times 3.
float Reach(const RopeParticle& p, const double centre[3]) {
  const Vec3d r = p.position - Vec3d{centre[0], centre[1], centre[2]};
  return float((Length(r) - 0.2) * 3.0);
}

// The two ends of every spring, inside a glBegin(GL_LINES).
void SpringVertices(const CSoftObject& body) {
  for (const Spring& s : body.springs) {
    const Vec3f& a = body.points[s.first].position;
    const Vec3f& b = body.points[s.second].position;
    glVertex3f(a.x, a.y, a.z);
    glVertex3f(b.x, b.y, b.z);
  }
}
}  // namespace

void DrawRope(const CRopeObject& rope, int mode, float demoTime, GLuint texture,
              const std::vector<Vec3d>* directions) {
  const int S = rope.rows, N = rope.chains;
  const auto& grid = rope.grid;
  std::vector<Vec3d> computed;
  if (mode == 1 && !directions) {
    computed = rope.Directions();
    directions = &computed;
  }
  // A particle's drawing normal: the given directions, else the stored ones.
  auto direction = [&](int i, int j) -> const Vec3d& {
    return directions ? (*directions)[size_t(i) * N + j] : grid[i][j]->direction;
  };
  glDisable(GL_LIGHTING);
  if (mode == 0) {
    glLineWidth(1.0f);
    if (demoTime < kIntroEnd) {
      glDisable(GL_TEXTURE_2D);
      glEnable(GL_BLEND);
      glBlendFunc(GL_SRC_COLOR, GL_DST_COLOR);
      glColor4f(0, 0, 0, 0);
      glBegin(GL_LINES);
      for (int j = 0; j < N; ++j)
        for (int i = 0; i <= S - 2; ++i) {
          Normal(direction(i, j));
          Vertex(grid[i][j]->position);
          Normal(direction(i + 1, j));
          Vertex(grid[i + 1][j]->position);
        }
      glEnd();
    } else {
      glEnable(GL_BLEND);
      glBlendFunc(GL_SRC_COLOR, GL_DST_COLOR);
      for (int j = 0; j < N; ++j) {
        const float t = float(j) / float(N);
        for (int i = 0; i <= S - 2; ++i) {
          const float h1 = Reach(*grid[i][j], rope.centre);
          const float h2 = Reach(*grid[i + 1][j], rope.centre);
          glLineWidth(std::max(3.0f - 3.0f * h1, kThinnestLineWidth));  // tips taper to a hairline
          glBegin(GL_LINE_STRIP);
          glColor4f(1.25f * h1 + 0.2f * t, 1.35f * h1 + 0.3f * t, 0.85f * h1 + 0.4f * t,
                    0.8f + 0.2f * t);
          Vertex(grid[i][j]->position);
          glColor4f(1.65f * h2 + 0.4f * t, 1.25f * h2 + 0.2f * t, 0.85f * h2 + 0.4f * t,
                    0.8f + 0.2f * t);
          Vertex(grid[i + 1][j]->position);
          glEnd();
        }
      }
    }
  } else if (mode == 1) {
    glShadeModel(GL_SMOOTH);
    glEnable(GL_CULL_FACE);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4f(1, 1, 1, 0.65f);
    glBindTexture(GL_TEXTURE_2D, texture);
    auto corner = [&](int i, int j) {
      const RopeParticle& p = *grid[i][j];
      const Vec3d& d = direction(i, j);
      const float g = float(Dot(kRopeLight, d) * 0.5 + 0.63) * 6.3f;
      Normal(d);
      glColor4f(g, g, g, 0.65f);
      glTexCoord2f(float(i) / float(S - 1), 1.0f - float(j) / float(N - 1));
      Vertex(p.position);
    };
    for (int j = 0; j <= N - 2; ++j)
      for (int i = 0; i <= S - 2; ++i) {
        glBegin(GL_QUADS);
        corner(i, j);
        corner(i + 1, j);
        corner(i + 1, j + 1);
        corner(i, j + 1);
        glEnd();
      }
    glDisable(GL_TEXTURE_2D);
  }
  glEnable(GL_LIGHTING);
}

void DrawSoftBody(const CSoftObject& body) {
  glEnable(GL_LIGHTING);
  glBegin(GL_TRIANGLES);
  for (const Triangle& t : body.triangles)
    for (int c : t.points) {
      const MassPoint& p = body.points[c];
      glNormal3f(p.normal.x, p.normal.y, p.normal.z);
      glVertex3f(p.position.x, p.position.y, p.position.z);
    }
  glEnd();

  glDisable(GL_LIGHTING);
  glLineWidth(0.2f);
  glBegin(GL_LINES);
  glColor3f(0.5f, 0.5f, 0.5f);
  SpringVertices(body);
  glEnd();

  glEnable(GL_LIGHTING);
  glColor3f(1, 0, 0);
  glBegin(GL_POINTS);
  for (const MassPoint& p : body.points) glVertex3f(p.position.x, p.position.y, p.position.z);
  glEnd();
}

void DrawSpringLines(const CSoftObject& body) {
  glDisable(GL_LIGHTING);
  glBegin(GL_LINES);
  SpringVertices(body);
  glEnd();
  glEnable(GL_LIGHTING);
}
