#include "runtime/startup.h"

#include "render/gl.h"  // GLEW before any other GL header
#include <GL/freeglut.h>
#include <SDL/SDL.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "overlays/textures.h"
#include "render/render_target.h"
#include "render/shaders.h"
#include "runtime/director.h"
#include "particles/particle_field.h"
#include "particles/point_cloud.h"
#include "runtime/frame_loop.h"
#include "runtime/key_track.h"
#include "runtime/random.h"

MusicStream musicStream = 0;
int windowWidth = 1280;
int windowHeight = 720;
bool useGameMode = true;

namespace {
constexpr const char* kWindowTitle = "kelvane12";
constexpr const char* kGameMode = "1280x720@60";
constexpr const char* kKeyTrackFile = "keys.dat";
constexpr int kLoaderPicture = 33;  // picture-table slot of the loader image

// Restores the desktop's display mode when the program ends from game mode.
void LeaveGameMode() {
  if (glutGameModeGet(GLUT_GAME_MODE_ACTIVE)) glutLeaveGameMode();
}

// Full-screen game mode at 1280x720; where the display cannot change its mode
// (Xvfb, Wayland, many desktops), a 1280x720 window made full-screen instead.
void OpenScreen() {
  if (!useGameMode) {
    glutInitWindowPosition(0, 0);
    glutCreateWindow(kWindowTitle);
    return;
  }
  glutGameModeString(kGameMode);
  if (glutGameModeGet(GLUT_GAME_MODE_POSSIBLE)) {
    glutEnterGameMode();
    if (glutGameModeGet(GLUT_GAME_MODE_ACTIVE)) {
      glutSetWindowTitle(kWindowTitle);
      atexit(LeaveGameMode);
      return;
    }
  }
  printf("kelvane12: game mode %s is not available, using a full-screen window\n", kGameMode);
  glutCreateWindow(kWindowTitle);
  glutFullScreen();
}
}  // namespace

bool CheckRunFiles() {
  bool ok = true;
  std::string error;
  if (!AudioCheckFile(kMusicFile, &error)) {
    fprintf(stderr, "kelvane12: %s\n", error.c_str());
    ok = false;
  }
  if (!CheckAssetImages()) ok = false;
  return ok;
}

void SetUpScreen() {
  static bool radFilled = false;
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glPointSize(1);
  glLineWidth(1);
  glColor3f(0, 0, 0);
  glViewport(0, 0, kRenderWidth, kRenderHeight);
  gluOrtho2D(0, 1, 0, 1);  // on the model-view matrix, the current one
  if (radFilled) return;
  radFilled = true;
  // The rad image is drawn once into the still-bound render target.
  glFramebufferTexture(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, radTexture, 0);
  glUseProgram(radProgram);
  glUniform1i(5, kRenderWidth);
  glUniform1i(6, kRenderHeight);
  const float corners[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
  glBegin(GL_QUADS);
  for (const auto& c : corners) {
    glTexCoord2f(c[0], c[1]);
    glVertex2f(c[0], c[1]);
  }
  glEnd();
}

void StartUp(int argc, char** argv) {
  glutInit(&argc, argv);
  glutInitWindowSize(1280, 720);
  glutInitWindowPosition(300, 100);
  glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
  OpenScreen();
  glewInit();
  LoadShaderPrograms();
  CreateRenderTarget();
  SetUpScreen();
  RandomSeed(38);
  ScatterPointCloud();
  glutReshapeFunc(OnReshape);
  glutDisplayFunc(OnDisplay);
  glutKeyboardFunc(OnKeyboard);
  LoadKeyTrack(kKeyTrackFile);
  StartKeyRecording();
  SDL_Init(0xFFFF);
  panelTexture = LoadTexture("gfx/panel.png");
  pictureTable[kLoaderPicture] = LoadTexture("gfx/loader.jpg");
  SetUpParticleField();
  glutSetCursor(GLUT_CURSOR_NONE);
}

void OnReshape(int width, int height) {
  windowWidth = width;
  windowHeight = height;
  glViewport(0, 0, width, height);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(director.fieldOfView, static_cast<float>(width) / static_cast<float>(height),
                 0.0, 10.0);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
}

void OnKeyboard(unsigned char key, int, int) {
  // Recorded first: Escape ends the process inside HandleKey.
  RecordLiveKey(key, MusicPositionSeconds());
  HandleKey(key);
  glutPostRedisplay();
}
