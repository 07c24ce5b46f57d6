// The show's performance: the director keys of keys.dat placed on the music's
// beat grid, sections and hits (tools/assetgen/music_score.h), so that every
// effect the director drives happens at a musical moment. The committed
// assets/keys.dat is this module's output; kelvane12-choreograph rewrites it.
#pragma once
#include <string>
#include <vector>

namespace choreography {

struct KeyPress {
  char key;
  double seconds;  // music time at which the entry fires
};

// Entries fire on the first frame whose music position has passed them and
// show on the frame after: they are placed this much before their beat.
constexpr double kLeadSeconds = 0.04;
// The end screen starts at 176.5 s and fades in over 8.4 s of wall time, so
// it is whole from about 184.9 s. The music's fade closes at 189.0 s and the
// position never passes the track's end (189.5 s): the Escape that ends the
// show leaves the end screen up for three and a half seconds, before both.
constexpr double kEndScreenStart = 176.5;
constexpr double kEndScreenFade = 8.4;
constexpr double kEscapeSeconds = 188.4;
constexpr char kEscape = 27;

// Music time of a grid position in beats, less the lead.
double KeyTime(double beat);
// Grid position of the section of that name (the nth one when several share it).
double SectionBeat(const char* name, int occurrence = 0);
// Grid position of the hit that serves that show time.
double HitBeat(double showTime);

// Where the scene draws what a key changes, for a key fired at `seconds`.
bool PulsesShow(double seconds);
bool FlashShows(double seconds);

// The whole performance, sorted by time (ties keep their composed order).
std::vector<KeyPress> ComposePerformance();
// keys.dat text: one "KEY SECONDS" line per entry.
std::string FormatKeyTrack(const std::vector<KeyPress>& presses);

}  // namespace choreography
