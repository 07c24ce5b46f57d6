#version 430 compatibility
// Multiplies tex0 (the scene) by tex1 (an image). t is the strength: the
// image's weight is t / (t + 2), so t = 2 pulls half-way toward the plain
// product (a gentle vignette with the rad image) and t = 10 lets the image's
// structure show almost fully.
uniform float t;
uniform sampler2D tex0;
uniform sampler2D tex1;

in vec2 uv0;
in vec2 uv1;
out vec4 fragColor;

void main() {
  float strength = max(t, 0.0) / (max(t, 0.0) + 2.0);
  vec3 scene = texture(tex0, uv0).rgb;
  vec3 image = texture(tex1, uv1).rgb;
  fragColor = vec4(scene * mix(vec3(1.0), image, strength), 1.0);
}
