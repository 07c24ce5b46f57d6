#include "particles/particle_field.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/fatal.h"
#include "core/file_open.h"
#include "core/gl.h"
#include "core/shader_build.h"
#include "particles/file_readers.h"

ParticleFieldObjects particleField = {};

namespace {
const char* const kPropagationShader = "shaders/propagation-glsl.cs";
const char* const kCollisionShader = "shaders/collision-glsl.cs";
const char* const kMoveShader = "shaders/moveparticles-glsl.cs";
const char* const kHalftonePicture = "data/traffic_01_halftone.ppm";
const char* const kFirstColouring = "data/gfx_floppy_tlo.ppm";
const char* const kSecondColouring = "data/gfx_ld1.ppm";

const GLsizeiptr kScalarBytes = GLsizeiptr(kLatticeCells) * 4;
const GLsizeiptr kDistributionBytes = GLsizeiptr(kLatticeCells) * 9 * 4;
const GLsizeiptr kParticleBytes = GLsizeiptr(kParticleCount) * 4 * 4;

// D2Q9 weights: rest, the four axis directions, the four diagonals.
const float kWeights[9] = {4.0f / 9,  1.0f / 9,  1.0f / 9,  1.0f / 9, 1.0f / 9,
                           1.0f / 36, 1.0f / 36, 1.0f / 36, 1.0f / 36};

// Shader texts are kept for the whole run, as read.
char* shaderTexts[3] = {nullptr, nullptr, nullptr};

// Ends the program with a shader's or program's info log under the file name
// it came from.
[[noreturn]] void ComputeShaderFatal(GLuint object, bool isProgram, const std::string& file,
                                     const char* what) {
  std::string log;
  ShaderInfoLog(object, isProgram, &log);
  Fatal(stderr, "Compute shader %s failed: %s\n%s\n", what, file.c_str(), log.c_str());
}

// Reads, compiles and links one compute shader into its own program; a file
// that does not open, compile or link ends the program.
GLuint LoadComputeProgram(const std::string& file, char** keptText) {
  std::string why;
  FILE* stream = OpenRegularFile(file.c_str(), &why);
  if (!stream) {
    Fatal(stderr, "Cannot open the compute shader: %s (%s)\n", file.c_str(), why.c_str());
  }
  *keptText = ReadTextFile(stream);
  const GLchar* source = *keptText;
  GLuint shader = glCreateShader(GL_COMPUTE_SHADER);
  glShaderSource(shader, 1, &source, nullptr);
  if (!CompileShaderObject(shader)) {
    ComputeShaderFatal(shader, false, file, "compile");
  }
  GLuint program = glCreateProgram();
  glAttachShader(program, shader);
  if (!LinkProgramObject(program)) {
    ComputeShaderFatal(program, true, file, "link");
  }
  return program;
}

// Creates a storage buffer of `bytes` with no contents yet; leaves it bound
// to the generic shader storage target.
GLuint CreateStorageBuffer(GLsizeiptr bytes) {
  GLuint buffer = 0;
  glGenBuffers(1, &buffer);
  glBindBuffer(GL_SHADER_STORAGE_BUFFER, buffer);
  glBufferData(GL_SHADER_STORAGE_BUFFER, bytes, nullptr, GL_STATIC_DRAW);
  return buffer;
}

// Maps the bound storage buffer for writing, discarding what it held.
void* MapForRewrite(GLsizeiptr bytes) {
  return glMapBufferRange(GL_SHADER_STORAGE_BUFFER, 0, bytes,
                          GL_MAP_WRITE_BIT | GL_MAP_INVALIDATE_BUFFER_BIT);
}

// A scalar grid of 0.0 per lattice cell.
GLuint CreateScalarGrid() {
  GLuint buffer = CreateStorageBuffer(kScalarBytes);
  float* values = static_cast<float*>(MapForRewrite(kScalarBytes));
  for (int i = 0; i < kLatticeCells; ++i) values[i] = 0.0f;
  glUnmapBuffer(GL_SHADER_STORAGE_BUFFER);
  return buffer;
}

// A distribution buffer holding the fluid at rest: the nine weights per cell.
GLuint CreateDistributionBuffer() {
  GLuint buffer = CreateStorageBuffer(kDistributionBytes);
  float* f = static_cast<float*>(MapForRewrite(kDistributionBytes));
  for (int cell = 0; cell < kLatticeCells; ++cell)
    for (int d = 0; d < 9; ++d) f[cell * 9 + d] = kWeights[d];
  glUnmapBuffer(GL_SHADER_STORAGE_BUFFER);
  return buffer;
}

// One colour per particle from a colour grid, components / 255 and the given alpha.
GLuint CreateColourSet(const std::vector<int>& colourGrid, float alpha) {
  GLuint buffer = CreateStorageBuffer(kParticleBytes);
  float* rgba = static_cast<float*>(MapForRewrite(kParticleBytes));
  for (int i = 0; i < kParticleCount; ++i) {
    rgba[i * 4 + 0] = colourGrid[i * 3 + 0] / 255.0f;
    rgba[i * 4 + 1] = colourGrid[i * 3 + 1] / 255.0f;
    rgba[i * 4 + 2] = colourGrid[i * 3 + 2] / 255.0f;
    rgba[i * 4 + 3] = alpha;
  }
  glUnmapBuffer(GL_SHADER_STORAGE_BUFFER);
  return buffer;
}

// Camera shift of the opening frames: a slow push in over the first 20 s.
void ShiftCamera(int frame) {
  if (frame < 100) {
    glTranslatef(0.07f, 0.0f, -0.1f);
  } else if (frame < 160) {
    float s = static_cast<float>(frame - 160);
    glTranslatef(-0.001f * s, -0.1f - 0.0017f * s, 0.17f);
  } else if (frame < 200) {
    glTranslatef(0.05f, 0.0f, 0.04f);
  }
}

// Draws the particles as smooth points over a white clear; after the restart
// two more, slightly larger copies give the second colouring its bloom.
void DrawParticles(const ParticleFieldState& state, int frame) {
  glClearColor(1, 1, 1, 1);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glLoadIdentity();
  glPushMatrix();
  gluLookAt(0.5, 0.5, 1, 0.5, 0.5, -1, 0, 1, 0);
  ShiftCamera(frame);
  glEnable(GL_POINT_SMOOTH);
  glPointSize(state.colourSet == 1 ? 7.0f : 5.0f);
  glColor4f(0.2f, 0.1f, 0.0f, 0.4f);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glBindBuffer(GL_ARRAY_BUFFER, particleField.positions);
  glVertexPointer(4, GL_FLOAT, 0, nullptr);
  glBindBuffer(GL_ARRAY_BUFFER, particleField.colourOpaque[state.colourSet]);
  glColorPointer(4, GL_FLOAT, 0, nullptr);
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_COLOR_ARRAY);
  // A run-up frame rasterises nothing: the points' vertex work, the most of
  // such a frame, is left out, and every change of state still made.
  const bool drawn = !glIsEnabled(GL_RASTERIZER_DISCARD);
  if (drawn) glDrawArrays(GL_POINTS, 0, kParticleCount);
  if (state.colourSet == 1) {
    glScalef(1.05f, 1.05f, 1.01f);
    if (drawn) glDrawArrays(GL_POINTS, 0, kParticleCount);
    glScalef(1.05f, 1.05f, 1.01f);
    if (drawn) glDrawArrays(GL_POINTS, 0, kParticleCount);
  }
  glDisableClientState(GL_COLOR_ARRAY);
  glDisableClientState(GL_VERTEX_ARRAY);
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  glPopMatrix();
}
}  // namespace

