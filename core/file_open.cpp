#include "core/file_open.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {
// Keeps an open descriptor only when it is a regular file; on refusal
// closes it and says why. O_NONBLOCK is cleared again (it means nothing to a
// regular file, and no reader should meet EAGAIN).
bool KeepRegular(int fd, std::string* why) {
  struct stat info;
  int error = 0;
  if (fstat(fd, &info) != 0) {
    error = errno;
    *why = strerror(error);
  } else if (!S_ISREG(info.st_mode)) {
    error = EINVAL;
    *why = S_ISDIR(info.st_mode) ? "it is a directory" : "not a regular file";
  } else {
    const int flags = fcntl(fd, F_GETFL);
    if (flags >= 0) fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    return true;
  }
  close(fd);
  errno = error;
  return false;
}

std::FILE* StreamOf(int fd, const char* mode, std::string* why) {
  if (fd < 0) return nullptr;
  std::FILE* file = fdopen(fd, mode);
  if (!file) {
    const int error = errno;
    *why = strerror(error);
    close(fd);
    errno = error;
  }
  return file;
}
}  // namespace

int OpenRegularForReading(const char* path, std::string* why) {
  const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    const int error = errno;
    *why = strerror(error);
    errno = error;
    return -1;
  }
  return KeepRegular(fd, why) ? fd : -1;
}

std::FILE* OpenRegularFile(const char* path, std::string* why) {
  return StreamOf(OpenRegularForReading(path, why), "rb", why);
}

std::FILE* OpenRegularForAppending(const char* path, std::string* why) {
  // A pipe with no reader would make a blocking open wait; opened without
  // blocking it fails with ENXIO, which says nothing useful, so a path that
  // is there is looked at first.
  struct stat info;
  if (stat(path, &info) == 0 && !S_ISREG(info.st_mode)) {
    *why = S_ISDIR(info.st_mode) ? "it is a directory" : "not a regular file";
    errno = EINVAL;
    return nullptr;
  }
  const int fd = open(path, O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0666);
  if (fd < 0) {
    const int error = errno;
    *why = strerror(error);
    errno = error;
    return nullptr;
  }
  if (!KeepRegular(fd, why)) return nullptr;
  return StreamOf(fd, "a", why);
}

bool WriteAllBytes(int fd, const void* data, size_t size) {
  const auto* p = static_cast<const unsigned char*>(data);
  while (size > 0) {
    const ssize_t n = write(fd, p, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

bool ReadAllBytes(int fd, void* data, size_t size) {
  auto* p = static_cast<unsigned char*>(data);
  while (size > 0) {
    const ssize_t n = read(fd, p, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}
