#include "tools/choreography/choreography.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tools/assetgen/music_score.h"

namespace choreography {

using namespace assetgen::music;

namespace {

// Demo time (tenths of a second) of a music time, as the scene tests it.
float Tenths(double seconds) { return static_cast<float>(seconds * 10.0); }
bool Inside(float t, float a, float b) { return a < t && t < b; }

// The performance being composed; + and - alternate on the flash beats so the
// ropes' z nudges of the two keys cancel out.
struct Performance {
  std::vector<KeyPress> presses;
  int flashes = 0;
  double until = 1e9;  // the end of the bars being filled: patterns stop there
};

// One key at a grid position.
void Press(Performance& p, char key, double beat) { p.presses.push_back({key, KeyTime(beat)}); }

// Several keys at one grid position, fired in the order written.
void Chord(Performance& p, const char* keys, double beat) {
  for (const char* k = keys; *k; ++k) Press(p, *k, beat);
}

// A pulse figure key, placed only where the pulse layer draws it.
void Pulse(Performance& p, char key, double beat) {
  if (beat < p.until && PulsesShow(KeyTime(beat))) Press(p, key, beat);
}

// A picture-flash beat (+ and - in turn), placed only where the flash shows.
void Flash(Performance& p, double beat) {
  if (beat >= p.until || !FlashShows(KeyTime(beat))) return;
  Press(p, p.flashes % 2 == 0 ? '+' : '-', beat);
  ++p.flashes;
}

// Calls body(barBeat, barIndex) for every four-beat bar from `first` up to
// `end`; pulses and flashes the body places at or after `end` are dropped.
template <typename Body>
void ForEachBar(Performance& p, double first, double end, Body body) {
  p.until = end;
  int index = 0;
  for (double bar = first; bar < end - 1e-9; bar += 4, ++index) body(bar, index);
  p.until = 1e9;
}

// Wire icosahedra: the field of view breathes with the first act's bars.
void FirstAct(Performance& p) {
  Press(p, '*', HitBeat(20.5));
  Press(p, 'z', HitBeat(22.0));
  const double act = SectionBeat("first act");
  Press(p, '*', act + 12);
  Press(p, 'z', act + 20);
}

// The ropes come in under the black fade of the break, zoomed in, and start
// to swing with the second act.
void Break(Performance& p) {
  Chord(p, "8x", SectionBeat("break"));
  Chord(p, "*7", SectionBeat("second act"));
}

// Half-time groove: ring pulses on the kicks, wide rings on the snare, the beam
// on the push and the chevrons on the off-beats; a triangle nest every four
// bars. The impacts turn the figures and pull the view in.
void SecondAct(Performance& p) {
  const double act = SectionBeat("second act");
  const double build = SectionBeat("build");
  Press(p, '&', HitBeat(37.0));          // the first picture card
  Chord(p, "z3E", HitBeat(40.3));        // ropes back, first pulse
  ForEachBar(p, act, build, [&](double bar, int i) {
    if (i % 4 == 1) Pulse(p, 't', bar);
    Pulse(p, i % 2 ? ',' : '.', bar);
    Pulse(p, i % 2 ? '3' : '1', bar + 2);
    Pulse(p, 's', bar + 2.5);
    if (i % 2) Pulse(p, 'e', bar + 3);
    else Pulse(p, 'r', bar + 3.5);
  });
  Chord(p, "hY", HitBeat(46.0));
  Press(p, 'F', act + 52);
  Chord(p, "h2U", HitBeat(53.0));
  Chord(p, "&m", HitBeat(57.0));
}

// Snare roll into the close-up: rings growing on every beat while the pulse
// window lasts, wide rings on the half beats, then a long lens for the riser.
void FirstBuild(Performance& p) {
  const double build = SectionBeat("build");
  static const char kRings[] = "m,.";
  for (int b = 0; b < 8; ++b) {
    Pulse(p, kRings[b % 3], build + b);
    if (b >= 3) Pulse(p, b % 2 ? '1' : '3', build + b + 0.5);
  }
  Press(p, '^', build + 8);
}

// Soft-body close-up without the ropes; the body turns a quarter every other
// bar, and the pulses come back once their window opens at 70 s.
void CloseUp(Performance& p) {
  const double closeUp = SectionBeat("close-up");
  const double slow = SectionBeat("slow motion");
  Chord(p, "?*{", HitBeat(63.4));
  ForEachBar(p, closeUp, slow, [&](double bar, int i) {
    if (i % 2 == 1) Press(p, '{', bar);
    if (i == 3) Press(p, 'z', bar);
    if (i == 5) Press(p, '*', bar);
    Pulse(p, i % 2 ? ',' : '.', bar);
    Pulse(p, 'r', bar + 1);
    Pulse(p, 's', bar + 2.5);
    Pulse(p, 'e', bar + 3);
  });
}

// Slow motion: sparse kicks, sliding chevrons and rings on the snare, the rope
// frame swung round on the bar lines.
void SlowMotion(Performance& p) {
  const double slow = SectionBeat("slow motion");
  const double cards = SectionBeat("cards");
  Chord(p, "?&t", HitBeat(73.0));
  ForEachBar(p, slow + 4, cards, [&](double bar, int i) {
    Pulse(p, i % 2 ? 'r' : 'e', bar);
    Pulse(p, ',', bar + 2);
  });
  Press(p, 'A', slow + 8);
  Press(p, 'D', slow + 16);
  Press(p, 'B', slow + 24);
}

// Picture cards: each stab flashes a picture and fires a beam.
void Cards(Performance& p) {
  Chord(p, "R*", HitBeat(82.7));
  Pulse(p, '.', HitBeat(83.819));
  for (double show : {84.531, 85.25, 85.5, 85.75, 86.089}) {
    Flash(p, HitBeat(show));
    Pulse(p, 's', HitBeat(show));
  }
}

// Second act groove again under the flashes: a picture on every bar.
void Bonfire(Performance& p) {
  const double bonfire = SectionBeat("bonfire");
  const double build = SectionBeat("build", 1);
  Press(p, 'Y', bonfire);
  Press(p, 'R', bonfire + 16);
  Press(p, 'C', bonfire + 24);
  ForEachBar(p, bonfire, build, [&](double bar, int i) {
    Flash(p, bar);
    if (i % 4 == 0) Pulse(p, 't', bar);
    Pulse(p, i % 2 ? '3' : '1', bar + 2);
    Pulse(p, 's', bar + 2.5);
    Pulse(p, i % 2 ? 'e' : 'r', bar + 3.5);
  });
}

// Build into the drop: the blend flips, pictures step on every beat and then
// on every half beat, wide rings climb with the roll.
void SecondBuild(Performance& p) {
  const double build = SectionBeat("build", 1);
  const double drop = SectionBeat("drop");
  Press(p, 'i', build);
  static const char kRings[] = "13.";
  int n = 0;
  for (double b = build + 1; b < drop - 1e-9; ++n) {
    Flash(p, b);
    Pulse(p, kRings[n % 3], b);
    b += b < drop - 4 ? 1.0 : 0.5;
  }
}

// The drop: effect switch on for the lightning, blend back, the ropes re-centred
// (unseen under the white flash) after the nudges of the first half; two-step
// groove with pictures on the snares; the rope frame rocks every four bars.
void Drop(Performance& p) {
  const double drop = SectionBeat("drop");
  const double swell = SectionBeat("swell");
  Chord(p, "=i;", HitBeat(104.9));
  ForEachBar(p, drop, swell, [&](double bar, int i) {
    Flash(p, bar + 1);
    Flash(p, bar + 3);
    if (i % 8 == 4) Pulse(p, 't', bar);
    Pulse(p, i % 2 ? ',' : '.', bar);
    Pulse(p, 's', bar + 2.5);
    Pulse(p, i % 2 ? 'e' : 'r', bar + 3.5);
    if (i % 4 == 2) Press(p, i % 8 == 2 ? 'E' : 'F', bar);
  });
  Chord(p, "C}", drop + 32);  // the crash
  Press(p, '}', drop + 48);
}

// Swell: a wide lens, so the flickering orange around the soft body fills the
// picture as the body grows towards the camera (a long lens would show
// nothing but the body); back to the usual lens on the impact.
void Swell(Performance& p) {
  Press(p, '*', SectionBeat("swell"));
  Press(p, 'z', HitBeat(128.7));
}

// Finale: the extra ropes in their three draw modes on the impacts, rope B
// swinging too, pictures on the snares; the swings stop and the view resets
// as the groove thins out.
void Finale(Performance& p) {
  const double finale = SectionBeat("finale");
  const double thin = SectionBeat("outro") - 16;
  Chord(p, "GuT*", HitBeat(140.0));
  ForEachBar(p, finale, thin, [&](double bar, int i) {
    Flash(p, bar + 1);
    Flash(p, bar + 3);
    if (i % 4 == 0) Pulse(p, 't', bar);
    Pulse(p, i % 2 ? ',' : '.', bar);
    Pulse(p, i % 2 ? '3' : '1', bar + 1);
    Pulse(p, 's', bar + 2.5);
    Pulse(p, i % 2 ? 'e' : 'r', bar + 3.5);
  });
  Chord(p, "Ih", HitBeat(149.5));
  Chord(p, "Fz", HitBeat(151.7));
  Press(p, 'E', HitBeat(153.7));
  Chord(p, "H&", HitBeat(155.7));
  Chord(p, "tD", HitBeat(156.7));
  // The last bars before the outro: half-time, pictures on the snare.
  ForEachBar(p, thin, SectionBeat("outro"), [&](double bar, int) { Flash(p, bar + 2); });
  Chord(p, ";7u", thin);
  // The end screen fades in over the ropes, now drawn as lines.
  Press(p, 'p', HitBeat(176.5));
}

}  // namespace

double KeyTime(double beat) { return BeatTime(beat) - kLeadSeconds; }

double SectionBeat(const char* name, int occurrence) {
  for (const Section& s : kSections)
    if (std::strcmp(s.name, name) == 0 && occurrence-- == 0) return s.beat;
  fprintf(stderr, "choreography: the music has no section \"%s\"\n", name);
  std::abort();
}

double HitBeat(double showTime) {
  for (const Hit& h : kHits)
    if (std::fabs(h.showTime - showTime) < 1e-6) return h.beat;
  fprintf(stderr, "choreography: the music has no hit for %.3f s\n", showTime);
  std::abort();
}

bool PulsesShow(double seconds) {
  const float t = Tenths(seconds);
  return (Inside(t, 400, 600) || t > 700) && t < 1700 && !Inside(t, 1049, 1054) &&
         !Inside(t, 1054, 1062.5f) && !Inside(t, 1062.5f, 1072.5f) &&
         !Inside(t, 1268, 1287) && !Inside(t, 1295, 1406);
}

bool FlashShows(double seconds) {
  const float t = Tenths(seconds);
  return Inside(t, 840, 1720) && !(t > 1049 && static_cast<double>(t) < 1078.2231755859375) &&
         !Inside(t, 1268, 1287) && !Inside(t, 1295, 1406) && !Inside(t, 1420, 1495);
}

std::vector<KeyPress> ComposePerformance() {
  Performance p;
  FirstAct(p);
  Break(p);
  SecondAct(p);
  FirstBuild(p);
  CloseUp(p);
  SlowMotion(p);
  Cards(p);
  Bonfire(p);
  SecondBuild(p);
  Drop(p);
  Swell(p);
  Finale(p);
  p.presses.push_back({kEscape, kEscapeSeconds});
  std::stable_sort(p.presses.begin(), p.presses.end(),
                   [](const KeyPress& a, const KeyPress& b) { return a.seconds < b.seconds; });
  return p.presses;
}

std::string FormatKeyTrack(const std::vector<KeyPress>& presses) {
  std::string text;
  char line[64];
  for (const KeyPress& k : presses) {
    snprintf(line, sizeof line, "%c %.4f\n", k.key, k.seconds);
    text += line;
  }
  return text;
}

}  // namespace choreography
