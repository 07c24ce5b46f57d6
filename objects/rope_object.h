// The rope objects: a bundle of chains of point masses hanging out of a small
// core, each chain's root pinned and carried by the object's centre and two
// angles, links along the chain to the next and next-but-one particle, a link
// limiter, a core force and a drag along a per-particle direction.
#pragma once
#include <memory>
#include <vector>

#include "core/random.h"
#include "objects/vector3.h"

constexpr int kRopePinned = 2;  // flag bit of a pinned particle

// Lines that narrow to nothing (rope tips, dark spots of the lightning) ask GL
// for widths at or below 0, which it rejects, keeping whatever width was set
// last. They get this width instead: below every driver's minimum, so GL draws
// its thinnest line, the same it draws for the small widths just above 0.
constexpr float kThinnestLineWidth = 0.1f;

struct RopeParticle {
  int flags = 0;
  float mass = 0;
  Vec3d position;
  Vec3d velocity;
  Vec3d force;          // accumulated in the current stage
  Vec3d direction;      // drag axis and drawing normal
  Vec3d savedPosition;  // position at the start of the step
  Vec3d savedVelocity;  // velocity at the start of the step
};

struct RopeLink {
  RopeParticle* first = nullptr;
  RopeParticle* second = nullptr;
  float stiffness = 0;
  float damping = 0;
  float restLength = 0;
};

// Per link, in list order: the limiter's tolerance for the rope's tolerance
// percent and the squared length below which it leaves the link alone.
struct RopeLinkLimit {
  float tolerance;
  double reachSquared;
};

// The vector instructions the rope step uses: the widest this processor runs,
// or SSE2 alone (every x86-64 has it). Both give the same results bit for bit.
enum class RopeVectorUnit { Widest, Sse2 };
void UseRopeVectorUnit(RopeVectorUnit unit);

class CRopeObject {
 public:
  static constexpr int kRows = 14;     // particles per chain
  static constexpr int kChains = 602;  // chains per object

  // The roots' directions and the first velocities are drawn from `random`.
  CRopeObject(float linkStiffness, float linkDamping, float particleMass, LibcRandom& random);
  // A rope is a value: a copy owns particles of its own, and its grid and
  // links point at them, so copies step apart from each other.
  CRopeObject(const CRopeObject& other);
  CRopeObject& operator=(const CRopeObject& other);

  // Per-particle direction across the chain, from the neighbour towards the root.
  void ComputeDirections();
  // The same directions without storing them, row by row (i x chains + j).
  std::vector<Vec3d> Directions() const;
  // One frame step in two stages, a half step from the saved state and then
  // the full step with the half-step forces. Each stage takes the link
  // forces, the directions, the drag, the core collision and push, the
  // integrator, and the limiter over all links, each over every particle or
  // link in list order; the work is done in cache-sized blocks of chains,
  // several chains at once in vector lanes, with the same results bit for bit. It relies on the link list as the
  // constructor builds it (neighbour links row by row, then the skip-one
  // links) and on rest lengths that never change.
  void AdvanceStep(float step);
  // Re-seats the pinned roots from their rest copies, turned and moved to the centre.
  void PlaceRoots();

  int rows = kRows;
  int chains = kChains;
  float linkStiffness = 0;
  float linkDamping = 0;
  int stretchTolerance = 1;
  std::vector<std::vector<RopeParticle*>> grid;       // grid[i][j]: particle i of chain j
  std::vector<std::vector<RopeParticle>> restCopies;  // the particles as built
  std::vector<RopeLink> links;
  double centre[3] = {0, 0, 0};
  float angleA = 0;  // about z, radians
  float angleB = 0;  // about y, then about x, radians

 private:
  static constexpr int kStepBlock = 16;  // chains per block in AdvanceStep
  static_assert(kStepBlock >= 2, "a block holds the first chain and its neighbour");

  using LinkLimit = RopeLinkLimit;
  std::vector<LinkLimit> limits_;  // rebuilt when the tolerance percent changes
  int limitPercent_ = -1;

  std::unique_ptr<RopeParticle[]> storage_;  // every particle, row by row
};