void SetUpParticleField(const std::string& baseDir) {
  particleField.propagationProgram =
      LoadComputeProgram(baseDir + kPropagationShader, &shaderTexts[0]);
  particleField.collisionProgram = LoadComputeProgram(baseDir + kCollisionShader, &shaderTexts[1]);
  particleField.moveProgram = LoadComputeProgram(baseDir + kMoveShader, &shaderTexts[2]);

  particleField.positions = CreateStorageBuffer(kParticleBytes);
  ResetParticlePositions();
  particleField.obstacleMask = CreateStorageBuffer(kScalarBytes);
  for (unsigned int& grid : particleField.scalar) grid = CreateScalarGrid();
  particleField.distributionA = CreateDistributionBuffer();
  particleField.distributionB = CreateDistributionBuffer();

  std::vector<int> colourGrid(size_t(kParticleCount) * 3, 0);
  ReadPpmRgb(kFieldHeight, baseDir + kFirstColouring, colourGrid.data(), kFieldWidth);
  particleField.colourTranslucent[0] = CreateColourSet(colourGrid, 0.8f);
  particleField.colourOpaque[0] = CreateColourSet(colourGrid, 1.0f);

  glBindBufferBase(GL_SHADER_STORAGE_BUFFER, kObstacleBinding, particleField.obstacleMask);
  glBindBufferBase(GL_SHADER_STORAGE_BUFFER, kScalarBinding1, particleField.scalar[0]);
  glBindBufferBase(GL_SHADER_STORAGE_BUFFER, kScalarBinding2, particleField.scalar[1]);
  glBindBufferBase(GL_SHADER_STORAGE_BUFFER, kScalarBinding3, particleField.scalar[2]);
  glBindBufferBase(GL_SHADER_STORAGE_BUFFER, kPositionBinding, particleField.positions);
  glBindBufferBase(GL_SHADER_STORAGE_BUFFER, kOpaqueColourBinding, particleField.colourOpaque[0]);
  glBindBufferBase(GL_SHADER_STORAGE_BUFFER, kTranslucentColourBinding,
                   particleField.colourTranslucent[0]);

  // Obstacles: every cell whose halftone sample has any red.
  std::vector<int> redGrid(kLatticeCells, 0);
  ReadPpmRed(kLatticeHeight, baseDir + kHalftonePicture, redGrid.data(), kLatticeWidth);
  glBindBuffer(GL_SHADER_STORAGE_BUFFER, particleField.obstacleMask);
  int* mask = static_cast<int*>(
      glMapBufferRange(GL_SHADER_STORAGE_BUFFER, 0, kScalarBytes, GL_MAP_WRITE_BIT));
  for (int y = 0; y < kLatticeHeight; ++y)
    for (int x = 0; x < kLatticeWidth; ++x)
      mask[y * kLatticeWidth + x] = redGrid[x * kLatticeHeight + y] != 0 ? 1 : 0;
  glUnmapBuffer(GL_SHADER_STORAGE_BUFFER);

  ReadPpmRgb(kFieldHeight, baseDir + kSecondColouring, colourGrid.data(), kFieldWidth);
  particleField.colourTranslucent[1] = CreateColourSet(colourGrid, 0.8f);
  particleField.colourOpaque[1] = CreateColourSet(colourGrid, 1.0f);
}

