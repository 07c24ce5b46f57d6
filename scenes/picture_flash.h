// The picture flash on the director's beats and the timed cards (greetings).
#pragma once
#include "core/gl.h"
#include "scenes/scene_steps.h"

// A shaken stack of three translucent copies of the current flash picture,
// shown for one second after each marked beat, at scene demo time t.
void DrawPictureFlash(const DirectorState& director, const ScenePlan& plan, float t);
// One full-screen card with a fade-in, a hold and a fade-out (tenths of a
// second), shaken by x, y, z.
void DrawTimedCard(GLuint texture, const TimedCard& card, const float shake[3], float t);
// The fifteen greeting cards, each shaken as the step drew.
void DrawGreetingCards(const ScenePlan& plan, float t);
