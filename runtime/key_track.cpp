#include "runtime/key_track.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>

#include "runtime/director.h"

char keyTrackKeys[kKeyTrackSize];
float keyTrackTimes[kKeyTrackSize];

namespace {
constexpr char kFillKey = '/';             // has no director action
constexpr float kFillTime = 1000000000.0f;  // never reached
FILE* recordFile = nullptr;

void FillFrom(int first) {
  for (int i = first; i < kKeyTrackSize; ++i) {
    keyTrackKeys[i] = kFillKey;
    keyTrackTimes[i] = kFillTime;
  }
}
}  // namespace

int LoadKeyTrack(const char* path) {
  FILE* file = fopen(path, "r");
  if (!file) {
    printf("cannot open the key track %s: playing without it\n", path);
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
  recordFile = fopen(path, "a");
  if (!recordFile)
    printf("cannot open %s for recording keys: not recording\n", path);
  else
    printf("recording live keys to %s\n", path);
}

void RecordLiveKey(unsigned char key, float musicSeconds) {
  // White space cannot be read back: the reader skips it before each key.
  if (!recordFile || isspace(key)) return;
  fprintf(recordFile, "%c %.6f\n", key, musicSeconds);
  fflush(recordFile);
}

void StopKeyRecording() {
  if (recordFile) fclose(recordFile);
  recordFile = nullptr;
}
