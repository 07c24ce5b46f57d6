// The director: single key characters, from the live keyboard or the recorded
// key track, change a small set of scene parameters that the scene renderer
// and the rope objects read.
#pragma once
#include "scenes/show_state.h"  // DirectorState, the state the keys change

// Turns one character into one change of the show state at its latest demo
// time (Escape ends the process with status 0). Characters without an
// action do nothing.
void HandleKey(ShowState& show, unsigned char key);

// What Escape does: ends the process with status 0. The capture tool puts its
// own action here, so that an Escape in the key track lets it finish writing
// its frames and video before it ends.
extern void (*escapeAction)();
