#version 430 compatibility
// Shared vertex stage of the full-screen passes: the unit-square quad through
// the fixed-function matrices, both texture coordinates passed on.
out vec2 uv0;
out vec2 uv1;

void main() {
  gl_Position = gl_ModelViewProjectionMatrix * gl_Vertex;
  uv0 = gl_MultiTexCoord0.st;
  uv1 = gl_MultiTexCoord1.st;
}
