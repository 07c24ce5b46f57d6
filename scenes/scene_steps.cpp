#include "scenes/scene_steps.h"

#include <algorithm>
#include <cmath>

#include "scenes/icosahedron_chain.h"
#include "scenes/noise.h"

namespace {
// How long each pulse figure lives after its key, in demo-time units.
constexpr float kPulseLife[kPulseFigures] = {80.5f, 4.5f, 3.5f, 4.5f, 4.5f, 9.5f, 9.5f};
// How long a picture flash shows after its beat, in tenths of a second.
constexpr float kFlashLength = 10;
// Largest shake of a copy of the picture flash, and of a card in either direction.
constexpr float kCopyShift = 0.0075f;
constexpr float kCardShake = 0.01f;
constexpr float kBodyLightningStart = 1100;
constexpr float kBodyLightningEnd = 1268;
constexpr float kThreadsStart = 1520;
constexpr float kThreadsEnd = 1650;

// Advances a pulse stamp by the frame factor and tells whether its figure
// draws this frame. A stamp whose figure has expired is set to 0; while t is
// not past the window length nothing but the advance happens.
bool AdvancePulse(float& stamp, float window, float t, float f) {
  stamp += f;
  if (!(t > window)) return false;
  if (t - stamp < window) return true;
  stamp = 0;
  return false;
}

// The stamp each pulse figure keeps in the director state.
float& PulseStamp(DirectorState& d, int figure) {
  switch (figure) {
    case kTriangleNest: return d.pulseDStamp;
    case kRingPulse: return d.pulseBStamp;
    case kWideRingPulse: return d.pulseAStamp;
    case kTriangleFrame: return d.pulseEStamp;
    case kBeam: return d.pulseCStamp;
    case kChevronPair: return d.pulseFStamp;
    default: return d.pulseGStamp;
  }
}

// The soft body's close-up drift and its shift, taken once in its window.
void StepSoftBodyLayer(SceneState& scene, float t, float f) {
  if (kCloseUpWindow.Holds(t)) scene.closeUpDrift += 0.009f * f;
  if (kSoftBodyShiftWindow.Holds(t) && !(scene.sceneOnceFlags & kSoftBodyShiftFrozen)) {
    scene.softBodyShift = (t - kSoftBodyShiftWindow.from) / 63;
    scene.sceneOnceFlags |= kSoftBodyShiftFrozen;
  }
}

// The ropes follow their centres and turn a little (outside the close-up).
void TurnRopes(ShowState& s) {
  s.ropeA.angleA += 0.005f;
  s.ropeB.angleA -= 0.0025f;
  s.ropeA.PlaceRoots();
  s.ropeB.PlaceRoots();
}

// The ropes' centres follow noise paths while their swing switches are on.
// All six sums are taken every frame.
void DriftRopeCentres(ShowState& s, float t) {
  const float x = t / 20;
  const float a0 = OctaveNoise(x, 0, 0.2f);
  const float a1 = OctaveNoise(x, 22, 0.3f);
  const float a2 = OctaveNoise(x, 62, 0.4f);
  const float b0 = OctaveNoise(x, 12, 0.25f);
  const float b1 = OctaveNoise(x, 32, 0.35f);
  const float b2 = OctaveNoise(x, 42, 0.45f);
  if (s.director.ropeASwing) {
    s.ropeA.centre[0] = 0.8f * a0;
    s.ropeA.centre[1] = 0.8f * a1;
    s.ropeA.centre[2] = 0.7f * a2;
    s.ropeA.PlaceRoots();
  }
  if (s.director.ropeBSwing) {
    s.ropeB.centre[0] = 0.9f * b0;
    s.ropeB.centre[1] = 0.8f * b1;
    s.ropeB.centre[2] = 0.9f * b2;
    s.ropeB.PlaceRoots();
  }
}

// The flickering bolts to the soft body and threads between the ropes draw
// one value per segment; the drawing takes them from a copy of the
// generator, and the generator moves past them here.
void StepRopeLayerEffects(ShowState& s, float t, ScenePlan& plan) {
  if (!RopeBodyShows(t)) return;
  plan.effectFlicker = s.generator;
  if (s.director.effectSwitch != 0) return;
  long draws = 0;
  if (BodyLightningShows(t)) {
    const int chains = std::min(s.ropeA.chains, static_cast<int>(s.softBody.points.size()));
    draws += (chains + 2) / 3 * PathSegments(BodyLightningReach(t), 0.0025);
  }
  if (ThreadsShow(t) && ThreadsReach(t) > 0)
    draws += (s.ropeA.chains + 2) / 3 * PathSegments(ThreadsReach(t), 0.01);
  SkipRandom(s.generator, draws);
}

// The greeting cards shake by three draws each while shown; the end screen
// starts its wall clock on its first frame.
void StepClosingOverlays(ShowState& s, float t, uint32_t ticksMs) {
  for (int card = 1; card <= kGreetingCards; ++card) {
    float opacity;
    if (!TimedCardOpacity(GreetingCard(card), t, &opacity)) continue;
    float* shake = s.plan.greetingShake[card - 1];
    shake[2] = static_cast<float>((RandomUnit(s.generator) - 0.5) * kCardShake);
    shake[1] = static_cast<float>((RandomUnit(s.generator) - 0.5) * kCardShake);
    shake[0] = static_cast<float>((RandomUnit(s.generator) - 0.5) * kCardShake);
  }
  if (t > kEndScreenAfter) {
    SceneState& scene = s.scene;
    if (!(scene.sceneOnceFlags & kEndScreenClockStarted)) {
      scene.endScreenFirstTick = static_cast<float>(ticksMs);
      scene.sceneOnceFlags |= kEndScreenClockStarted;
    }
    scene.endScreenElapsed = (static_cast<float>(ticksMs) - scene.endScreenFirstTick) / 70;
  }
}

// The swell's clear colour flickers: drawn blue first, then green, then red.
void StepClearColour(Mt19937State& generator, ScenePlan& plan) {
  const double blue = RandomUnit(generator);
  const double green = RandomUnit(generator);
  const double red = RandomUnit(generator);
  plan.clearColour[0] = static_cast<float>(0.641 + 0.12 * red);
  plan.clearColour[1] = static_cast<float>(0.244 + 0.09 * green);
  plan.clearColour[2] = static_cast<float>(0.01 + 0.08 * blue);
}

// The particle field's frame: its clock, and the restart after the swell.
// Returns whether the frame ends with it (the title sequence).
bool StepParticleFrame(SceneState& scene, float t, float f, ScenePlan& plan) {
  plan.particleFrame = true;
  scene.particleFrameFactor = f;
  scene.particleClock += 0.005f * f;
  if (t > kSwellWindow.from && scene.particleRestarted == 0) {
    plan.restartField = true;
    scene.particleRestarted = 1;
  }
  plan.particlesOnly = scene.particleRestarted == 0;
  return plan.particlesOnly;
}
}  // namespace

