#include "render/shaders.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/fatal.h"
#include "core/file_open.h"
#include "core/shader_build.h"

ShaderPrograms programs;

namespace {
constexpr const char* kVertexSource = "dat/multiply_vertex.glsl";
constexpr const char* kDofFragmentSource = "dat/dof_fragment.glsl";
constexpr const char* kMultiplyFragmentSource = "dat/multiply_fragment.glsl";

// A shader's or program's info log as text.
std::string InfoLog(GLuint object, bool isProgram) {
  std::string log;
  if (!ShaderInfoLog(object, isProgram, &log)) return "(the driver gave no log)";
  return log;
}

// Reads a shader source; a missing or empty file ends the program.
char* ReadShaderSource(const char* path) {
  std::string why;
  char* text = ReadWholeFile(path, &why);
  if (!text) {
    Fatal(stderr, "kelvane12: cannot read the shader source %s (%s)\n", path, why.c_str());
  }
  if (!text[0]) {
    Fatal(stderr, "kelvane12: shader source %s is empty\n", path);
  }
  return text;
}

// Compiles one shader object; a compile error ends the program with the log.
void CompileShader(GLuint shader, const char* path) {
  if (!CompileShaderObject(shader)) {
    Fatal(stderr, "kelvane12: shader %s does not compile:\n%s\n", path,
          InfoLog(shader, false).c_str());
  }
}

// Builds one program from the shared vertex source and a fragment source, and
// makes it current.
GLuint BuildProgram(const char* fragmentPath, GLuint& vertexShader, GLuint& fragmentShader) {
  vertexShader = glCreateShader(GL_VERTEX_SHADER);
  fragmentShader = glCreateShader(GL_FRAGMENT_SHADER);
  char* vertexText = ReadShaderSource(kVertexSource);
  char* fragmentText = ReadShaderSource(fragmentPath);
  glShaderSource(vertexShader, 1, &vertexText, nullptr);
  glShaderSource(fragmentShader, 1, &fragmentText, nullptr);
  free(vertexText);
  free(fragmentText);
  CompileShader(vertexShader, kVertexSource);
  CompileShader(fragmentShader, fragmentPath);

  GLuint program = glCreateProgram();
  glAttachShader(program, fragmentShader);
  glAttachShader(program, vertexShader);
  if (!LinkProgramObject(program)) {
    Fatal(stderr, "kelvane12: shaders %s and %s do not link:\n%s\n", kVertexSource,
          fragmentPath, InfoLog(program, true).c_str());
  }
  glUseProgram(program);
  return program;
}
}  // namespace

char* ReadWholeFile(const char* path, std::string* why) {
  std::string reason;
  if (!why) why = &reason;
  if (!path) return nullptr;
  // Opened without blocking: a pipe or device in the file's place is refused.
  FILE* file = OpenRegularFile(path, why);
  if (!file) return nullptr;
  char* buffer = nullptr;
  fseek(file, 0, SEEK_END);
  long length = ftell(file);
  rewind(file);
  buffer = static_cast<char*>(malloc(static_cast<size_t>(std::max(length, 0L)) + 1));
  size_t count = length >= 1 ? fread(buffer, 1, static_cast<size_t>(length), file) : 0;
  buffer[count] = '\0';
  if (ferror(file)) {
    *why = strerror(errno);
    free(buffer);
    buffer = nullptr;
  }
  fclose(file);
  return buffer;
}

void LoadShaderPrograms() {
  ShaderPrograms& p = programs;
  p.rad = BuildProgram("dat/rad_fragment.glsl", p.radVertex, p.radFragment);
  p.dof = BuildProgram(kDofFragmentSource, p.dofVertex, p.dofFragment);
  p.multiply = BuildProgram(kMultiplyFragmentSource, p.multiplyVertex, p.multiplyFragment);
}

// ---- Building the post programs again while the show runs (rehearsal) ----

std::vector<std::string> PostProgramFiles() {
  return {kVertexSource, kDofFragmentSource, kMultiplyFragmentSource};
}

bool ReloadPostPrograms(std::string* error) {
  struct Rebuilt {
    GLuint& program;
    GLuint& vertex;
    GLuint& fragment;
    const char* fragmentPath;
    GLuint newProgram = 0;
    std::vector<GLuint> shaders;
  };
  Rebuilt rebuilt[] = {
      {programs.dof, programs.dofVertex, programs.dofFragment, kDofFragmentSource, 0, {}},
      {programs.multiply, programs.multiplyVertex, programs.multiplyFragment,
       kMultiplyFragmentSource, 0, {}}};
  for (Rebuilt& r : rebuilt) {
    // Attached fragment first, as at start-up.
    r.newProgram = BuildProgramFromFiles(
        {{GL_FRAGMENT_SHADER, r.fragmentPath}, {GL_VERTEX_SHADER, kVertexSource}}, &r.shaders, error);
    if (!r.newProgram) {
      for (Rebuilt& done : rebuilt) {
        if (!done.newProgram) continue;
        glDeleteProgram(done.newProgram);
        for (GLuint shader : done.shaders) glDeleteShader(shader);
      }
      return false;
    }
  }
  GLint current = 0;
  glGetIntegerv(GL_CURRENT_PROGRAM, &current);
  for (Rebuilt& r : rebuilt) {
    if (current != 0 && static_cast<GLuint>(current) == r.program)
      current = static_cast<GLint>(r.newProgram);
    glDeleteProgram(r.program);
    glDeleteShader(r.vertex);
    glDeleteShader(r.fragment);
    r.program = r.newProgram;
    r.fragment = r.shaders[0];
    r.vertex = r.shaders[1];
  }
  glUseProgram(static_cast<GLuint>(current));
  return true;
}
