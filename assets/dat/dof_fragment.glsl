#version 430 compatibility
// Depth-of-field look: tex0 (the scene) is blurred where tex1 (the rad image)
// is dark and kept sharp where it is bright. t (0 to 20) sets how strong the
// blur is, so the focus breathes with the demo time.
uniform float t;
uniform sampler2D tex0;
uniform sampler2D tex1;

in vec2 uv0;
in vec2 uv1;
out vec4 fragColor;

const int kTaps = 24;
const float kGoldenAngle = 2.39996323;

void main() {
  vec2 texel = 1.0 / vec2(textureSize(tex0, 0));
  float sharpness = clamp(dot(texture(tex1, uv1).rgb, vec3(0.299, 0.587, 0.114)), 0.0, 1.0);
  float radius = 0.6 * t * (1.0 - sharpness);  // pixels
  vec3 centre = texture(tex0, uv0).rgb;
  if (radius < 0.5) {
    fragColor = vec4(centre, 1.0);
    return;
  }
  // Spiral disc of taps; bright taps weigh a little more so highlights bloom.
  vec3 sum = centre;
  float weight = 1.0;
  for (int i = 1; i <= kTaps; ++i) {
    float r = radius * sqrt(float(i) / float(kTaps));
    float a = float(i) * kGoldenAngle;
    vec3 c = texture(tex0, uv0 + r * vec2(cos(a), sin(a)) * texel).rgb;
    float w = 1.0 + 2.0 * dot(c, vec3(0.333));
    sum += c * w;
    weight += w;
  }
  fragColor = vec4(sum / weight, 1.0);
}
