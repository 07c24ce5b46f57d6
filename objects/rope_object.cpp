// Rope physics: construction from the C library's rand, the force pass with
// drag and core collision, the two integrator stages, the link limiter and
// the placing of the pinned roots.
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "objects/rope_object.h"

#include "core/random.h"

namespace {
const Vec3d kGravity = {0, 0, 0};  // program-wide rope gravity; nothing changes it
constexpr double kStartRadius = 0.2;     // roots lie on this sphere
constexpr double kParticleSpacing = 0.027;
constexpr float kCoreRadius = 0.2f;      // the core push acts inside it
constexpr float kCollisionRadius = 0.1f; // particles inside are thrown back out
constexpr double kDragReach = 0.14;

// A random component in [-0.5, 0.5].
float RandomComponent(LibcRandom& random) { return float(Rand15(random)) / 32767.0f - 0.5f; }

bool IsPinned(const RopeParticle& p) { return (p.flags & kRopePinned) != 0; }

// a / |a|, or a unchanged when its length is 0.
Vec3d UnitOrSame(Vec3d a) { return Normalized(a); }

// The damped spring force of one link, added to its second particle and
// taken from its first.
inline void ApplyLinkForce(RopeLink& link) {
  RopeParticle& a = *link.first;
  RopeParticle& b = *link.second;
  const Vec3d d = a.position - b.position;
  const double length = Length(d);
  if (length == 0) return;
  const double inverseLength = 1.0 / length;
  const Vec3d v = a.velocity - b.velocity;
  const float s = float(Dot(v, d) * link.damping * inverseLength +
                        (length - link.restLength) * link.stiffness);
  const Vec3d f = d * (inverseLength * s);
  b.force += f;
  a.force -= f;
}

// Direction of a particle from the one above it in its chain.
inline Vec3d DirectionBelow(const RopeParticle& above, const RopeParticle& p) {
  const Vec3d d = above.position - p.position;
  return UnitOrSame(Vec3d{-d.y, d.z, double(float(d.x))});
}

// Drag along the direction and the core collision of one free particle,
// then the core push; the distance from the core is shared while the
// collision leaves the position alone.
inline void ApplyCoreForces(RopeParticle& p) {
  double distance = Length(p.position);
  Vec3d outward = distance != 0 ? p.position * (1.0 / distance) : p.position;
  const Vec3d n = p.direction;
  p.force += n * Dot(n, outward * kDragReach - p.velocity);
  if (distance < double(kCollisionRadius)) {
    p.position = outward * double(kCoreRadius);
    p.velocity = p.velocity * -1.0;
    distance = Length(p.position);
    outward = distance != 0 ? p.position * (1.0 / distance) : p.position;
  }
  if (distance < double(kCoreRadius)) p.force += (outward * 0.2 * 1.02) * 1.2;
}

// First integrator stage of one free particle.
inline void PredictParticle(RopeParticle& p, float step, float inverseMass) {
  const Vec3d velocityChange = (p.force * inverseMass) * step;
  const Vec3d displacement = (p.velocity + velocityChange * 0.5) * step;
  p.savedVelocity = p.velocity;
  p.velocity += velocityChange * 0.5;
  p.savedPosition = p.position;
  p.position += displacement * 0.5;
}

// Second integrator stage of one free particle.
inline void CorrectParticle(RopeParticle& p, float step, float inverseMass) {
  p.velocity = p.savedVelocity + (p.force * inverseMass) * step;
  p.position = p.savedPosition + p.velocity * step;
}

// The limiter on one link: a link stretched beyond its rest length plus the
// tolerance (in length units) is pulled back to it, each free end moving by
// half the excess. A link whose squared length is below its squared reach
// (see LinkReachSquared) cannot exceed the tolerance, so the square root is
// only taken for links that may need correcting.
inline void LimitLinkWithin(RopeLink& link, float tolerance, double reachSquared) {
  RopeParticle& a = *link.first;
  RopeParticle& b = *link.second;
  const Vec3d d = b.position - a.position;
  const double lengthSquared = Dot(d, d);
  if (lengthSquared < reachSquared) return;
  const double length = std::sqrt(lengthSquared);
  if (!(length - link.restLength > tolerance)) return;
  const double excess = length - (double(link.restLength) + tolerance);
  const Vec3d c = d * (excess * 0.5 / length);  // length > 0 here
  if (!IsPinned(a)) a.position += c;
  if (!IsPinned(b)) b.position -= c;
}

// A squared length below which a link is certainly within rest length plus
// tolerance: the reach shortened by a margin (1e-9 relative) far larger than
// the rounding of the square root and of the limiter's own comparison.
inline double LinkReachSquared(float restLength, float tolerance) {
  const double reach = (double(restLength) + double(tolerance)) * (1 - 1e-9);
  return reach > 0 ? reach * reach : 0;
}

// The limiter's tolerance for a link: tolerancePercent of its rest length.
inline float LinkTolerance(const RopeLink& link, int tolerancePercent) {
  return link.restLength * float(tolerancePercent) / 100.0f;
}
}  // namespace

