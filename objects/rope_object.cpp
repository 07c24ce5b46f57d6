// Rope physics: construction from the C library's rand, the force pass with
// drag and core collision, the two integrator stages, the link limiter and
// the placing of the pinned roots. The step runs several chains at once in
// vector lanes (objects/rope_step_lanes.h), four with AVX2 where the
// processor has it, else two with SSE2.
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <vector>

#if defined(__x86_64__)
#include <immintrin.h>
#elif defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "objects/rope_object.h"

#include "core/random.h"

namespace {
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

// Direction of a particle from the one above it in its chain.
inline Vec3d DirectionBelow(const RopeParticle& above, const RopeParticle& p) {
  const Vec3d d = above.position - p.position;
  return UnitOrSame(Vec3d{-d.y, d.z, double(float(d.x))});
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

// A particle's state from position to saved velocity: doubles in a row.
constexpr int kStateDoubles = 18;
static_assert(offsetof(RopeParticle, savedVelocity) + sizeof(Vec3d) - offsetof(RopeParticle, position) ==
                  kStateDoubles * sizeof(double),
              "a particle's state is kStateDoubles doubles in a row");

// What the lane kernels read and write of a rope.
struct RopeChains {
  RopeParticle* particles;       // row by row
  const RopeLink* links;         // neighbour links row by row, then the skip-one links
  const RopeLinkLimit* limits;   // per link, in list order
  int rows, chains, blockWidth;  // blockWidth: chains per block
};

// The kernel for two lanes of SSE2, which every x86-64 has (elsewhere the
// same two lanes in plain vector code).
namespace lanes2 {
constexpr int kLanes = 2;
typedef double Lanes __attribute__((vector_size(kLanes * sizeof(double))));
typedef float FloatLanes __attribute__((vector_size(kLanes * sizeof(float))));
typedef decltype(Lanes{} < Lanes{}) LaneMask;  // all bits set where true

inline Lanes Sqrt(Lanes a) {
#if defined(__SSE2__)
  return Lanes(_mm_sqrt_pd(__m128d(a)));
#else
  Lanes r;
  for (int k = 0; k < kLanes; ++k) r[k] = std::sqrt(a[k]);
  return r;
#endif
}

inline bool Any(LaneMask m) {
#if defined(__SSE2__)
  return _mm_movemask_pd(__m128d(m)) != 0;
#else
  return m[0] || m[1];
#endif
}

// kLanes doubles from each of kLanes places (one a chain) as kLanes vectors
// (one a double, lane by lane), and back.
inline void LoadColumns(const double* const from[2], Lanes to[2]) {
#if defined(__SSE2__)
  const __m128d a = _mm_loadu_pd(from[0]), b = _mm_loadu_pd(from[1]);
  to[0] = Lanes(_mm_unpacklo_pd(a, b));
  to[1] = Lanes(_mm_unpackhi_pd(a, b));
#else
  to[0] = Lanes{from[0][0], from[1][0]};
  to[1] = Lanes{from[0][1], from[1][1]};
#endif
}
inline void StoreColumns(const Lanes from[2], double* const to[2]) {
#if defined(__SSE2__)
  _mm_storeu_pd(to[0], _mm_unpacklo_pd(__m128d(from[0]), __m128d(from[1])));
  _mm_storeu_pd(to[1], _mm_unpackhi_pd(__m128d(from[0]), __m128d(from[1])));
#else
  to[0][0] = from[0][0], to[0][1] = from[1][0];
  to[1][0] = from[0][1], to[1][1] = from[1][1];
#endif
}

#include "objects/rope_step_lanes.h"
}  // namespace lanes2

#if defined(__x86_64__)
// The kernel for four lanes of AVX2, chosen at run time where the processor
// has it. Only the vector width changes: AVX2 alone brings no fused
// multiply-add, and the file is built without contraction besides.
#pragma GCC push_options
#pragma GCC target("avx2")
namespace lanes4 {
constexpr int kLanes = 4;
typedef double Lanes __attribute__((vector_size(kLanes * sizeof(double))));
typedef float FloatLanes __attribute__((vector_size(kLanes * sizeof(float))));
typedef decltype(Lanes{} < Lanes{}) LaneMask;  // all bits set where true

inline Lanes Sqrt(Lanes a) { return Lanes(_mm256_sqrt_pd(__m256d(a))); }
inline bool Any(LaneMask m) { return _mm256_movemask_pd(__m256d(m)) != 0; }

// Four rows of four doubles turned into four columns (a transpose).
inline void Transpose(__m256d& r0, __m256d& r1, __m256d& r2, __m256d& r3) {
  const __m256d t0 = _mm256_unpacklo_pd(r0, r1), t1 = _mm256_unpackhi_pd(r0, r1);
  const __m256d t2 = _mm256_unpacklo_pd(r2, r3), t3 = _mm256_unpackhi_pd(r2, r3);
  r0 = _mm256_permute2f128_pd(t0, t2, 0x20);
  r1 = _mm256_permute2f128_pd(t1, t3, 0x20);
  r2 = _mm256_permute2f128_pd(t0, t2, 0x31);
  r3 = _mm256_permute2f128_pd(t1, t3, 0x31);
}

// kLanes doubles from each of kLanes places (one a chain) as kLanes vectors
// (one a double, lane by lane), and back.
inline void LoadColumns(const double* const from[4], Lanes to[4]) {
  __m256d r0 = _mm256_loadu_pd(from[0]), r1 = _mm256_loadu_pd(from[1]);
  __m256d r2 = _mm256_loadu_pd(from[2]), r3 = _mm256_loadu_pd(from[3]);
  Transpose(r0, r1, r2, r3);
  to[0] = Lanes(r0), to[1] = Lanes(r1), to[2] = Lanes(r2), to[3] = Lanes(r3);
}
inline void StoreColumns(const Lanes from[4], double* const to[4]) {
  __m256d r0 = __m256d(from[0]), r1 = __m256d(from[1]), r2 = __m256d(from[2]), r3 = __m256d(from[3]);
  Transpose(r0, r1, r2, r3);
  _mm256_storeu_pd(to[0], r0), _mm256_storeu_pd(to[1], r1);
  _mm256_storeu_pd(to[2], r2), _mm256_storeu_pd(to[3], r3);
}

#include "objects/rope_step_lanes.h"
}  // namespace lanes4
#pragma GCC pop_options
#endif

std::atomic<bool> allowWideLanes{true};  // see UseRopeVectorUnit

// Whether this processor runs the four-lane kernel, and it is allowed.
bool UseFourLanes() {
#if defined(__x86_64__)
  static const bool hasAvx2 = __builtin_cpu_supports("avx2");
  return hasAvx2 && allowWideLanes.load(std::memory_order_relaxed);
#else
  return false;
#endif
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
// order as in the pass-by-pass sequence. Each block is gathered into
// vectors, several chains side by side, stepped, and written back, so the
// particles (through grid) stay the rope's only state and may be changed
// from outside between steps.
void CRopeObject::AdvanceStep(float step) {
  if (limitPercent_ != stretchTolerance || limits_.size() != links.size()) {
    limitPercent_ = stretchTolerance;
    limits_.resize(links.size());
    for (size_t k = 0; k < links.size(); ++k) {
      const float tolerance = LinkTolerance(links[k], limitPercent_);
      limits_[k] = {tolerance, LinkReachSquared(links[k].restLength, tolerance)};
    }
  }
  const RopeChains view{storage_.get(), links.data(), limits_.data(), rows, chains, kStepBlock};
  if (UseFourLanes())
    lanes4::AdvanceChains(view, step);
  else
    lanes2::AdvanceChains(view, step);
}

void UseRopeVectorUnit(RopeVectorUnit unit) {
  allowWideLanes.store(unit == RopeVectorUnit::Widest, std::memory_order_relaxed);
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
