// The three full-screen shader programs (rad, dof, multiply), built from the
// GLSL sources under dat/.
#pragma once
#include <string>
#include "core/gl.h"

// The programs and their shader objects, kept for the life of the program:
// a start-up resource.
struct ShaderPrograms {
  GLuint rad = 0, dof = 0, multiply = 0;
  GLuint radVertex = 0, radFragment = 0;
  GLuint dofVertex = 0, dofFragment = 0;
  GLuint multiplyVertex = 0, multiplyFragment = 0;
};
extern ShaderPrograms programs;

// Whole file read into a new NUL-terminated buffer (free with free()); null
// for a null path, or a file that cannot be opened (a pipe or device is
// refused, not waited on) or read, with the reason in *why when given.
char* ReadWholeFile(const char* path, std::string* why = nullptr);
// Builds rad, dof and multiply in that order; leaves multiply in use.
void LoadShaderPrograms();
