#include "scenes/scene_renderer.h"

#include "render/gl.h"
#include "runtime/director.h"
#include "runtime/random.h"
#include "runtime/startup.h"
#include "runtime/timeline.h"
#include "scenes/loader_screen.h"

float SceneFrameFactor() { return frameFactor == 0 ? 1.0f : frameFactor; }

namespace {
// The swell window: the clear colour flickers orange while the soft body grows.
bool InSwellWindow(float t) { return t > 1268 && t < kSceneBaseTime; }

// Main-phase frame set-up: depth writes, viewport and perspective from the
// window and the director's field of view, then the clear.
void SetUpSceneFrame() {
  glDepthMask(GL_TRUE);
  glEnable(GL_NORMALIZE);
  glViewport(0, 0, windowWidth, windowHeight);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(director.fieldOfView,
                 static_cast<float>(windowWidth) / static_cast<float>(windowHeight), 0.01, 120);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glEnable(GL_DEPTH_TEST);
  glEnable(GL_LINE_SMOOTH);

  if (InSwellWindow(demoTime)) {
    // Drawn blue first, then green, then red: the order fixes the colours.
    double blue = RandomUnit();
    double green = RandomUnit();
    double red = RandomUnit();
    glClearColor(static_cast<float>(0.641 + 0.12 * red), static_cast<float>(0.244 + 0.09 * green),
                 static_cast<float>(0.01 + 0.08 * blue), 0);
  } else {
    glClearColor(0.041f, 0.034f, 0.04f, 0);
  }
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}
}  // namespace

void RenderScene() {
  // Before the music the loader screen has the whole frame.
  if (!loadingDone) {
    RunLoaderScreen();
    return;
  }
  StartMusic();
  SetUpSceneFrame();
}
