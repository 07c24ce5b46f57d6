#include "particles/particle_field.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "scenes/scene_state.h"
#include "tests/gl_context.h"

namespace fs = std::filesystem;

namespace {
// The open part of the test halftone: a 40 x 40 box of water (y up), walled
// in by obstacles everywhere else.
constexpr int kBoxLeft = 100, kBoxBottom = 200, kBoxSize = 40;

bool InBox(int x, int y) {
  return x >= kBoxLeft && x < kBoxLeft + kBoxSize && y >= kBoxBottom &&
         y < kBoxBottom + kBoxSize;
}

// Writes a plain PPM whose pixel in column x, row r (from the top) is pixel(x, r).
template <typename Pixel>
void WritePpm(const fs::path& path, int width, int height, Pixel pixel) {
  std::string text = "P3\n# test\n" + std::to_string(width) + " " + std::to_string(height) +
                     "\n255\n";
  char sample[40];
  for (int r = 0; r < height; ++r) {
    for (int x = 0; x < width; ++x) {
      int rgb[3];
      pixel(x, r, rgb);
      snprintf(sample, sizeof sample, "%d %d %d ", rgb[0], rgb[1], rgb[2]);
      text += sample;
    }
    text += '\n';
  }
  std::ofstream(path) << text;
}

template <typename T>
std::vector<T> ReadBuffer(unsigned int buffer, size_t count) {
  std::vector<T> values(count);
  glBindBuffer(GL_SHADER_STORAGE_BUFFER, buffer);
  glGetBufferSubData(GL_SHADER_STORAGE_BUFFER, 0, count * sizeof(T), values.data());
  return values;
}

GLint BoundAt(int binding) {
  GLint name = 0;
  glGetIntegeri_v(GL_SHADER_STORAGE_BUFFER_BINDING, binding, &name);
  return name;
}

// The field's bookkeeping and clock, as a show would carry them; set afresh
// for the suite.
SceneState scene;
ParticleFieldState field;

// Sets the projection the scene renderer uses, then runs one field frame.
void RunFieldFrame(int frame, float frameFactor) {
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glViewport(0, 0, 1280, 720);
  gluPerspective(35, 1, 0.1, 100);
  glMatrixMode(GL_MODELVIEW);
  scene.particleFrameFactor = frameFactor;
  scene.particleClock += 0.005f * frameFactor;
  UpdateAndDrawParticleField(field, frame, scene.particleClock, scene.particleFrameFactor);
}

// Test pictures of the real sizes, with the shader sources beside them.
class ParticleField : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    base = fs::temp_directory_path() / ("k12-field-" + std::to_string(getpid()));
    fs::create_directories(base / "data");
    fs::create_directory_symlink(fs::path(KELVANE_SOURCE_DIR) / "assets/shaders",
                                 base / "shaders");
    WritePpm(base / "data/traffic_01_halftone.ppm", 640, 320, [](int x, int r, int* rgb) {
      rgb[0] = InBox(x, 319 - r) ? 0 : 90;
      rgb[1] = rgb[2] = 0;
    });
    WritePpm(base / "data/gfx_floppy_tlo.ppm", 1280, 720, [](int x, int r, int* rgb) {
      rgb[0] = x % 256;
      rgb[1] = r % 256;
      rgb[2] = 7;
    });
    WritePpm(base / "data/gfx_ld1.ppm", 1280, 720, [](int x, int r, int* rgb) {
      rgb[0] = 250;
      rgb[1] = (x + r) % 256;
      rgb[2] = 3;
    });
    testgl::ResetState();
    scene = SceneState{};
    field = ParticleFieldState{};
    SetUpParticleField(base.string() + "/");
  }
  static void TearDownTestSuite() {
    TearDownParticleField();
    fs::remove_all(base);
  }
  static fs::path base;
};
fs::path ParticleField::base;

// Every particle sits on its grid position (x / 1280, y / 720, 0, 1).
void ExpectParticlesOnTheGrid() {
  auto p = ReadBuffer<float>(particleField.positions, size_t(kParticleCount) * 4);
  long off = 0;
  for (int x = 0; x < kFieldWidth; ++x)
    for (int y = 0; y < kFieldHeight; ++y) {
      const float* v = &p[(size_t(x) * kFieldHeight + y) * 4];
      if (v[0] != float(x) / 1280 || v[1] != float(y) / 720 || v[2] != 0 || v[3] != 1) ++off;
    }
  EXPECT_EQ(off, 0);
}
}  // namespace

// Each frame swaps the two distribution buffers and clears to white.
TEST_F(ParticleField, FramesSwapTheDistributionsOverAWhiteClear) {
  for (bool odd : {true, false}) {
    RunFieldFrame(300, 1.0f);
    EXPECT_EQ(BoundAt(4), GLint(odd ? particleField.distributionA : particleField.distributionB));
    EXPECT_EQ(BoundAt(5), GLint(odd ? particleField.distributionB : particleField.distributionA));
  }
  GLfloat clear[4];
  glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
  EXPECT_EQ(clear[0] + clear[1] + clear[2], 3.0f);
}

TEST_F(ParticleField, RestartSwitchesTheColouringAndRegridsTheParticles) {
  // Let the particles drift first, so the regridding has something to undo.
  scene.particleClock = 3.0f;
  for (int i = 0; i < 2; ++i) RunFieldFrame(1290, 1.0f);
  RestartParticleField(field);
  EXPECT_EQ(field.colourSet, 1);
  EXPECT_EQ(BoundAt(10), GLint(particleField.colourOpaque[1]));
  EXPECT_EQ(BoundAt(11), GLint(particleField.colourTranslucent[1]));
  ExpectParticlesOnTheGrid();

  RunFieldFrame(1300, 1.0f);
  GLint colourSet = 0;
  glGetUniformiv(particleField.moveProgram, 13, &colourSet);
  EXPECT_EQ(colourSet, 1);  // seen by the next move pass
  GLfloat size = 0;
  glGetFloatv(GL_POINT_SIZE, &size);
  EXPECT_EQ(size, 7.0f);
  // The second picture is red 250 with blue 3 everywhere: the frame is drawn
  // in its colours now.
  auto middle = testgl::ReadPixel(640, 360);
  EXPECT_NEAR(middle[0], 250, 2);
  EXPECT_NEAR(middle[2], 3, 2);
}

TEST(ParticleFieldDeathTest, BrokenComputeShaderEndsTheProgramNamingTheFile) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  // The death test runs this body again in a child process: the child takes
  // the parent's directory from the environment, so the parent removes the
  // only one made.
  if (!getenv("K12_BROKEN_SHADER_DIR")) {
    const fs::path own = fs::temp_directory_path() / ("k12-broken-" + std::to_string(getpid()));
    setenv("K12_BROKEN_SHADER_DIR", own.c_str(), 1);
  }
  const fs::path base = getenv("K12_BROKEN_SHADER_DIR");
  fs::create_directories(base / "shaders");
  std::ofstream(base / "shaders/propagation-glsl.cs") << "#version 430\nthis is not glsl\n";
  EXPECT_EXIT(SetUpParticleField(base.string() + "/"), testing::ExitedWithCode(1),
              "propagation-glsl.cs");
  fs::remove_all(base);
}
