// kelvane12-bench-field: time of one particle-field frame and of its parts.
// Needs a GL 4.3 context (run under xvfb-run) and the run directory's data/
// and shaders/ (or --base DIR holding them).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "core/gl.h"
#include "particles/particle_field.h"
#include "scenes/scene_state.h"

#include <GL/glut.h>

namespace {
// The field's bookkeeping and clock across the benchmarks, as the show keeps them.
ParticleFieldState field;
SceneState scene;

// The projection and viewport the scene renderer sets before the field.
void SceneProjection() {
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glViewport(0, 0, 1280, 720);
  gluPerspective(35, 1, 0.1, 100);
  glMatrixMode(GL_MODELVIEW);
}

// A whole frame of the opening: three passes and one draw of 921 600 points.
void BM_FieldFrame(benchmark::State& state) {
  SceneProjection();
  scene.particleFrameFactor = 0.5f;
  for (auto _ : state) {
    scene.particleClock += 0.0025f;
    UpdateAndDrawParticleField(field, 300, scene.particleClock, scene.particleFrameFactor);
    glFinish();
  }
}
BENCHMARK(BM_FieldFrame)->Unit(benchmark::kMillisecond)->MinTime(3.0);

// The lattice alone: collision and propagation over 640 x 320 cells.
void BM_FluidStep(benchmark::State& state) {
  for (auto _ : state) {
    StepParticleFluid(field);
    glFinish();
  }
}
BENCHMARK(BM_FluidStep)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The move pass alone over 921 600 particles.
void BM_MoveParticles(benchmark::State& state) {
  for (auto _ : state) {
    MoveParticles(field, scene.particleClock, scene.particleFrameFactor);
    glFinish();
  }
}
BENCHMARK(BM_MoveParticles)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// A frame after the restart: larger points, drawn three times.
void BM_FieldFrameRestarted(benchmark::State& state) {
  if (field.colourSet == 0) RestartParticleField(field);
  SceneProjection();
  for (auto _ : state) {
    UpdateAndDrawParticleField(field, 1300, scene.particleClock, scene.particleFrameFactor);
    glFinish();
  }
}
BENCHMARK(BM_FieldFrameRestarted)->Unit(benchmark::kMillisecond)->MinTime(3.0);
}  // namespace

int main(int argc, char** argv) {
  std::string base = KELVANE_RUN_DIR "/";
  for (int i = 1; i + 1 < argc; ++i) {
    if (!strcmp(argv[i], "--base")) {
      base = std::string(argv[i + 1]) + "/";
      for (int j = i; j + 2 <= argc; ++j) argv[j] = argv[j + 2];
      argc -= 2;
      break;
    }
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
    fprintf(stderr, "usage: kelvane12-bench-field [--base DIR] [benchmark options]\n");
    return 2;
  }
  glutInit(&argc, argv);
  glutInitWindowSize(1280, 720);
  glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
  glutCreateWindow("kelvane12 field benchmark");
  if (glewInit() != GLEW_OK) {
    fprintf(stderr, "kelvane12-bench-field: glewInit failed\n");
    return 1;
  }
  SetUpParticleField(base);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
