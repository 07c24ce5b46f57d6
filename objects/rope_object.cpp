// Rope physics: construction from the C library's rand, the force pass with
// drag and core collision, the two integrator stages, the link limiter and
// the placing of the pinned roots.
#include <cmath>
#include <cstdlib>

#include "objects/rope_object.h"

namespace {
const Vec3d kGravity = {0, 0, 0};  // program-wide rope gravity; nothing changes it
constexpr double kStartRadius = 0.2;     // roots lie on this sphere
constexpr double kParticleSpacing = 0.027;
constexpr float kCoreRadius = 0.2f;      // PushFromCore acts inside it
constexpr float kCollisionRadius = 0.1f; // particles inside are thrown back out
constexpr double kDragReach = 0.14;

// A draw of rand() as a value 0 to 32767, whatever the library's RAND_MAX.
int Rand15() { return rand() & 0x7FFF; }
// A random component in [-0.5, 0.5].
float RandomComponent() { return float(Rand15()) / 32767.0f - 0.5f; }

bool IsPinned(const RopeParticle& p) { return (p.flags & kRopePinned) != 0; }

// a / |a|, or a unchanged when its length is 0.
Vec3d UnitOrSame(Vec3d a) { return Normalized(a); }
}  // namespace

CRopeObject::CRopeObject(float stiffness, float damping, float particleMass)
    : linkStiffness(stiffness), linkDamping(damping) {
  const int S = rows, N = chains;
  grid.assign(S, std::vector<RopeParticle*>(N + 1, nullptr));
  restCopies.assign(S, std::vector<RopeParticle>(N + 1));
  storage_.reset(new RopeParticle[size_t(S) * N]);

  for (int j = 0; j < N; ++j) {
    Vec3d dir;
    dir.x = RandomComponent();
    dir.y = RandomComponent();
    dir.z = RandomComponent();
    dir = UnitOrSame(dir);
    Vec3d position = dir * kStartRadius;
    for (int i = 0; i < S; ++i) {
      RopeParticle& p = storage_[size_t(i) * N + j];
      p.flags = 1;
      p.mass = particleMass;
      p.position = position;
      p.velocity.x = RandomComponent() * 0.05;
      p.velocity.y = RandomComponent() * 0.05;
      p.velocity.z = RandomComponent() * 0.05;
      grid[i][j] = &p;
      position += dir * kParticleSpacing;
    }
  }
  for (int i = 0; i < S; ++i)
    for (int j = 0; j < N; ++j) restCopies[i][j] = *grid[i][j];
  for (int j = 0; j < N; ++j) grid[0][j]->flags |= kRopePinned;
  for (int i = 0; i < S; ++i)
    for (int j = 0; j < N; ++j) restCopies[i][j] = *grid[i][j];

  links.reserve(size_t(S - 1) * N + size_t(S - 2) * N);
  auto addLink = [&](RopeParticle* a, RopeParticle* b) {
    links.push_back({a, b, linkStiffness, linkDamping, float(Length(a->position - b->position))});
  };
  for (int i = 0; i <= S - 2; ++i)
    for (int j = 0; j < N; ++j) addLink(grid[i][j], grid[i + 1][j]);
  for (int i = 0; i <= S - 3; ++i)
    for (int j = 0; j < N; ++j) addLink(grid[i][j], grid[i + 2][j]);

  centre[0] = centre[1] = centre[2] = 0;
  angleA = 0;
}

CRopeObject::~CRopeObject() {
  grid.clear();
  links.clear();
}

void CRopeObject::ComputeDirections() {
  const int S = rows, N = chains;
  for (int i = 1; i < S; ++i)
    for (int j = 0; j < N; ++j) {
      const Vec3d d = grid[i - 1][j]->position - grid[i][j]->position;
      grid[i][j]->direction = UnitOrSame(Vec3d{-d.y, d.z, double(float(d.x))});
    }
  for (int i = 1; i <= S - 2; ++i) {
    grid[i][0]->direction = grid[i][1]->direction;
    grid[i][N - 1]->direction = grid[i][N - 2]->direction;
  }
  for (int j = 1; j <= N - 2; ++j) {
    grid[0][j]->direction = grid[1][j]->direction;
    grid[S - 1][j]->direction = grid[S - 2][j]->direction;
  }
  auto corner = [&](int i, int j, int i1, int j1, int i2, int j2) {
    grid[i][j]->direction = UnitOrSame(grid[i1][j1]->direction + grid[i2][j2]->direction);
  };
  corner(0, 0, 1, 0, 0, 1);
  corner(0, N - 1, 0, N - 2, 1, N - 1);
  corner(S - 1, N - 1, S - 1, N - 2, S - 2, N - 1);
  corner(S - 1, 0, S - 1, 1, S - 2, 0);
}

