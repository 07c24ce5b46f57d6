// Soft-body physics: construction, the force pass with gas pressure, the
// explicit and Heun steps with their walls, and the stretch limiter.
#include <cmath>

#include "objects/soft_object.h"

namespace {
constexpr float kWall = 4.5f;        // walls at x, z = +-4.5 and the floor at y = -4.5
constexpr float kBounce = -0.6f;     // velocity factor of a wall hit
constexpr float kThird = 0.333f;     // share of a face normal in each corner's normal
}  // namespace

CSoftObject::CSoftObject(float offsetX, float offsetY, float offsetZ, float stiffness,
                         float damping, const char* path, float pressureConstant_, float scale,
                         float pointMass)
    : pressureConstant(pressureConstant_) {
  LoadObject(offsetX, offsetY, offsetZ, stiffness, damping, path, scale, pointMass);
  // The weight map decides what moves: weight is the inverse mass.
  for (MassPoint& p : points) p.inverseMass = p.weight != 0 ? p.weight : 0.0f;
  // The first fifth of the points is pinned in place.
  const size_t pinned = points.size() / 5;
  for (size_t i = 0; i < pinned; ++i) {
    points[i].mass = 0;
    points[i].inverseMass = 0;
  }
}

void CSoftObject::AccumulateForces() {
  for (MassPoint& p : points) p.force = Vec3f{};
  for (MassPoint& p : points) p.force += gravity * p.mass;

  for (const Spring& s : springs) {
    MassPoint& a = points[s.first];
    MassPoint& b = points[s.second];
    const Vec3f d = a.position - b.position;
    const float length = Length(d);
    if (length == 0) continue;
    const Vec3f v = a.velocity - b.velocity;
    const float scalar = (length - s.restLength) * s.stiffness + Dot(v, d) * s.damping / length;
    const Vec3f f = Vec3f{d.x / length, d.y / length, d.z / length} * scalar;
    a.force += f * -1.0f;
    b.force += f;
  }

  for (const Triangle& t : triangles)
    for (int c : t.points) points[c].normal = Vec3f{};

  for (Triangle& t : triangles) {
    const Vec3f a = points[t.points[0]].position;
    const Vec3f n = Cross(a - points[t.points[1]].position, a - points[t.points[2]].position);
    t.crossLength = Length(n);
    t.normal = t.crossLength != 0 ? n * (1.0f / t.crossLength) : n;
    for (int c : t.points) points[c].normal += t.normal * kThird;
  }

  for (const Triangle& t : triangles)
    for (int c : t.points) {
      Vec3f& n = points[c].normal;
      const float length = Length(n);
      if (length != 0) n = n * (1.0f / length);
    }

  // Enclosed volume by the divergence theorem (twice the volume, since the
  // cross length is twice the area); its sign follows the winding.
  float sum = 0;
  for (const Triangle& t : triangles) {
    const float x = points[t.points[0]].position.x + points[t.points[1]].position.x +
                    points[t.points[2]].position.x;
    sum = float(double(sum) + double(x) * 0.333 * double(t.normal.x) * double(t.crossLength));
  }
  volume = sum;
  inverseVolume = 1.0f / volume;

  for (Triangle& t : triangles) t.pressureForce = t.crossLength * pressureConstant * inverseVolume;
  for (const Triangle& t : triangles)
    for (int c : t.points) points[c].force += points[c].normal * t.pressureForce;
}

// One explicit Euler step of every point, without walls or limiter.
void CSoftObject::ExplicitStep(float step) {
  for (MassPoint& p : points) {
    p.velocityChange = p.force * p.inverseMass * step;
    p.velocity += p.velocityChange;
    p.displacement = p.velocity * step;
    p.position += p.displacement;
  }
}

void CSoftObject::Integrate(int mode, float step) {
  if (mode == 0) {
    ExplicitStep(step);
  } else if (mode == 1) {
    savedPoints = points;  // reuses the saved array's storage
    ExplicitStep(step);
    LimitStretch();
    AccumulateForces();
    const size_t n = points.size();
    for (size_t i = 0; i < n; ++i) {
      points[i].velocity = savedPoints[i].velocity;
      points[i].position = savedPoints[i].position;
    }
    for (size_t i = 0; i < n; ++i) {
      MassPoint& p = points[i];
      p.velocity += (p.force + savedPoints[i].force) * (p.inverseMass * (step * 0.5f));
      p.position += p.velocity * step;
      if (p.position.y < -kWall) {
        p.position.y = -kWall;
        p.velocity = p.velocity * kBounce;
      }
      if (p.position.x < -kWall) {
        p.position.x = -kWall;
        p.velocity.x *= kBounce;
      }
      if (p.position.x > kWall) {
        p.position.x = kWall;
        p.velocity.x *= kBounce;
      }
      if (p.position.z < -kWall) {
        p.position.z = -kWall;
        p.velocity.z *= kBounce;
      }
      if (p.position.z > kWall) {
        p.position.z = kWall;
        p.velocity.z *= kBounce;
      }
    }
  }
  LimitStretch();
}

void CSoftObject::LimitStretch() {
  for (const Spring& s : springs) {
    MassPoint& a = points[s.first];
    MassPoint& b = points[s.second];
    Vec3f d = a.position - b.position;
    const float length = Length(d);
    const float deviation = float(std::fabs(double(length) - double(s.restLength)));
    if (!(deviation > s.maxDeviation)) continue;
    const float excess = deviation - s.maxDeviation;
    if (length != 0) d = Vec3f{d.x / length, d.y / length, d.z / length};
    const Vec3f c = d * (excess * 0.5f);
    if (a.mass != 0) a.position -= c;
    if (b.mass != 0) b.position += c;
  }
}
