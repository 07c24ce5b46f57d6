// Voices, effects and the master stage of the music synthesiser.
#include "tools/assetgen/music_synth.h"

#include <algorithm>
#include <cmath>

#include "tools/assetgen/music_score.h"

namespace assetgen {
namespace music {
namespace {

constexpr float kPi = 3.14159265358979f;
constexpr float kRate = static_cast<float>(kSampleRate);

// Small seeded noise source (xorshift32): the same seed gives the same noise.
struct Noise {
  uint32_t state;
  explicit Noise(uint32_t seed) : state(seed * 2654435761u + 0x9E3779B9u) {
    if (state == 0) state = 1;
  }
  // Uniform in [-1, 1).
  float Next() {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return static_cast<float>(state >> 8) * (2.0f / 16777216.0f) - 1.0f;
  }
};

// Topology-preserving state-variable filter; stable while its cutoff moves.
struct Svf {
  float ic1 = 0, ic2 = 0, a1 = 0, a2 = 0, a3 = 0, k = 1;
  float lp = 0, bp = 0, hp = 0;
  void Set(float hz, float q) {
    hz = std::min(std::max(hz, 10.0f), kRate * 0.45f);
    float g = std::tan(kPi * hz / kRate);
    k = 1.0f / q;
    a1 = 1.0f / (1.0f + g * (g + k));
    a2 = g * a1;
    a3 = g * a2;
  }
  void Run(float x) {
    float v3 = x - ic2;
    float v1 = a1 * ic1 + a2 * v3;
    float v2 = ic2 + a2 * ic1 + a3 * v3;
    ic1 = 2 * v1 - ic1;
    ic2 = 2 * v2 - ic2;
    lp = v2;
    bp = v1;
    hp = x - k * v1 - v2;
  }
};

// Band-limited sawtooth (polyBLEP), phase kept in double for long notes.
struct Saw {
  double phase = 0, inc = 0;
  void SetHz(float hz) { inc = hz / kRate; }
  float Next() {
    phase += inc;
    if (phase >= 1.0) phase -= 1.0;
    float p = static_cast<float>(phase), dt = static_cast<float>(inc);
    float v = 2.0f * p - 1.0f;
    if (p < dt) {
      float x = p / dt;
      v -= x + x - x * x - 1.0f;
    } else if (p > 1.0f - dt) {
      float x = (p - 1.0f) / dt;
      v -= x * x + x + x + 1.0f;
    }
    return v;
  }
};

// Sine oscillator by phase accumulation.
struct Sine {
  double phase = 0;
  float Next(float hz) {
    phase += hz / kRate;
    if (phase >= 1.0) phase -= 1.0;
    return std::sin(2.0f * kPi * static_cast<float>(phase));
  }
};

// Equal-power pan gains.
void PanGains(float pan, float& gl, float& gr) {
  float a = (std::min(std::max(pan, -1.0f), 1.0f) + 1.0f) * kPi * 0.25f;
  gl = std::cos(a) * 1.41421356f;
  gr = std::sin(a) * 1.41421356f;
}

// A voice's way into the mix: its bus and sends, with the pan applied.
struct Sink {
  Mix& mix;
  Bus& bus;
  float gl, gr, reverb, echo;
  Sink(Mix& m, const Route& route)
      : mix(m), bus(route.drums ? m.drums : m.music), reverb(route.reverb), echo(route.echo) {
    PanGains(route.pan, gl, gr);
    gl *= route.gain;
    gr *= route.gain;
  }
  // Adds one stereo frame.
  void Add(size_t i, float l, float r) {
    l *= gl;
    r *= gr;
    bus.l[i] += l;
    bus.r[i] += r;
    if (reverb > 0) {
      mix.reverbSend.l[i] += l * reverb;
      mix.reverbSend.r[i] += r * reverb;
    }
    if (echo > 0) {
      mix.echoSend.l[i] += l * echo;
      mix.echoSend.r[i] += r * echo;
    }
  }
};

// Number of frames from t for a voice of the given length, within the track.
size_t Span(const Mix& mix, size_t start, double seconds) {
  size_t n = static_cast<size_t>(seconds * kRate);
  return start >= mix.frames ? 0 : std::min(n, mix.frames - start);
}

// Six square waves at inharmonic ratios: the metal of hats and cymbals.
struct Metal {
  double phase[6] = {0, 0, 0, 0, 0, 0};
  float Next() {
    static const float kHz[6] = {205.3f, 304.4f, 369.6f, 522.7f, 540.0f, 800.0f};
    float sum = 0;
    for (int k = 0; k < 6; ++k) {
      phase[k] += kHz[k] * 1.7f / kRate;
      if (phase[k] >= 1.0) phase[k] -= 1.0;
      sum += phase[k] < 0.5 ? 1.0f : -1.0f;
    }
    return sum / 6.0f;
  }
};

}  // namespace

void ResetMix(Mix& mix, double seconds) {
  mix.frames = static_cast<size_t>(seconds * kSampleRate);
  for (Bus* bus : {&mix.drums, &mix.music, &mix.reverbSend, &mix.echoSend}) {
    bus->l.assign(mix.frames, 0.0f);
    bus->r.assign(mix.frames, 0.0f);
  }
  mix.duck.assign(mix.frames, 1.0f);
}

size_t FrameAt(const Mix& mix, double seconds) {
  if (seconds <= 0) return 0;
  size_t i = static_cast<size_t>(std::lround(seconds * kSampleRate));
  return std::min(i, mix.frames);
}

float NoteHz(float midi) { return 440.0f * std::pow(2.0f, (midi - 69.0f) / 12.0f); }

void Kick(Mix& mix, double t, float vel) {
  size_t start = FrameAt(mix, t), n = Span(mix, start, 0.6);
  Route route{true, vel, 0, 0.02f, 0};
  Sink out(mix, route);
  Sine osc;
  Noise noise(static_cast<uint32_t>(start));
  for (size_t j = 0; j < n; ++j) {
    float s = j / kRate;
    float hz = 44.0f + 120.0f * std::exp(-s / 0.03f) + 18.0f * std::exp(-s / 0.12f);
    float body = osc.Next(hz) * std::exp(-s / 0.3f) * std::min(1.0f, s / 0.0015f);
    float click = noise.Next() * std::exp(-s / 0.003f) * 0.25f;
    float v = std::tanh(1.8f * (body + click)) * 0.9f;
    out.Add(start + j, v, v);
  }
}

void Snare(Mix& mix, double t, float vel, uint32_t seed) {
  size_t start = FrameAt(mix, t), n = Span(mix, start, 0.5);
  Route route{true, vel, 0.05f, 0.22f, 0};
  Sink out(mix, route);
  Sine osc;
  Noise noise(seed);
  Svf band, high;
  band.Set(1900.0f, 0.6f);
  high.Set(700.0f, 0.7f);
  for (size_t j = 0; j < n; ++j) {
    float s = j / kRate;
    float tone = osc.Next(180.0f + 60.0f * std::exp(-s / 0.02f)) * std::exp(-s / 0.055f);
    float w = noise.Next();
    band.Run(w);
    high.Run(band.bp + 0.4f * w);
    float hiss = high.hp * std::exp(-s / 0.14f) * std::min(1.0f, s / 0.001f);
    float v = std::tanh(1.4f * (0.55f * tone + 0.9f * hiss)) * 0.8f;
    out.Add(start + j, v, v);
  }
}

void Hat(Mix& mix, double t, float vel, bool open, float pan, uint32_t seed) {
  float decay = open ? 0.2f : 0.03f;
  size_t start = FrameAt(mix, t), n = Span(mix, start, decay * 6.0f);
  Route route{true, vel, pan, open ? 0.12f : 0.05f, 0};
  Sink out(mix, route);
  Noise noise(seed);
  Metal metal;
  Svf high;
  high.Set(7800.0f, 0.9f);
  for (size_t j = 0; j < n; ++j) {
    float s = j / kRate;
    high.Run(0.7f * noise.Next() + 0.6f * metal.Next());
    float v = high.hp * std::exp(-s / decay) * 0.45f;
    out.Add(start + j, v, v);
  }
}

void Crash(Mix& mix, double t, float vel, float seconds, uint32_t seed) {
  size_t start = FrameAt(mix, t), n = Span(mix, start, seconds * 1.5);
  Route route{true, vel, 0, 0.3f, 0};
  Sink out(mix, route);
  Noise noiseL(seed), noiseR(seed + 7919);
  Metal metal;
  Svf highL, highR;
  highL.Set(4200.0f, 0.7f);
  highR.Set(4300.0f, 0.7f);
  float decay = seconds / 4.0f;
  for (size_t j = 0; j < n; ++j) {
    float s = j / kRate;
    float m = 0.5f * metal.Next();
    highL.Run(noiseL.Next() + m);
    highR.Run(noiseR.Next() + m);
    float env = std::exp(-s / decay) * std::min(1.0f, s / 0.002f) * 0.4f;
    out.Add(start + j, highL.hp * env, highR.hp * env);
  }
}

void Boom(Mix& mix, double t, float vel, uint32_t seed) {
  size_t start = FrameAt(mix, t), n = Span(mix, start, 2.4);
  Route route{true, vel, 0, 0.35f, 0};
  Sink out(mix, route);
  Sine osc;
  Noise noise(seed);
  Svf low;
  low.Set(900.0f, 0.7f);
  for (size_t j = 0; j < n; ++j) {
    float s = j / kRate;
    float hz = 31.0f + 60.0f * std::exp(-s / 0.12f);
    float body = osc.Next(hz) * std::exp(-s / 0.7f) * std::min(1.0f, s / 0.002f);
    low.Run(noise.Next());
    float burst = low.lp * std::exp(-s / 0.09f) * 1.2f;
    float v = std::tanh(1.5f * (body + burst)) * 0.95f;
    out.Add(start + j, v, v);
  }
}

void Riser(Mix& mix, double t0, double t1, float vel, uint32_t seed) {
  size_t start = FrameAt(mix, t0), end = FrameAt(mix, t1);
  if (end <= start) return;
  Route route{true, vel, 0, 0.3f, 0};
  Sink out(mix, route);
  Noise noiseL(seed), noiseR(seed + 104729);
  Svf bandL, bandR;
  Saw tone;
  float length = static_cast<float>(end - start);
  for (size_t j = 0; start + j < end; ++j) {
    float x = j / length;
    if (j % 32 == 0) {
      float hz = 250.0f * std::pow(28.0f, x);
      bandL.Set(hz, 1.6f);
      bandR.Set(hz * 1.06f, 1.6f);
      tone.SetHz(90.0f * std::pow(8.0f, x));
    }
    bandL.Run(noiseL.Next());
    bandR.Run(noiseR.Next());
    float tail = std::min(1.0f, (length - j) / (0.01f * kRate));
    float env = x * x * tail * 0.7f;
    float saw = tone.Next() * 0.12f * x;
    out.Add(start + j, (bandL.bp + saw) * env, (bandR.bp + saw) * env);
  }
}

void Duck(Mix& mix, double t, float depth) {
  size_t start = FrameAt(mix, t), n = Span(mix, start, 0.4);
  for (size_t j = 0; j < n; ++j) {
    float s = j / kRate;
    float g = 1.0f - depth * std::exp(-s / 0.11f) * std::min(1.0f, s / 0.004f);
    mix.duck[start + j] = std::min(mix.duck[start + j], g);
  }
}

void Pad(Mix& mix, double t, double dur, const std::vector<int>& notes, float cutoff0,
         float cutoff1, float vel, uint32_t seed) {
  const float attack = 0.9f, release = 1.6f;
  size_t start = FrameAt(mix, t), n = Span(mix, start, dur + release);
  Route route{false, vel / std::sqrt(static_cast<float>(notes.size())), 0, 0.45f, 0};
  Sink out(mix, route);
  Noise noise(seed);
  // Three saws per note: left, centre, right, each slightly detuned.
  std::vector<Saw> saws(notes.size() * 3);
  for (size_t k = 0; k < saws.size(); ++k) {
    static const float kCents[3] = {-11.0f, 0.0f, 10.0f};
    float cents = kCents[k % 3] + 3.0f * noise.Next();
    saws[k].SetHz(NoteHz(notes[k / 3] + cents / 100.0f));
    saws[k].phase = 0.5 + 0.5 * noise.Next();
  }
  Svf filterL, filterR;
  float held = static_cast<float>(dur);
  for (size_t j = 0; j < n; ++j) {
    float s = j / kRate;
    if (j % 32 == 0) {
      float x = std::min(s / held, 1.0f);
      float hz = cutoff0 * std::pow(cutoff1 / cutoff0, x) *
                 (1.0f + 0.18f * std::sin(2.0f * kPi * 0.11f * s));
      filterL.Set(hz, 0.9f);
      filterR.Set(hz * 1.03f, 0.9f);
    }
    float l = 0, r = 0;
    for (size_t k = 0; k < saws.size(); k += 3) {
      float a = saws[k].Next(), b = saws[k + 1].Next(), c = saws[k + 2].Next();
      l += a + 0.7f * b;
      r += c + 0.7f * b;
    }
    filterL.Run(l);
    filterR.Run(r);
    float env = std::min(1.0f, s / attack);
    if (s > held) env *= std::max(0.0f, 1.0f - (s - held) / release);
    env *= 0.22f;
    out.Add(start + j, filterL.lp * env, filterR.lp * env);
  }
}

void SubBass(Mix& mix, double t, double dur, int note, float vel) {
  const float release = 0.05f;
  size_t start = FrameAt(mix, t), n = Span(mix, start, dur + release);
  Route route{false, vel, 0, 0, 0};
  Sink out(mix, route);
  float hz = NoteHz(note);
  Sine sine;
  Saw saw;
  saw.SetHz(hz);
  Svf low;
  low.Set(hz * 4.0f, 0.8f);
  float held = static_cast<float>(dur);
  for (size_t j = 0; j < n; ++j) {
    float s = j / kRate;
    low.Run(saw.Next());
    float env = std::min(1.0f, s / 0.006f);
    if (s > held) env *= std::max(0.0f, 1.0f - (s - held) / release);
    float v = std::tanh(1.3f * (sine.Next(hz) + 0.3f * low.lp)) * env * 0.8f;
    out.Add(start + j, v, v);
  }
}

void ReeseBass(Mix& mix, double t, double dur, int note, float vel, float cutoff) {
  const float release = 0.06f;
  size_t start = FrameAt(mix, t), n = Span(mix, start, dur + release);
  Route route{false, vel, 0, 0.05f, 0};
  Sink out(mix, route);
  float hz = NoteHz(note);
  Saw a, b;
  a.SetHz(hz * 0.993f);
  b.SetHz(hz * 1.008f);
  b.phase = 0.37;
  Sine sub;
  Svf lowL, lowR;
  float held = static_cast<float>(dur);
  for (size_t j = 0; j < n; ++j) {
    float s = j / kRate;
    if (j % 32 == 0) {
      float wob = 0.5f + 0.5f * std::sin(2.0f * kPi * 0.7f * s);
      lowL.Set(cutoff * (0.6f + 0.8f * wob), 1.1f);
      lowR.Set(cutoff * (0.6f + 0.8f * (1.0f - wob)), 1.1f);
    }
    float sa = a.Next(), sb = b.Next();
    lowL.Run(sa + 0.6f * sb);
    lowR.Run(sb + 0.6f * sa);
    float env = std::min(1.0f, s / 0.008f);
    if (s > held) env *= std::max(0.0f, 1.0f - (s - held) / release);
    float low = sub.Next(hz) * 0.9f;
    float l = std::tanh(1.5f * (low + 0.45f * lowL.lp)) * env * 0.75f;
    float r = std::tanh(1.5f * (low + 0.45f * lowR.lp)) * env * 0.75f;
    out.Add(start + j, l, r);
  }
}

void Pluck(Mix& mix, double t, int note, float vel, float brightness, float decay,
           const Route& route) {
  size_t start = FrameAt(mix, t), n = Span(mix, start, decay * 5.0f);
  Route r = route;
  r.gain *= vel;
  Sink out(mix, r);
  float hz = NoteHz(note);
  Saw a, b;
  a.SetHz(hz);
  b.SetHz(hz * 2.003f);
  Svf low;
  for (size_t j = 0; j < n; ++j) {
    float s = j / kRate;
    if (j % 16 == 0) low.Set(hz * 1.5f + brightness * std::exp(-s / 0.07f), 1.3f);
    low.Run(a.Next() + 0.35f * b.Next());
    float v = low.lp * std::exp(-s / decay) * std::min(1.0f, s / 0.002f) * 0.5f;
    out.Add(start + j, v, v);
  }
}

void Lead(Mix& mix, double t, double dur, int note, float vel, float cutoff) {
  const float release = 0.18f;
  size_t start = FrameAt(mix, t), n = Span(mix, start, dur + release);
  Route route{false, vel, 0.1f, 0.3f, 0.35f};
  Sink out(mix, route);
  float hz = NoteHz(note);
  Saw a, b;
  b.phase = 0.21;
  Sine sub;
  Svf low;
  float held = static_cast<float>(dur);
  for (size_t j = 0; j < n; ++j) {
    float s = j / kRate;
    if (j % 16 == 0) {
      float depth = std::min(1.0f, std::max(0.0f, (s - 0.25f) / 0.4f)) * 0.012f;
      float bend = 1.0f + depth * std::sin(2.0f * kPi * 5.2f * s);
      a.SetHz(hz * bend * 0.9965f);
      b.SetHz(hz * bend * 1.0035f);
      low.Set(cutoff * (1.0f + 1.5f * std::exp(-s / 0.15f)), 1.2f);
    }
    low.Run(a.Next() + b.Next());
    float env = std::min(1.0f, s / 0.012f);
    if (s > held) env *= std::max(0.0f, 1.0f - (s - held) / release);
    float v = (low.lp * 0.35f + 0.25f * sub.Next(hz * 0.5f)) * env;
    out.Add(start + j, v, v);
  }
}

void Bell(Mix& mix, double t, int note, float vel, float pan) {
  size_t start = FrameAt(mix, t), n = Span(mix, start, 4.0);
  Route route{false, vel, pan, 0.55f, 0.4f};
  Sink out(mix, route);
  float hz = NoteHz(note);
  Sine mod, car;
  for (size_t j = 0; j < n; ++j) {
    float s = j / kRate;
    float index = 2.2f * std::exp(-s / 0.5f) + 0.3f;
    car.phase += hz / kRate;
    if (car.phase >= 1.0) car.phase -= 1.0;
    float m = mod.Next(hz * 3.5f) * index;
    float v = std::sin(2.0f * kPi * static_cast<float>(car.phase) + m) *
              std::exp(-s / 1.3f) * std::min(1.0f, s / 0.003f) * 0.35f;
    out.Add(start + j, v, v);
  }
}

namespace {

// Freeverb-style reverb: eight damped combs and four allpasses per channel.
struct Comb {
  std::vector<float> buf;
  size_t pos = 0;
  float store = 0;
  float Run(float x, float feedback, float damp) {
    float y = buf[pos];
    store = y * (1.0f - damp) + store * damp;
    buf[pos] = x + store * feedback;
    if (++pos == buf.size()) pos = 0;
    return y;
  }
};

struct Allpass {
  std::vector<float> buf;
  size_t pos = 0;
  float Run(float x) {
    float b = buf[pos];
    buf[pos] = x + b * 0.5f;
    if (++pos == buf.size()) pos = 0;
    return b - x;
  }
};

// Runs the reverb over the send buses and returns the wet stereo signal.
Bus Reverb(const Bus& send, size_t frames) {
  static const int kCombs[8] = {1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617};
  static const int kAllpasses[4] = {556, 441, 341, 225};
  const int spread = 23;
  const float feedback = 0.86f, damp = 0.35f;
  Bus out;
  out.l.assign(frames, 0.0f);
  out.r.assign(frames, 0.0f);
  for (int side = 0; side < 2; ++side) {
    Comb combs[8];
    Allpass allpasses[4];
    for (int k = 0; k < 8; ++k) combs[k].buf.assign(kCombs[k] + side * spread, 0.0f);
    for (int k = 0; k < 4; ++k) allpasses[k].buf.assign(kAllpasses[k] + side * spread, 0.0f);
    std::vector<float>& wet = side ? out.r : out.l;
    for (size_t i = 0; i < frames; ++i) {
      float in = (send.l[i] + send.r[i]) * 0.015f;
      float acc = 0;
      for (Comb& c : combs) acc += c.Run(in, feedback, damp);
      for (Allpass& a : allpasses) acc = a.Run(acc);
      wet[i] = acc;
    }
  }
  return out;
}

// Ping-pong echo of a dotted eighth with a darkening feedback path.
Bus Echo(const Bus& send, size_t frames, double beatSeconds) {
  size_t delay = static_cast<size_t>(beatSeconds * 0.75 * kSampleRate);
  const float feedback = 0.42f;
  Bus out;
  out.l.assign(frames, 0.0f);
  out.r.assign(frames, 0.0f);
  float dampL = 0, dampR = 0;
  for (size_t i = delay; i < frames; ++i) {
    // Left hears the input and the right's echo; right hears the left's echo.
    float fromR = out.r[i - delay], fromL = out.l[i - delay];
    dampL += 0.35f * (fromR - dampL);
    dampR += 0.35f * (fromL - dampR);
    out.l[i] = 0.5f * (send.l[i - delay] + send.r[i - delay]) + feedback * dampL;
    out.r[i] = feedback * dampR;
  }
  return out;
}

}  // namespace

std::vector<float> MasterMix(Mix& mix, double beatSeconds, double fadeOutStart,
                             double fadeOutEnd, float peak) {
  const size_t frames = mix.frames;
  Bus wet = Reverb(mix.reverbSend, frames);
  Bus echo = Echo(mix.echoSend, frames, beatSeconds);
  std::vector<float> out(frames * 2);
  // Sum the buses, block DC and rumble, and soften the loudest transients.
  float dcInL = 0, dcOutL = 0, dcInR = 0, dcOutR = 0;
  const float dcPole = 1.0f - 2.0f * kPi * 18.0f / kRate;
  for (size_t i = 0; i < frames; ++i) {
    float l = mix.drums.l[i] + mix.music.l[i] * mix.duck[i] + 1.1f * wet.l[i] + 0.55f * echo.l[i];
    float r = mix.drums.r[i] + mix.music.r[i] * mix.duck[i] + 1.1f * wet.r[i] + 0.55f * echo.r[i];
    float yl = l - dcInL + dcPole * dcOutL;
    dcInL = l;
    dcOutL = yl;
    float yr = r - dcInR + dcPole * dcOutR;
    dcInR = r;
    dcOutR = yr;
    out[2 * i] = yl;
    out[2 * i + 1] = yr;
  }
  // Soft saturation above a knee, so a few hits do not set the whole level.
  float maxAbs = 0;
  for (float v : out) maxAbs = std::max(maxAbs, std::fabs(v));
  if (maxAbs <= 0) return out;
  const float drive = 1.6f / maxAbs;
  for (float& v : out) v = std::tanh(v * drive);
  // Closing fade, then normalise the peak.
  for (size_t i = 0; i < frames; ++i) {
    double s = static_cast<double>(i) / kSampleRate;
    float g = 1.0f;
    if (s >= fadeOutEnd) g = 0.0f;
    else if (s > fadeOutStart) {
      float x = static_cast<float>((s - fadeOutStart) / (fadeOutEnd - fadeOutStart));
      g = (1.0f - x) * (1.0f - x);
    }
    out[2 * i] *= g;
    out[2 * i + 1] *= g;
  }
  maxAbs = 0;
  for (float v : out) maxAbs = std::max(maxAbs, std::fabs(v));
  if (maxAbs > 0)
    for (float& v : out) v *= peak / maxAbs;
  return out;
}

}  // namespace music
}  // namespace assetgen
