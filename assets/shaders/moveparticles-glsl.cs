#version 430
// Moves every particle with the fluid: a bilinear sample of the lattice
// velocity (scalar grids 2 and 3) at the particle, scaled by the frame factor.
// The particle clock sets how strongly the flow carries the picture, so it
// holds still at first and then dissolves; after the restart (colour set 1)
// the particles ride the mirrored flow the other way.
// Positions stay inside the picture area: they wrap like the lattice does.
layout(local_size_x = 100, local_size_y = 1, local_size_z = 1) in;

layout(std430, binding = 2) readonly buffer VelocityX { float velocityX[]; };
layout(std430, binding = 3) readonly buffer VelocityY { float velocityY[]; };
layout(std430, binding = 9) buffer Positions { vec4 position[]; };

layout(location = 10) uniform float clock;
layout(location = 12) uniform float frameFactor;
layout(location = 13) uniform int colourSet;

const ivec2 kLattice = ivec2(640, 320);
const ivec2 kPicture = ivec2(1280, 720);

vec2 VelocityAt(ivec2 c) {
  c = (c + kLattice) % kLattice;
  int i = c.y * kLattice.x + c.x;
  return vec2(velocityX[i], velocityY[i]);
}

// Bilinear sample of the lattice velocity at a point of the unit square.
vec2 SampleVelocity(vec2 p) {
  vec2 g = p * vec2(kLattice) - 0.5;
  ivec2 c = ivec2(floor(g));
  vec2 t = g - vec2(c);
  vec2 bottom = mix(VelocityAt(c), VelocityAt(c + ivec2(1, 0)), t.x);
  vec2 top = mix(VelocityAt(c + ivec2(0, 1)), VelocityAt(c + ivec2(1, 1)), t.x);
  return mix(bottom, top, t.y);
}

void main() {
  uint i = gl_GlobalInvocationID.x;
  if (i >= uint(kPicture.x * kPicture.y)) return;
  vec4 p = position[i];
  vec2 home = vec2(float(i / uint(kPicture.y)) / float(kPicture.x),
                   float(i % uint(kPicture.y)) / float(kPicture.y));

  vec2 u;
  float gain;
  if (colourSet == 0) {
    // The opening picture: still at first, carried off over the next seconds.
    u = SampleVelocity(p.xy);
    gain = 14.0 * smoothstep(0.3, 2.5, clock);
  } else {
    // After the restart the flow is seen in a mirror: the same fluid carries
    // the second picture the other way, with a slow breathing of strength.
    // The restart comes at a clock of about 3.7; the ramp starts there.
    u = SampleVelocity(vec2(1.0 - p.x, p.y)) * vec2(-1.0, 1.0);
    gain = 16.0 * smoothstep(3.7, 4.6, clock) * (1.0 + 0.25 * sin(2.0 * clock));
  }
  // Lattice cells per step into picture units per frame.
  p.xy += u * gain * frameFactor / vec2(kLattice);

  if (any(isnan(p.xy)) || any(isinf(p.xy))) p.xy = home;
  p.xy = fract(p.xy);
  position[i] = p;
}
