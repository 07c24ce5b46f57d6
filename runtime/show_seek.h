// Exact seeking in the live show. The show has history (the ropes, the soft
// body, the fluid), so a moment of it is defined by a run from the start at a
// fixed frame rate: the start-up, the loader screen on a virtual clock as the
// capture tool runs it, the frame that starts the music, then one frame every
// 1/kRunUpFps seconds of music. Seeking restores the latest checkpoint at or
// before the moment (kept in memory as run-ups pass them, or read from the
// checkpoint directory) and runs up from there without rasterising, so the
// frame drawn after a seek is the one such a run shows there.
#pragma once
#include <string>

// Frames a second of the live show's run-up.
constexpr int kRunUpFps = 60;
// Seconds of music between two checkpoints.
constexpr int kCheckpointEverySeconds = 10;

// Told now and then during a long seek: the music position reached and the
// one sought, in seconds.
using SeekProgress = void (*)(double reached, double target);

// Starts the show for seeking instead of GLUT's loader screen in real time:
// runs the loader screen and the frame that starts the music on the virtual
// clock, keeps the show's start as the first checkpoint, runs up to `from`
// and hands the music over to the audio output, paused or playing, at that
// moment. `checkpointDirectory` (may be empty) is where checkpoints are read
// from and written to, one every `checkpointEvery` seconds of show (memory
// keeps them at the same moments); the moment reached gets one too where it
// falls on that grid. Returns false with a message on stderr when a
// checkpoint cannot be written (a damaged or foreign one is only reported,
// and the run-up goes on from an earlier one).
bool StartShowAt(double from, const std::string& checkpointDirectory, double checkpointEvery,
                 bool paused, SeekProgress progress);

// Takes the running show to music position `seconds` (clamped to the music):
// the show's state becomes that of the fixed-rate run after its frame just
// before the moment, and the music stands at the moment, paused or playing as
// it was, so the next frame drawn is the run's frame there. Only after
// StartShowAt. A checkpoint file that cannot be used or written is named on
// stderr and the seek goes on from the checkpoints in memory. Returns the
// position reached.
double SeekShow(double seconds, SeekProgress progress);

// The music position of the frame grid's frame nearest to `seconds`.
double RunUpGridSeconds(double seconds);

// Makes the checkpoint directory (taken from the directory the program was
// started in) where it is not there. An empty path is no directory. False,
// with a message naming it, when it cannot be made or written.
bool PrepareCheckpointDirectory(const char* program, std::string* path);
// A run-up's progress as one line on the terminal, rewritten in place.
void PrintRunUpProgress(double reached, double target);
