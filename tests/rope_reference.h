// The rope step written plainly: every stage over all particles and links in
// list order, through the particles' pointers, exactly as the rope's rules
// read. The rope test checks the optimised step against it bit for bit and
// the benchmark times the two side by side.
#pragma once
#include <vector>

#include "objects/rope_object.h"

namespace rope_reference {
inline bool Pinned(const RopeParticle& p) { return (p.flags & kRopePinned) != 0; }

// The per-particle direction of the drawing frame: from the particle towards
// the one above it, as (-dy, dz, dx) with dx rounded to single precision,
// made unit; the border rows and chains copy their inner neighbour and the
// corners take the unit sum of their two neighbours.
inline std::vector<Vec3d> ReferenceDirections(const CRopeObject& r) {
  const int S = r.rows, N = r.chains;
  std::vector<Vec3d> dir(size_t(S) * N);
  auto at = [&](int i, int j) -> Vec3d& { return dir[size_t(i) * N + j]; };
  for (int i = 1; i < S; ++i)
    for (int j = 0; j < N; ++j) {
      const Vec3d d = r.grid[i - 1][j]->position - r.grid[i][j]->position;
      at(i, j) = Normalized({-d.y, d.z, double(float(d.x))});
    }
  for (int i = 1; i <= S - 2; ++i) at(i, 0) = at(i, 1), at(i, N - 1) = at(i, N - 2);
  for (int j = 1; j <= N - 2; ++j) at(0, j) = at(1, j), at(S - 1, j) = at(S - 2, j);
  at(0, 0) = Normalized(at(1, 0) + at(0, 1));
  at(0, N - 1) = Normalized(at(0, N - 2) + at(1, N - 1));
  at(S - 1, N - 1) = Normalized(at(S - 1, N - 2) + at(S - 2, N - 1));
  at(S - 1, 0) = Normalized(at(S - 1, 1) + at(S - 2, 0));
  return dir;
}

// One stage of the reference step. Forces: no gravity, damped link springs
// pulling each link's ends together, a drag towards 0.14 times the outward
// unit along the direction, a particle closer than 0.1 to the core put back
// at 0.2 on its ray with its velocity reversed, and inside 0.2 an outward push
// of 0.2 x 1.02 x 1.2. Then a half step (predict) or the full step from the
// saved state (correct), and the limiter: a link longer than its rest length
// plus tolerance percent is shortened to that, each free end taking half.
inline void ReferenceStage(CRopeObject& r, float step, bool correct) {
  for (auto& row : r.grid)
    for (RopeParticle* p : row)
      if (p && !Pinned(*p)) p->force = Vec3d{};
  for (RopeLink& link : r.links) {
    RopeParticle &a = *link.first, &b = *link.second;
    const Vec3d d = a.position - b.position;
    const double length = Length(d);
    if (length == 0) continue;
    const double inverse = 1.0 / length;
    const float s = float(Dot(a.velocity - b.velocity, d) * link.damping * inverse +
                          (length - link.restLength) * link.stiffness);
    b.force += d * (inverse * s);
    a.force -= d * (inverse * s);
  }
  const std::vector<Vec3d> dir = ReferenceDirections(r);
  for (int i = 0; i < r.rows; ++i)
    for (int j = 0; j < r.chains; ++j) {
      RopeParticle& p = *r.grid[i][j];
      p.direction = dir[size_t(i) * r.chains + j];
      if (Pinned(p)) continue;
      double distance = Length(p.position);
      Vec3d outward = distance != 0 ? p.position * (1.0 / distance) : p.position;
      p.force += p.direction * Dot(p.direction, outward * 0.14 - p.velocity);
      if (distance < double(0.1f)) {
        p.position = outward * double(0.2f);
        p.velocity = p.velocity * -1.0;
        distance = Length(p.position);
        outward = distance != 0 ? p.position * (1.0 / distance) : p.position;
      }
      if (distance < double(0.2f)) p.force += (outward * 0.2 * 1.02) * 1.2;
      const float inverseMass = 1.0f / p.mass;
      if (correct) {
        p.velocity = p.savedVelocity + (p.force * inverseMass) * step;
        p.position = p.savedPosition + p.velocity * step;
      } else {
        const Vec3d change = (p.force * inverseMass) * step;
        const Vec3d move = (p.velocity + change * 0.5) * step;
        p.savedVelocity = p.velocity;
        p.velocity += change * 0.5;
        p.savedPosition = p.position;
        p.position += move * 0.5;
      }
    }
  for (RopeLink& link : r.links) {
    RopeParticle &a = *link.first, &b = *link.second;
    const float tolerance = link.restLength * float(r.stretchTolerance) / 100.0f;
    const Vec3d d = b.position - a.position;
    const double length = Length(d);
    if (!(length - link.restLength > tolerance)) continue;
    const Vec3d c = d * ((length - (double(link.restLength) + tolerance)) * 0.5 / length);
    if (!Pinned(a)) a.position += c;
    if (!Pinned(b)) b.position -= c;
  }
}

// One whole reference step: the predicting stage, then the correcting one.
inline void ReferenceStep(CRopeObject& r, float step) {
  ReferenceStage(r, step, false);
  ReferenceStage(r, step, true);
}
}  // namespace rope_reference
