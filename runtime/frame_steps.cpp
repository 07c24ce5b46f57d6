#include "runtime/frame_steps.h"

#include <cmath>

#include "core/random.h"
#include "core/timeline.h"
#include "objects/object_steps.h"

FlashLayer flashLayer1, flashLayer2;
float overlaySwitchTime = 0;
bool fixedRopeStep = false;

Composition ChooseComposition(float t) {
  if (t == 0) return Composition::Copy;
  if (kCloseUpWindow.Holds(t)) return Composition::FirstPost;
  if (InFlashWindow(t)) return Composition::Flash;
  return Composition::Default;
}

int PickFlashChoice(int previous) {
  int choice;
  do {
    choice = static_cast<int>(std::floor(RandomUnit() * kFlashTextureCount));
  } while (choice == previous);
  return choice;
}

bool AdvanceFlashLayer(FlashLayer& layer, float limit, float factor, float t) {
  layer.timer += factor;
  if (!(layer.timer > limit)) return false;
  overlaySwitchTime = t;
  layer.choice = PickFlashChoice(layer.choice);
  layer.timer = 0;
  return true;
}

bool StepSoftBodyFrame(CSoftObject& body, float time) {
  if (!InSoftBodyWindow(time)) return false;
  softBodyPhase += 0.001f;
  body.AccumulateForces();
  body.Integrate(1, InSlowMotionWindow(time) ? 0.0001f : 0.001f);
  body.pressureConstant = SoftBodyPressure(softBodyPhase);
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
