#include "scenes/scene_renderer.h"

#include "core/gl.h"  // GLEW before any other GL header
#include <GL/freeglut.h>

#include <algorithm>
#include <cmath>

#include "core/audio.h"
#include "core/timeline.h"
#include "objects/object_draw.h"
#include "overlays/quads.h"
#include "overlays/textures.h"
#include "particles/particle_field.h"
#include "particles/point_cloud.h"
#include "render/render_target.h"
#include "scenes/layers.h"
#include "scenes/loader_screen.h"
#include "scenes/picture_flash.h"
#include "scenes/scene_lights.h"
#include "scenes/scene_steps.h"

namespace {
// Grey level of every line figure.
constexpr float kLineGrey = 0.9462890625f;
// Degrees to radians as the orbit camera converts them.
constexpr double kOrbitRadians = 0.017452883333333336;
// Pictures of the picture table the scene uses by number.
constexpr int kTitlePictureA = 34;
constexpr int kTitlePictureB = 36;
constexpr int kLayerPicture = 18;
constexpr int kRopePicture = 38;
// The text cards: pictures 1 to 5, each fading out over this many tenths.
constexpr float kTextCardStarts[5] = {1075.6f, 1101.7f, 1127.9f, 1154.0f, 1172.2999f};
constexpr float kTextCardFade = 23.6087646484375f;
constexpr GLbitfield kAllAttributes = 0xFFFFF;

// The scene's viewport and aspect. The render target is 1280x720 whatever
// the window is: on a larger desktop (the full-screen window fallback) the
// window size would crop the scene, so while the render target is bound the
// scene is laid out for the render size, and the composition scales it.
void SceneViewportSize(int* width, int* height) {
  GLint bound = 0;
  glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &bound);
  const bool intoRenderTarget =
      targets.renderTarget != 0 && static_cast<GLuint>(bound) == targets.renderTarget;
  *width = intoRenderTarget ? kRenderWidth : windowWidth;
  *height = intoRenderTarget ? kRenderHeight : windowHeight;
}

