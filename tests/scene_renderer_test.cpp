// The scene renderer on the real program objects: which layers run at which
// moment of the show (one table) and the 2D cards it draws itself.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>

#include "core/ticks.h"
#include "core/timeline.h"
#include "overlays/textures.h"
#include "particles/particle_field.h"
#include "render/render_target.h"
#include "scenes/layers.h"
#include "scenes/loader_screen.h"
#include "scenes/scene_renderer.h"
#include "scenes/scene_state.h"
#include "scenes/scene_steps.h"
#include "tests/gl_context.h"
#include "tests/show_compare.h"

namespace {
using Rgb = std::array<int, 3>;

void ExpectColour(const std::array<int, 4>& got, const Rgb& want, const char* what) {
  for (int c = 0; c < 3; ++c) EXPECT_NEAR(got[c], want[c], 2) << what << " channel " << c;
}

// One scene frame at demo time t: the scene's steps, then its drawing inside
// the display callback's push, which must leave the state as the steps left it.
void Frame(ShowState& show, float t) {
  FrameTime time;
  time.sceneTime = time.demoTime = t;
  time.ticksMs = TickCountMs();
  StepScene(show, time);
  RunSceneDeviceSteps(show, time);
  const ShowState stepped = show;
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glPushMatrix();
  RenderScene(show, time);
  glMatrixMode(GL_MODELVIEW);
  glPopMatrix();
  SCOPED_TRACE(testing::Message() << "drawing at " << t);
  showcompare::ExpectSameShow(show, stepped);
}

// Plain-coloured stand-ins for the pictures the renderer draws by itself;
// the show's texture slots are given back afterwards.
const Rgb kPicture36 = {40, 200, 40}, kTitle = {40, 40, 200}, kCard1 = {220, 220, 30},
          kGreeting1 = {30, 220, 220}, kEndScreen = {240, 120, 0};

class SceneRendererTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    testgl::ResetState();
    for (GLuint* slot : {&pictures.table[34], &pictures.table[36], &pictures.title, &pictures.table[1],
                         &pictures.greetings[1], &pictures.endScreen})
      saved_[slot] = *slot;
    pictures.table[34] = testgl::PlainTexture(200, 40, 40);
    pictures.table[36] = testgl::PlainTexture(kPicture36[0], kPicture36[1], kPicture36[2]);
    pictures.title = testgl::PlainTexture(kTitle[0], kTitle[1], kTitle[2]);
    pictures.table[1] = testgl::PlainTexture(kCard1[0], kCard1[1], kCard1[2]);
    pictures.greetings[1] = testgl::PlainTexture(kGreeting1[0], kGreeting1[1], kGreeting1[2]);
    pictures.endScreen = testgl::PlainTexture(kEndScreen[0], kEndScreen[1], kEndScreen[2]);
    SetUpParticleField(KELVANE_RUN_DIR "/");
  }
  static void TearDownTestSuite() {
    TearDownParticleField();
    for (auto& [slot, name] : saved_) *slot = name;
    TicksUseRealClock();
  }

  void SetUp() override { testgl::ResetState(); }

  static std::map<GLuint*, GLuint> saved_;
};
std::map<GLuint*, GLuint> SceneRendererTest::saved_;

// What one frame at t ran, as the letters of the layers: F particle field,
// S soft body, W wire layer, P pulse figures, X picture flash, C point cloud,
// I icosahedron chain, R ropes. Each layer leaves its own mark: the field's
// clock, the soft body's second light, the wire timer, the pulse stamp, the
// flash's nine random draws (compared with a frame without a beat), the
// stars' largest point size, the chain's red last link, the generator kept
// for the ropes' flickering effects.
std::string LayersOfFrame(float t, int layerSwitch2) {
  std::string layers;
  int draws[2] = {0, 0};
  ShowState show;
  for (int beat = 0; beat < 2; ++beat) {
    testgl::ResetState();
    show = testgl::StartedShow();
    DirectorState& director = show.director;
    director.layerSwitch2 = layerSwitch2;
    director.effectSwitch = 1;  // the line effects take no random draws
    director.beatTime = beat ? t : t - 100;
    const GLfloat unset[4] = {0, 0, 0, 1};
    glLightfv(GL_LIGHT1, GL_AMBIENT, unset);
    glColor4f(0, 0, 1, 1);
    RandomSeed(show.generator, 38);
    Frame(show, t);
    Mt19937State after = show.generator;
    draws[beat] = testgl::DrawsSinceSeed(after);
  }
  GLfloat ambient[4], colour[4], pointSize = 0;
  glGetLightfv(GL_LIGHT1, GL_AMBIENT, ambient);
  glGetFloatv(GL_CURRENT_COLOR, colour);
  glGetFloatv(GL_POINT_SIZE, &pointSize);
  if (show.scene.particleClock > 0) layers += 'F';
  if (ambient[0] == 0.31f) layers += 'S';
  if (show.wireLayer.timer1 == 1) layers += 'W';
  if (show.director.pulseDStamp != DirectorState{}.pulseDStamp) layers += 'P';
  if (draws[1] - draws[0] == 9) layers += 'X';
  if (pointSize == 35) layers += 'C';
  if (colour[0] == 1 && colour[1] == 0 && colour[2] == 0) layers += 'I';
  if (show.plan.effectFlicker.index != Mt19937State{}.index) layers += 'R';
  return layers;
}
}  // namespace

