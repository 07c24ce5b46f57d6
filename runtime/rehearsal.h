// Rehearsal (--rehearse): the show in a window with keys to pause, seek,
// loop and step it, a display of where it stands, and live reload of the key
// track and the shaders. This part holds the decisions, without GL: which
// key does what, where a seek or a step lands, when a loop jumps back, what
// the display says. runtime/rehearsal_loop.cpp carries them out.
#pragma once
#include <deque>
#include <string>
#include <vector>

// What a rehearsal key asks for. None of these keys reaches the director:
// they are function and cursor keys, which it does not read.
enum class RehearsalAction {
  None,
  PauseResume,    // F5
  Back1,          // Left
  Forward1,       // Right
  Back10,         // Page Up
  Forward10,      // Page Down
  ToStart,        // Home
  NearEnd,        // End: 10 s before the end
  MarkLoopStart,  // F6
  MarkLoopEnd,    // F7
  ToggleLoop,     // F8
  StepFrame,      // F9, while paused
  ToggleDisplay,  // F1
};

// GLUT's special-key codes of the rehearsal keys (rehearsal_loop.cpp checks
// them against freeglut's header).
namespace rehearsal_keys {
constexpr int kF1 = 1, kF5 = 5, kF6 = 6, kF7 = 7, kF8 = 8, kF9 = 9;
constexpr int kLeft = 100, kRight = 102, kPageUp = 104, kPageDown = 105, kHome = 106, kEnd = 107;
}  // namespace rehearsal_keys

RehearsalAction RehearsalActionForKey(int specialKey);

// Seconds back from the end of the music where End lands.
constexpr double kNearEndSeconds = 10;

// The rehearsal's own state, apart from the show's: owned once, by the
// rehearsal loop.
struct RehearsalState {
  bool paused = false;    // the music is held and the picture with it
  bool looping = false;   // the music jumps back to loopStart at loopEnd
  double loopStart = -1;  // music seconds; below 0: not set
  double loopEnd = -1;
  bool display = false;   // the text display over the picture
};

// The music position a seek key takes the show to from `now`, on music of
// `length` seconds: within 0 and the length. Other actions: `now`.
double SeekTarget(RehearsalAction action, double now, double length);
// The moment one frame step takes the show to: the next moment of the frame
// grid (fps frames a second) after `now`.
double StepTarget(double now, int fps);
// F8: starts looping when both marks are set and the start lies before the
// end (false, with the reason in *why, otherwise), or stops it.
bool ToggleLoop(RehearsalState& state, std::string* why);
// Whether the music at `now` has reached the loop's end and jumps back.
bool LoopJumpsBack(const RehearsalState& state, double now);
// Whether `now` lies outside the loop, so that starting it jumps to its start.
bool OutsideLoop(const RehearsalState& state, double now);

// Music time as m:ss.cc (hundredths cut, not rounded).
std::string FormatMusicTime(double seconds);
// The line printed on each rehearsal event: "rehearse: paused at 0:12.34
// (12.3467 s, frame 741)", the frame on the grid of fps frames a second.
std::string RehearsalEventLine(const std::string& event, double seconds, int fps);

// The named time windows of the show (core/timeline.h) and the window
// predicates that hold at a demo time, by their names in the code.
std::vector<std::string> WindowsHolding(float demoTime);

// Frame times of the last second, for the frame rate and the slowest frame.
struct FrameStats {
  std::deque<std::pair<double, double>> frames;  // (end, duration), seconds
};
// A frame that ended at `now` (seconds) after taking `duration` seconds.
void AddFrame(FrameStats& stats, double now, double duration);
// Frames in the second before the latest one's end, and the longest of them
// in milliseconds.
int FramesInLastSecond(const FrameStats& stats);
double SlowestFrameMs(const FrameStats& stats);

// The display's lines: music and demo time, frame rate and slowest frame,
// the windows that hold, the loop marks, and a message (a reload's, or a
// shader's compile log) when there is one.
std::vector<std::string> DisplayLines(const RehearsalState& state, double musicSeconds,
                                      float demoTime, const FrameStats& stats,
                                      const std::string& message);
