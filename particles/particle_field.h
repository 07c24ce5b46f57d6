// The particle field: a D2Q9 lattice-Boltzmann fluid on a 640 x 320 lattice,
// run by three compute programs, carrying 921 600 particles (one per pixel of
// a 1280 x 720 picture) that are drawn as coloured points.
#pragma once
#include <string>
#include <vector>

#include "particles/particle_field_state.h"

constexpr int kLatticeWidth = 640;
constexpr int kLatticeHeight = 320;
constexpr int kLatticeCells = kLatticeWidth * kLatticeHeight;
constexpr int kFieldWidth = 1280;   // particles per row of the colour pictures
constexpr int kFieldHeight = 720;   // particles per column
constexpr int kParticleCount = kFieldWidth * kFieldHeight;

// Storage buffer binding points the compute shaders are written against.
constexpr int kObstacleBinding = 0;
constexpr int kScalarBinding1 = 1;  // density
constexpr int kScalarBinding2 = 2;  // velocity x
constexpr int kScalarBinding3 = 3;  // velocity y
constexpr int kDistributionInBinding = 4;
constexpr int kDistributionOutBinding = 5;
constexpr int kPositionBinding = 9;
constexpr int kOpaqueColourBinding = 10;
constexpr int kTranslucentColourBinding = 11;

// GL names of the field's buffers and programs, for whoever needs to look
// inside (the tests, the field snapshot tool).
struct ParticleFieldObjects {
  unsigned int collisionProgram, propagationProgram, moveProgram;
  unsigned int positions, obstacleMask, scalar[3], distributionA, distributionB;
  unsigned int colourOpaque[2], colourTranslucent[2];
};
extern ParticleFieldObjects particleField;

// Builds the three compute programs and the eleven buffers. The show reads its
// files relative to the working directory; `baseDir` (ending in '/') lets tests
// and tools read data/ and shaders/ from elsewhere.
void SetUpParticleField(const std::string& baseDir = "");
// Puts every particle back on its grid position (x / 1280, y / 720, 0, 1).
void ResetParticlePositions();
// The compute half of a field frame: collision, propagation, particle move.
// `clock` and `frameFactor` are the particle clock and the frame factor of
// this particle frame (they drive the particle move). Leaves the move
// program in use.
void StepParticleField(ParticleFieldState& state, float clock, float frameFactor);
// Draws the particles as the latest step left them; `frame` is the demo time
// truncated to an integer (it shifts the camera).
void DrawParticleField(const ParticleFieldState& state, int frame);
// Both, for tools and tests that show the field alone.
void UpdateAndDrawParticleField(ParticleFieldState& state, int frame, float clock,
                                float frameFactor);
// Switches to the second colouring and puts the particles back on the grid.
void RestartParticleField(ParticleFieldState& state);
// The lattice half of a frame (buffer swap, collision, propagation), also used
// on its own by tests that only look at the fluid.
void StepParticleFluid(ParticleFieldState& state);
// The particle half of a frame: the move pass, then the move program's
// uniforms for the next frame (the given clock and frame factor, colour set).
void MoveParticles(const ParticleFieldState& state, float clock, float frameFactor);
// Deletes everything SetUpParticleField made (the show never does this;
// tests and tools that set the field up again do).
void TearDownParticleField();

// ---- Building the compute programs again while the show runs (rehearsal) ----

// The compute shader files, relative to the run directory.
std::vector<std::string> ComputeShaderFiles();
// Builds the three compute programs again from their files and puts them in
// place of the old ones (deleted); the move program keeps the uniforms the
// latest frame set for the next one. When a file cannot be read or does not
// compile or link, the programs in use stay and *error holds the file and the
// driver's log. The current program is left as it was (its new build where
// it was replaced).
bool ReloadComputePrograms(std::string* error);
