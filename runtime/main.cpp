// The show: options, enter the data directory, check its files and the
// display, start up, open the music, run GLUT.
#include "core/gl.h"  // GLEW before any other GL header
#include <GL/freeglut.h>

#include <cstdio>
#include <string>

#include "core/audio.h"
#include "core/stop_signals.h"
#include "runtime/data_directory.h"
#include "runtime/frame_loop.h"
#include "runtime/frame_steps.h"
#include "runtime/rehearsal_loop.h"
#include "runtime/show_options.h"
#include "runtime/show_seek.h"
#include "runtime/startup.h"
#include "runtime/version.h"
#include "runtime/x_display.h"

int main(int argc, char** argv) {
#ifdef KELVANE_FIXED_STEP
  fixedRopeStep = true;  // the fixed-step build
#endif
  ShowOptions options;
  std::string error;
  if (!ParseShowOptions(argc, argv, &options, &error)) {
    fprintf(stderr, "%s: %s\n%s", ProgramName(argv[0]), error.c_str(), ShowUsage(argv[0]).c_str());
    return 2;
  }
  if (options.help) return PrintHelp(ProgramName(argv[0]), ShowUsage(argv[0]).c_str()) ? 0 : 1;
  if (options.version) return PrintVersion(ProgramName(argv[0])) ? 0 : 1;
  // The show reads its files from its data directory; a recording goes where
  // the user started it.
  if (!EnterDataDirectory(ProgramName(argv[0]))) return 1;
  AnchorEnvironmentPath("KELVANE_RECORD");
  // Before SDL_Init, which would otherwise take Ctrl-C for itself.
  InstallStopSignals();
  // Missing assets are reported before any window opens.
  if (!CheckRunFiles()) {
    fprintf(stderr, "kelvane12: (the files named are in %s)\n", DataDirectory().c_str());
    return 1;
  }
  EndIfStopSignal();
  const double musicSeconds = AudioCheckedSeconds(kMusicFile);
  if (musicSeconds >= 0 && options.from > musicSeconds) {
    fprintf(stderr, "%s: --from %.3f lies past the end of the music (%.3f s)\n%s",
            ProgramName(argv[0]), options.from, musicSeconds, ShowUsage(argv[0]).c_str());
    return 2;
  }
  if (!CanOpenDisplay()) {
    fprintf(stderr,
            "kelvane12: there is no X display to play the show on (DISPLAY is not set,\n"
            "or its server does not answer).\n"
            "To watch the show without a display, render it to a video with its music:\n"
            "run 'make video' in the source directory, which writes build/kelvane12.mp4.\n");
    return 1;
  }
  // Rehearsal plays in a window, beside the files being edited.
  playInWindow = options.window || options.rehearse;
  // A show that starts later than 0, or keeps checkpoints, is started through
  // the seeking engine: the loader screen and the run-up run on the virtual
  // clock, and the music goes to the audio output at the moment reached.
  const bool seeking = options.from > 0 || !options.checkpoints.empty() || options.rehearse;
  if (seeking && !PrepareCheckpointDirectory(ProgramName(argv[0]), &options.checkpoints))
    return 1;
  if (seeking) AudioUseVirtualClock();
  // GLUT gets no options of the show's own.
  char* glutArgs[] = {argv[0], nullptr};
  StartUp(1, glutArgs);
  EndIfStopSignal();
  if (OpenMusic() && !musicStream) return 1;  // the decoder has said why
  EndIfStopSignal();
  if (seeking && !StartShowAt(options.from, options.checkpoints, options.checkpointEvery, false,
                              PrintRunUpProgress))
    return 1;
  if (options.rehearse) StartRehearsal();
  WatchStopSignals();
  glutMainLoop();
  return 0;
}
