// The show: check the run directory, start up, open the music, run GLUT.
#include "render/gl.h"  // GLEW before any other GL header
#include <GL/freeglut.h>

#include "runtime/audio.h"
#include "runtime/frame_loop.h"
#include "runtime/startup.h"
#include "runtime/stop_signals.h"

int main(int argc, char** argv) {
  // Before SDL_Init, which would otherwise take Ctrl-C for itself.
  InstallStopSignals();
  // Missing assets are reported before any window opens.
  if (!CheckRunFiles()) return 1;
  StartUp(argc, argv);
  if (AudioInit(-1, 44100)) {
    AudioStart();
    AudioStreamFree(musicStream);
    musicStream = AudioStreamCreateFile(kMusicFile);
    if (!musicStream) return 1;  // the decoder has said why
  }
  WatchStopSignals();
  glutMainLoop();
  return 0;
}