void StepLoaderScreen(LoaderState& loader, uint32_t ticksMs, ScenePlan& plan) {
  if (!loader.firstTickTaken) {
    loader.firstTickTaken = true;
    loader.firstLoaderTick = ticksMs;
  }
  loader.previousLoaderClock = loader.loaderClock;
  // Unsigned difference first, so a counter wrap between readings is harmless.
  loader.loaderClock = static_cast<float>(ticksMs - loader.firstLoaderTick) / 100;
  // One asset step per 0.1 s of loader clock, at most one per frame.
  if (loader.loaderClock > kLoadAfter) {
    loader.loadAccumulator += loader.loaderClock - loader.previousLoaderClock;
    if (loader.loadAccumulator > 1) {
      loader.loadAccumulator = 0;
      if (loader.loadCounter <= kLastLoadStep) ++loader.loadCounter;
      plan.assetStep = loader.loadCounter;
    }
  }
  if (loader.loadCounter > kLastLoadStep && loader.loadingFinishedMark == 0) {
    loader.loadingFinishedMark = 2;
    loader.finishTime = loader.loaderClock;
  }
  // 0.4 s after the last step the screen fades to black over 3.6 s; the main
  // phase begins after that.
  if (loader.loadingFinishedMark && loader.loaderClock > loader.finishTime + 40)
    loader.loadingDone = 1;
}

