// The part of the GL context's state that the show's drawing leaves behind
// for later frames (runtime/carried_gpu_state.h): capabilities, blending,
// lights and materials, the current colour and normal, texture units,
// bindings, hints, sizes and matrices. A checkpoint reads it back and a
// restore puts it back, so that the frames after a restore see the context
// the frames before the checkpoint left.
#pragma once
#include <cstdint>

// A plain value: it goes into checkpoint files as it is. The framebuffer
// bindings and the viewport are not part of it: every frame sets them first,
// and the screen's framebuffer differs between the show and the capture.
struct GlFixedState {
  static constexpr int kCapabilities = 13;
  static constexpr int kUnits = 2;         // texture units the post passes use
  static constexpr int kLights = 2;
  static constexpr int kStorageBindings = 16;  // indexed shader storage bindings read back

  uint8_t enabled[kCapabilities];
  uint8_t texture2d[kUnits];
  uint8_t vertexArray, colourArray;
  uint8_t depthMask;
  int32_t blend[4];  // source and destination, colour and alpha
  int32_t blendEquation[2];
  int32_t depthFunc, shadeModel, cullFace, frontFace, matrixMode, activeTexture;
  int32_t hints[3];  // point, line and polygon smoothing
  int32_t colourMaterial[2];  // face and parameter
  int32_t lightModelTwoSide, lightModelLocalViewer;
  int32_t texEnvMode[kUnits];
  int32_t boundTexture[kUnits];
  int32_t arrayBuffer, storageBuffer, program;
  int32_t storageBindings[kStorageBindings];
  float clearColour[4];
  float clearDepth;
  float lineWidth, pointSize;
  float colour[4], normal[3];
  float texCoord[kUnits][4];
  float lightModelAmbient[4];
  // Front and back: ambient, diffuse, specular, emission, then shininess.
  float material[2][4][4];
  float shininess[2];
  // Per light: ambient, diffuse, specular, position and spot direction (eye
  // space), then exponent, cut-off and three attenuations.
  float light[kLights][5][4];
  float lightScalars[kLights][5];
  double modelview[16], projection[16], textureMatrix[kUnits][16];
};

// Reads the state from the current context. Leaves the context as it was.
GlFixedState ReadGlFixedState();
// Puts it into the current context.
void ApplyGlFixedState(const GlFixedState& state);
