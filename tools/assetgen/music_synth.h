// The music's synthesiser: voices that add one note each into the mix
// buses, and the effects and master stage that turn the buses into the
// final stereo track. Everything is single-threaded float DSP; noise comes
// from seeded generators, so the same score always gives the same samples.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace assetgen {
namespace music {

// One stereo signal over the whole track.
struct Bus {
  std::vector<float> l, r;
};

// Where a voice goes: to the drum bus (never ducked) or the music bus
// (ducked under the kick), at a gain and pan, with reverb and echo sends.
struct Route {
  bool drums = false;
  float gain = 1.0f;
  float pan = 0.0f;     // -1 left .. 1 right
  float reverb = 0.0f;  // send level
  float echo = 0.0f;    // send level
};

struct Mix {
  size_t frames = 0;
  Bus drums, music, reverbSend, echoSend;
  std::vector<float> duck;  // gain applied to the music bus, 1 = untouched
};

// Allocates every bus for a track of the given length.
void ResetMix(Mix& mix, double seconds);

// Seconds to a sample index, clamped to the track.
size_t FrameAt(const Mix& mix, double seconds);
// Frequency of a MIDI note number (69 = A 440).
float NoteHz(float midi);

// Drums. Times in seconds, velocities 0..1.
void Kick(Mix& mix, double t, float vel);
void Snare(Mix& mix, double t, float vel, uint32_t seed);
void Hat(Mix& mix, double t, float vel, bool open, float pan, uint32_t seed);
void Crash(Mix& mix, double t, float vel, float seconds, uint32_t seed);
// Low boom and noise burst under an impact.
void Boom(Mix& mix, double t, float vel, uint32_t seed);
// Filtered noise and a climbing tone that swell from t0 up to t1.
void Riser(Mix& mix, double t0, double t1, float vel, uint32_t seed);
// Dips the music bus under a kick at t by depth (0..1).
void Duck(Mix& mix, double t, float depth);

// Pitched voices. Notes are MIDI numbers; dur is the held length in seconds.
// Detuned saw chord with a slow filter sweep from cutoff0 to cutoff1 (Hz).
void Pad(Mix& mix, double t, double dur, const std::vector<int>& notes, float cutoff0,
         float cutoff1, float vel, uint32_t seed);
// Sub bass (sine with a little filtered saw), or a reese (two detuned saws).
void SubBass(Mix& mix, double t, double dur, int note, float vel);
void ReeseBass(Mix& mix, double t, double dur, int note, float vel, float cutoff);
// Short filtered saw pluck for arpeggios and stabs.
void Pluck(Mix& mix, double t, int note, float vel, float brightness, float decay,
           const Route& route);
// Two detuned saws with vibrato: the lead motif.
void Lead(Mix& mix, double t, double dur, int note, float vel, float cutoff);
// FM bell for the opening.
void Bell(Mix& mix, double t, int note, float vel, float pan);

// Runs the reverb and the echo on their sends and sums every bus, ducked,
// faded and normalised to the given peak (linear), into interleaved stereo.
std::vector<float> MasterMix(Mix& mix, double beatSeconds, double fadeOutStart,
                             double fadeOutEnd, float peak);

}  // namespace music
}  // namespace assetgen
