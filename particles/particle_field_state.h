// The particle field's bookkeeping that changes while the show plays (its
// buffers' contents live on the GPU).
#pragma once

struct ParticleFieldState {
  int pingPong = 0;   // 0: distribution A at binding 4 and B at 5 in the next frame
  int colourSet = 0;  // 0 at start, 1 after the restart
};
