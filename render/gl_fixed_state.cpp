#include "render/gl_fixed_state.h"

#include <type_traits>

#include "core/gl.h"

static_assert(std::is_trivially_copyable_v<GlFixedState>, "a checkpoint copies it as bytes");

namespace {
// The capabilities any layer switches, in one order for reading and applying.
constexpr GLenum kCapabilityList[GlFixedState::kCapabilities] = {
    GL_BLEND,       GL_COLOR_MATERIAL, GL_CULL_FACE,    GL_DEPTH_TEST, GL_LIGHT0,
    GL_LIGHT1,      GL_LIGHTING,       GL_LINE_SMOOTH,  GL_MULTISAMPLE, GL_NORMALIZE,
    GL_POINT_SMOOTH, GL_RASTERIZER_DISCARD, GL_POLYGON_SMOOTH};
constexpr GLenum kHintList[3] = {GL_POINT_SMOOTH_HINT, GL_LINE_SMOOTH_HINT,
                                 GL_POLYGON_SMOOTH_HINT};
constexpr GLenum kFaces[2] = {GL_FRONT, GL_BACK};
constexpr GLenum kMaterialVectors[4] = {GL_AMBIENT, GL_DIFFUSE, GL_SPECULAR, GL_EMISSION};
constexpr GLenum kLightVectors[5] = {GL_AMBIENT, GL_DIFFUSE, GL_SPECULAR, GL_POSITION,
                                     GL_SPOT_DIRECTION};
constexpr GLenum kLightScalars[5] = {GL_SPOT_EXPONENT, GL_SPOT_CUTOFF, GL_CONSTANT_ATTENUATION,
                                     GL_LINEAR_ATTENUATION, GL_QUADRATIC_ATTENUATION};

GLint Integer(GLenum name) {
  GLint value = 0;
  glGetIntegerv(name, &value);
  return value;
}

// The indexed storage bindings read back: as many as the context has, up to
// the number kept.
int StorageBindingsRead() {
  GLint available = 0;
  glGetIntegerv(GL_MAX_SHADER_STORAGE_BUFFER_BINDINGS, &available);
  return available < GlFixedState::kStorageBindings ? available
                                                     : GlFixedState::kStorageBindings;
}

void SetCapability(GLenum capability, bool on) {
  if (on)
    glEnable(capability);
  else
    glDisable(capability);
}

void SetClientState(GLenum array, bool on) {
  if (on)
    glEnableClientState(array);
  else
    glDisableClientState(array);
}
}  // namespace

GlFixedState ReadGlFixedState() {
  GlFixedState s{};
  for (int i = 0; i < GlFixedState::kCapabilities; ++i)
    s.enabled[i] = glIsEnabled(kCapabilityList[i]);
  s.activeTexture = Integer(GL_ACTIVE_TEXTURE);
  for (int u = 0; u < GlFixedState::kUnits; ++u) {
    glActiveTexture(GL_TEXTURE0 + u);
    s.texture2d[u] = glIsEnabled(GL_TEXTURE_2D);
    s.boundTexture[u] = Integer(GL_TEXTURE_BINDING_2D);
    glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &s.texEnvMode[u]);
    glGetFloatv(GL_CURRENT_TEXTURE_COORDS, s.texCoord[u]);
    glGetDoublev(GL_TEXTURE_MATRIX, s.textureMatrix[u]);
  }
  glActiveTexture(s.activeTexture);
  s.vertexArray = glIsEnabled(GL_VERTEX_ARRAY);
  s.colourArray = glIsEnabled(GL_COLOR_ARRAY);
  GLboolean mask = GL_TRUE;
  glGetBooleanv(GL_DEPTH_WRITEMASK, &mask);
  s.depthMask = mask;
  s.blend[0] = Integer(GL_BLEND_SRC_RGB);
  s.blend[1] = Integer(GL_BLEND_DST_RGB);
  s.blend[2] = Integer(GL_BLEND_SRC_ALPHA);
  s.blend[3] = Integer(GL_BLEND_DST_ALPHA);
  s.blendEquation[0] = Integer(GL_BLEND_EQUATION_RGB);
  s.blendEquation[1] = Integer(GL_BLEND_EQUATION_ALPHA);
  s.depthFunc = Integer(GL_DEPTH_FUNC);
  s.shadeModel = Integer(GL_SHADE_MODEL);
  s.cullFace = Integer(GL_CULL_FACE_MODE);
  s.frontFace = Integer(GL_FRONT_FACE);
  s.matrixMode = Integer(GL_MATRIX_MODE);
  for (int i = 0; i < 3; ++i) s.hints[i] = Integer(kHintList[i]);
  s.colourMaterial[0] = Integer(GL_COLOR_MATERIAL_FACE);
  s.colourMaterial[1] = Integer(GL_COLOR_MATERIAL_PARAMETER);
  s.lightModelTwoSide = Integer(GL_LIGHT_MODEL_TWO_SIDE);
  s.lightModelLocalViewer = Integer(GL_LIGHT_MODEL_LOCAL_VIEWER);
  glGetFloatv(GL_LIGHT_MODEL_AMBIENT, s.lightModelAmbient);
  s.arrayBuffer = Integer(GL_ARRAY_BUFFER_BINDING);
  s.storageBuffer = Integer(GL_SHADER_STORAGE_BUFFER_BINDING);
  for (int i = 0; i < StorageBindingsRead(); ++i)
    glGetIntegeri_v(GL_SHADER_STORAGE_BUFFER_BINDING, i, &s.storageBindings[i]);
  s.program = Integer(GL_CURRENT_PROGRAM);
  glGetFloatv(GL_COLOR_CLEAR_VALUE, s.clearColour);
  glGetFloatv(GL_DEPTH_CLEAR_VALUE, &s.clearDepth);
  glGetFloatv(GL_LINE_WIDTH, &s.lineWidth);
  glGetFloatv(GL_POINT_SIZE, &s.pointSize);
  glGetFloatv(GL_CURRENT_COLOR, s.colour);
  glGetFloatv(GL_CURRENT_NORMAL, s.normal);
  for (int f = 0; f < 2; ++f) {
    for (int v = 0; v < 4; ++v) glGetMaterialfv(kFaces[f], kMaterialVectors[v], s.material[f][v]);
    glGetMaterialfv(kFaces[f], GL_SHININESS, &s.shininess[f]);
  }
  for (int l = 0; l < GlFixedState::kLights; ++l) {
    for (int v = 0; v < 5; ++v) glGetLightfv(GL_LIGHT0 + l, kLightVectors[v], s.light[l][v]);
    for (int v = 0; v < 5; ++v)
      glGetLightfv(GL_LIGHT0 + l, kLightScalars[v], &s.lightScalars[l][v]);
  }
  glGetDoublev(GL_MODELVIEW_MATRIX, s.modelview);
  glGetDoublev(GL_PROJECTION_MATRIX, s.projection);
  return s;
}