void StepPictureFlash(const DirectorState& director, Mt19937State& generator, float t,
                      ScenePlan& plan) {
  if (!PictureFlashShows(director, t)) return;
  for (auto& shift : plan.flashCopyShift)
    for (float& c : shift) c = static_cast<float>(kCopyShift * RandomUnit(generator));
}

void StepChain(Mt19937State& generator, float t, ScenePlan& plan) {
  if (!ChainFirstArrangement(t)) return;
  for (auto& link : plan.chainJitter) {
    link[2] = RandomUnit(generator) - 0.5;
    link[1] = RandomUnit(generator) - 0.5;
    link[0] = RandomUnit(generator) - 0.5;
  }
}

void StepWireLayer(WireLayerState& wire, Mt19937State& generator, float t, float f,
                   ScenePlan& plan) {
  // The layer is drawn in the brightness chosen in the previous frame.
  plan.wireBrightness = wire.brightness;
  if (t > 240) wire.turn1 += 0.094f * f;
  // Timer 1 only wraps; timer 2 picks new sizes, timer 3 a new brightness.
  wire.timer1 += f;
  wire.timer2 += f;
  wire.timer3 += f;
  if (wire.timer1 > 23.3) wire.timer1 = 0;
  if (wire.timer2 > 30) {
    wire.timer2 = 0;
    wire.size1 = static_cast<float>((RandomUnit(generator) - 0.5) * 3.5);
    wire.size2 = static_cast<float>((RandomUnit(generator) - 0.5) * 3.2);
  }
  if (wire.timer3 > 5) {
    wire.timer3 = 0;
    wire.brightness = static_cast<float>((RandomUnit(generator) - 0.5) * 0.2 + 0.5);
  }
  if (t < 300) {
    wire.turn2 += 0.8f * f;
    // Before 300 the brightness flickers every frame.
    wire.brightness = static_cast<float>((RandomUnit(generator) - 0.5) * 0.1 + 0.86);
  }
}

void StepPulseFigures(DirectorState& director, Mt19937State& generator, float t, float f,
                      ScenePlan& plan) {
  for (int figure = 0; figure < kPulseFigures; ++figure) {
    plan.pulseShown[figure] = AdvancePulse(PulseStamp(director, figure), kPulseLife[figure], t, f);
    // The beam's vertical offset takes the first draw, the horizontal the second.
    if (figure == kBeam && plan.pulseShown[kBeam]) {
      plan.beamUp = RandomUnit(generator);
      plan.beamAcross = RandomUnit(generator);
    }
  }
}

void StepScene(ShowState& s, const FrameTime& time) {
  ScenePlan& plan = s.plan;
  plan.assetStep = -1;
  plan.startMusic = plan.particleFrame = plan.restartField = plan.particlesOnly = false;
  // Before the music the loader screen has the whole frame.
  plan.loaderFrame = !s.loader.loadingDone;
  if (plan.loaderFrame) {
    StepLoaderScreen(s.loader, time.ticksMs, plan);
    return;
  }
  if (!s.loader.musicStarted) {
    plan.startMusic = true;
    s.loader.musicStarted = 1;
  }
  const float t = time.sceneTime;
  const float f = time.SceneFactor();
  if (kSwellWindow.Holds(t)) StepClearColour(s.generator, plan);
  if (InParticleFieldWindow(t) && StepParticleFrame(s.scene, t, f, plan)) return;

  for (int c = 0; c < 3; ++c) {
    plan.centreA[c] = s.ropeA.centre[c];
    plan.centreB[c] = s.ropeB.centre[c];
  }
  if (!kCloseUpWindow.Holds(t)) TurnRopes(s);
  if (InSoftBodyWindow(t)) StepSoftBodyLayer(s.scene, t, f);
  if (kWireWindow.Holds(t)) StepWireLayer(s.wireLayer, s.generator, t, f, plan);
  if (InPulseWindow(t)) StepPulseFigures(s.director, s.generator, t, f, plan);
  if (InPictureFlashWindow(t, time.SceneTimeExact()))
    StepPictureFlash(s.director, s.generator, t, plan);
  DriftRopeCentres(s, t);
  if (InPointCloudWindow(t)) StepPointCloudLook(s.pointCloud, s.generator, t, plan.cloud);
  if (InChainWindow(t)) StepChain(s.generator, t, plan);
  if (RopeLayerRuns(s.director, t)) StepRopeLayerEffects(s, t, plan);
  StepClosingOverlays(s, t, time.ticksMs);
}

