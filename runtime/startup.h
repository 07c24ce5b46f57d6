// Process start: window, GL objects, generator, key track, first images.
#pragma once
#include "core/audio.h"
#include "render/render_target.h"


// False: StartUp opens a plain 1280x720 window at the top-left corner instead
// of entering game mode (the capture tool, which reads the frames back).
extern bool useGameMode;
// True (--window): an ordinary 1280x720 window instead of full screen.
extern bool playInWindow;

// Checks, before any window opens, that the music file decodes and every image
// file exists, and loads the two meshes; reports what is wrong (naming the
// files) and returns false, or ends the program on a damaged mesh.
bool CheckRunFiles();
// The start-up sequence, up to (not including) the audio library.
void StartUp(int argc, char** argv);
// Screen set-up; the first call also fills the rad texture, later calls do not.
void SetUpScreen();
// GLUT reshape callback.
void OnReshape(int width, int height);
// GLUT keyboard callback: the key to the director, then a redisplay.
void OnKeyboard(unsigned char key, int x, int y);
// GLUT special-key callback: F11 switches between full screen and a window.
void OnSpecialKey(int key, int x, int y);
// Full screen to a 1280x720 window and back (not out of game mode).
void ToggleFullScreen();

