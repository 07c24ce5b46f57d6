#include "runtime/key_track.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "runtime/director.h"

char keyTrackKeys[kKeyTrackSize];
float keyTrackTimes[kKeyTrackSize];

namespace {
constexpr char kFillKey = '/';             // has no director action
constexpr float kFillTime = 1000000000.0f;  // never reached
FILE* recordFile = nullptr;
std::string recordPath;
bool recordFailed = false;

void FillFrom(int first) {
  for (int i = first; i < kKeyTrackSize; ++i) {
    keyTrackKeys[i] = kFillKey;
    keyTrackTimes[i] = kFillTime;
  }
}

// Opens a regular file for reading; anything else (a directory, a device, a
// pipe that would block) is refused with a reason.
FILE* OpenRegularFile(const char* path, std::string* why) {
  int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    *why = strerror(errno);
    return nullptr;
  }
  struct stat info;
  if (fstat(fd, &info) != 0) {
    *why = strerror(errno);
    close(fd);
    return nullptr;
  }
  if (!S_ISREG(info.st_mode)) {
    *why = S_ISDIR(info.st_mode) ? "it is a directory" : "not a regular file";
    close(fd);
    return nullptr;
  }
  FILE* file = fdopen(fd, "r");
  if (!file) {
    *why = strerror(errno);
    close(fd);
  }
  return file;
}

// Reports a failed recording write and gives the recording up.
void AbandonRecording(int error) {
  fprintf(stderr, "kelvane12: cannot write the key recording %s (%s): recording stopped\n",
          recordPath.c_str(), strerror(error));
  fclose(recordFile);
  recordFile = nullptr;
  recordFailed = true;
}
}  // namespace

int LoadKeyTrack(const char* path) {
  std::string why;
  FILE* file = OpenRegularFile(path, &why);
  if (!file) {
    fprintf(stderr, "kelvane12: cannot read the key track %s (%s): playing without it\n", path,
            why.c_str());
    FillFrom(0);
    return 0;
  }
  int count = 0;
  while (count < kKeyTrackSize) {
    // A line whose number cannot be read keeps its character with time 0,
    // and reading goes on from the unread text.
    keyTrackTimes[count] = 0;
    if (fscanf(file, "%c %f\n", &keyTrackKeys[count], &keyTrackTimes[count]) == EOF) break;
    ++count;
  }
  if (ferror(file)) {
    fprintf(stderr, "kelvane12: cannot read the key track %s (%s): playing without it\n", path,
            strerror(errno));
    count = 0;
  }
  fclose(file);
  if (count < kKeyTrackSize) FillFrom(count);
  return count;
}

void ReplayKeyTrack(float musicSeconds) {
  for (int i = 0; i < kKeyTrackSize; ++i) {
    if (keyTrackTimes[i] == kKeyFired) continue;
    if (keyTrackTimes[i] == kKeyTrackEnd) break;
    if (musicSeconds > keyTrackTimes[i]) {
      if (keyTrackKeys[i] != ' ') HandleKey(static_cast<unsigned char>(keyTrackKeys[i]));
      keyTrackTimes[i] = kKeyFired;
    }
  }
}

void StartKeyRecording() {
  const char* path = getenv("KELVANE_RECORD");
  if (!path || !*path) return;
  recordPath = path;
  recordFailed = false;
  recordFile = fopen(path, "a");
  if (!recordFile) {
    fprintf(stderr, "kelvane12: cannot record keys to %s (%s): playing without recording\n",
            path, strerror(errno));
    recordFailed = true;
    return;
  }
  printf("recording live keys to %s\n", path);
}

void RecordLiveKey(unsigned char key, float musicSeconds) {
  // White space cannot be read back: the reader skips it before each key.
  if (!recordFile || isspace(key)) return;
  if (fprintf(recordFile, "%c %.6f\n", key, musicSeconds) < 0 || fflush(recordFile) != 0)
    AbandonRecording(errno);
}

bool FinishKeyRecording() {
  if (recordFile) {
    const bool closed = fclose(recordFile) == 0;
    const int error = errno;
    recordFile = nullptr;
    if (!closed) {
      fprintf(stderr, "kelvane12: cannot write the key recording %s (%s)\n", recordPath.c_str(),
              strerror(error));
      recordFailed = true;
    }
  }
  if (recordFailed)
    fprintf(stderr, "kelvane12: the key recording %s is not complete\n", recordPath.c_str());
  return !recordFailed;
}
