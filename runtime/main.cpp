// The show: check the run directory, start up, open the music, run GLUT.
#include "render/gl.h"  // GLEW before any other GL header
#include <GL/freeglut.h>

#include "runtime/audio.h"
#include "runtime/startup.h"

int main(int argc, char** argv) {
  // Missing assets are reported before any window opens.
  if (!CheckRunFiles()) return 1;
  StartUp(argc, argv);
  if (AudioInit(-1, 44100)) {
    AudioStart();
    AudioStreamFree(musicStream);
    musicStream = AudioStreamCreateFile(kMusicFile);
  }
  glutMainLoop();
  return 0;
}
