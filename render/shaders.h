// The three full-screen shader programs (rad, dof, multiply), built from the
// GLSL sources under dat/.
#pragma once
#include <string>
#include <vector>
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

// Builds the dof and multiply programs again from their files (the files the
// post passes use) and puts them in place of the old ones, which are deleted.
// When a file cannot be read or does not compile or link, the programs in
// use stay and *error holds the file and the driver's log. The current
// program is left as it was (its new build where it was replaced).
bool ReloadPostPrograms(std::string* error);
// The source files ReloadPostPrograms reads.
std::vector<std::string> PostProgramFiles();
