#include "core/shader_build.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "core/file_open.h"

bool CompileShaderObject(GLuint shader) {
  glCompileShader(shader);
  GLint ok = GL_FALSE;
  glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
  return ok == GL_TRUE;
}

bool LinkProgramObject(GLuint program) {
  glLinkProgram(program);
  GLint ok = GL_FALSE;
  glGetProgramiv(program, GL_LINK_STATUS, &ok);
  return ok == GL_TRUE;
}

bool ShaderInfoLog(GLuint object, bool isProgram, std::string* log) {
  log->clear();
  GLint length = 0;
  if (isProgram) glGetProgramiv(object, GL_INFO_LOG_LENGTH, &length);
  else glGetShaderiv(object, GL_INFO_LOG_LENGTH, &length);
  if (length <= 1) return false;
  log->assign(static_cast<size_t>(length), '\0');
  if (isProgram) glGetProgramInfoLog(object, length, nullptr, &(*log)[0]);
  else glGetShaderInfoLog(object, length, nullptr, &(*log)[0]);
  const size_t end = log->find('\0');
  if (end != std::string::npos) log->resize(end);
  return true;
}

namespace {
// Far more than any of the show's shaders; the most of a file read.
constexpr size_t kMaxShaderBytes = 1u << 20;

// The whole text of a source file (bounded), or false with the reason.
bool ReadSource(const char* path, std::string* text, std::string* why) {
  std::FILE* file = OpenRegularFile(path, why);
  if (!file) return false;
  char block[16384];
  size_t got = 0;
  while (text->size() < kMaxShaderBytes && (got = std::fread(block, 1, sizeof block, file)) > 0)
    text->append(block, got);
  if (std::ferror(file)) *why = std::strerror(errno);
  std::fclose(file);  // read only
  if (why->empty() && text->empty()) *why = "empty";
  return why->empty();
}
}  // namespace

GLuint BuildProgramFromFiles(const std::vector<ShaderFile>& stages, std::vector<GLuint>* shaders,
                             std::string* error) {
  std::vector<GLuint> built;
  auto fail = [&](GLuint program, const std::string& what) -> GLuint {
    *error = what;
    while (!error->empty() && std::isspace(static_cast<unsigned char>(error->back()))) error->pop_back();
    for (GLuint shader : built) glDeleteShader(shader);
    if (program) glDeleteProgram(program);
    return 0;
  };
  for (const ShaderFile& stage : stages) {
    std::string text, why;
    if (!ReadSource(stage.path, &text, &why))
      return fail(0, std::string("cannot read ") + stage.path + " (" + why + ")");
    GLuint shader = glCreateShader(stage.type);
    built.push_back(shader);
    const char* source = text.c_str();
    glShaderSource(shader, 1, &source, nullptr);
    if (!CompileShaderObject(shader)) {
      std::string log;
      ShaderInfoLog(shader, false, &log);
      return fail(0, std::string(stage.path) + " does not compile:\n" + log);
    }
  }
  GLuint program = glCreateProgram();
  for (GLuint shader : built) glAttachShader(program, shader);
  if (!LinkProgramObject(program)) {
    std::string log;
    ShaderInfoLog(program, true, &log);
    std::string names;
    for (const ShaderFile& stage : stages) names += std::string(names.empty() ? "" : " and ") + stage.path;
    return fail(program, names + " do not link:\n" + log);
  }
  *shaders = built;
  return program;
}
