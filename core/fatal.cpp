#include "core/fatal.h"

#include <cstdarg>
#include <cstdlib>

void Fatal(std::FILE* stream, const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::vfprintf(stream, format, args);
  va_end(args);
  std::fflush(stream);
  std::exit(1);
}
