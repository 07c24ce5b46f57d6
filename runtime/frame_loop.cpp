#include "runtime/frame_loop.h"

#include "core/gl.h"  // GLEW before any other GL header
#include <GL/freeglut.h>

#include <cstdio>
#include <cstdlib>

#include "core/audio.h"
#include "core/stop_signals.h"
#include "core/ticks.h"
#include "core/timeline.h"
#include "overlays/overlays.h"
#include "overlays/textures.h"
#include "render/post_passes.h"
#include "render/render_target.h"
#include "runtime/frame_steps.h"
#include "runtime/key_track.h"
#include "runtime/startup.h"
#include "scenes/scene_renderer.h"
#include "scenes/scene_steps.h"

ShowState show;

namespace {
// Leaves the render target for the screen, cleared, with depth testing on and
// the picture's rectangle as the viewport.
void BeginScreen() {
  glBindFramebuffer(GL_FRAMEBUFFER, targets.screenFramebuffer);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glEnable(GL_DEPTH_TEST);
  FitScreenViewport();
}

// The screen image from the scene texture, by the frame's demo time, with
// the flash layers as the composition's step left them.
void ComposeScreen(const ShowState& show, float demoTime) {
  const CompositionState& c = show.composition;
  switch (ChooseComposition(demoTime)) {
    case Composition::Copy:
      glBindFramebuffer(GL_FRAMEBUFFER, targets.screenFramebuffer);
      FitScreenViewport();
      CopyPass();
      return;  // no overlays while the loader runs
    case Composition::FirstPost:
      DofPass(demoTime);
      BeginScreen();
      MultiplyPass(pictures.loaderFrame, 10.0f);
      break;
    case Composition::Flash:
      DofPass(demoTime);
      BeginScreen();
      // Layer 1 is drawn over by layer 2; it shows through its re-picks,
      // which restart the zoom and fade of the visible overlay.
      FlashOverlayPass(pictures.post[c.flashLayer1.choice], demoTime, c.layer1SwitchTime);
      FlashOverlayPass(pictures.post[c.flashLayer2.choice], demoTime, c.overlaySwitchTime);
      break;
    case Composition::Default:
      MultiplyPass(targets.radTexture, 2.0f);
      BeginScreen();
      DofPass(demoTime);
      break;
  }
  glDisable(GL_DEPTH_TEST);
  DrawOverlays(demoTime);
}

constexpr unsigned kStopCheckMs = 100;

// Looks for a stop signal every kStopCheckMs while the show runs.
void CheckStopSignal(int) {
  EndIfStopSignal();
  glutTimerFunc(kStopCheckMs, CheckStopSignal, 0);
}

// The state every frame starts from.
void LeaveKnownState() {
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluOrtho2D(0, 1, 0, 1);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glDisable(GL_TEXTURE_2D);
  glDisable(GL_LIGHTING);
  glColor3f(0, 0, 0);
  glEnable(GL_MULTISAMPLE);
}
}  // namespace

void FitScreenViewport() {
  const ScreenRect picture = FitPicture(windowWidth, windowHeight);
  if (picture.width != windowWidth || picture.height != windowHeight) {
    // The clear ignores the viewport: the bars become black, and the
    // picture's rectangle is drawn over whole by the pass that follows.
    GLfloat clearColour[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clearColour);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glClearColor(clearColour[0], clearColour[1], clearColour[2], clearColour[3]);
  }
  glViewport(picture.x, picture.y, picture.width, picture.height);
}

float MusicPositionSeconds() {
  return static_cast<float>(
      AudioChannelBytes2Seconds(musicStream, AudioChannelGetPosition(musicStream)));
}

FrameTime ReadFrameTime() {
  return NextFrameTime(show.clock, MusicPositionSeconds(), TickCountMs());
}

void DrawFrame(ShowState& show, const FrameTime& time) {
  StepScene(show, time);

  glUseProgram(0);
  glBindFramebuffer(GL_FRAMEBUFFER, targets.renderTarget);
  glFramebufferTexture(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, targets.sceneTexture, 0);
  glBindTexture(GL_TEXTURE_2D, targets.sceneTexture);
  // Everything up to the composition draws into the 1280x720 render target,
  // whatever size the window has (the loader screen sets no viewport itself).
  glViewport(0, 0, kRenderWidth, kRenderHeight);
  RunSceneDeviceSteps(show, time);
  // In the frame that starts the music, the update sees where the music is
  // once it plays (a capture starting late, at its start position).
  const FrameTime update =
      show.plan.startMusic ? WithUpdatePosition(time, MusicPositionSeconds()) : time;

  glPushMatrix();
  RenderScene(show, time);
  UpdateFrame(show, update);
  glPopMatrix();

  StepComposition(show, update);
  ComposeScreen(show, update.demoTime);
  PanelPass();
  LeaveKnownState();
}

void RunUpFrame(ShowState& show, const FrameTime& time) {
  // The whole frame, every step and every change of GL state, but no
  // fragment: what a frame's drawing leaves in the fixed-function state can
  // carry far (the colour material the soft body's lighting leaves lights
  // the cloud's web long after), so only the rasterising is left out.
  glEnable(GL_RASTERIZER_DISCARD);
  DrawFrame(show, time);
  glDisable(GL_RASTERIZER_DISCARD);
}

void OnDisplay() {
  DrawFrame(show, ReadFrameTime());
  glutSwapBuffers();
  glutPostRedisplay();
}

void EndIfStopSignal() {
  if (const int signal = StopSignal()) {
    fprintf(stderr, "kelvane12: stopped by %s\n", StopSignalName(signal));
    FinishKeyRecording();
    exit(128 + signal);
  }
}

void WatchStopSignals() { glutTimerFunc(kStopCheckMs, CheckStopSignal, 0); }