bool InPulseWindow(float t) {
  return (kFirstPulseWindow.Holds(t) || kPulseWindow.Holds(t)) && !kFieldOnlyWindow.Holds(t) &&
         !kChainInterlude.Holds(t) && !kLoweredRopeWindow.Holds(t) && !kSwellWindow.Holds(t) &&
         !kFieldAgainWindow.Holds(t);
}

bool InPictureFlashWindow(float t, double exact) {
  return kPictureFlashWindow.Holds(t) && !kPictureFlashHold.Holds(exact) &&
         !kSwellWindow.Holds(t) && !kFieldAgainWindow.Holds(t) && !kJitteredChainWindow.Holds(t);
}

bool InPointCloudWindow(float t) {
  return t > kIntroEnd && !kBonfireGap.Holds(t) && !kSwellWindow.Holds(t) &&
         !kFieldOnlyWindow.Holds(t) && !kFieldAgainWindow.Holds(t);
}

bool InChainWindow(float t) {
  return kFirstChainWindow.Holds(t) || kCloseUpWindow.Holds(t) || kSlowMotionScene.Holds(t) ||
         kChainInterlude.Holds(t) || kLastChainWindow.Holds(t);
}

bool InOrbitWindow(float t) {
  return kOrbitWindow.Holds(t) && !kCloseUpWindow.Holds(t) && !kSlowMotionScene.Holds(t) &&
         !kFieldOnlyWindow.Holds(t) && !kLoweredRopeWindow.Holds(t);
}

bool RopeLayerRuns(const DirectorState& director, float t) {
  if (kFieldOnlyWindow.Holds(t) || kChainInterlude.Holds(t)) return false;
  const bool switched = director.layerSwitch1 && director.layerSwitch2 &&
                        !kBonfireGap.Holds(t) && !kFieldOnlyWindow.Holds(t) &&
                        !kFieldAgainWindow.Holds(t) && !kJitteredChainWindow.Holds(t);
  return switched || kLoweredRopeWindow.Holds(t);
}

bool RopeBodyShows(float t) { return (t > 300 && t < 350) || t > 400; }

bool ChainFirstArrangement(float t) { return ChainSpread(t) == 0 || kChainInterlude.Holds(t); }

// A beat time ahead of t counts as well: only the difference is tested.
bool PictureFlashShows(const DirectorState& director, float t) {
  return t - director.beatTime < kFlashLength;
}

TimedCard GreetingCard(int card) {
  const float start = static_cast<float>(1298 + card * 4.4 * 1.64);
  if (card == kGreetingCards) return {start, 1.2f, 33, 1.2f};
  return {start, 1.968f, 3.28f, 1.968f};
}

bool TimedCardOpacity(const TimedCard& card, float t, float* opacity) {
  if (t < card.start) return false;
  const float holdEnd = card.start + card.fadeIn + card.hold;
  if (t < holdEnd) {
    *opacity = std::min((t - card.start) / card.fadeIn, 1.0f);
    return true;
  }
  const float a = 1 - (t - holdEnd) / ((holdEnd + card.fadeOut) - holdEnd);
  *opacity = a;
  return a > 0 && a <= 1;
}

bool BodyLightningShows(float t) { return t > kBodyLightningStart && t < kBodyLightningEnd; }

bool ThreadsShow(float t) { return t > kThreadsStart && !(t > kThreadsEnd); }

float BodyLightningReach(float t) {
  return std::pow((t - kBodyLightningStart) / 160 - 1, 3.0f) + 1;
}

float ThreadsReach(float t) {
  return std::pow(std::min((t - kThreadsStart) / 65, 1.0f) - 1, 3.0f) + 1;
}

long PathSegments(float reach, double step) {
  long segments = 0;
  for (float u = 0; u < reach; u = NextPathStep(u, step)) ++segments;
  return segments;
}
