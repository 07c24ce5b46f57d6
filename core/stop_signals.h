// Ctrl-C (SIGINT), SIGTERM and SIGHUP (a closed terminal) ask a program to stop: the first one only
// records the request, which the program honours at its next safe point (the
// show between frames, the capture after the frame it is on); a second one
// ends the process at once. Writes past a file-size limit or into a closed
// pipe fail with an error the program reports instead of killing it.
#pragma once

// Installs the handlers (a signal that was ignored when the program started,
// as for background jobs of a script, stays ignored) and ignores SIGPIPE and
// SIGXFSZ. Call before SDL_Init, which then leaves these signals alone.
void InstallStopSignals();
// 0 until a stop was asked for, then the signal's number.
int StopSignal();
// The signal's name for messages: "SIGINT", "SIGTERM", "SIGHUP".
const char* StopSignalName(int signal);
// Runs in the signal handler on the second signal, just before the process
// ends; it may use only async-signal-safe calls (unlink, rmdir, kill).
void SetImmediateStopAction(void (*action)());
