// kelvane12-fieldshot: runs the particle field for a number of frames the way
// the scene renderer drives it and writes chosen frames as PNG files.
// Needs a GL 4.3 context: run it under xvfb-run from the run directory (or
// give --base DIR holding data/ and shaders/).
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "core/gl.h"
#include "particles/particle_field.h"
#include "scenes/scene_state.h"

#include <GL/glut.h>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

namespace {
struct Options {
  int frames = 60;
  int every = 10;
  int restartAt = -1;       // frame before which the field restarts; -1 never
  float clockStart = 0.0f;  // particle clock before the first frame
  float frameFactor = 0.5f; // 0.5 is 60 frames per second of music
  float timeStart = 0.0f;   // demo time of the first frame (tenths of a second)
  std::string out = "fieldshots";
  std::string base = "";
  bool quick = false;       // frames that are not written skip the draw
};

int Usage(const char* why) {
  if (why) fprintf(stderr, "kelvane12-fieldshot: %s\n", why);
  fprintf(stderr,
          "usage: kelvane12-fieldshot [--frames N] [--every K] [--restart-at F]\n"
          "         [--clock-start C] [--frame-factor F] [--time-start T]\n"
          "         [--base DIR] [--quick] --out DIR\n"
          "Runs N field frames and writes every K-th (and the last) as DIR/field-NNNNN.png.\n"
          "--quick simulates the frames in between without drawing them.\n");
  return 2;
}

// Parses a whole-string number; false on junk.
bool ParseNumber(const char* text, double* value) {
  char* end = nullptr;
  *value = strtod(text, &end);
  return end != text && *end == '\0';
}

bool ParseOptions(int argc, char** argv, Options* o) {
  for (int i = 1; i < argc; ++i) {
    const char* name = argv[i];
    if (!strcmp(name, "--quick")) {
      o->quick = true;
      continue;
    }
    if (i + 1 >= argc) return false;
    const char* value = argv[++i];
    double v = 0;
    if (!strcmp(name, "--out")) o->out = value;
    else if (!strcmp(name, "--base")) o->base = std::string(value) + "/";
    else if (!ParseNumber(value, &v)) return false;
    else if (!strcmp(name, "--frames")) o->frames = static_cast<int>(v);
    else if (!strcmp(name, "--every")) o->every = static_cast<int>(v);
    else if (!strcmp(name, "--restart-at")) o->restartAt = static_cast<int>(v);
    else if (!strcmp(name, "--clock-start")) o->clockStart = static_cast<float>(v);
    else if (!strcmp(name, "--frame-factor")) o->frameFactor = static_cast<float>(v);
    else if (!strcmp(name, "--time-start")) o->timeStart = static_cast<float>(v);
    else return false;
  }
  return o->frames > 0 && o->every > 0 && o->frameFactor >= 0;
}

// Writes the back buffer as a PNG, top row first.
bool SaveFrame(const std::string& path) {
  std::vector<unsigned char> rgb(size_t(1280) * 720 * 3);
  glReadBuffer(GL_BACK);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, 1280, 720, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
  stbi_flip_vertically_on_write(1);
  return stbi_write_png(path.c_str(), 1280, 720, 3, rgb.data(), 1280 * 3) != 0;
}
// Fluid and particle health at this frame: top lattice speed, mean density
// and how many values are not finite.
void PrintFieldStats() {
  std::vector<float> rho(kLatticeCells), ux(kLatticeCells), uy(kLatticeCells);
  std::vector<float> pos(size_t(kParticleCount) * 4);
  auto read = [](unsigned int buffer, std::vector<float>& v) {
    glBindBuffer(GL_SHADER_STORAGE_BUFFER, buffer);
    glGetBufferSubData(GL_SHADER_STORAGE_BUFFER, 0, v.size() * 4, v.data());
  };
  read(particleField.scalar[0], rho);
  read(particleField.scalar[1], ux);
  read(particleField.scalar[2], uy);
  read(particleField.positions, pos);
  double maxSpeed = 0, meanSpeed = 0, meanRho = 0;
  long bad = 0;
  for (int i = 0; i < kLatticeCells; ++i) {
    double speed = std::hypot(ux[i], uy[i]);
    if (!std::isfinite(speed) || !std::isfinite(rho[i])) ++bad;
    else {
      maxSpeed = std::max(maxSpeed, speed);
      meanSpeed += speed / kLatticeCells;
      meanRho += rho[i] / kLatticeCells;
    }
  }
  for (float v : pos)
    if (!std::isfinite(v)) ++bad;
  fprintf(stderr, "  max |u| %.4f, mean |u| %.4f, mean density %.5f, non-finite %ld\n", maxSpeed,
          meanSpeed, meanRho, bad);
}
}  // namespace

int main(int argc, char** argv) {
  Options o;
  if (!ParseOptions(argc, argv, &o)) return Usage("bad options");
  glutInit(&argc, argv);
  std::error_code ec;
  std::filesystem::create_directories(o.out, ec);
  if (ec) {
    fprintf(stderr, "kelvane12-fieldshot: cannot create %s\n", o.out.c_str());
    return 1;
  }

  glutInitWindowSize(1280, 720);
  glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
  glutCreateWindow("kelvane12 fieldshot");
  if (glewInit() != GLEW_OK) {
    fprintf(stderr, "kelvane12-fieldshot: glewInit failed\n");
    return 1;
  }
  SetUpParticleField(o.base);

  SceneState scene;
  ParticleFieldState field;
  scene.particleClock = o.clockStart;
  float demoTime = o.timeStart;
  auto start = std::chrono::steady_clock::now();
  for (int frame = 0; frame < o.frames; ++frame) {
    if (frame == o.restartAt) {
      RestartParticleField(field);
      if (demoTime < 1295) demoTime = 1295;  // the second colouring's window
    }
    // What the scene renderer does before each particle frame.
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glViewport(0, 0, 1280, 720);
    gluPerspective(35, 1, 0.1, 100);
    glMatrixMode(GL_MODELVIEW);
    float f = o.frameFactor == 0 ? 1.0f : o.frameFactor;
    scene.particleFrameFactor = f;
    scene.particleClock += 0.005f * f;
    bool shot = frame % o.every == 0 || frame == o.frames - 1;
    if (shot || !o.quick) {
      UpdateAndDrawParticleField(field, static_cast<int>(demoTime), scene.particleClock,
                                 scene.particleFrameFactor);
    } else {
      StepParticleFluid(field);
      MoveParticles(field, scene.particleClock, scene.particleFrameFactor);
    }
    demoTime += f * 0.333f;

    if (shot) {
      char name[64];
      snprintf(name, sizeof name, "/field-%05d.png", frame);
      if (!SaveFrame(o.out + name)) {
        fprintf(stderr, "kelvane12-fieldshot: cannot write %s%s\n", o.out.c_str(), name);
        return 1;
      }
      double seconds =
          std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      fprintf(stderr, "frame %d/%d (clock %.3f, T %.1f) -> %s%s  [%.1f s]\n", frame + 1,
              o.frames, scene.particleClock, demoTime, o.out.c_str(), name, seconds);
      PrintFieldStats();
    }
    glutSwapBuffers();
  }
  return 0;
}
