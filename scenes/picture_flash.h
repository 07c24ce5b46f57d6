// The picture flash on the director's beats and the timed cards (greetings).
#pragma once
#include "core/gl.h"

// A shaken stack of three translucent copies of the current flash picture,
// shown for one second after each marked beat.
void DrawPictureFlash();
// One full-screen card with a fade-in, a hold and a fade-out (tenths of a second).
void DrawTimedCard(GLuint texture, float start, float fadeIn, float hold, float fadeOut);