// Main-phase frame set-up: depth writes, viewport and perspective from the
// window and the director's field of view, then the clear.
void SetUpSceneFrame(const ShowState& show, float t) {
  glDepthMask(GL_TRUE);
  glEnable(GL_NORMALIZE);
  int width = 0, height = 0;
  SceneViewportSize(&width, &height);
  glViewport(0, 0, width, height);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(show.director.fieldOfView, static_cast<float>(width) / static_cast<float>(height),
                 0.01, 120);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glEnable(GL_DEPTH_TEST);
  glEnable(GL_LINE_SMOOTH);

  if (kSwellWindow.Holds(t)) {
    const float* c = show.plan.clearColour;
    glClearColor(c[0], c[1], c[2], 0);
  } else {
    glClearColor(0.041f, 0.034f, 0.04f, 0);
  }
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

// The opening: fade from black, pictures 34 and 36, then the title, all over
// the particle field.
void DrawTitleSequence(float t) {
  glPushAttrib(kAllAttributes);
  glDisable(GL_LIGHTING);
  glDisable(GL_LIGHT0);
  glPushMatrix();
  glDisable(GL_DEPTH_TEST);
  if (t >= 0) FadeToBlack(1 - t / 10);

  if (t >= 27) {
    const float a = std::min((t - 27) / 10, 1.0f);
    if (t < 47) DrawTextureQuad(pictures.table[kTitlePictureA], a);
    const float b = 1 - (t - 47) / 10;
    if (t >= 47 && b > 0 && b <= 1) DrawTextureQuad(pictures.table[kTitlePictureA], b);
  }

  // Picture 36 slides up from the start; its fade-out goes on below zero,
  // which draws it invisibly.
  const float y = (t - 30) * -0.00085f;
  const float a36 = t >= 27 ? std::min((t - 27) / 10, 1.0f) : 0.0f;
  if (t < 47)
    DrawTextureQuadShiftedY(pictures.table[kTitlePictureB], a36, y);
  else
    DrawTextureQuadShiftedY(pictures.table[kTitlePictureB], std::min(1 - (t - 47) / 10, 1.0f), y);

  if (t >= 60) {
    const float a = std::min((t - 60) / 10, 1.0f);
    if (t < 85) DrawTextureQuad(pictures.title, a);
    const float b = 1 - (t - 85) / 10;
    if (t >= 85 && b > 0 && b <= 1) DrawTextureQuad(pictures.title, b);
  }
  glPopMatrix();
  glPopAttrib();
}

// Particle frames: the fluid under its own projection, as the field's
// compute passes left it.
void DrawParticleFrame(const ShowState& show, float t) {
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glViewport(0, 0, kRenderWidth, kRenderHeight);
  gluPerspective(35, 1, 0.1, 100);
  glMatrixMode(GL_MODELVIEW);
  if (show.scene.particleRestarted) glDisable(GL_LIGHTING);
  DrawParticleField(show.field, static_cast<int>(t));
  if (show.plan.particlesOnly) DrawTitleSequence(t);
}

// The scene follows the ropes' centres as the frame began.
void FollowRopeCentres(const ScenePlan& plan, float t) {
  const float s = InSlowMotionWindow(t) ? 0.1f : 1.0f;
  glTranslatef(-s * static_cast<float>(plan.centreB[0]), -s * static_cast<float>(plan.centreB[1]),
               -s * static_cast<float>(plan.centreB[2]));
  glTranslatef(s * static_cast<float>(plan.centreA[0]), s * static_cast<float>(plan.centreA[1]),
               s * static_cast<float>(plan.centreA[2]));
}

// Translation, point, line, blend and scale state every layer starts from.
void SetUpLayers(const DirectorState& director, float t) {
  glTranslatef(0, 0, -3);
  glPointSize(1);
  glLineWidth(2);
  glColor3f(kLineGrey, kLineGrey, kLineGrey);
  glEnable(GL_POINT_SMOOTH);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glEnable(GL_LINE_SMOOTH);
  glHint(GL_LINE_SMOOTH_HINT, GL_NICEST);
  glEnable(GL_NORMALIZE);
  glScalef(4.5f, 4.5f, 4.5f);
  if (kWideLayersWindow.Holds(t)) glScalef(1.5f, 1.5f, 1.5f);
  glScalef(0.5f, 0.5f, 0.5f);
  glEnable(GL_TEXTURE_2D);
  glBindTexture(GL_TEXTURE_2D, pictures.table[kLayerPicture]);
  // This blend function stays for the wire layer and the pulse figures.
  if (director.blendSwitch) glBlendFunc(GL_SRC_ALPHA, GL_SRC_COLOR);
  glColor4f(kLineGrey, kLineGrey, kLineGrey, 1);
  glDisable(GL_TEXTURE_2D);
  glEnable(GL_DEPTH_TEST);
}

// The camera circles ropeA's centre (as the frame began), slowly in the
// slow-motion windows.
void OrbitCamera(const double centreA[3], float t) {
  const float k = InSlowMotionWindow(t) ? 0.1f : 1.0f;
  const float yaw = static_cast<float>(std::sin(0.02 * t) * 65 * k * kOrbitRadians);
  const float pitch = static_cast<float>(std::cos(0.012 * t) * 45 * k * kOrbitRadians);
  const float d = static_cast<float>(std::sin(0.19 * t) * 0.3 * k);
  gluLookAt(-std::sin(yaw) * std::cos(pitch) * d, -std::sin(pitch) * d,
            -std::cos(yaw) * std::cos(pitch) * d, static_cast<float>(centreA[0]),
            static_cast<float>(centreA[1]), static_cast<float>(centreA[2]), 0, 1, 0);
}

// The spinning soft body with its own lights: close-up drift, swell growth
// and the once-frozen shift.
void DrawSoftBodyLayer(const ShowState& show, float t) {
  const SceneState& scene = show.scene;
  BeginSoftBodyLighting();

  glPushMatrix();
  if (!kCloseUpWindow.Holds(t)) glRotatef(1.3f * t, 0.01f, 0.15f, 0.02f);
  glScalef(0.4f, 0.4f, 0.4f);
  ApplyTurn(show.director.turnIndexA);
  if (kCloseUpWindow.Holds(t)) {
    glScalef(0.18f, 0.18f, 0.18f);
    glTranslatef(-4.2f, -1.2f, 0);
    glRotatef(0.5f * t, 0, 1, 0);
    glTranslatef(scene.closeUpDrift, 0, 0);
  }
  if (kSwellWindow.Holds(t)) {
    const float w = (t - kSwellWindow.from) / 19 - 1;
    const float s = (w * w * w + 1) * 2.25f + 1;
    glScalef(s, s, s);
  }
  if (kSoftBodyShiftWindow.Holds(t)) glTranslatef(0.6f * scene.softBodyShift, 0, 0);
  glEnable(GL_DEPTH_TEST);
  if (!kSlowMotionScene.Holds(t)) DrawSoftBody(show.softBody);
  glPopMatrix();
}

// Text cards, greetings, the fade before the particle field returns, and the
// end screen.
void DrawClosingOverlays(const ShowState& show, float t) {
  glPushMatrix();
  for (int card = 0; card < 5; ++card) {
    const float start = kTextCardStarts[card];
    const float o = 1 - (t - start) / kTextCardFade;
    if (t >= start && o > 0 && o <= 1) DrawTextureQuad(pictures.table[card + 1], o);
  }
  glPopMatrix();

  glPushMatrix();
  glPushAttrib(kAllAttributes);
  glDisable(GL_LIGHTING);
  DrawGreetingCards(show.plan, t);
  glPopAttrib();

  if (kFieldReturnFade.Holds(t)) FadeToBlack((t - kFieldReturnFade.from) / 6);

  // The end screen fades in on the wall clock, whatever the music does.
  if (t > kEndScreenAfter) {
    const float elapsed = show.scene.endScreenElapsed;
    const float opacity = elapsed >= 0 ? std::min(elapsed / 120, 1.0f) : 0.0f;
    DrawTextureQuad(pictures.endScreen, opacity);
  }
  glPopMatrix();
}
}  // namespace