TEST_F(SceneRendererTest, WindowTableSaysWhichLayersRun) {
  struct Moment {
    float t;
    int layerSwitch2;
    const char* layers;
  };
  const Moment moments[] = {
      {150, 1, "F"},         // the particle intro has the frame alone
      {250, 1, "WC"},        // the ropes wait for 300
      {320, 1, "WCR"},       // the ropes' early window
      {450, 1, "WPCIR"},     // the first act
      {650, 1, "SCIR"},      // the close-up
      {800, 1, "SPCIR"},     // slow motion: lit, but the body is hidden
      {855, 1, "PX"},        // the bonfire gap: no stars, no ropes, the body paused
      {1051, 1, "F"},        // the field alone again
      {1058, 1, "CI"},       // the chain interlude
      {1065, 0, "CR"},       // lowered ropes, whatever the layer switches say
      {1250, 0, "SPXC"},     // ropes off by the switch
      {1275, 1, "SR"},       // the swell
      {1300, 1, "F"},        // the field's second run, restarted
      {1450, 1, "PCI"},      // the jittered chain: no flash, no ropes
      {1600, 0, "PXCI"},     // the last stretch, ropes off by the switch
  };
  for (const Moment& m : moments)
    EXPECT_EQ(LayersOfFrame(m.t, m.layerSwitch2), m.layers) << "T " << m.t;
}

// The opening and the closing cards, each at the moment it shows alone.
TEST_F(SceneRendererTest, CardsTheRendererDrawsItself) {
  struct Card {
    float t;
    Rgb centre;
    const char* what;
  };
  const Card cards[] = {{0, {0, 0, 0}, "black at the start"},
                        {37, kPicture36, "picture 36 over 34"},
                        {70, kTitle, "the title"},
                        {1075.6f, kCard1, "text card 1 at its start"},
                        {1309, kGreeting1, "greeting 1 holding"}};
  ShowState show = testgl::StartedShow();
  for (const Card& c : cards) {
    Frame(show, c.t);
    ExpectColour(testgl::ReadPixel(640, 360), c.centre, c.what);
  }

  // The end screen fades in on the tick clock, however the music moves.
  TicksUseVirtualClock();
  TicksAdvanceVirtual(5000);
  Frame(show, 1765);
  EXPECT_EQ(show.scene.sceneOnceFlags & kEndScreenClockStarted, 0);
  Frame(show, 1766);
  TicksAdvanceVirtual(4200);  // half of the fade, while the music stands still
  Frame(show, 1766);
  EXPECT_FLOAT_EQ(show.scene.endScreenElapsed, 60);
  TicksAdvanceVirtual(4200);
  Frame(show, 1800);
  ExpectColour(testgl::ReadPixel(640, 360), kEndScreen, "end screen");
  TicksUseRealClock();
}

// With the render target bound the scene is laid out for the render size,
// whatever size the window has.
TEST_F(SceneRendererTest, ViewportFollowsTheRenderTargetWhileItIsBound) {
  if (targets.renderTarget == 0) CreateRenderTarget();
  const int savedWidth = windowWidth, savedHeight = windowHeight;
  windowWidth = 1920;
  windowHeight = 1200;
  glBindFramebuffer(GL_FRAMEBUFFER, targets.renderTarget);
  glFramebufferTexture(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, targets.sceneTexture, 0);
  ShowState show = testgl::StartedShow();
  Frame(show, 300);
  GLint viewport[4];
  glGetIntegerv(GL_VIEWPORT, viewport);
  EXPECT_EQ(viewport[2], kRenderWidth);
  EXPECT_EQ(viewport[3], kRenderHeight);
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  windowWidth = savedWidth;
  windowHeight = savedHeight;
}
