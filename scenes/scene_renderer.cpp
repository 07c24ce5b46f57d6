#include "scenes/scene_renderer.h"

#include "core/gl.h"  // GLEW before any other GL header
#include <GL/freeglut.h>

#include <algorithm>
#include <cmath>

#include "core/random.h"
#include "core/ticks.h"
#include "core/timeline.h"
#include "objects/object_draw.h"
#include "objects/program_objects.h"
#include "overlays/quads.h"
#include "overlays/textures.h"
#include "particles/particle_field.h"
#include "particles/point_cloud.h"
#include "render/render_target.h"
#include "scenes/layers.h"
#include "scenes/loader_screen.h"
#include "scenes/noise.h"
#include "scenes/picture_flash.h"
#include "scenes/scene_lights.h"
#include "scenes/scene_state.h"

namespace {
// The frame factor as the scene's per-frame steps use it: 1 when it is 0.
float SceneFrameFactor() { return frameFactor == 0 ? 1.0f : frameFactor; }

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
void SetUpSceneFrame() {
  glDepthMask(GL_TRUE);
  glEnable(GL_NORMALIZE);
  int width = 0, height = 0;
  SceneViewportSize(&width, &height);
  glViewport(0, 0, width, height);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(director.fieldOfView, static_cast<float>(width) / static_cast<float>(height),
                 0.01, 120);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glEnable(GL_DEPTH_TEST);
  glEnable(GL_LINE_SMOOTH);

  if (kSwellWindow.Holds(demoTime)) {
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
    if (t < 47) DrawTextureQuad(pictureTable[kTitlePictureA], a);
    const float b = 1 - (t - 47) / 10;
    if (t >= 47 && b > 0 && b <= 1) DrawTextureQuad(pictureTable[kTitlePictureA], b);
  }

  // Picture 36 slides up from the start; its fade-out goes on below zero,
  // which draws it invisibly.
  const float y = (t - 30) * -0.00085f;
  const float a36 = t >= 27 ? std::min((t - 27) / 10, 1.0f) : 0.0f;
  if (t < 47)
    DrawTextureQuadShiftedY(pictureTable[kTitlePictureB], a36, y);
  else
    DrawTextureQuadShiftedY(pictureTable[kTitlePictureB], std::min(1 - (t - 47) / 10, 1.0f), y);

  if (t >= 60) {
    const float a = std::min((t - 60) / 10, 1.0f);
    if (t < 85) DrawTextureQuad(titleTexture, a);
    const float b = 1 - (t - 85) / 10;
    if (t >= 85 && b > 0 && b <= 1) DrawTextureQuad(titleTexture, b);
  }
  glPopMatrix();
  glPopAttrib();
}

// Particle frames: the fluid under its own projection. Returns true when the
// frame ends here (the title sequence, before the field's restart).
bool RunParticleFrame(float t, float f) {
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glViewport(0, 0, kRenderWidth, kRenderHeight);
  gluPerspective(35, 1, 0.1, 100);
  glMatrixMode(GL_MODELVIEW);

  scene.particleFrameFactor = f;
  scene.particleClock += 0.005f * f;
  if (t > kSwellWindow.from && scene.particleRestarted == 0) {
    RestartParticleField();
    scene.particleRestarted = 1;
  }
  if (scene.particleRestarted) glDisable(GL_LIGHTING);
  UpdateAndDrawParticleField(static_cast<int>(t), scene.particleClock, scene.particleFrameFactor);
  if (scene.particleRestarted) return false;
  DrawTitleSequence(t);
  return true;
}

// The scene follows the ropes' centres, and the ropes turn a little.
void FollowRopeCentres(float t) {
  const float s = InSlowMotionWindow(t) ? 0.1f : 1.0f;
  glTranslatef(-s * static_cast<float>(ropeB.centre[0]), -s * static_cast<float>(ropeB.centre[1]),
               -s * static_cast<float>(ropeB.centre[2]));
  glTranslatef(s * static_cast<float>(ropeA.centre[0]), s * static_cast<float>(ropeA.centre[1]),
               s * static_cast<float>(ropeA.centre[2]));
  ropeA.angleA += 0.005f;
  ropeB.angleA -= 0.0025f;
  ropeA.PlaceRoots();
  ropeB.PlaceRoots();
}

// Translation, point, line, blend and scale state every layer starts from.
void SetUpLayers(float t) {
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
  glBindTexture(GL_TEXTURE_2D, pictureTable[kLayerPicture]);
  // This blend function stays for the wire layer and the pulse figures.
  if (director.blendSwitch) glBlendFunc(GL_SRC_ALPHA, GL_SRC_COLOR);
  glColor4f(kLineGrey, kLineGrey, kLineGrey, 1);
  glDisable(GL_TEXTURE_2D);
  glEnable(GL_DEPTH_TEST);
}

// The camera circles ropeA's centre, slowly in the slow-motion windows.
void OrbitCamera(float t) {
  const float k = InSlowMotionWindow(t) ? 0.1f : 1.0f;
  const float yaw = static_cast<float>(std::sin(0.02 * t) * 65 * k * kOrbitRadians);
  const float pitch = static_cast<float>(std::cos(0.012 * t) * 45 * k * kOrbitRadians);
  const float d = static_cast<float>(std::sin(0.19 * t) * 0.3 * k);
  gluLookAt(-std::sin(yaw) * std::cos(pitch) * d, -std::sin(pitch) * d,
            -std::cos(yaw) * std::cos(pitch) * d, static_cast<float>(ropeA.centre[0]),
            static_cast<float>(ropeA.centre[1]), static_cast<float>(ropeA.centre[2]), 0, 1, 0);
}

bool InOrbitWindow(float t) {
  return kOrbitWindow.Holds(t) && !kCloseUpWindow.Holds(t) && !kSlowMotionScene.Holds(t) &&
         !kFieldOnlyWindow.Holds(t) && !kLoweredRopeWindow.Holds(t);
}

// The spinning soft body with its own lights: close-up drift, swell growth
// and the once-frozen shift.
void DrawSoftBodyLayer(float t, float f) {
  BeginSoftBodyLighting();

  glPushMatrix();
  if (!kCloseUpWindow.Holds(t)) glRotatef(1.3f * t, 0.01f, 0.15f, 0.02f);
  glScalef(0.4f, 0.4f, 0.4f);
  ApplyTurn(director.turnIndexA);
  if (kCloseUpWindow.Holds(t)) {
    glScalef(0.18f, 0.18f, 0.18f);
    glTranslatef(-4.2f, -1.2f, 0);
    glRotatef(0.5f * t, 0, 1, 0);
    scene.closeUpDrift += 0.009f * f;
    glTranslatef(scene.closeUpDrift, 0, 0);
  }
  if (kSwellWindow.Holds(t)) {
    const float w = (t - kSwellWindow.from) / 19 - 1;
    const float s = (w * w * w + 1) * 2.25f + 1;
    glScalef(s, s, s);
  }
  if (kSoftBodyShiftWindow.Holds(t)) {
    if (!(scene.sceneOnceFlags & kSoftBodyShiftFrozen)) {
      scene.softBodyShift = (t - kSoftBodyShiftWindow.from) / 63;
      scene.sceneOnceFlags |= kSoftBodyShiftFrozen;
    }
    glTranslatef(0.6f * scene.softBodyShift, 0, 0);
  }
  glEnable(GL_DEPTH_TEST);
  if (!kSlowMotionScene.Holds(t)) DrawSoftBody(softBody);
  glPopMatrix();
}

bool InPulseWindow(float t) {
  return (kFirstPulseWindow.Holds(t) || kPulseWindow.Holds(t)) && !kFieldOnlyWindow.Holds(t) &&
         !kChainInterlude.Holds(t) && !kLoweredRopeWindow.Holds(t) && !kSwellWindow.Holds(t) &&
         !kFieldAgainWindow.Holds(t);
}

// The flash's window; its upper bound only holds in double precision.
bool InPictureFlashWindow(float t, double exact) {
  return kPictureFlashWindow.Holds(t) && !kPictureFlashHold.Holds(exact) &&
         !kSwellWindow.Holds(t) && !kFieldAgainWindow.Holds(t) && !kJitteredChainWindow.Holds(t);
}

// The ropes' centres follow noise paths while their swing switches are on.
// All six sums are taken every frame.
void DriftRopeCentres(float t) {
  const float x = t / 20;
  const float a0 = OctaveNoise(x, 0, 0.2f);
  const float a1 = OctaveNoise(x, 22, 0.3f);
  const float a2 = OctaveNoise(x, 62, 0.4f);
  const float b0 = OctaveNoise(x, 12, 0.25f);
  const float b1 = OctaveNoise(x, 32, 0.35f);
  const float b2 = OctaveNoise(x, 42, 0.45f);
  if (director.ropeASwing) {
    ropeA.centre[0] = 0.8f * a0;
    ropeA.centre[1] = 0.8f * a1;
    ropeA.centre[2] = 0.7f * a2;
    ropeA.PlaceRoots();
  }
  if (director.ropeBSwing) {
    ropeB.centre[0] = 0.9f * b0;
    ropeB.centre[1] = 0.8f * b1;
    ropeB.centre[2] = 0.9f * b2;
    ropeB.PlaceRoots();
  }
}

bool InPointCloudWindow(float t) {
  return t > kIntroEnd && !kBonfireGap.Holds(t) && !kSwellWindow.Holds(t) &&
         !kFieldOnlyWindow.Holds(t) && !kFieldAgainWindow.Holds(t);
}

bool InChainWindow(float t) {
  return kFirstChainWindow.Holds(t) || kCloseUpWindow.Holds(t) || kSlowMotionScene.Holds(t) ||
         kChainInterlude.Holds(t) || kLastChainWindow.Holds(t);
}

// The rope layer's body runs with both layer switches on outside its gaps,
// and in the lowered window regardless of them.
bool RopeLayerRuns(float t) {
  if (kFieldOnlyWindow.Holds(t) || kChainInterlude.Holds(t)) return false;
  const bool switched = director.layerSwitch1 && director.layerSwitch2 &&
                        !kBonfireGap.Holds(t) && !kFieldOnlyWindow.Holds(t) &&
                        !kFieldAgainWindow.Holds(t) && !kJitteredChainWindow.Holds(t);
  return switched || kLoweredRopeWindow.Holds(t);
}

// Text cards, greetings, the fade before the particle field returns, and the
// end screen.
void DrawClosingOverlays(float t) {
  glPushMatrix();
  for (int card = 0; card < 5; ++card) {
    const float start = kTextCardStarts[card];
    const float o = 1 - (t - start) / kTextCardFade;
    if (t >= start && o > 0 && o <= 1) DrawTextureQuad(pictureTable[card + 1], o);
  }
  glPopMatrix();

  glPushMatrix();
  glPushAttrib(kAllAttributes);
  glDisable(GL_LIGHTING);
  for (int i = 1; i <= 14; ++i)
    DrawTimedCard(greetings[i], static_cast<float>(1298 + i * 4.4 * 1.64), 1.968f, 3.28f, 1.968f);
  DrawTimedCard(greetings[15], static_cast<float>(1298 + 15 * 4.4 * 1.64), 1.2f, 33, 1.2f);
  glPopAttrib();

  if (kFieldReturnFade.Holds(t)) FadeToBlack((t - kFieldReturnFade.from) / 6);

  // The end screen fades in on the wall clock, whatever the music does.
  if (t > kEndScreenAfter) {
    if (!(scene.sceneOnceFlags & kEndScreenClockStarted)) {
      scene.endScreenFirstTick = static_cast<float>(TickCountMs());
      scene.sceneOnceFlags |= kEndScreenClockStarted;
    }
    scene.endScreenElapsed = (static_cast<float>(TickCountMs()) - scene.endScreenFirstTick) / 70;
    const float elapsed = scene.endScreenElapsed;
    const float opacity = elapsed >= 0 ? std::min(elapsed / 120, 1.0f) : 0.0f;
    DrawTextureQuad(endScreenTexture, opacity);
  }
  glPopMatrix();
}
}  // namespace

