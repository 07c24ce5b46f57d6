// The rehearsal's GLUT side: its display callback (frames, or the held
// picture while paused, and the display over it), its keys, and the watch on
// the key track and shader files.
#pragma once
#include "runtime/show_options.h"

// Starts the show for rehearsal at options.from through the seeking engine
// and takes over the display and special-key callbacks (F11 still goes full
// screen). Call after the music is open, before glutMainLoop. False when the
// show cannot start (the engine has said why).
bool StartRehearsal(const ShowOptions& options);
