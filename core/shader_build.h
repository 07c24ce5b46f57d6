// Compiling and linking GL shaders: the one place that asks the driver
// whether a shader compiled or a program linked, and for its log. Callers
// word their own messages.
#pragma once
#include <string>
#include <vector>

#include "core/gl.h"

// Compiles a shader object whose source is set; returns whether it compiled.
bool CompileShaderObject(GLuint shader);
// Links a program object; returns whether it linked.
bool LinkProgramObject(GLuint program);
// The info log of a shader (isProgram false) or of a program, up to its first
// NUL, into *log; returns false, leaving *log empty, when the driver gave none.
bool ShaderInfoLog(GLuint object, bool isProgram, std::string* log);

// ---- Building a program again while the show runs (rehearsal) ----

// One stage of a program and the file its source is read from.
struct ShaderFile {
  GLenum type;
  const char* path;
};
// Reads, compiles and links the stages into a new program, attached in the
// order given, without making it current. Returns 0 when a file cannot be
// read or a stage does not compile or the program does not link, with
// *error naming the file and holding the driver's log; nothing is left
// behind then. On success *shaders gets the shader objects, in order.
GLuint BuildProgramFromFiles(const std::vector<ShaderFile>& stages, std::vector<GLuint>* shaders,
                             std::string* error);
