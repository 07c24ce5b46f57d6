// Questions to the X server asked before and beside GLUT.
#pragma once

// Whether an X display can be opened ($DISPLAY set and the server answers);
// the connection it opens stays open until the program ends.
bool CanOpenDisplay();
// Whether a window manager that follows the desktop conventions runs and
// offers full-screen windows; without one a window is made full-screen by
// placing and sizing it over the whole screen.
bool WindowManagerDoesFullScreen();
