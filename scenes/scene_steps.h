// The scene's steps: every change of the show state that belongs to the part
// of the frame before the update, taken in the order the scene draws, with
// the random values the drawing needs drawn into the frame's plan. They need
// no GL, so a frame can be stepped without being drawn; the scene renderer
// then draws from the state alone. The windows below decide, for the steps
// and the drawing alike, which layers a demo time shows.
#pragma once
#include <cstdint>

#include "core/timeline.h"
#include "scenes/show_state.h"

// The scene's steps of one frame at `time` (the scene sees time.sceneTime).
void StepScene(ShowState& show, const FrameTime& time);

// The loader screen's step at wall-clock ticks `ticksMs`: its clock, the
// asset step it takes (into plan.assetStep) and the end of loading.
void StepLoaderScreen(LoaderState& loader, uint32_t ticksMs, ScenePlan& plan);
// The wire layer's timers, turns, sizes and brightness, by frame factor f.
void StepWireLayer(WireLayerState& wire, Mt19937State& generator, float t, float f,
                   ScenePlan& plan);
// The pulse figures' stamps advance by f; those that draw are marked in the
// plan, and the beam takes its direction.
void StepPulseFigures(DirectorState& director, Mt19937State& generator, float t, float f,
                      ScenePlan& plan);

// While the picture flash shows, its three copies each take three draws for
// their shifts.
void StepPictureFlash(const DirectorState& director, Mt19937State& generator, float t,
                      ScenePlan& plan);

// In its first arrangement the icosahedron chain shakes each link by three
// draws (z first, x last), even when its jitter is 0.
void StepChain(Mt19937State& generator, float t, ScenePlan& plan);

// Which layers a scene demo time t shows.
bool InPulseWindow(float t);
// The picture flash's window; its upper bound only holds in double precision.
bool InPictureFlashWindow(float t, double exact);
bool InPointCloudWindow(float t);
bool InChainWindow(float t);
// The camera circles ropeA's centre.
bool InOrbitWindow(float t);
// The rope layer's body runs with both layer switches on outside its gaps,
// and in the lowered window regardless of them.
bool RopeLayerRuns(const DirectorState& director, float t);
// Inside the rope layer's run, its ropes and effects show from 300 to 350 and after 400.
bool RopeBodyShows(float t);
// The chain's first arrangement (links on accumulated rotations, with jitter).
bool ChainFirstArrangement(float t);
// The picture flash shows its copies: within a second of the latest beat.
bool PictureFlashShows(const DirectorState& director, float t);

// A timed full-screen card: fade in, hold and fade out, in tenths of a second.
struct TimedCard {
  float start, fadeIn, hold, fadeOut;
};
// Greeting card 1 to 15.
TimedCard GreetingCard(int card);
// The card's opacity at t; false where it is not drawn.
bool TimedCardOpacity(const TimedCard& card, float t, float* opacity);

// When the rope layer's bolts to the soft body and its threads show.
bool BodyLightningShows(float t);
bool ThreadsShow(float t);
// The rope layer's line effects: how far the bolts and threads reach at t,
// the path parameter's next value, and how many segments a path of that
// reach has at that step (the flickering effects draw one value per segment).
float BodyLightningReach(float t);
float ThreadsReach(float t);
inline float NextPathStep(float u, double step) { return static_cast<float>(u + step); }
long PathSegments(float reach, double step);