void ResetParticlePositions() {
  glBindBuffer(GL_SHADER_STORAGE_BUFFER, particleField.positions);
  float* p = static_cast<float*>(MapForRewrite(kParticleBytes));
  for (int x = 0; x < kFieldWidth; ++x) {
    for (int y = 0; y < kFieldHeight; ++y) {
      float* v = p + (size_t(x) * kFieldHeight + y) * 4;
      v[0] = static_cast<float>(x) / kFieldWidth;
      v[1] = static_cast<float>(y) / kFieldHeight;
      v[2] = 0.0f;
      v[3] = 1.0f;
    }
  }
  glUnmapBuffer(GL_SHADER_STORAGE_BUFFER);
}

void StepParticleFluid(ParticleFieldState& state) {
  // The distributions stream from binding 4 into binding 5; swapping the two
  // buffers every frame makes last frame's output this frame's input.
  GLuint in = state.pingPong == 0 ? particleField.distributionA : particleField.distributionB;
  GLuint out = state.pingPong == 0 ? particleField.distributionB : particleField.distributionA;
  glBindBufferBase(GL_SHADER_STORAGE_BUFFER, kDistributionInBinding, in);
  glBindBufferBase(GL_SHADER_STORAGE_BUFFER, kDistributionOutBinding, out);
  state.pingPong = 1 - state.pingPong;

  glUseProgram(particleField.collisionProgram);
  glUniform1f(10, 0.0001f);  // push: strength of the stirring body force
  glUniform1f(11, 0.0f);     // lift: a steady extra force along y
  glDispatchCompute(kLatticeWidth / 32, kLatticeHeight / 32, 1);
  glMemoryBarrier(GL_SHADER_STORAGE_BARRIER_BIT);

  glUseProgram(particleField.propagationProgram);
  glDispatchCompute(kLatticeWidth / 32, kLatticeHeight / 32, 1);
  glMemoryBarrier(GL_SHADER_STORAGE_BARRIER_BIT);
}

