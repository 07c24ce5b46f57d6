// The show's music: an original track composed on the show's beat grid,
// synthesised, mixed and encoded to MP3 with LAME. Also writes the grid it
// was composed to (beat, sections, hits) for the choreography.
#include <lame/lame.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "core/audio.h"
#include "tools/assetgen/assetgen.h"
#include "tools/assetgen/music_score.h"
#include "tools/assetgen/music_synth.h"

namespace assetgen {
namespace music {
namespace {

// The encoder's bit rate (constant) and the peak the mix is normalised to,
// leaving room for the MP3 decoder's overshoot under -1 dBFS.
constexpr int kBitRate = 192;
constexpr float kMixPeak = 0.75f;  // about -2.5 dBFS
constexpr double kFadeOutStart = 182.0;
// Swing: every second sixteenth comes this fraction of a sixteenth late.
constexpr double kSwing = 0.16;

// A chord of the progression: bass root and pad voicing (MIDI notes).
struct Chord {
  int root;
  std::vector<int> pad;
};

// D minor: Dm(add9), Bbmaj7, Gm(add9), Asus4. One chord per eight beats.
const Chord kChords[4] = {
    {38, {50, 53, 57, 64}},
    {34, {46, 50, 53, 57}},
    {31, {46, 50, 55, 57}},
    {33, {45, 52, 57, 62}},
};

// A note of the lead motif: start and length in sixteenths, MIDI note.
struct MotifNote {
  int step, length, note;
};

// The motif: one phrase of eight beats over each chord.
const std::vector<MotifNote> kMotif[4] = {
    {{0, 6, 69}, {6, 2, 72}, {8, 8, 74}, {16, 6, 72}, {22, 2, 69}, {24, 8, 65}},
    {{0, 6, 65}, {6, 2, 69}, {8, 8, 70}, {16, 6, 69}, {22, 2, 65}, {24, 8, 62}},
    {{0, 6, 67}, {6, 2, 70}, {8, 8, 74}, {16, 6, 77}, {22, 2, 76}, {24, 8, 74}},
    {{0, 6, 76}, {6, 2, 74}, {8, 8, 73}, {16, 8, 76}, {24, 8, 69}},
};

enum class Groove { Sparse, HalfTime, TwoStep };

// The composer: writes one section at a time into the mix.
struct Composer {
  Mix mix;
  uint32_t seed = 1;
  uint32_t Seed() { return seed++; }
};

double Beats(double beats) { return beats * kBeatSeconds; }

// Time of sixteenth `step` after a section start, with swing on odd steps.
double StepTime(double startBeat, int step) {
  double t = BeatTime(startBeat + step * 0.25);
  if (step % 2) t += kSwing * Beats(0.25);
  return t;
}

// Calls body(chordIndex, slotStartBeat, slotBeats) for every eight-beat slot.
template <typename Body>
void ForEachChord(double startBeat, double endBeat, int firstChord, Body body) {
  int slot = 0;
  for (double b = startBeat; b < endBeat - 1e-9; b += 8, ++slot)
    body((firstChord + slot) % 4, b, std::min(8.0, endBeat - b));
}

void PadLayer(Composer& c, double startBeat, double endBeat, int firstChord, float cutoff0,
              float cutoff1, float vel) {
  double total = endBeat - startBeat;
  ForEachChord(startBeat, endBeat, firstChord, [&](int chord, double b, double len) {
    float x0 = static_cast<float>((b - startBeat) / total);
    float x1 = static_cast<float>((b + len - startBeat) / total);
    float c0 = cutoff0 * std::pow(cutoff1 / cutoff0, x0);
    float c1 = cutoff0 * std::pow(cutoff1 / cutoff0, x1);
    Pad(c.mix, BeatTime(b), Beats(len), kChords[chord].pad, c0, c1, vel, c.Seed());
  });
}

// Drum pattern over the section, bar by bar (16 sixteenths per bar).
void Drums(Composer& c, double startBeat, double endBeat, Groove groove, float vel,
           bool sixteenthHats) {
  int steps = static_cast<int>(std::lround((endBeat - startBeat) * 4));
  for (int s = 0; s < steps; ++s) {
    int p = s % 16;
    double t = StepTime(startBeat, s);
    bool kick = false;
    float snare = 0;
    switch (groove) {
      case Groove::Sparse:
        kick = p == 0;
        snare = p == 8 ? 0.6f : 0;
        break;
      case Groove::HalfTime:
        kick = p == 0 || p == 10;
        snare = p == 8 ? 1.0f : (p == 14 || p == 3) ? 0.22f : 0;
        break;
      case Groove::TwoStep:
        kick = p == 0 || p == 10 || (p == 7 && (s / 16) % 2);
        snare = (p == 4 || p == 12) ? 1.0f : (p == 15 || p == 9) ? 0.2f : 0;
        break;
    }
    if (kick) {
      Kick(c.mix, t, vel);
      Duck(c.mix, t, 0.55f);
    }
    if (snare > 0) Snare(c.mix, t, vel * 0.8f * snare, c.Seed());
    bool hat = sixteenthHats ? true : (p % 2 == 0);
    if (groove == Groove::Sparse) hat = p % 4 == 2;
    if (hat) {
      float accent = p % 4 == 2 ? 1.0f : p % 2 == 0 ? 0.7f : 0.45f;
      bool open = groove != Groove::Sparse && p == 6 && (s / 16) % 2;
      Hat(c.mix, t, vel * 0.4f * accent, open, p % 2 ? 0.3f : -0.2f, c.Seed());
    }
  }
}

// Bass under the chords: a held sub, or a syncopated line (sub or reese).
void BassLine(Composer& c, double startBeat, double endBeat, int firstChord, Groove groove,
              bool reese, float vel) {
  ForEachChord(startBeat, endBeat, firstChord, [&](int chord, double b, double len) {
    int root = kChords[chord].root;
    if (groove == Groove::Sparse) {
      SubBass(c.mix, BeatTime(b), Beats(len) - 0.05, root, vel);
      return;
    }
    // Per bar: root held, a pickup, a push and a short octave.
    static const MotifNote kLine[4] = {{0, 6, 0}, {6, 3, 0}, {10, 4, 0}, {14, 2, 12}};
    for (double bar = 0; bar < len - 1e-9; bar += 4) {
      for (const MotifNote& n : kLine) {
        double at = bar + n.step * 0.25;
        if (at >= len) break;
        double dur = Beats(std::min(n.length * 0.25, len - at)) * 0.92;
        if (reese)
          ReeseBass(c.mix, BeatTime(b + at), dur, root + n.note, vel, 420.0f);
        else
          SubBass(c.mix, BeatTime(b + at), dur, root + n.note, vel);
      }
    }
  });
}

// The lead motif, phrase by phrase; octave shifts it by twelve.
void LeadLayer(Composer& c, double startBeat, double endBeat, int firstChord, float vel,
               float cutoff, int octave, double stretch) {
  ForEachChord(startBeat, endBeat, firstChord, [&](int chord, double b, double len) {
    for (const MotifNote& n : kMotif[chord]) {
      double at = n.step * 0.25;
      if (at >= len) break;
      double dur = std::min(n.length * 0.25 * stretch, len - at);
      Lead(c.mix, BeatTime(b + at), Beats(dur) * 0.9, n.note + 12 * octave, vel, cutoff);
    }
  });
}

// Sixteenth arpeggio over the pad voicing, up an octave.
void Arp(Composer& c, double startBeat, double endBeat, int firstChord, float vel,
         float brightness) {
  static const int kOrder[8] = {0, 2, 1, 3, 2, 0, 3, 1};
  Route route{false, 1.0f, 0, 0.2f, 0.3f};
  ForEachChord(startBeat, endBeat, firstChord, [&](int chord, double b, double len) {
    const std::vector<int>& notes = kChords[chord].pad;
    int steps = static_cast<int>(len * 4);
    for (int s = 0; s < steps; ++s) {
      route.pan = (s % 2) ? 0.45f : -0.45f;
      float accent = s % 4 == 0 ? 1.0f : 0.6f;
      Pluck(c.mix, StepTime(b, s), notes[kOrder[s % 8]] + 12, vel * accent, brightness, 0.09f,
            route);
    }
  });
}

// Bells playing the motif's notes, sparse and high.
void BellLayer(Composer& c, double startBeat, double endBeat, int firstChord, float vel) {
  ForEachChord(startBeat, endBeat, firstChord, [&](int chord, double b, double len) {
    int k = 0;
    for (const MotifNote& n : kMotif[chord]) {
      double at = n.step * 0.25;
      if (at >= len) break;
      if (n.length >= 6) Bell(c.mix, BeatTime(b + at), n.note + 12, vel, (k++ % 2) ? 0.5f : -0.5f);
    }
  });
}

// Snare roll that doubles its rate through the build, rising in level.
void SnareRoll(Composer& c, double startBeat, double endBeat, float vel) {
  double len = endBeat - startBeat;
  for (double b = startBeat; b < endBeat - 1e-9;) {
    double x = (b - startBeat) / len;
    Snare(c.mix, BeatTime(b), vel * static_cast<float>(0.25 + 0.75 * x), c.Seed());
    b += x < 0.5 ? 1.0 : x < 0.75 ? 0.5 : 0.25;
  }
}

void ComposeSection(Composer& c, const Section& s, double endBeat) {
  double a = s.beat, e = endBeat;
  switch (s.style) {
    case Style::Opening:
      PadLayer(c, a, e, 0, 260.0f, 1400.0f, 0.55f);
      ForEachChord(a + 16, e, 2, [&](int chord, double b, double len) {
        SubBass(c.mix, BeatTime(b), Beats(len), kChords[chord].root, 0.22f);
      });
      BellLayer(c, a + 24, e, 3, 0.28f);
      Drums(c, a + 40, e, Groove::Sparse, 0.45f, false);
      Riser(c.mix, BeatTime(e - 8), BeatTime(e), 0.35f, c.Seed());
      break;
    case Style::FirstAct:
      PadLayer(c, a, e, 0, 700.0f, 1100.0f, 0.5f);
      Drums(c, a, e, Groove::HalfTime, 0.85f, false);
      BassLine(c, a, e, 0, Groove::HalfTime, false, 0.55f);
      BellLayer(c, a + 8, e, 1, 0.2f);
      break;
    case Style::Break:
      PadLayer(c, a, e, 2, 350.0f, 900.0f, 0.6f);
      SubBass(c.mix, BeatTime(a), Beats(e - a - 1), kChords[2].root, 0.35f);
      Riser(c.mix, BeatTime(a + 2), BeatTime(e), 0.4f, c.Seed());
      SnareRoll(c, e - 2, e, 0.5f);
      break;
    case Style::SecondAct:
      PadLayer(c, a, e, 0, 900.0f, 1500.0f, 0.45f);
      Drums(c, a, e, Groove::HalfTime, 0.9f, true);
      BassLine(c, a, e, 0, Groove::HalfTime, false, 0.6f);
      Arp(c, a + 8, e, 1, 0.22f, 2500.0f);
      LeadLayer(c, a + 16, e, 2, 0.55f, 1600.0f, 0, 1.0);
      break;
    case Style::Build:
      PadLayer(c, a, e, 3, 500.0f, 4000.0f, 0.45f);
      for (double b = a; b < e - 1e-9; b += 1) {
        Kick(c.mix, BeatTime(b), 0.8f);
        Duck(c.mix, BeatTime(b), 0.5f);
        SubBass(c.mix, BeatTime(b), Beats(0.8), kChords[3].root, 0.45f);
      }
      SnareRoll(c, a, e, 0.9f);
      Riser(c.mix, BeatTime(a), BeatTime(e - 0.25), 0.6f, c.Seed());
      break;
    case Style::CloseUp:
      PadLayer(c, a, e, 0, 1000.0f, 1600.0f, 0.45f);
      Drums(c, a, e, Groove::TwoStep, 0.95f, true);
      BassLine(c, a, e, 0, Groove::TwoStep, true, 0.55f);
      LeadLayer(c, a, e, 0, 0.6f, 1900.0f, 0, 1.0);
      break;
    case Style::SlowMotion:
      PadLayer(c, a, e, 1, 1200.0f, 600.0f, 0.6f);
      BassLine(c, a, e, 1, Groove::Sparse, false, 0.45f);
      Drums(c, a, e, Groove::Sparse, 0.7f, false);
      LeadLayer(c, a, e, 1, 0.3f, 1000.0f, -1, 1.6);
      BellLayer(c, a + 4, e, 1, 0.18f);
      break;
    case Style::Cards:
      PadLayer(c, a, e, 0, 600.0f, 2500.0f, 0.45f);
      for (double b = a; b < e - 1e-9; b += 0.5)
        SubBass(c.mix, BeatTime(b), Beats(0.4), kChords[0].root, 0.45f);
      Riser(c.mix, BeatTime(e - 4), BeatTime(e), 0.3f, c.Seed());
      break;
    case Style::Drop:
      PadLayer(c, a, e, 0, 1500.0f, 3200.0f, 0.5f);
      Drums(c, a, e, Groove::TwoStep, 1.0f, true);
      BassLine(c, a, e, 0, Groove::TwoStep, true, 0.65f);
      Arp(c, a, e, 0, 0.3f, 4000.0f);
      LeadLayer(c, a + 8, e, 1, 0.65f, 2400.0f, 0, 1.0);
      for (double b = a + 32; b < e - 1e-9; b += 32) Crash(c.mix, BeatTime(b), 0.5f, 2.0f, c.Seed());
      break;
    case Style::Swell:
      PadLayer(c, a, e, 3, 300.0f, 6000.0f, 0.7f);
      SubBass(c.mix, BeatTime(a), Beats(5.5), kChords[3].root, 0.4f);
      Riser(c.mix, BeatTime(a), BeatTime(a + 5.5), 0.7f, c.Seed());
      SnareRoll(c, a + 1.5, a + 5.5, 0.8f);
      break;
    case Style::Greetings:
      PadLayer(c, a, e, 0, 900.0f, 1800.0f, 0.45f);
      Drums(c, a, e, Groove::HalfTime, 0.75f, false);
      BassLine(c, a, e, 0, Groove::Sparse, false, 0.5f);
      // One bright pluck for every greetings card: every other beat.
      ForEachChord(a, e, 0, [&](int chord, double b, double len) {
        Route route{false, 1.0f, 0, 0.35f, 0.4f};
        for (double x = 0; x < len - 1e-9; x += 2) {
          int note = kChords[chord].pad[static_cast<int>(x / 2) % 4] + 24;
          route.pan = static_cast<int>(x / 2) % 2 ? 0.35f : -0.35f;
          Pluck(c.mix, BeatTime(b + x), note, 0.35f, 4000.0f, 0.25f, route);
        }
      });
      break;
    case Style::Finale: {
      double thin = e - 16;
      PadLayer(c, a, e, 0, 1100.0f, 2400.0f, 0.45f);
      Drums(c, a, thin, Groove::TwoStep, 1.0f, true);
      Drums(c, thin, e, Groove::HalfTime, 0.7f, false);
      BassLine(c, a, thin, 0, Groove::TwoStep, true, 0.65f);
      BassLine(c, thin, e, 0, Groove::Sparse, false, 0.5f);
      Arp(c, a + 16, e, 0, 0.2f, 3000.0f);
      LeadLayer(c, a, thin, 0, 0.6f, 2300.0f, 0, 1.0);
      LeadLayer(c, thin, e, 0, 0.3f, 1200.0f, 0, 1.0);
      for (double b = a + 32; b < thin - 1e-9; b += 32)
        Crash(c.mix, BeatTime(b), 0.5f, 2.0f, c.Seed());
      break;
    }
    case Style::Outro:
      PadLayer(c, a, e + 4, 0, 1200.0f, 300.0f, 0.55f);
      BassLine(c, a, e, 0, Groove::Sparse, false, 0.4f);
      BellLayer(c, a, e, 0, 0.25f);
      break;
  }
}

void ComposeHit(Composer& c, const Hit& h) {
  double t = BeatTime(h.beat);
  if (h.kind == HitKind::Impact) {
    Boom(c.mix, t, 0.9f, c.Seed());
    Kick(c.mix, t, 1.0f);
    Crash(c.mix, t, 0.9f, 2.8f, c.Seed());
    Duck(c.mix, t, 0.8f);
  } else {
    Route route{false, 1.0f, 0, 0.35f, 0.3f};
    for (int note : {62, 65, 69, 74}) Pluck(c.mix, t, note, 0.55f, 6000.0f, 0.22f, route);
    Snare(c.mix, t, 0.9f, c.Seed());
    Kick(c.mix, t, 0.8f);
    Crash(c.mix, t, 0.6f, 1.2f, c.Seed());
    Duck(c.mix, t, 0.7f);
  }
}

// Refuses a grid whose sections or hits drifted from the show's times.
bool CheckGrid() {
  for (size_t i = 0; i < kSectionCount; ++i) {
    const Section& s = kSections[i];
    double t = std::max(0.0, BeatTime(s.beat));
    if (std::fabs(t - s.showTime) > kSectionTolerance ||
        (i > 0 && s.beat <= kSections[i - 1].beat)) {
      fprintf(stderr, "music: section \"%s\" at %.3f s is off its show time %.3f s\n", s.name,
              t, s.showTime);
      return false;
    }
  }
  for (const Hit& h : kHits) {
    if (std::fabs(BeatTime(h.beat) - h.showTime) > kHitTolerance) {
      fprintf(stderr, "music: hit at %.3f s is off its show time %.3f s\n", BeatTime(h.beat),
              h.showTime);
      return false;
    }
  }
  return true;
}

// Writes the grid the track was composed to, for the choreography.
bool WriteGrid(const std::string& path) {
  FILE* f = fopen(path.c_str(), "w");
  if (!f) {
    fprintf(stderr, "music: cannot write %s\n", path.c_str());
    return false;
  }
  fprintf(f, "# Beat grid of the music. Times in seconds of music.\n");
  fprintf(f, "beat %.4f\norigin %.4f\nlength %.3f\n", kBeatSeconds, kGridOrigin, kTrackSeconds);
  fprintf(f, "# section START_S BEAT NAME\n");
  for (const Section& s : kSections)
    fprintf(f, "section %.4f %.2f %s\n", std::max(0.0, BeatTime(s.beat)), s.beat, s.name);
  fprintf(f, "# hit TIME_S BEAT KIND SHOW_TIME_S\n");
  for (const Hit& h : kHits)
    fprintf(f, "hit %.4f %.2f %s %.3f\n", BeatTime(h.beat), h.beat,
            h.kind == HitKind::Impact ? "impact" : "stab", h.showTime);
  bool ok = fclose(f) == 0;
  if (!ok) fprintf(stderr, "music: cannot finish %s\n", path.c_str());
  return ok;
}

// Encodes interleaved stereo floats to a constant-bit-rate MP3 file.
bool EncodeMp3(const std::vector<float>& pcm, const std::string& path) {
  lame_global_flags* lame = lame_init();
  if (!lame) {
    fprintf(stderr, "music: lame_init failed for %s\n", path.c_str());
    return false;
  }
  lame_set_in_samplerate(lame, kSampleRate);
  lame_set_out_samplerate(lame, kSampleRate);
  lame_set_num_channels(lame, 2);
  lame_set_mode(lame, JOINT_STEREO);
  lame_set_VBR(lame, vbr_off);
  lame_set_brate(lame, kBitRate);
  lame_set_quality(lame, 3);
  lame_set_bWriteVbrTag(lame, 1);  // the Info tag lets decoders drop the encoder delay
  if (lame_init_params(lame) < 0) {
    fprintf(stderr, "music: lame_init_params failed for %s\n", path.c_str());
    lame_close(lame);
    return false;
  }
  std::vector<unsigned char> mp3;
  const int chunk = 8192;
  std::vector<unsigned char> buf(chunk * 5 / 4 + 7200);
  size_t frames = pcm.size() / 2;
  for (size_t i = 0; i < frames; i += chunk) {
    int n = static_cast<int>(std::min<size_t>(chunk, frames - i));
    int got = lame_encode_buffer_interleaved_ieee_float(lame, pcm.data() + 2 * i, n, buf.data(),
                                                        static_cast<int>(buf.size()));
    if (got < 0) {
      fprintf(stderr, "music: MP3 encoding failed (%d) for %s\n", got, path.c_str());
      lame_close(lame);
      return false;
    }
    mp3.insert(mp3.end(), buf.begin(), buf.begin() + got);
    if (i % (chunk * 256) == 0)
      fprintf(stderr, "music: encoding %3d%%\r", static_cast<int>(100.0 * i / frames));
  }
  int got = lame_encode_flush(lame, buf.data(), static_cast<int>(buf.size()));
  if (got > 0) mp3.insert(mp3.end(), buf.begin(), buf.begin() + got);
  // The Info tag replaces the placeholder frame at the start of the stream.
  size_t tagSize = lame_get_lametag_frame(lame, buf.data(), buf.size());
  if (tagSize > 0 && tagSize <= mp3.size()) std::copy(buf.begin(), buf.begin() + tagSize, mp3.begin());
  lame_close(lame);
  fprintf(stderr, "music: encoding 100%%\n");

  std::string temp = path + ".part";
  FILE* f = fopen(temp.c_str(), "wb");
  if (!f) {
    fprintf(stderr, "music: cannot write %s\n", temp.c_str());
    return false;
  }
  bool ok = fwrite(mp3.data(), 1, mp3.size(), f) == mp3.size();
  ok = fclose(f) == 0 && ok;
  if (!ok || std::rename(temp.c_str(), path.c_str()) != 0) {
    fprintf(stderr, "music: cannot write %s\n", path.c_str());
    std::remove(temp.c_str());
    return false;
  }
  return true;
}

// Renders the whole track into interleaved stereo at the mix peak.
std::vector<float> RenderTrack() {
  Composer c;
  ResetMix(c.mix, kTrackSeconds);
  for (size_t i = 0; i < kSectionCount; ++i) {
    double end = i + 1 < kSectionCount ? kSections[i + 1].beat : kEndBeat;
    fprintf(stderr, "music: composing %s\n", kSections[i].name);
    ComposeSection(c, kSections[i], end);
  }
  for (const Hit& h : kHits) ComposeHit(c, h);
  fprintf(stderr, "music: mixing\n");
  return MasterMix(c.mix, kBeatSeconds, kFadeOutStart, kFadeOutEnd, kMixPeak);
}

}  // namespace
}  // namespace music

int GenerateMusic(const std::string& outDir, const std::string& workDir) {
  using namespace music;
  if (!CheckGrid()) return 1;
  if (!WriteGrid(workDir + "/music_grid.txt")) return 1;
  std::vector<float> pcm = RenderTrack();
  return EncodeMp3(pcm, outDir + "/" + kMusicFile) ? 0 : 1;
}

}  // namespace assetgen
