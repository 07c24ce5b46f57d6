#include "runtime/x_display.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <cstdlib>

namespace {
// The window a running window manager names in _NET_SUPPORTING_WM_CHECK, or 0.
Window SupportingWindow(Display* display) {
  const Atom check = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", False);
  Atom type = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  Window result = 0;
  if (XGetWindowProperty(display, DefaultRootWindow(display), check, 0, 1, False, XA_WINDOW,
                         &type, &format, &count, &after, &data) == Success &&
      type == XA_WINDOW && format == 32 && count == 1 && data)
    result = *reinterpret_cast<Window*>(data);
  if (data) XFree(data);
  return result;
}

// Whether the root window's _NET_SUPPORTED list holds the full-screen state.
bool SupportsFullScreenState(Display* display) {
  const Atom supported = XInternAtom(display, "_NET_SUPPORTED", False);
  const Atom fullScreen = XInternAtom(display, "_NET_WM_STATE_FULLSCREEN", False);
  Atom type = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  bool found = false;
  // The list is short; 4096 entries bound the read.
  if (XGetWindowProperty(display, DefaultRootWindow(display), supported, 0, 4096, False,
                         XA_ATOM, &type, &format, &count, &after, &data) == Success &&
      type == XA_ATOM && format == 32 && data) {
    const Atom* atoms = reinterpret_cast<Atom*>(data);
    for (unsigned long i = 0; i < count && !found; ++i) found = atoms[i] == fullScreen;
  }
  if (data) XFree(data);
  return found;
}
}  // namespace

// The probe's connection is kept until the program ends: a server that
// resets when its last client leaves (Xvfb does by default) would otherwise
// reset between this probe and GLUT's own connection, and GLUT would fail.
bool CanOpenDisplay() {
  static Display* probe = nullptr;
  if (probe) return true;
  const char* name = getenv("DISPLAY");
  if (!name || !*name) return false;
  probe = XOpenDisplay(nullptr);
  return probe != nullptr;
}

bool WindowManagerDoesFullScreen() {
  Display* display = XOpenDisplay(nullptr);
  if (!display) return false;
  const bool yes = SupportingWindow(display) != 0 && SupportsFullScreenState(display);
  XCloseDisplay(display);
  return yes;
}