void RunSceneDeviceSteps(ShowState& show, const FrameTime&) {
  const ScenePlan& plan = show.plan;
  if (plan.assetStep >= 0) LoadAssetStep(plan.assetStep);
  if (plan.startMusic) AudioChannelPlay(musicStream, false);
  if (!plan.particleFrame) return;
  if (plan.restartField) RestartParticleField(show.field);
  StepParticleField(show.field, show.scene.particleClock, show.scene.particleFrameFactor);
}

void RenderScene(const ShowState& show, const FrameTime& time) {
  const ScenePlan& plan = show.plan;
  if (plan.loaderFrame) {
    DrawLoaderScreen(show.loader);
    return;
  }
  double entryModelview[16];
  glGetDoublev(GL_MODELVIEW_MATRIX, entryModelview);
  const float t = time.sceneTime;
  SetUpSceneFrame(show, t);

  if (plan.particleFrame) {
    DrawParticleFrame(show, t);
    if (plan.particlesOnly) return;
  }

  glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, 1);
  glEnable(GL_LIGHTING);
  glEnable(GL_LIGHT0);
  glEnable(GL_LIGHT1);
  SetStandardLights();

  if (!kCloseUpWindow.Holds(t)) FollowRopeCentres(plan, t);
  SetUpLayers(show.director, t);
  if (InOrbitWindow(t)) OrbitCamera(plan.centreA, t);
  if (InSoftBodyWindow(t)) DrawSoftBodyLayer(show, t);

  glDisable(GL_TEXTURE_2D);
  glColor4f(0, 0, 0, 1);
  glEnable(GL_DEPTH_TEST);
  if (kWireWindow.Holds(t)) DrawWireLayer(show, t);
  if (InPulseWindow(t)) DrawPulseFigures(show, t);

  glDisable(GL_CULL_FACE);
  // A zero x of the centre makes this a turn about a zero axis.
  if (t < 450 || kLateTurnWindow.Holds(t))
    glRotatef(35, 0, static_cast<float>(plan.centreA[0]), 0);
  glDisable(GL_LINE_SMOOTH);

  if (InPictureFlashWindow(t, time.SceneTimeExact())) {
    glPushMatrix();
    ApplyTurn(show.director.turnIndexC);
    DrawPictureFlash(show.director, plan, t);
    glPopMatrix();
  }

  glEnable(GL_LINE_SMOOTH);
  glEnable(GL_DEPTH_TEST);
  // The ropes' centres drift here, in the scene's steps.
  glEnable(GL_DEPTH_TEST);
  glEnable(GL_LIGHTING);
  glDisable(GL_TEXTURE_2D);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  if (InPointCloudWindow(t)) {
    glPushMatrix();
    glDisable(GL_TEXTURE_2D);
    DrawPointCloud(show.pointCloud, plan.cloud, t);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_LIGHTING);
    glPopMatrix();
  }

  glEnable(GL_LIGHTING);
  glEnable(GL_DEPTH_TEST);
  glDisable(GL_TEXTURE_2D);
  // In its first arrangement the chain leaves the caller's matrix behind.
  if (InChainWindow(t)) DrawIcosahedronChain(plan, t, entryModelview);

  glPushAttrib(kAllAttributes);
  if (RopeLayerRuns(show.director, t)) DrawRopeLayer(show, t, time.SceneTimeExact());
  glPopAttrib();

  DrawClosingOverlays(show, t);
}
