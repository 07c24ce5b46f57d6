// One frame: clock, scene, update, composition, overlays, panel, swap.
#pragma once
#include "core/timeline.h"
#include "scenes/show_state.h"

// The show's state: the one instance, which the GLUT callbacks step and draw.
extern ShowState show;

// A frame at `time` as a run-up to a later moment takes it: every step, the
// particle field's compute passes and every change of GL state the drawing
// makes, with rasterising switched off, so that the frames after it are the
// ones a run drawing every frame gives, at a fraction of the cost.
void RunUpFrame(ShowState& show, const FrameTime& time);
// GLUT display callback: DrawFrame, then swap buffers and ask for the next frame.
void OnDisplay();
// The next frame's time: one read of the music position and of the ticks.
FrameTime ReadFrameTime();
// Everything of a frame at `time` up to (not including) the buffer swap,
// steps and drawing in the frame's order: the scene's steps, its GL steps,
// the scene, the update, the composition's step, the composition. The
// capture tool reads the back buffer between this and the swap.
void DrawFrame(ShowState& show, const FrameTime& time);
// The music stream's playback position in seconds, as a float.
float MusicPositionSeconds();
// The composition's viewport on the bound screen framebuffer: the picture's
// 16:9 rectangle of the window (windowWidth x windowHeight), with the bars
// beside it cleared to black where the window has another shape.
void FitScreenViewport();
// Has the GLUT loop look for a stop signal (Ctrl-C, SIGTERM, SIGHUP) every
// tenth of a second, frames or not, and end the show as Escape does, with
// status 128 plus the signal's number. The show's own loop only: the capture tool
// checks between its frames itself.
void WatchStopSignals();
// Ends the process once a stop signal has come (status 128 + the signal): the
// recording is closed and the exit handlers close the audio output and
// remove temporary files, as after Escape. Start-up calls it between its
// steps.
void EndIfStopSignal();