void ApplyGlFixedState(const GlFixedState& s) {
  // Materials and the colour first, with colour tracking off, so that
  // neither overwrites the other; the capabilities come after.
  glDisable(GL_COLOR_MATERIAL);
  for (int f = 0; f < 2; ++f) {
    for (int v = 0; v < 4; ++v) glMaterialfv(kFaces[f], kMaterialVectors[v], s.material[f][v]);
    glMaterialf(kFaces[f], GL_SHININESS, s.shininess[f]);
  }
  glColorMaterial(s.colourMaterial[0], s.colourMaterial[1]);
  glColor4fv(s.colour);
  glNormal3fv(s.normal);
  // Light positions and directions were read in eye space: they go back
  // under an identity model-view, which leaves them as they are.
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  for (int l = 0; l < GlFixedState::kLights; ++l) {
    for (int v = 0; v < 5; ++v) glLightfv(GL_LIGHT0 + l, kLightVectors[v], s.light[l][v]);
    for (int v = 0; v < 5; ++v) glLightf(GL_LIGHT0 + l, kLightScalars[v], s.lightScalars[l][v]);
  }
  glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, s.lightModelTwoSide);
  glLightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, s.lightModelLocalViewer);
  glLightModelfv(GL_LIGHT_MODEL_AMBIENT, s.lightModelAmbient);
  glLoadMatrixd(s.modelview);
  glMatrixMode(GL_PROJECTION);
  glLoadMatrixd(s.projection);
  for (int u = 0; u < GlFixedState::kUnits; ++u) {
    glActiveTexture(GL_TEXTURE0 + u);
    SetCapability(GL_TEXTURE_2D, s.texture2d[u]);
    glBindTexture(GL_TEXTURE_2D, s.boundTexture[u]);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, s.texEnvMode[u]);
    glMultiTexCoord4fv(GL_TEXTURE0 + u, s.texCoord[u]);
    glMatrixMode(GL_TEXTURE);
    glLoadMatrixd(s.textureMatrix[u]);
  }
  glActiveTexture(s.activeTexture);
  glMatrixMode(s.matrixMode);
  for (int i = 0; i < GlFixedState::kCapabilities; ++i)
    SetCapability(kCapabilityList[i], s.enabled[i]);
  SetClientState(GL_VERTEX_ARRAY, s.vertexArray);
  SetClientState(GL_COLOR_ARRAY, s.colourArray);
  glDepthMask(s.depthMask ? GL_TRUE : GL_FALSE);
  glBlendFuncSeparate(s.blend[0], s.blend[1], s.blend[2], s.blend[3]);
  glBlendEquationSeparate(s.blendEquation[0], s.blendEquation[1]);
  glDepthFunc(s.depthFunc);
  glShadeModel(s.shadeModel);
  glCullFace(s.cullFace);
  glFrontFace(s.frontFace);
  for (int i = 0; i < 3; ++i) glHint(kHintList[i], s.hints[i]);
  for (int i = 0; i < StorageBindingsRead(); ++i)
    if (s.storageBindings[i]) glBindBufferBase(GL_SHADER_STORAGE_BUFFER, i, s.storageBindings[i]);
  glBindBuffer(GL_SHADER_STORAGE_BUFFER, s.storageBuffer);
  glBindBuffer(GL_ARRAY_BUFFER, s.arrayBuffer);
  glUseProgram(s.program);
  glClearColor(s.clearColour[0], s.clearColour[1], s.clearColour[2], s.clearColour[3]);
  glClearDepth(s.clearDepth);
  glLineWidth(s.lineWidth);
  glPointSize(s.pointSize);
}
