// Compiling and linking GL shaders: the one place that asks the driver
// whether a shader compiled or a program linked, and for its log. Callers
// word their own messages.
#pragma once
#include <string>

#include "core/gl.h"

// Compiles a shader object whose source is set; returns whether it compiled.
bool CompileShaderObject(GLuint shader);
// Links a program object; returns whether it linked.
bool LinkProgramObject(GLuint program);
// The info log of a shader (isProgram false) or of a program, up to its first
// NUL, into *log; returns false, leaving *log empty, when the driver gave none.
bool ShaderInfoLog(GLuint object, bool isProgram, std::string* log);
