#include "core/shader_build.h"

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