CRopeObject::CRopeObject(float stiffness, float damping, float particleMass, LibcRandom& random)
    : linkStiffness(stiffness), linkDamping(damping) {
  const int S = rows, N = chains;
  grid.assign(S, std::vector<RopeParticle*>(N + 1, nullptr));
  restCopies.assign(S, std::vector<RopeParticle>(N + 1));
  storage_.reset(new RopeParticle[size_t(S) * N]);

  for (int j = 0; j < N; ++j) {
    Vec3d dir;
    dir.x = RandomComponent(random);
    dir.y = RandomComponent(random);
    dir.z = RandomComponent(random);
    dir = UnitOrSame(dir);
    Vec3d position = dir * kStartRadius;
    for (int i = 0; i < S; ++i) {
      RopeParticle& p = storage_[size_t(i) * N + j];
      p.flags = 1;
      p.mass = particleMass;
      p.position = position;
      p.velocity.x = RandomComponent(random) * 0.05;
      p.velocity.y = RandomComponent(random) * 0.05;
      p.velocity.z = RandomComponent(random) * 0.05;
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

CRopeObject::CRopeObject(const CRopeObject& other) { *this = other; }

CRopeObject& CRopeObject::operator=(const CRopeObject& other) {
  if (this == &other) return *this;
  rows = other.rows;
  chains = other.chains;
  linkStiffness = other.linkStiffness;
  linkDamping = other.linkDamping;
  stretchTolerance = other.stretchTolerance;
  restCopies = other.restCopies;
  std::copy(other.centre, other.centre + 3, centre);
  angleA = other.angleA;
  angleB = other.angleB;
  limits_ = other.limits_;
  limitPercent_ = other.limitPercent_;
  const size_t count = size_t(rows) * chains;
  storage_.reset(new RopeParticle[count]);
  std::copy(other.storage_.get(), other.storage_.get() + count, storage_.get());
  // The same places in this rope's own particles.
  auto rebase = [&](RopeParticle* p) {
    return p ? storage_.get() + (p - other.storage_.get()) : nullptr;
  };
  grid = other.grid;
  for (auto& row : grid)
    for (RopeParticle*& p : row) p = rebase(p);
  links = other.links;
  for (RopeLink& link : links) {
    link.first = rebase(link.first);
    link.second = rebase(link.second);
  }
  return *this;
}

std::vector<Vec3d> CRopeObject::Directions() const {
  const int S = rows, N = chains;
  std::vector<Vec3d> d(size_t(S) * N);
  auto at = [&](int i, int j) -> Vec3d& { return d[size_t(i) * N + j]; };
  for (int i = 1; i < S; ++i)
    for (int j = 0; j < N; ++j) at(i, j) = DirectionBelow(*grid[i - 1][j], *grid[i][j]);
  for (int i = 1; i <= S - 2; ++i) {
    at(i, 0) = at(i, 1);
    at(i, N - 1) = at(i, N - 2);
  }
  for (int j = 1; j <= N - 2; ++j) {
    at(0, j) = at(1, j);
    at(S - 1, j) = at(S - 2, j);
  }
  auto corner = [&](int i, int j, int i1, int j1, int i2, int j2) {
    at(i, j) = UnitOrSame(at(i1, j1) + at(i2, j2));
  };
  corner(0, 0, 1, 0, 0, 1);
  corner(0, N - 1, 0, N - 2, 1, N - 1);
  corner(S - 1, N - 1, S - 1, N - 2, S - 2, N - 1);
  corner(S - 1, 0, S - 1, 1, S - 2, 0);
  return d;
}

void CRopeObject::ComputeDirections() {
  const std::vector<Vec3d> d = Directions();
  for (int i = 0; i < rows; ++i)
    for (int j = 0; j < chains; ++j) grid[i][j]->direction = d[size_t(i) * chains + j];
}

// Links join particles of one chain only, and the only thing one chain takes
// from another is the copied direction of the first and last chain. A block
// of neighbouring chains that holds those pairs can therefore run both
// stages by itself: every particle sees the same operations in the same
// order as in the pass-by-pass sequence, while the block stays in the cache.
// Inside a block the work goes row by row across its chains, so that the
// limiter's links, which depend on each other along a chain, interleave.
void CRopeObject::AdvanceStep(float step) {
  const int N = chains;
  if (limitPercent_ != stretchTolerance || limits_.size() != links.size()) {
    limitPercent_ = stretchTolerance;
    limits_.resize(links.size());
    for (size_t k = 0; k < links.size(); ++k) {
      const float tolerance = LinkTolerance(links[k], limitPercent_);
      limits_[k] = {tolerance, LinkReachSquared(links[k].restLength, tolerance)};
    }
  }
  for (int j0 = 0; j0 < N;) {
    int j1 = std::min(N, j0 + kStepBlock);
    if (N - j1 < 2) j1 = N;  // the last chain stays with its neighbour
    AdvanceBlock(j0, j1, step, false);
    AdvanceBlock(j0, j1, step, true);
    j0 = j1;
  }
}

void CRopeObject::AdvanceBlock(int j0, int j1, float step, bool correct) {
  const int S = rows, N = chains;
  RopeParticle* all = storage_.get();
  auto at = [&](int i, int j) -> RopeParticle& { return all[size_t(i) * N + j]; };
  RopeLink* neighbourLinks = links.data();  // row i, chain j at i N + j
  RopeLink* skipLinks = neighbourLinks + size_t(S - 1) * N;

  // Force pass: gravity, link forces in list order.
  for (int i = 0; i < S; ++i)
    for (int j = j0; j < j1; ++j) {
      RopeParticle& p = at(i, j);
      if (!IsPinned(p)) p.force = kGravity * p.mass;
    }
  for (int i = 0; i <= S - 2; ++i)
    for (int j = j0; j < j1; ++j) ApplyLinkForce(neighbourLinks[size_t(i) * N + j]);
  for (int i = 0; i <= S - 3; ++i)
    for (int j = j0; j < j1; ++j) ApplyLinkForce(skipLinks[size_t(i) * N + j]);

  // Directions: only those the edge copies do not overwrite are computed.
  const int inner0 = std::max(j0, 1), inner1 = std::min(j1, N - 1);
  for (int i = 1; i <= S - 2; ++i)
    for (int j = inner0; j < inner1; ++j) at(i, j).direction = DirectionBelow(at(i - 1, j), at(i, j));
  for (int i = 1; i <= S - 2; ++i) {
    if (j0 == 0) at(i, 0).direction = at(i, 1).direction;
    if (j1 == N) at(i, N - 1).direction = at(i, N - 2).direction;
  }
  for (int j = inner0; j < inner1; ++j) {
    at(0, j).direction = at(1, j).direction;
    at(S - 1, j).direction = at(S - 2, j).direction;
  }
  if (j0 == 0) {
    at(0, 0).direction = UnitOrSame(at(1, 0).direction + at(0, 1).direction);
    at(S - 1, 0).direction = UnitOrSame(at(S - 1, 1).direction + at(S - 2, 0).direction);
  }
  if (j1 == N) {
    at(0, N - 1).direction = UnitOrSame(at(0, N - 2).direction + at(1, N - 1).direction);
    at(S - 1, N - 1).direction =
        UnitOrSame(at(S - 1, N - 2).direction + at(S - 2, N - 1).direction);
  }

  // Drag, core collision, core push and the integrator stage, per particle;
  // 1 / mass is taken once while the mass stays the same.
  float mass = 0, inverseMass = 1.0f / mass;
  for (int i = 0; i < S; ++i)
    for (int j = j0; j < j1; ++j) {
      RopeParticle& p = at(i, j);
      if (IsPinned(p)) continue;
      ApplyCoreForces(p);
      if (p.mass != mass) {
        mass = p.mass;
        inverseMass = 1.0f / mass;
      }
      if (correct)
        CorrectParticle(p, step, inverseMass);
      else
        PredictParticle(p, step, inverseMass);
    }

  // The limiter, links in list order.
  const LinkLimit* neighbourLimits = limits_.data();
  const LinkLimit* skipLimits = neighbourLimits + size_t(S - 1) * N;
  for (int i = 0; i <= S - 2; ++i)
    for (int j = j0; j < j1; ++j) {
      const LinkLimit& limit = neighbourLimits[size_t(i) * N + j];
      LimitLinkWithin(neighbourLinks[size_t(i) * N + j], limit.tolerance, limit.reachSquared);
    }
  for (int i = 0; i <= S - 3; ++i)
    for (int j = j0; j < j1; ++j) {
      const LinkLimit& limit = skipLimits[size_t(i) * N + j];
      LimitLinkWithin(skipLinks[size_t(i) * N + j], limit.tolerance, limit.reachSquared);
    }
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
