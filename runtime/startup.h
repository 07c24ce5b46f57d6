// Process start: window, GL objects, generator, key track, first images.
#pragma once
#include "runtime/audio.h"

extern MusicStream musicStream;
extern int windowWidth;   // last size reported by GLUT
extern int windowHeight;

// The start-up sequence, up to (not including) the audio library.
void StartUp(int argc, char** argv);
// GLUT reshape callback.
void OnReshape(int width, int height);
// GLUT keyboard callback: the key to the director, then a redisplay.
void OnKeyboard(unsigned char key, int x, int y);

// The music file, relative to the run directory.
constexpr const char* kMusicFile = "q-lune - selvara (kelvane edit).mp3";