void CRopeObject::AccumulateForces() {
  const size_t count = size_t(rows) * chains;
  RopeParticle* all = storage_.get();
  for (size_t k = 0; k < count; ++k)
    if (!IsPinned(all[k])) all[k].force = kGravity * all[k].mass;

  for (RopeLink& link : links) {
    RopeParticle& a = *link.first;
    RopeParticle& b = *link.second;
    const Vec3d d = a.position - b.position;
    const double length = Length(d);
    if (length == 0) continue;
    const Vec3d v = a.velocity - b.velocity;
    const float s = float(Dot(v, d) * link.damping / length +
                          (length - link.restLength) * link.stiffness);
    const Vec3d f = Vec3d{d.x / length, d.y / length, d.z / length} * s;
    b.force += f;
    a.force -= f;
  }

  ComputeDirections();

  for (size_t k = 0; k < count; ++k) {
    RopeParticle& p = all[k];
    if (IsPinned(p)) continue;
    const Vec3d n = p.direction;
    const Vec3d target = UnitOrSame(p.position) * kDragReach;
    p.force += n * Dot(n, target - p.velocity);
  }

  for (size_t k = 0; k < count; ++k) {
    RopeParticle& p = all[k];
    if (IsPinned(p)) continue;
    if (Length(p.position) < double(kCollisionRadius)) {
      p.position = UnitOrSame(p.position) * double(kCoreRadius);
      p.velocity = p.velocity * -1.0;
    }
  }
}

void CRopeObject::PushFromCore() {
  const size_t count = size_t(rows) * chains;
  RopeParticle* all = storage_.get();
  for (size_t k = 0; k < count; ++k) {
    RopeParticle& p = all[k];
    if (IsPinned(p) || !(Length(p.position) < double(kCoreRadius))) continue;
    const Vec3d r = UnitOrSame(p.position);
    p.force += (r * 0.2 * 1.02) * 1.2;
  }
}

void CRopeObject::StepPredict(float step) {
  const size_t count = size_t(rows) * chains;
  RopeParticle* all = storage_.get();
  for (size_t k = 0; k < count; ++k) {
    RopeParticle& p = all[k];
    if (IsPinned(p)) continue;
    const float inverseMass = 1.0f / p.mass;
    const Vec3d velocityChange = (p.force * inverseMass) * step;
    const Vec3d displacement = (p.velocity + velocityChange * 0.5) * step;
    p.savedVelocity = p.velocity;
    p.velocity += velocityChange * 0.5;
    p.savedPosition = p.position;
    p.position += displacement * 0.5;
  }
}

void CRopeObject::StepCorrect(float step) {
  const size_t count = size_t(rows) * chains;
  RopeParticle* all = storage_.get();
  for (size_t k = 0; k < count; ++k) {
    RopeParticle& p = all[k];
    if (IsPinned(p)) continue;
    const float inverseMass = 1.0f / p.mass;
    p.velocity = p.savedVelocity + (p.force * inverseMass) * step;
    p.position = p.savedPosition + p.velocity * step;
  }
}

void CRopeObject::LimitLink(RopeLink& link, int tolerancePercent) {
  RopeParticle& a = *link.first;
  RopeParticle& b = *link.second;
  const Vec3d d = b.position - a.position;
  const double length = Length(d);
  const float tolerance = link.restLength * float(tolerancePercent) / 100.0f;
  if (!(length - link.restLength > tolerance)) return;
  const double excess = length - (double(link.restLength) + tolerance);
  const Vec3d c = UnitOrSame(d) * (excess * 0.5);
  if (!IsPinned(a)) a.position += c;
  if (!IsPinned(b)) b.position -= c;
}

void CRopeObject::PlaceRoots() {
  const float ca = std::cos(angleA), sa = std::sin(angleA);
  const float cb = std::cos(angleB), sb = std::sin(angleB);
  for (int i = 0; i < 2; ++i)
    for (int j = 0; j < chains; ++j) {
      RopeParticle& p = *grid[i][j];
      if (!IsPinned(p)) continue;
      p = restCopies[i][j];
      const float x = float(p.position.x), y = float(p.position.y), z = float(p.position.z);
      const float x1 = ca * x - sa * y;
      const float y1 = sa * x + ca * y;
      const float x2 = cb * x1 + sb * z;
      const float z2 = cb * z - sb * x1;
      const float y3 = cb * y1 - sb * z2;
      const float z3 = sb * y1 + cb * z2;
      p.position.x = float(double(x2) + centre[0]);
      p.position.y = float(double(y3) + centre[1]);
      p.position.z = float(double(z3) + centre[2]);
    }
}
