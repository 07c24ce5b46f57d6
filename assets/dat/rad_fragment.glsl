#version 430 compatibility
// Fills the rad image: a soft radial light, full in the middle of the screen
// and falling off toward the corners. Multiplying the scene by it gives a
// vignette; the depth-of-field pass reads it as "how sharp is this pixel".
layout(location = 5) uniform int width;
layout(location = 6) uniform int height;

in vec2 uv0;
out vec4 fragColor;

void main() {
  vec2 size = vec2(float(width), float(height));
  // Distance from the centre in pixels, measured against the half diagonal,
  // so the falloff is round on a wide screen and reaches 1 at the corners.
  vec2 fromCentre = uv0 * size - 0.5 * size;
  float d = length(fromCentre) / length(0.5 * size);
  float light = 1.0 - 0.78 * smoothstep(0.18, 1.0, d);
  // A faint warm tint toward the edges.
  vec3 tint = mix(vec3(1.0), vec3(1.0, 0.93, 0.85), smoothstep(0.4, 1.0, d));
  fragColor = vec4(light * tint, 1.0);
}