void RenderScene() {
  const float f = SceneFrameFactor();
  // Before the music the loader screen has the whole frame.
  if (!loader.loadingDone) {
    RunLoaderScreen();
    return;
  }
  StartMusic();
  glGetDoublev(GL_MODELVIEW_MATRIX, scene.sceneEntryModelview);
  SetUpSceneFrame();
  const float t = demoTime;

  if (InParticleFieldWindow(t)) {
    if (RunParticleFrame(t, f)) return;
  }

  glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, 1);
  glEnable(GL_LIGHTING);
  glEnable(GL_LIGHT0);
  glEnable(GL_LIGHT1);
  SetStandardLights();

  if (!kCloseUpWindow.Holds(t)) FollowRopeCentres(t);
  SetUpLayers(t);
  if (InOrbitWindow(t)) OrbitCamera(t);
  if (InSoftBodyWindow(t)) DrawSoftBodyLayer(t, f);

  glDisable(GL_TEXTURE_2D);
  glColor4f(0, 0, 0, 1);
  glEnable(GL_DEPTH_TEST);
  if (kWireWindow.Holds(t)) DrawWireLayer(f);
  if (InPulseWindow(t)) DrawPulseFigures(f);

  glDisable(GL_CULL_FACE);
  // A zero x of the centre makes this a turn about a zero axis.
  if (t < 450 || kLateTurnWindow.Holds(t))
    glRotatef(35, 0, static_cast<float>(ropeA.centre[0]), 0);
  glDisable(GL_LINE_SMOOTH);

  if (InPictureFlashWindow(t, demoTimeDouble)) {
    glPushMatrix();
    ApplyTurn(director.turnIndexC);
    DrawPictureFlash();
    glPopMatrix();
  }

  glEnable(GL_LINE_SMOOTH);
  glEnable(GL_DEPTH_TEST);
  DriftRopeCentres(t);

  glEnable(GL_DEPTH_TEST);
  glEnable(GL_LIGHTING);
  glDisable(GL_TEXTURE_2D);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  if (InPointCloudWindow(t)) {
    glPushMatrix();
    glDisable(GL_TEXTURE_2D);
    DrawPointCloud();
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_LIGHTING);
    glPopMatrix();
  }

  glEnable(GL_LIGHTING);
  glEnable(GL_DEPTH_TEST);
  glDisable(GL_TEXTURE_2D);
  // In its first arrangement the chain leaves the caller's matrix behind.
  if (InChainWindow(t)) DrawIcosahedronChain();

  scene.currentRopeTexture = pictureTable[kRopePicture];
  glPushAttrib(kAllAttributes);
  if (RopeLayerRuns(t)) DrawRopeLayer();
  glPopAttrib();

  DrawClosingOverlays(t);
}
