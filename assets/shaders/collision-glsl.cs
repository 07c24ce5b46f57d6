#version 430
// Collision step of the D2Q9 lattice (BGK): each fluid cell relaxes its nine
// distributions at binding 4, in place, towards the equilibrium of its density
// and velocity, with a body force that stirs the fluid. The force is a
// pattern of meandering streams of strength `push`, held in check by a light
// friction so the flow settles at lattice speeds of a few hundredths; `lift`
// adds a steady force along y. Density and velocity go to the scalar grids
// 1-3 for the particles. Obstacle cells are left alone: the propagation pass
// bounces populations off them.
layout(local_size_x = 32, local_size_y = 32, local_size_z = 1) in;

layout(std430, binding = 0) readonly buffer ObstacleMask { int obstacle[]; };
layout(std430, binding = 1) writeonly buffer Density { float density[]; };
layout(std430, binding = 2) writeonly buffer VelocityX { float velocityX[]; };
layout(std430, binding = 3) writeonly buffer VelocityY { float velocityY[]; };
layout(std430, binding = 4) buffer Distributions { float f[]; };

layout(location = 10) uniform float push;
layout(location = 11) uniform float lift;

const ivec2 kSize = ivec2(640, 320);
const vec2 kDirection[9] = vec2[9](vec2(0, 0), vec2(1, 0), vec2(0, 1), vec2(-1, 0), vec2(0, -1),
                                   vec2(1, 1), vec2(-1, 1), vec2(-1, -1), vec2(1, -1));
const float kWeight[9] = float[9](4.0 / 9.0, 1.0 / 9.0, 1.0 / 9.0, 1.0 / 9.0, 1.0 / 9.0,
                                  1.0 / 36.0, 1.0 / 36.0, 1.0 / 36.0, 1.0 / 36.0);
const float kTau = 0.56;         // relaxation time; viscosity (tau - 0.5) / 3
const float kFriction = 0.0025;  // linear drag per step: top speed about |force| / friction
const float kMaxSpeed = 0.12;    // the equilibrium never sees more than this
const float kTwoPi = 6.2831853;

// The stirring pattern at a cell, of order 1: streams along x that alternate
// with height, bent by a slow wave along y.
vec2 Stirring(vec2 p) {
  return vec2(0.35 + sin(kTwoPi * p.y / 160.0), 0.6 * sin(kTwoPi * p.x / 213.333));
}

void main() {
  ivec2 cell = ivec2(gl_GlobalInvocationID.xy);
  if (cell.x >= kSize.x || cell.y >= kSize.y) return;
  int here = cell.y * kSize.x + cell.x;
  if (obstacle[here] != 0) {
    density[here] = 1.0;
    velocityX[here] = 0.0;
    velocityY[here] = 0.0;
    return;
  }

  float g[9];
  float rho = 0.0;
  vec2 momentum = vec2(0.0);
  for (int d = 0; d < 9; ++d) {
    g[d] = f[here * 9 + d];
    rho += g[d];
    momentum += g[d] * kDirection[d];
  }
  // A cell that has gone bad (never expected) restarts at rest rather than
  // spreading NaN through the lattice.
  if (isnan(rho) || isinf(rho) || rho < 0.05) {
    rho = 1.0;
    momentum = vec2(0.0);
    for (int d = 0; d < 9; ++d) g[d] = kWeight[d];
  }
  vec2 u = momentum / rho;
  vec2 force = push * Stirring(vec2(cell)) + vec2(0.0, lift) - kFriction * u;

  // Forcing by shifting the equilibrium velocity; mass is untouched.
  vec2 uEq = u + kTau * force;
  float speed = length(uEq);
  if (speed > kMaxSpeed) uEq *= kMaxSpeed / speed;

  float uu = dot(uEq, uEq);
  for (int d = 0; d < 9; ++d) {
    float cu = dot(kDirection[d], uEq);
    float eq = kWeight[d] * rho * (1.0 + 3.0 * cu + 4.5 * cu * cu - 1.5 * uu);
    f[here * 9 + d] = g[d] - (g[d] - eq) / kTau;
  }
  vec2 velocity = u + 0.5 * force;
  density[here] = rho;
  velocityX[here] = velocity.x;
  velocityY[here] = velocity.y;
}
