// The rehearsal's GLUT side: its display callback (frames, or the held
// picture while paused, and the display over it), its keys, and the watch on
// the key track and shader files.
#pragma once
#include <string>
#include <vector>

// Takes over the display and special-key callbacks for rehearsal (F11 still
// goes full screen) and starts watching the key track and shader files. Call
// once the seeking engine has started the show (StartShowAt), before
// glutMainLoop.
void StartRehearsal();

// The rehearsal's own drawing on the window (windowWidth x windowHeight),
// apart for its test. Each changes only pixels: every GL state it touches is
// put back as it found it, so that the show's next frame starts from what
// its last frame left.
// Copies the window's picture as it stands into the held picture.
void HoldScreenPicture();
// Draws the held picture over the whole window.
void ShowHeldScreenPicture();
// Writes lines of text in a dark box at the window's top left, the lines
// from `plainLines` on in amber (messages and compile logs).
void DrawDisplayText(const std::vector<std::string>& lines, size_t plainLines);
