// The music's arrangement: the beat grid, the sections and the hits, all in
// one place so that the rendered track and the grid file written for the
// choreography come from the same numbers.
//
// Positions are in beats of the show's grid (multiples of a sixteenth, 0.25).
// Each entry also records the show time (seconds of music) it serves, so that
// generation can refuse a grid that drifted away from the pictures.
#pragma once
#include <cstddef>

namespace assetgen {
namespace music {

constexpr int kSampleRate = 44100;
// One beat: about 166 BPM, played with a half-time feel (83). Two beats are
// the 0.7216 s spacing of the greetings cards.
constexpr double kBeatSeconds = 0.3608;
// Time of beat 0, chosen so that the greetings' base time (129.8 s) is beat 359
// and every greetings card starts two beats after the one before.
constexpr double kGridOrigin = 0.2728;
// Length of the file and the end of the closing fade. The outro plays on
// for a few seconds under the fully faded-in end screen.
constexpr double kTrackSeconds = 189.5;
constexpr double kFadeOutEnd = 189.0;
// How far a placed hit may lie from the picture it serves.
constexpr double kHitTolerance = 0.1;
constexpr double kSectionTolerance = 0.5;

// Seconds of music at a grid position given in beats.
constexpr double BeatTime(double beat) { return kGridOrigin + beat * kBeatSeconds; }

// What a section plays; the composer switches on this.
enum class Style {
  Opening,     // pads and a bell motif under the titles
  FirstAct,    // light half-time groove
  Break,       // drums out, filtered pad, riser
  SecondAct,   // full half-time groove with arp and lead
  Build,       // snare roll and riser into a section change
  CloseUp,     // driving two-step groove with the lead
  SlowMotion,  // washes, sparse kick, slow lead
  Cards,       // pulsing bass under the card stabs
  Drop,        // the fluid: reese bass, full drums, lead
  Swell,       // swell and impact into the second fluid section
  Greetings,   // plucks on every other beat under the greetings cards
  Finale,      // full groove with the closing hits
  Outro,       // pad and echoes fading out under the end screen
};

struct Section {
  double beat;      // start on the grid
  const char* name;
  Style style;
  double showTime;  // the show's time this section starts at
};

enum class HitKind {
  Impact,  // boom, crash and noise burst: section changes and big flashes
  Stab,    // chord stab with snare and short crash: picture cards
};

struct Hit {
  double beat;
  HitKind kind;
  double showTime;
};

// Sections in order; each lasts until the next one starts.
constexpr Section kSections[] = {
    {-0.75, "opening", Style::Opening, 0.0},
    {56, "first act", Style::FirstAct, 20.5},
    {82, "break", Style::Break, 30.0},
    {90, "second act", Style::SecondAct, 33.0},
    {159, "build", Style::Build, 57.6},
    {175, "close-up", Style::CloseUp, 63.4},
    {201.5, "slow motion", Style::SlowMotion, 73.0},
    {228.5, "cards", Style::Cards, 82.7},
    {240, "bonfire", Style::SecondAct, 86.9},
    {274, "build", Style::Build, 99.1},
    {290, "drop", Style::Drop, 104.9},
    {350.5, "swell", Style::Swell, 126.8},
    {358, "second fluid", Style::Greetings, 129.5},
    {387.25, "finale", Style::Finale, 140.0},
    {488.5, "outro", Style::Outro, 176.5},
};
constexpr size_t kSectionCount = sizeof(kSections) / sizeof(kSections[0]);
// The grid position where the last section ends (the close of the fade).
constexpr double kEndBeat = (kFadeOutEnd - kGridOrigin) / kBeatSeconds;

constexpr Hit kHits[] = {
    {56, HitKind::Impact, 20.5},       {60.25, HitKind::Impact, 22.0},
    {101.75, HitKind::Stab, 37.0},     {111, HitKind::Stab, 40.3},
    {126.75, HitKind::Impact, 46.0},   {146.25, HitKind::Impact, 53.0},
    {157.25, HitKind::Impact, 57.0},   {175, HitKind::Impact, 63.4},
    {201.5, HitKind::Impact, 73.0},    {228.5, HitKind::Impact, 82.7},
    {231.5, HitKind::Stab, 83.819},    {233.5, HitKind::Stab, 84.531},
    {235.5, HitKind::Stab, 85.25},     {236.25, HitKind::Stab, 85.5},
    {237, HitKind::Stab, 85.75},       {237.75, HitKind::Stab, 86.089},
    {290, HitKind::Impact, 104.9},     {356, HitKind::Impact, 128.7},
    {387.25, HitKind::Impact, 140.0},  {413.5, HitKind::Impact, 149.5},
    {419.75, HitKind::Impact, 151.7},  {425.25, HitKind::Impact, 153.7},
    {430.75, HitKind::Impact, 155.7},  {433.5, HitKind::Impact, 156.7},
    {488.5, HitKind::Impact, 176.5},
};
constexpr size_t kHitCount = sizeof(kHits) / sizeof(kHits[0]);

}  // namespace music
}  // namespace assetgen
