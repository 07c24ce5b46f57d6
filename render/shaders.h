// The three full-screen shader programs (rad, dof, multiply), built from the
// GLSL sources under dat/.
#pragma once
#include "core/gl.h"

extern GLuint radProgram;
extern GLuint dofProgram;
extern GLuint multiplyProgram;

// Whole file read in text mode into a new NUL-terminated buffer (free with
// free()); null for a null path, a file that cannot be opened or an empty file.
char* ReadWholeFile(const char* path);
// Builds rad, dof and multiply in that order; leaves multiply in use.
void LoadShaderPrograms();
