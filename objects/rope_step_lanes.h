// The rope step's lane kernel, included by rope_object.cpp once for each
// instruction set it is built for (so it has no include guard, and is not
// for other files), inside a namespace that first defines kLanes, Lanes,
// FloatLanes, LaneMask, Sqrt (per lane), Any (some lane set) and LoadColumns
// and StoreColumns (kLanes doubles of kLanes chains turned lane-wise, and
// back). Every lane sees the operations of the one-particle-at-a-time
// sequence in the same order, with the same roundings (IEEE add, multiply,
// divide and square root give the same bits one lane or several), and the
// branches of that sequence become per-lane selections.

// Each lane rounded to single precision and back, as float(x) does.
inline Lanes RoundToFloat(Lanes a) {
  return __builtin_convertvector(__builtin_convertvector(a, FloatLanes), Lanes);
}

struct Vec3L {
  Lanes x, y, z;
};
inline Vec3L operator+(const Vec3L& a, const Vec3L& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vec3L operator-(const Vec3L& a, const Vec3L& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vec3L operator*(const Vec3L& a, Lanes s) { return {a.x * s, a.y * s, a.z * s}; }
inline Vec3L operator*(const Vec3L& a, double s) { return {a.x * s, a.y * s, a.z * s}; }
inline Lanes Dot(const Vec3L& a, const Vec3L& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
// Per lane: a where m is set, else b.
inline Lanes Select(LaneMask m, Lanes a, Lanes b) { return m ? a : b; }
inline Vec3L Select(LaneMask m, const Vec3L& a, const Vec3L& b) {
  return {m ? a.x : b.x, m ? a.y : b.y, m ? a.z : b.z};
}
// Per lane a / |a|, or a unchanged where its length is 0 (as UnitOrSame).
inline Vec3L UnitOrSame(const Vec3L& a) {
  const Lanes length = Sqrt(Dot(a, a));
  return Select(length != 0, a * (1.0 / length), a);
}

// One row of kLanes chains' particles, field by field. This and LinkLanes
// are aligned to a whole vector, which the block's arrays then keep.
struct alignas(sizeof(Lanes)) ParticleLanes {
  Vec3L position, velocity, force, direction, savedPosition, savedVelocity;
  Lanes inverseMass;  // 1 / mass taken in single precision, as the integrator uses it
  LaneMask free;      // set where the particle is not pinned
};

// One row of kLanes chains' links: the spring and the limiter's figures.
struct alignas(sizeof(Lanes)) LinkLanes {
  Lanes restLength, stiffness, damping, tolerance, reachSquared;
};

// A block of chains gathered lane-wise: particles and links row by row, each
// row `groups` vectors wide; lanes past the block's last chain repeat it and
// are never written back.
struct BlockLanes {
  int groups = 0;
  std::vector<ParticleLanes> particles;  // [row x groups + group]
  std::vector<LinkLanes> links;          // neighbour rows, then skip-one rows
};

// The damped spring force of one row of links, added to the second particles
// and taken from the first; a link of length 0 adds nothing.
inline void ApplyLinkForce(ParticleLanes& a, ParticleLanes& b, const LinkLanes& link) {
  const Vec3L d = a.position - b.position;
  const Lanes length = Sqrt(Dot(d, d));
  const Lanes inverseLength = 1.0 / length;
  const Vec3L v = a.velocity - b.velocity;
  const Lanes s = RoundToFloat(Dot(v, d) * link.damping * inverseLength +
                               (length - link.restLength) * link.stiffness);
  const Vec3L f = d * (inverseLength * s);
  const LaneMask apart = length != 0;
  b.force = Select(apart, b.force + f, b.force);
  a.force = Select(apart, a.force - f, a.force);
}

// Directions of one row of particles from the row above.
inline Vec3L DirectionBelow(const ParticleLanes& above, const ParticleLanes& p) {
  const Vec3L d = above.position - p.position;
  return UnitOrSame(Vec3L{-d.y, d.z, RoundToFloat(d.x)});
}

// Drag along the direction and the core collision of the free particles,
// then the core push; the distance from the core is shared while the
// collision leaves the position alone.
inline void ApplyCoreForces(ParticleLanes& p) {
  Lanes distance = Sqrt(Dot(p.position, p.position));
  Vec3L outward = Select(distance != 0, p.position * (1.0 / distance), p.position);
  const Vec3L n = p.direction;
  p.force = Select(p.free, p.force + n * Dot(n, outward * kDragReach - p.velocity), p.force);
  const LaneMask thrown = p.free & (distance < double(kCollisionRadius));
  if (Any(thrown)) {
    p.position = Select(thrown, outward * double(kCoreRadius), p.position);
    p.velocity = Select(thrown, p.velocity * -1.0, p.velocity);
    const Lanes thrownDistance = Sqrt(Dot(p.position, p.position));
    const Vec3L thrownOutward =
        Select(thrownDistance != 0, p.position * (1.0 / thrownDistance), p.position);
    distance = Select(thrown, thrownDistance, distance);
    outward = Select(thrown, thrownOutward, outward);
  }
  const LaneMask pushed = p.free & (distance < double(kCoreRadius));
  p.force = Select(pushed, p.force + (outward * 0.2 * 1.02) * 1.2, p.force);
}

// First integrator stage of the free particles.
inline void PredictParticle(ParticleLanes& p, double step) {
  const Vec3L velocityChange = (p.force * p.inverseMass) * step;
  const Vec3L displacement = (p.velocity + velocityChange * 0.5) * step;
  p.savedVelocity = Select(p.free, p.velocity, p.savedVelocity);
  p.velocity = Select(p.free, p.velocity + velocityChange * 0.5, p.velocity);
  p.savedPosition = Select(p.free, p.position, p.savedPosition);
  p.position = Select(p.free, p.position + displacement * 0.5, p.position);
}

// Second integrator stage of the free particles.
inline void CorrectParticle(ParticleLanes& p, double step) {
  const Vec3L velocity = p.savedVelocity + (p.force * p.inverseMass) * step;
  p.velocity = Select(p.free, velocity, p.velocity);
  p.position = Select(p.free, p.savedPosition + p.velocity * step, p.position);
}

// The limiter on one row of links: a link stretched beyond its rest length
// plus the tolerance (in length units) is pulled back to it, each free end
// moving by half the excess. A link whose squared length is below its
// squared reach (see LinkReachSquared) cannot exceed the tolerance, so the
// square root is only taken for rows where a link may need correcting.
inline void LimitLinkWithin(ParticleLanes& a, ParticleLanes& b, const LinkLanes& link) {
  const Vec3L d = b.position - a.position;
  const Lanes lengthSquared = Dot(d, d);
  const LaneMask near = lengthSquared < link.reachSquared;
  if (!Any(~near)) return;
  const Lanes length = Sqrt(lengthSquared);
  const LaneMask stretched = ~near & (length - link.restLength > link.tolerance);
  if (!Any(stretched)) return;
  const Lanes excess = length - (link.restLength + link.tolerance);
  const Vec3L c = d * (excess * 0.5 / length);
  a.position = Select(stretched & a.free, a.position + c, a.position);
  b.position = Select(stretched & b.free, b.position - c, b.position);
}

// Lane k of a vector triple, and its setter.
inline Vec3d LaneOf(const Vec3L& v, int k) { return {v.x[k], v.y[k], v.z[k]}; }
inline void SetLane(Vec3L& v, int k, const Vec3d& a) {
  v.x[k] = a.x;
  v.y[k] = a.y;
  v.z[k] = a.z;
}

// The particle of row i, lane-wise chain c (counted from the block's first) of a block.
struct BlockChains {
  ParticleLanes* rows;  // the block's particles, row by row
  int groups;
  ParticleLanes& Group(int i, int c) const { return rows[size_t(i) * groups + c / kLanes]; }
  Vec3d Direction(int i, int c) const { return LaneOf(Group(i, c).direction, c % kLanes); }
  void SetDirection(int i, int c, const Vec3d& d) const { SetLane(Group(i, c).direction, c % kLanes, d); }
};

// Directions of a block's particles. Rows 1 and below take theirs from the
// particle above; the rope's first and last chain copy their neighbour's,
// the top and bottom rows the row next to them, and the rope's four corners
// take the unit sum of their two neighbours. `width` chains hold real data;
// holdsFirst and holdsLast say whether the block holds the rope's first or
// last two chains.
void ComputeBlockDirections(const BlockChains& b, int S, int width, bool holdsFirst, bool holdsLast) {
  const int G = b.groups;
  for (int i = 1; i < S; ++i)
    for (int g = 0; g < G; ++g) b.rows[size_t(i) * G + g].direction =
        DirectionBelow(b.rows[size_t(i - 1) * G + g], b.rows[size_t(i) * G + g]);
  const int last = width - 1;
  for (int i = 1; i <= S - 2; ++i) {
    if (holdsFirst) b.SetDirection(i, 0, b.Direction(i, 1));
    if (holdsLast) b.SetDirection(i, last, b.Direction(i, last - 1));
  }
  for (int g = 0; g < G; ++g) {
    b.rows[g].direction = b.rows[size_t(1) * G + g].direction;
    b.rows[size_t(S - 1) * G + g].direction = b.rows[size_t(S - 2) * G + g].direction;
  }
  if (holdsFirst) {
    b.SetDirection(0, 0, Normalized(b.Direction(1, 0) + b.Direction(0, 1)));
    b.SetDirection(S - 1, 0, Normalized(b.Direction(S - 1, 1) + b.Direction(S - 2, 0)));
  }
  if (holdsLast) {
    b.SetDirection(0, last, Normalized(b.Direction(0, last - 1) + b.Direction(1, last)));
    b.SetDirection(S - 1, last, Normalized(b.Direction(S - 1, last - 1) + b.Direction(S - 2, last)));
  }
}

// One stage of the step over a gathered block: the forces (the ropes feel no
// gravity, so a free particle's force starts at zero; the links in list
// order), the directions, drag, core collision and push with the integrator
// stage per particle, and the limiter over the links in list order.
void RunBlockStage(BlockLanes& block, int S, int width, bool holdsFirst, bool holdsLast, double step,
                   bool correct) {
  const int G = block.groups;
  ParticleLanes* const p = block.particles.data();
  const LinkLanes* const neighbourLinks = block.links.data();
  const LinkLanes* const skipLinks = neighbourLinks + size_t(S - 1) * G;
  const size_t count = size_t(S) * G;

  for (size_t n = 0; n < count; ++n) p[n].force = Select(p[n].free, Vec3L{}, p[n].force);
  for (int i = 0; i <= S - 2; ++i)
    for (int g = 0; g < G; ++g)
      ApplyLinkForce(p[size_t(i) * G + g], p[size_t(i + 1) * G + g], neighbourLinks[size_t(i) * G + g]);
  for (int i = 0; i <= S - 3; ++i)
    for (int g = 0; g < G; ++g)
      ApplyLinkForce(p[size_t(i) * G + g], p[size_t(i + 2) * G + g], skipLinks[size_t(i) * G + g]);

  ComputeBlockDirections(BlockChains{p, G}, S, width, holdsFirst, holdsLast);

  for (size_t n = 0; n < count; ++n) {
    ApplyCoreForces(p[n]);
    if (correct)
      CorrectParticle(p[n], step);
    else
      PredictParticle(p[n], step);
  }

  for (int i = 0; i <= S - 2; ++i)
    for (int g = 0; g < G; ++g)
      LimitLinkWithin(p[size_t(i) * G + g], p[size_t(i + 1) * G + g], neighbourLinks[size_t(i) * G + g]);
  for (int i = 0; i <= S - 3; ++i)
    for (int g = 0; g < G; ++g)
      LimitLinkWithin(p[size_t(i) * G + g], p[size_t(i + 2) * G + g], skipLinks[size_t(i) * G + g]);
}

// A particle's state, position to saved velocity, is kStateDoubles doubles
// in a row both in RopeParticle and in ParticleLanes (one vector a double),
// so kLanes chains' states are moved kLanes doubles at a time, turned
// between chain-wise and lane-wise by LoadColumns and StoreColumns.
static_assert(offsetof(ParticleLanes, position) == 0 &&
                  offsetof(ParticleLanes, savedVelocity) + sizeof(Vec3L) == kStateDoubles * sizeof(Lanes),
              "the lanes' state is kStateDoubles vectors in a row");
constexpr int kStateChunks = kStateDoubles / kLanes;  // whole vectors of a chain's state

// The lanes' state as kStateDoubles vectors, one a double of the particles'
// state, and a particle's state as kStateDoubles doubles.
inline Lanes* StateLanes(ParticleLanes& p) { return reinterpret_cast<Lanes*>(&p); }
inline const Lanes* StateLanes(const ParticleLanes& p) { return reinterpret_cast<const Lanes*>(&p); }
inline double* StateDoubles(RopeParticle& p) {
  return reinterpret_cast<double*>(reinterpret_cast<char*>(&p) + offsetof(RopeParticle, position));
}
inline const double* StateDoubles(const RopeParticle& p) {
  return reinterpret_cast<const double*>(reinterpret_cast<const char*>(&p) + offsetof(RopeParticle, position));
}

// The state of row i of a lane group, its chains first to first + kLanes - 1
// of the rope (clamped to last: lanes past it repeat it), into lanes.
void GatherState(const RopeChains& rope, int i, int first, int last, ParticleLanes& to) {
  const RopeParticle* particle[kLanes];
  const double* from[kLanes];
  for (int k = 0; k < kLanes; ++k) {
    particle[k] = &rope.particles[size_t(i) * rope.chains + (first + k < last ? first + k : last)];
    from[k] = StateDoubles(*particle[k]);
  }
  Lanes* const state = StateLanes(to);
  for (int c = 0; c < kStateChunks; ++c) {
    const double* chunk[kLanes];
    for (int k = 0; k < kLanes; ++k) chunk[k] = from[k] + c * kLanes;
    LoadColumns(chunk, state + c * kLanes);
  }
  for (int d = kStateChunks * kLanes; d < kStateDoubles; ++d)
    for (int k = 0; k < kLanes; ++k) state[d][k] = from[k][d];
  for (int k = 0; k < kLanes; ++k) {
    to.inverseMass[k] = 1.0f / particle[k]->mass;
    to.free[k] = IsPinned(*particle[k]) ? 0 : -1;
  }
}

// The state of row i of a lane group back to its chains first to first +
// count - 1 of the rope.
void ScatterState(const RopeChains& rope, int i, int first, int count, const ParticleLanes& from) {
  double* to[kLanes] = {};
  for (int k = 0; k < count; ++k) to[k] = StateDoubles(rope.particles[size_t(i) * rope.chains + first + k]);
  const Lanes* const state = StateLanes(from);
  int lanewiseFrom = 0;  // the doubles left to write lane by lane
  if (count == kLanes) {
    for (int c = 0; c < kStateChunks; ++c) {
      double* chunk[kLanes];
      for (int k = 0; k < kLanes; ++k) chunk[k] = to[k] + c * kLanes;
      StoreColumns(state + c * kLanes, chunk);
    }
    lanewiseFrom = kStateChunks * kLanes;
  }
  for (int d = lanewiseFrom; d < kStateDoubles; ++d)
    for (int k = 0; k < count; ++k) to[k][d] = state[d][k];
}

// The particles and links of the chains j0 to j1 - 1 into block's lanes.
void GatherBlock(const RopeChains& rope, int j0, int j1, BlockLanes& block) {
  const int S = rope.rows, N = rope.chains;
  const int G = (j1 - j0 + kLanes - 1) / kLanes;
  const int linkRows = (S - 1) + (S - 2);
  block.groups = G;
  block.particles.resize(size_t(S) * G);
  block.links.resize(size_t(linkRows) * G);
  for (int i = 0; i < S; ++i)
    for (int g = 0; g < G; ++g) GatherState(rope, i, j0 + g * kLanes, j1 - 1, block.particles[size_t(i) * G + g]);
  for (int c = 0; c < G * kLanes; ++c) {
    const int j = (j0 + c < j1 ? j0 + c : j1 - 1);  // lanes past the block repeat its last chain
    const int g = c / kLanes, k = c % kLanes;
    for (int r = 0; r < linkRows; ++r) {
      const RopeLink& link = rope.links[size_t(r) * N + j];
      const RopeLinkLimit& limit = rope.limits[size_t(r) * N + j];
      LinkLanes& to = block.links[size_t(r) * G + g];
      to.restLength[k] = link.restLength;
      to.stiffness[k] = link.stiffness;
      to.damping[k] = link.damping;
      to.tolerance[k] = limit.tolerance;
      to.reachSquared[k] = limit.reachSquared;
    }
  }
}

// The particles of the chains j0 to j1 - 1 back from block's lanes.
void ScatterBlock(const RopeChains& rope, int j0, int j1, const BlockLanes& block) {
  const int G = block.groups;
  for (int i = 0; i < rope.rows; ++i)
    for (int g = 0; g < G; ++g) {
      const int first = j0 + g * kLanes;
      const int count = j1 - first < kLanes ? j1 - first : kLanes;
      ScatterState(rope, i, first, count, block.particles[size_t(i) * G + g]);
    }
}

// Both stages over the rope's chains, block by block.
void AdvanceChains(const RopeChains& rope, float step) {
  BlockLanes block;
  for (int j0 = 0; j0 < rope.chains;) {
    int j1 = j0 + rope.blockWidth < rope.chains ? j0 + rope.blockWidth : rope.chains;
    if (rope.chains - j1 < 2) j1 = rope.chains;  // the last chain stays with its neighbour
    GatherBlock(rope, j0, j1, block);
    const bool holdsFirst = j0 == 0, holdsLast = j1 == rope.chains;
    RunBlockStage(block, rope.rows, j1 - j0, holdsFirst, holdsLast, step, false);
    RunBlockStage(block, rope.rows, j1 - j0, holdsFirst, holdsLast, step, true);
    ScatterBlock(rope, j0, j1, block);
    j0 = j1;
  }
}
