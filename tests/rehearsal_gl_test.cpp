// The rehearsal's GL side: the held picture comes back pixel for pixel, the
// display writes over the picture, and neither leaves a GL state changed for
// the show's next frame; shaders built again while the show runs replace
// the programs in use only when they compile, and the particle move program
// keeps the uniforms set for its next frame.
#include "runtime/rehearsal_loop.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/shader_build.h"
#include "particles/particle_field.h"
#include "render/render_target.h"
#include "render/shaders.h"
#include "tests/gl_context.h"

namespace fs = std::filesystem;

namespace {
// The GL state a frame of the show could leave and the next one rely on:
// switches, bindings, viewport, matrices, colours, blending.
std::vector<GLfloat> ReadState() {
  std::vector<GLfloat> state;
  for (GLenum cap : {GL_DEPTH_TEST, GL_TEXTURE_2D, GL_BLEND, GL_LIGHTING, GL_CULL_FACE, GL_FOG})
    state.push_back(glIsEnabled(cap));
  for (GLenum value : {GL_CURRENT_PROGRAM, GL_DRAW_FRAMEBUFFER_BINDING, GL_READ_FRAMEBUFFER_BINDING,
                       GL_ACTIVE_TEXTURE, GL_TEXTURE_BINDING_2D, GL_VIEWPORT, GL_PROJECTION_MATRIX,
                       GL_MODELVIEW_MATRIX, GL_CURRENT_COLOR, GL_COLOR_CLEAR_VALUE,
                       GL_BLEND_SRC_ALPHA, GL_MATRIX_MODE}) {
    GLfloat values[16];
    const int count = value == GL_VIEWPORT || value == GL_CURRENT_COLOR ||
                      value == GL_COLOR_CLEAR_VALUE ? 4 : value == GL_PROJECTION_MATRIX ||
                      value == GL_MODELVIEW_MATRIX ? 16 : 1;
    glGetFloatv(value, values);
    state.insert(state.end(), values, values + count);
  }
  return state;
}

// A state unlike the drawing's own: depth test, texturing and lighting on,
// a program in use, odd matrices, viewport and colours, unit 1 active.
GLuint LeaveOddState() {
  static GLuint program = 0;
  if (!program) {
    const char* source = "#version 430 compatibility\nvoid main() { gl_Position = ftransform(); }\n";
    const GLuint shader = glCreateShader(GL_VERTEX_SHADER);
    glShaderSource(shader, 1, &source, nullptr);
    CompileShaderObject(shader);
    program = glCreateProgram();
    glAttachShader(program, shader);
    LinkProgramObject(program);
  }
  glUseProgram(program);
  glEnable(GL_DEPTH_TEST);
  glEnable(GL_LIGHTING);
  glEnable(GL_BLEND);
  glBlendFunc(GL_ONE, GL_ONE);
  glActiveTexture(GL_TEXTURE1);
  glEnable(GL_TEXTURE_2D);
  const GLuint texture = testgl::PlainTexture(10, 20, 30);
  glMatrixMode(GL_PROJECTION);
  glRotatef(30, 0, 0, 1);
  glMatrixMode(GL_MODELVIEW);
  glTranslatef(0.25f, 0, 0);
  glViewport(10, 20, 300, 200);
  glColor4f(0.2f, 0.4f, 0.6f, 0.8f);
  glClearColor(0.1f, 0.2f, 0.3f, 0.4f);
  return texture;
}

TEST(RehearsalGl, HeldPictureAndDisplayChangeOnlyPixels) {
  windowWidth = testgl::kWidth;
  windowHeight = testgl::kHeight;
  // A picture: green below the middle, blue above.
  testgl::ResetState();
  glClearColor(0, 0.5f, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  glEnable(GL_SCISSOR_TEST);
  glScissor(0, testgl::kHeight / 2, testgl::kWidth, testgl::kHeight / 2);
  glClearColor(0, 0, 0.75f, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  glDisable(GL_SCISSOR_TEST);

  const GLuint texture = LeaveOddState();
  const std::vector<GLfloat> before = ReadState();
  HoldScreenPicture();
  EXPECT_EQ(ReadState(), before) << "holding the picture changed GL state";
  glClear(GL_COLOR_BUFFER_BIT);  // the odd clear colour
  ShowHeldScreenPicture();
  EXPECT_EQ(ReadState(), before) << "showing the held picture changed GL state";
  glReadBuffer(GL_BACK);
  EXPECT_EQ(testgl::ReadPixel(640, 100), (std::array<int, 4>{0, 128, 0, 255}));
  EXPECT_EQ(testgl::ReadPixel(640, 600), (std::array<int, 4>{0, 0, 191, 255}));
  EXPECT_EQ(testgl::ReadPixel(0, 0), (std::array<int, 4>{0, 128, 0, 255}));
  EXPECT_EQ(testgl::ReadPixel(1279, 719), (std::array<int, 4>{0, 0, 191, 255}));

  // The display: light text on a darkened box at the top left, the rest as it was.
  DrawDisplayText({"music 0:12.34   demo time 123.4", "WWWWWWWWWWWWWWWW"}, 1);
  EXPECT_EQ(ReadState(), before) << "the display changed GL state";
  int light = 0, amber = 0;
  for (int y = 670; y < 720; ++y)
    for (int x = 0; x < 300; ++x) {
      const auto p = testgl::ReadPixel(x, y);
      light += p[0] > 200 && p[1] > 200 && p[2] > 200;
      amber += p[0] > 200 && p[1] > 150 && p[1] < 220 && p[2] < 120;
    }
  EXPECT_GT(light, 100) << "white text of the first line";
  EXPECT_GT(amber, 50) << "amber text of the second line";
  const auto box = testgl::ReadPixel(5, 715);
  EXPECT_LT(box[2], 191 / 2) << "the box darkens the picture";
  EXPECT_EQ(testgl::ReadPixel(900, 600), (std::array<int, 4>{0, 0, 191, 255}));
  glDeleteTextures(1, &texture);
  testgl::ResetState();
}

// A directory with dat/ and shaders/ copied from the sources, as the
// working directory of the reloads; gone, and the old directory back, at the end.
struct ShaderDirectory {
  fs::path saved = fs::current_path();
  fs::path dir = fs::path(testing::TempDir()) / "k12-rehearsal-shaders";
  ShaderDirectory() {
    fs::remove_all(dir);
    fs::create_directories(dir);
    for (const char* sub : {"dat", "shaders"})
      fs::copy(fs::path(KELVANE_SOURCE_DIR) / "assets" / sub, dir / sub, fs::copy_options::recursive);
    fs::current_path(dir);
  }
  ~ShaderDirectory() {
    fs::current_path(saved);
    fs::remove_all(dir);
  }
  void Write(const std::string& file, const std::string& text) {
    fs::remove(dir / file);
    std::ofstream(dir / file) << text;
  }
};

TEST(RehearsalGl, PostProgramsAreReplacedOnlyByOnesThatCompile) {
  ShaderDirectory files;
  const ShaderPrograms saved = programs;
  testgl::ResetState();
  std::string error;
  ASSERT_TRUE(ReloadPostPrograms(&error)) << error;
  EXPECT_NE(programs.dof, saved.dof);
  EXPECT_NE(programs.multiply, saved.multiply);
  GLint linked = 0;
  glGetProgramiv(programs.dof, GL_LINK_STATUS, &linked);
  EXPECT_EQ(linked, GL_TRUE);
  GLint current = 0;
  glGetIntegerv(GL_CURRENT_PROGRAM, &current);
  EXPECT_EQ(current, 0) << "the current program is left as it was";

  const ShaderPrograms working = programs;
  files.Write("dat/multiply_fragment.glsl", "#version 430 compatibility\nvoid main( {\n");
  EXPECT_FALSE(ReloadPostPrograms(&error));
  EXPECT_NE(error.find("dat/multiply_fragment.glsl does not compile"), std::string::npos) << error;
  EXPECT_GT(error.find("compile:\n"), 0u);
  EXPECT_EQ(programs.dof, working.dof) << "the programs in use stay, dof included";
  EXPECT_EQ(programs.multiply, working.multiply);
  EXPECT_TRUE(glIsProgram(working.multiply));
  fs::remove(files.dir / "dat/dof_fragment.glsl");
  EXPECT_FALSE(ReloadPostPrograms(&error));
  EXPECT_NE(error.find("cannot read dat/dof_fragment.glsl"), std::string::npos) << error;
  EXPECT_EQ(programs.dof, working.dof);
  programs = saved;
}

TEST(RehearsalGl, ComputeProgramsBuiltAgainKeepTheMoveUniforms) {
  ShaderDirectory files;
  const ParticleFieldObjects saved = particleField;
  std::string error;
  std::vector<GLuint> shaders;
  particleField.propagationProgram =
      BuildProgramFromFiles({{GL_COMPUTE_SHADER, "shaders/propagation-glsl.cs"}}, &shaders, &error);
  particleField.collisionProgram =
      BuildProgramFromFiles({{GL_COMPUTE_SHADER, "shaders/collision-glsl.cs"}}, &shaders, &error);
  particleField.moveProgram =
      BuildProgramFromFiles({{GL_COMPUTE_SHADER, "shaders/moveparticles-glsl.cs"}}, &shaders, &error);
  ASSERT_NE(particleField.moveProgram, 0u) << error;
  const GLuint oldMove = particleField.moveProgram;
  glProgramUniform1f(oldMove, 10, 12.5f);
  glProgramUniform1f(oldMove, 12, 0.75f);
  glProgramUniform1i(oldMove, 13, 1);
  glUseProgram(oldMove);
  ASSERT_TRUE(ReloadComputePrograms(&error)) << error;
  const GLuint move = particleField.moveProgram;
  EXPECT_NE(move, oldMove);
  EXPECT_FALSE(glIsProgram(oldMove)) << "the old program is deleted";
  GLint current = 0;
  glGetIntegerv(GL_CURRENT_PROGRAM, &current);
  EXPECT_EQ(static_cast<GLuint>(current), move) << "the program in use is its new build";
  GLfloat clock = 0, factor = 0;
  GLint colourSet = 0;
  glGetUniformfv(move, 10, &clock);
  glGetUniformfv(move, 12, &factor);
  glGetUniformiv(move, 13, &colourSet);
  EXPECT_EQ(clock, 12.5f);
  EXPECT_EQ(factor, 0.75f);
  EXPECT_EQ(colourSet, 1);

  const ParticleFieldObjects working = particleField;
  files.Write("shaders/collision-glsl.cs", "#version 430\nbroken\n");
  EXPECT_FALSE(ReloadComputePrograms(&error));
  EXPECT_NE(error.find("shaders/collision-glsl.cs does not compile"), std::string::npos) << error;
  EXPECT_EQ(particleField.propagationProgram, working.propagationProgram);
  EXPECT_EQ(particleField.collisionProgram, working.collisionProgram);
  EXPECT_EQ(particleField.moveProgram, working.moveProgram);
  glUseProgram(0);
  for (GLuint program : {working.propagationProgram, working.collisionProgram, working.moveProgram})
    glDeleteProgram(program);
  particleField = saved;
}
}  // namespace
