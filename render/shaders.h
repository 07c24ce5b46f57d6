// The three full-screen shader programs (rad, dof, multiply), built from the
// GLSL sources under dat/.
#pragma once
#include <string>
#include "core/gl.h"

extern GLuint radProgram;
extern GLuint dofProgram;
extern GLuint multiplyProgram;

// Whole file read into a new NUL-terminated buffer (free with free()); null
// for a null path, or a file that cannot be opened (a pipe or device is
// refused, not waited on) or read, with the reason in *why when given.
char* ReadWholeFile(const char* path, std::string* why = nullptr);
// Builds rad, dof and multiply in that order; leaves multiply in use.
void LoadShaderPrograms();
