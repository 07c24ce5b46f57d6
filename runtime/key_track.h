// The key track: a recorded performance of director keys with the music time
// at which each fires, read from keys.dat at start-up and replayed every frame.
// Live keys can also be recorded in the same format (KELVANE_RECORD).
#pragma once
#include <string>

#include "scenes/show_state.h"

constexpr int kKeyTrackSize = 126000;
constexpr float kKeyFired = -2.0f;     // an entry that has fired
constexpr float kKeyTrackEnd = -1.0f;  // stops the scan at that entry

// The track as read at start-up (a start-up resource); which entries have
// fired is show state.
struct KeyTrack {
  char keys[kKeyTrackSize];
  float times[kKeyTrackSize];  // music seconds
};
extern KeyTrack keyTrack;

// Reads entries as "%c %f\n" reads them until end of file or kKeyTrackSize
// entries and fills the rest with '/' at 1e9 s. Only whole entries count:
// reading stops at the first one whose time is missing or not finite, with a
// console line naming the file and line. A file that cannot be opened or
// read, or that is not a regular file, gives an empty track and one console
// line saying why. Returns the number of entries kept.
int LoadKeyTrack(const char* path);
// Hands every entry whose time the music has passed to the director, in file
// order, and marks it fired in the show state; blanks are consumed without
// effect.
void ReplayKeyTrack(ShowState& show, float musicSeconds);

// Reads the track again while the show runs. On success it replaces the
// track and applies from `musicSeconds` on: its entries before that moment
// count as fired, the others fire as the music passes them. A file that
// cannot be read, or holds no whole entry, leaves the track in use and
// returns false. Either way *message says what happened, in one line.
bool ReloadKeyTrack(const char* path, ShowState& show, float musicSeconds, std::string* message);

// Opens the file named by KELVANE_RECORD, if set, for appending live keys.
// When it cannot be opened the reason is printed and the show goes on
// without recording.
void StartKeyRecording();
// Appends one live key as a keys.dat line, flushed at once. Keys the track
// cannot carry (white space) are not recorded. A failed write is reported
// with its reason and ends the recording.
void RecordLiveKey(unsigned char key, float musicSeconds);
// Closes the recording file, if any. False when a recording was asked for
// and is not complete (it could not be opened, written or closed).
bool FinishKeyRecording();