void MoveParticles(const ParticleFieldState& state, float clock, float frameFactor) {
  glUseProgram(particleField.moveProgram);
  glDispatchCompute(kParticleCount / 100, 1, 1);
  glMemoryBarrier(GL_SHADER_STORAGE_BARRIER_BIT | GL_VERTEX_ATTRIB_ARRAY_BARRIER_BIT);
  glUniform1f(10, static_cast<float>(clock * 1.2));
  glUniform1f(12, frameFactor);
  glUniform1i(13, state.colourSet);
}

void StepParticleField(ParticleFieldState& state, float clock, float frameFactor) {
  glUseProgram(0);
  StepParticleFluid(state);
  MoveParticles(state, clock, frameFactor);
}

void DrawParticleField(const ParticleFieldState& state, int frame) {
  glDisable(GL_LIGHTING);
  glDisable(GL_DEPTH_TEST);
  DrawParticles(state, frame);
}

void UpdateAndDrawParticleField(ParticleFieldState& state, int frame, float clock,
                                float frameFactor) {
  StepParticleField(state, clock, frameFactor);
  DrawParticleField(state, frame);
}

void RestartParticleField(ParticleFieldState& state) {
  state.colourSet = 1;
  glBindBufferBase(GL_SHADER_STORAGE_BUFFER, kOpaqueColourBinding, particleField.colourOpaque[1]);
  glBindBufferBase(GL_SHADER_STORAGE_BUFFER, kTranslucentColourBinding,
                   particleField.colourTranslucent[1]);
  ResetParticlePositions();
}

void TearDownParticleField() {
  GLuint buffers[] = {particleField.positions,        particleField.obstacleMask,
                      particleField.scalar[0],        particleField.scalar[1],
                      particleField.scalar[2],        particleField.distributionA,
                      particleField.distributionB,    particleField.colourOpaque[0],
                      particleField.colourOpaque[1],  particleField.colourTranslucent[0],
                      particleField.colourTranslucent[1]};
  glDeleteBuffers(11, buffers);
  glDeleteProgram(particleField.collisionProgram);
  glDeleteProgram(particleField.propagationProgram);
  glDeleteProgram(particleField.moveProgram);
  for (char*& text : shaderTexts) {
    free(text);
    text = nullptr;
  }
  particleField = ParticleFieldObjects{};
}

// ---- Building the compute programs again while the show runs (rehearsal) ----

std::vector<std::string> ComputeShaderFiles() {
  return {kPropagationShader, kCollisionShader, kMoveShader};
}

bool ReloadComputePrograms(std::string* error) {
  unsigned int* const slots[3] = {&particleField.propagationProgram,
                                  &particleField.collisionProgram, &particleField.moveProgram};
  const char* const files[3] = {kPropagationShader, kCollisionShader, kMoveShader};
  GLuint rebuilt[3] = {0, 0, 0};
  std::vector<GLuint> shaders[3];
  for (int i = 0; i < 3; ++i) {
    rebuilt[i] = BuildProgramFromFiles({{GL_COMPUTE_SHADER, files[i]}}, &shaders[i], error);
    if (rebuilt[i]) continue;
    for (int j = 0; j < i; ++j) {
      glDeleteProgram(rebuilt[j]);
      glDeleteShader(shaders[j][0]);
    }
    return false;
  }
  // The move pass sets its uniforms after its dispatch, for the next frame.
  GLfloat clock = 0, factor = 0;
  GLint colourSet = 0;
  glGetUniformfv(particleField.moveProgram, 10, &clock);
  glGetUniformfv(particleField.moveProgram, 12, &factor);
  glGetUniformiv(particleField.moveProgram, 13, &colourSet);
  glProgramUniform1f(rebuilt[2], 10, clock);
  glProgramUniform1f(rebuilt[2], 12, factor);
  glProgramUniform1i(rebuilt[2], 13, colourSet);
  GLint current = 0;
  glGetIntegerv(GL_CURRENT_PROGRAM, &current);
  for (int i = 0; i < 3; ++i) {
    if (current != 0 && static_cast<GLuint>(current) == *slots[i])
      current = static_cast<GLint>(rebuilt[i]);
    // The shader objects go with their programs: flagged, deleted once detached.
    GLuint attached = 0;
    GLsizei count = 0;
    glGetAttachedShaders(*slots[i], 1, &count, &attached);
    glDeleteProgram(*slots[i]);
    if (count == 1) glDeleteShader(attached);
    glDeleteShader(shaders[i][0]);  // lives on while its program does
    *slots[i] = rebuilt[i];
  }
  glUseProgram(static_cast<GLuint>(current));
  return true;
}
