#include "runtime/startup.h"

#include "core/gl.h"  // GLEW before any other GL header
#include <GL/freeglut.h>
#include <SDL/SDL.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/random.h"
#include "objects/program_objects.h"
#include "overlays/textures.h"
#include "particles/particle_field.h"
#include "particles/point_cloud.h"
#include "render/render_target.h"
#include "render/shaders.h"
#include "runtime/director.h"
#include "runtime/frame_loop.h"
#include "runtime/key_track.h"
#include "runtime/x_display.h"

bool useGameMode = true;
bool playInWindow = false;

namespace {
constexpr const char* kWindowTitle = "kelvane12";
constexpr const char* kGameMode = "1280x720@60";
constexpr const char* kKeyTrackFile = "keys.dat";
constexpr int kLoaderPicture = 33;  // picture-table slot of the loader image
constexpr int kWindowWidth = 1280;
constexpr int kWindowHeight = 720;

// Restores the desktop's display mode when the program ends from game mode.
void LeaveGameMode() {
  if (glutGameModeGet(GLUT_GAME_MODE_ACTIVE)) glutLeaveGameMode();
}

// Whether the show covers the screen in a window made full-screen (false in a
// plain window and in game mode), and whether the window manager did that.
bool fullScreenWindow = false;
bool windowManagerFullScreen = false;

// Makes the window cover the whole screen: through the window manager's
// full-screen state where one offers it (it then also hides panels and
// borders), else by placing and sizing the window over the screen, which is
// all it takes without a window manager. The pointer is hidden over the show.
void EnterFullScreenWindow() {
  windowManagerFullScreen = WindowManagerDoesFullScreen();
  if (windowManagerFullScreen) {
    glutFullScreen();
  } else {
    glutPositionWindow(0, 0);
    glutReshapeWindow(glutGet(GLUT_SCREEN_WIDTH), glutGet(GLUT_SCREEN_HEIGHT));
  }
  fullScreenWindow = true;
  glutSetCursor(GLUT_CURSOR_NONE);
}

// Back to a 1280x720 window: the window manager restores the window it had;
// without one it is centred on the screen. The pointer shows over a window.
void LeaveFullScreenWindow() {
  if (windowManagerFullScreen) {
    glutLeaveFullScreen();
  } else {
    glutPositionWindow(std::max(0, (glutGet(GLUT_SCREEN_WIDTH) - kWindowWidth) / 2),
                       std::max(0, (glutGet(GLUT_SCREEN_HEIGHT) - kWindowHeight) / 2));
    glutReshapeWindow(kWindowWidth, kWindowHeight);
  }
  fullScreenWindow = false;
  glutSetCursor(GLUT_CURSOR_INHERIT);
}

// Full-screen game mode at 1280x720; where the display cannot change its mode
// (Xvfb, Wayland, many desktops), a window made full-screen instead. With
// --window an ordinary 1280x720 window.
void OpenScreen() {
  if (!useGameMode) {
    glutInitWindowPosition(0, 0);
    glutCreateWindow(kWindowTitle);
    return;
  }
  if (playInWindow) {
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
  EnterFullScreenWindow();
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
  // The meshes load here, after the options and beside the other files: a
  // damaged one ends the program with its message, before any window.
  LoadProgramMeshes(show.softBody, show.wireBody);
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
  glFramebufferTexture(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, targets.radTexture, 0);
  glUseProgram(programs.rad);
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
  // A stop signal ends the start-up between its steps, none of which waits
  // on anything but the work it does.
  EndIfStopSignal();
  LoadShaderPrograms();
  CreateRenderTarget();
  SetUpScreen();
  RandomSeed(show.generator, 38);
  ScatterPointCloud(show.pointCloud, show.rand);
  EndIfStopSignal();
  glutReshapeFunc(OnReshape);
  glutDisplayFunc(OnDisplay);
  glutKeyboardFunc(OnKeyboard);
  glutSpecialFunc(OnSpecialKey);
  LoadKeyTrack(kKeyTrackFile);
  StartKeyRecording();
  SDL_Init(0xFFFF);
  pictures.panel = LoadTexture("gfx/panel.png");
  pictures.table[kLoaderPicture] = LoadTexture("gfx/loader.jpg");
  EndIfStopSignal();
  SetUpParticleField();
  EndIfStopSignal();
  // Hidden over the show; a window beside other work keeps its pointer.
  glutSetCursor(playInWindow ? GLUT_CURSOR_INHERIT : GLUT_CURSOR_NONE);
}

void OnReshape(int width, int height) {
  windowWidth = width;
  windowHeight = height;
  glViewport(0, 0, width, height);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(show.director.fieldOfView, static_cast<float>(width) / static_cast<float>(height),
                 0.0, 10.0);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
}

void OnKeyboard(unsigned char key, int, int) {
  // Recorded first: Escape ends the process inside HandleKey.
  RecordLiveKey(key, MusicPositionSeconds());
  HandleKey(show, key);
  glutPostRedisplay();
}

void ToggleFullScreen() {
  // Game mode owns the window and the GL context: leaving it would take
  // every texture and buffer of the show with it.
  if (glutGameModeGet(GLUT_GAME_MODE_ACTIVE)) {
    static bool told = false;
    if (!told)
      printf("kelvane12: F11 cannot leave the 1280x720 display mode; "
             "start the show with --window to play it in a window\n");
    told = true;
    return;
  }
  if (fullScreenWindow)
    LeaveFullScreenWindow();
  else
    EnterFullScreenWindow();
}

void OnSpecialKey(int key, int, int) {
  if (key != GLUT_KEY_F11) return;
  ToggleFullScreen();
  glutPostRedisplay();
}
