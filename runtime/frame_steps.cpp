#include "runtime/frame_steps.h"

#include <cmath>

#include "core/random.h"
#include "core/timeline.h"
#include "objects/object_steps.h"
#include "runtime/key_track.h"
#include "scenes/scene_steps.h"

bool fixedRopeStep = false;

Composition ChooseComposition(float t) {
  if (t == 0) return Composition::Copy;
  if (kCloseUpWindow.Holds(t)) return Composition::FirstPost;
  if (InFlashWindow(t)) return Composition::Flash;
  return Composition::Default;
}

int PickFlashChoice(Mt19937State& generator, int previous) {
  int choice;
  do {
    choice = static_cast<int>(std::floor(RandomUnit(generator) * kFlashTextureCount));
  } while (choice == previous);
  return choice;
}

bool AdvanceFlashLayer(FlashLayer& layer, float& switchTime, Mt19937State& generator,
                       float limit, float factor, float t) {
  layer.timer += factor;
  if (!(layer.timer > limit)) return false;
  switchTime = t;
  layer.choice = PickFlashChoice(generator, layer.choice);
  layer.timer = 0;
  return true;
}

void StepComposition(ShowState& show, const FrameTime& time) {
  if (ChooseComposition(time.demoTime) != Composition::Flash) return;
  CompositionState& c = show.composition;
  AdvanceFlashLayer(c.flashLayer1, c.overlaySwitchTime, show.generator, kFlashLimit1,
                    time.frameFactor, time.demoTime);
  c.layer1SwitchTime = c.overlaySwitchTime;
  AdvanceFlashLayer(c.flashLayer2, c.overlaySwitchTime, show.generator, kFlashLimit2,
                    time.frameFactor, time.demoTime);
}

void UpdateFrame(ShowState& show, const FrameTime& time) {
  AdvanceFrameClock(show.clock, time);
  ReplayKeyTrack(show, time.updateSeconds);
  const float f = time.frameFactor;
  UpdatePointCloud(show.pointCloud, show.rand, f * 0.25, time.demoTime);
  StepSoftBodyFrame(show.softBody, show.softBodyPhase, time.demoTime);
  const float ropeStep = RopeStep(f, fixedRopeStep);
  StepRopePair(show.ropeA, show.ropeB, ropeStep);
}

void StepFrame(ShowState& show, const FrameTime& time) {
  StepScene(show, time);
  UpdateFrame(show, time);
  StepComposition(show, time);
}

bool StepSoftBodyFrame(CSoftObject& body, float& phase, float time) {
  if (!InSoftBodyWindow(time)) return false;
  phase += 0.001f;
  body.AccumulateForces();
  body.Integrate(1, InSlowMotionWindow(time) ? 0.0001f : 0.001f);
  body.pressureConstant = SoftBodyPressure(phase);
  return true;
}

ScreenRect FitPicture(int windowWidth, int windowHeight) {
  constexpr double kPictureAspect = 16.0 / 9.0;
  if (windowWidth <= 0 || windowHeight <= 0) return {0, 0, 0, 0};
  const double aspect = static_cast<double>(windowWidth) / windowHeight;
  if (std::fabs(aspect / kPictureAspect - 1) < 0.01) return {0, 0, windowWidth, windowHeight};
  if (aspect > kPictureAspect) {  // wider: bars left and right
    const int width = static_cast<int>(std::lround(windowHeight * kPictureAspect));
    return {(windowWidth - width) / 2, 0, width, windowHeight};
  }
  const int height = static_cast<int>(std::lround(windowWidth / kPictureAspect));
  return {0, (windowHeight - height) / 2, windowWidth, height};
}
