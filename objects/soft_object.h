// The soft body: a closed triangle mesh read from an LWO2 file, its edges
// damped springs, inflated by a gas-pressure force that grows as the enclosed
// volume shrinks, stepped by a Heun integrator inside a box of walls and kept
// from over-stretching by a position-based limiter.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "objects/vector3.h"

// One mesh vertex with its simulation state.
struct MassPoint {
  float mass = 0;         // gravity; 0 also keeps the stretch limiter off the point
  float inverseMass = 0;  // force to acceleration in the integrator
  Vec3f position;
  Vec3f velocity;
  Vec3f force;           // accumulated in the current force pass
  Vec3f normal;          // vertex normal from the adjacent faces
  Vec3f displacement;    // position change of the last explicit step
  Vec3f velocityChange;  // velocity change of the last explicit step
  float weight = 0;      // value of the "Bone01" weight map
};

// One mesh edge; the ends are indices into the object's point list, so they
// stay valid while the list grows.
struct Spring {
  int first = 0;
  int second = 0;
  float stiffness = 0;
  float damping = 0;
  float restLength = 0;
  float stretchPercent = 0;
  float maxDeviation = 0;  // the limiter acts beyond this difference from the rest length
};

// One mesh face, corners as indices into the point list.
struct Triangle {
  int points[3] = {0, 0, 0};
  Vec3f normal;
  float crossLength = 0;    // |(a - b) x (a - c)|, twice the area
  float pressureForce = 0;  // gas-pressure force on this face
};

class CSoftObject {
 public:
  // An empty body, to be assigned a loaded one.
  CSoftObject() = default;
  CSoftObject(float offsetX, float offsetY, float offsetZ, float stiffness, float damping,
              const char* path, float pressureConstant, float scale, float pointMass);
  // A body is a value: copies step and draw alike, independent of each other.

  // Reads an LWO2 file into the point, spring and triangle lists.
  void LoadObject(float offsetX, float offsetY, float offsetZ, float stiffness, float damping,
                  const char* path, float scale, float pointMass);
  // The same from a stream already open; name is used in messages only.
  void LoadObjectFromStream(float offsetX, float offsetY, float offsetZ, float stiffness,
                            float damping, std::FILE* file, const char* name, float scale,
                            float pointMass);
  // Springs, normals, volume and pressure of the current state.
  void AccumulateForces();
  // Mode 0 explicit step, 1 Heun step (walls included), any mode ends with the limiter.
  void Integrate(int mode, float step);
  // Pulls every spring longer than its maximum deviation back by the excess.
  void LimitStretch();

  Vec3f gravity;
  float volume = 0;
  float inverseVolume = 0;
  float pressureConstant = 0;
  std::vector<MassPoint> savedPoints;
  std::vector<MassPoint> points;
  std::vector<Spring> springs;
  std::vector<Triangle> triangles;

 private:
  void ExplicitStep(float step);
};

// The loader's fatal error: "Error: %s\n" on stderr and exit status 1. A hook,
// when set, runs instead of the print and must not return (the fuzz target
// throws from it); without one the process ends.
using LoaderFatalHook = void (*)(const char* message);
void SetLoaderFatalHook(LoaderFatalHook hook);
[[noreturn]] void LoaderFatal(const char* message);

// Converts count 32-bit words in place from big-endian to host order; returns 4 x count.
int ConvertBigEndianWords(void* words, int count);
// LWO2 variable-length index: 0xFF then 24 bits (4 bytes), else 16 bits (2 bytes).
// Returns the bytes consumed, 0 when fewer than needed are available.
int ParseIndex(const uint8_t* bytes, size_t available, uint32_t* index);
// LWO2 name: bytes up to and including the NUL, plus one pad byte when that
// count is odd. Returns the bytes consumed, 0 when the name is not complete.
int ParseName(const uint8_t* bytes, size_t available, const char** name);
