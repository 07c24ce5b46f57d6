#include "runtime/key_track.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "core/file_open.h"
#include "runtime/director.h"

KeyTrack keyTrack;

namespace {
constexpr char kFillKey = '/';             // has no director action
constexpr float kFillTime = 1000000000.0f;  // never reached
// The live-key recording asked for by KELVANE_RECORD.
struct KeyRecording {
  FILE* file = nullptr;
  std::string path;
  bool failed = false;
};
KeyRecording recording;

void FillFrom(KeyTrack& track, int first) {
  for (int i = first; i < kKeyTrackSize; ++i) {
    track.keys[i] = kFillKey;
    track.times[i] = kFillTime;
  }
}

// Far more than a full track takes (126000 lines of a key and a time), and
// the most of a file the reader looks at.
constexpr size_t kMaxKeyTrackBytes = 16u << 20;

// Reads up to kMaxKeyTrackBytes of a stream; false on a read error.
bool ReadBounded(FILE* file, std::string* text) {
  char block[65536];
  while (text->size() < kMaxKeyTrackBytes) {
    const size_t got =
        fread(block, 1, std::min(sizeof block, kMaxKeyTrackBytes - text->size()), file);
    if (got == 0) break;
    text->append(block, got);
  }
  return !ferror(file);
}

// The text of a track file, or false with the reason.
bool ReadTrackFile(const char* path, std::string* text, std::string* why) {
  FILE* file = OpenRegularFile(path, why);
  if (!file) return false;
  if (!ReadBounded(file, text)) *why = strerror(errno);
  fclose(file);  // read only: nothing to lose when closing fails
  return why->empty();
}

// A key as a message shows it: the character, or its byte value when it
// does not print.
std::string KeyText(char key) {
  char text[32];
  if (isprint(static_cast<unsigned char>(key)))
    snprintf(text, sizeof text, "'%c'", key);
  else
    snprintf(text, sizeof text, "byte 0x%02x", static_cast<unsigned char>(key));
  return text;
}

// Where reading a track stopped before the end of its text, and why.
struct TrackStop {
  size_t line = 0;  // 0: read to the end
  std::string why;
};

// Reads the entries the way "%c %f\n" reads them, one after another: any
// character, blanks, a number, blanks. Only whole entries are kept: reading
// stops at the first entry whose time does not read as a number or is not
// finite, since a key with a made-up time would fire at the wrong moment.
int ParseKeyTrack(const std::string& text, KeyTrack& track, TrackStop* stop) {
  const size_t size = text.size();
  size_t pos = 0, line = 1;
  auto skipBlanks = [&]() {
    for (; pos < size && isspace(static_cast<unsigned char>(text[pos])); ++pos)
      if (text[pos] == '\n') ++line;
  };
  int count = 0;
  while (count < kKeyTrackSize && pos < size) {
    const size_t entryLine = line;
    const char key = text[pos++];
    if (key == '\n') ++line;
    skipBlanks();
    const char* number = text.c_str() + pos;  // the string ends in a NUL
    char* end = nullptr;
    const float time = strtof(number, &end);
    if (end == number || !std::isfinite(time)) {
      stop->line = entryLine;
      stop->why = std::string(end == number ? "no time" : "a time that is not finite") +
                  " after the key " + KeyText(key);
      break;
    }
    track.keys[count] = key;
    track.times[count] = time;
    ++count;
    pos += end - number;
    skipBlanks();
  }
  return count;
}

// Reports a failed recording write and gives the recording up.
void AbandonRecording(int error) {
  fprintf(stderr, "kelvane12: cannot write the key recording %s (%s): recording stopped\n",
          recording.path.c_str(), strerror(error));
  fclose(recording.file);
  recording.file = nullptr;
  recording.failed = true;
}
}  // namespace

int LoadKeyTrack(const char* path) {
  std::string why;
  std::string text;
  if (!ReadTrackFile(path, &text, &why)) {
    fprintf(stderr, "kelvane12: cannot read the key track %s (%s): playing without it\n", path,
            why.c_str());
    FillFrom(keyTrack, 0);
    return 0;
  }
  TrackStop stop;
  const int count = ParseKeyTrack(text, keyTrack, &stop);
  if (stop.line && count == 0)
    fprintf(stderr, "kelvane12: the key track %s has no whole entry (line %zu: %s): playing "
                    "without it\n", path, stop.line, stop.why.c_str());
  else if (stop.line)
    fprintf(stderr, "kelvane12: the key track %s stops at line %zu (%s): playing the %d "
                    "entries before it\n", path, stop.line, stop.why.c_str(), count);
  FillFrom(keyTrack, count);
  return count;
}

void ReplayKeyTrack(ShowState& show, float musicSeconds) {
  std::vector<bool>& fired = show.keysFired;
  if (fired.empty()) fired.assign(kKeyTrackSize, false);
  for (int i = 0; i < kKeyTrackSize; ++i) {
    if (fired[i] || keyTrack.times[i] == kKeyFired) continue;
    if (keyTrack.times[i] == kKeyTrackEnd) break;
    if (musicSeconds > keyTrack.times[i]) {
      if (keyTrack.keys[i] != ' ') HandleKey(show, static_cast<unsigned char>(keyTrack.keys[i]));
      fired[i] = true;
    }
  }
}

// ---- Reading the track again while the show runs (rehearsal) ----

bool ReloadKeyTrack(const char* path, ShowState& show, float musicSeconds, std::string* message) {
  std::string why, text;
  char line[512];
  if (!ReadTrackFile(path, &text, &why)) {
    snprintf(line, sizeof line, "cannot read the key track %s (%s): keeping the track in use",
             path, why.c_str());
    *message = line;
    return false;
  }
  // Parsed apart, so that a file caught half written leaves the track as it was.
  auto track = std::make_unique<KeyTrack>();
  TrackStop stop;
  const int count = ParseKeyTrack(text, *track, &stop);
  if (count == 0) {
    snprintf(line, sizeof line, "the key track %s has no whole entry%s%s: keeping the track in use",
             path, stop.line ? ", " : "", stop.why.c_str());
    *message = line;
    return false;
  }
  FillFrom(*track, count);
  keyTrack = *track;
  // The track applies from now on: what it holds before this moment counts
  // as fired, as if it had been in use all along. An entry that ends the
  // scan is never fired, or the scan would pass it.
  std::vector<bool>& fired = show.keysFired;
  fired.assign(kKeyTrackSize, false);
  int passed = 0;
  for (int i = 0; i < count; ++i) {
    if (keyTrack.times[i] == kKeyTrackEnd) continue;
    fired[i] = musicSeconds > keyTrack.times[i];
    passed += fired[i];
  }
  snprintf(line, sizeof line, "key track %s read again: %d entries, %d of them before %.2f s%s%s",
           path, count, passed, musicSeconds, stop.line ? " (it stops early: " : "",
           stop.line ? (stop.why + ")").c_str() : "");
  *message = line;
  return true;
}

void StartKeyRecording() {
  const char* path = getenv("KELVANE_RECORD");
  if (!path || !*path) return;
  recording.path = path;
  recording.failed = false;
  // A pipe or device is refused rather than waited on or written to.
  std::string why;
  recording.file = OpenRegularForAppending(path, &why);
  if (!recording.file) {
    fprintf(stderr, "kelvane12: cannot record keys to %s (%s): playing without recording\n",
            path, why.c_str());
    recording.failed = true;
    return;
  }
  printf("recording live keys to %s\n", path);
}

void RecordLiveKey(unsigned char key, float musicSeconds) {
  // White space cannot be read back: the reader skips it before each key.
  if (!recording.file || isspace(key)) return;
  if (fprintf(recording.file, "%c %.6f\n", key, musicSeconds) < 0 || fflush(recording.file) != 0)
    AbandonRecording(errno);
}

bool FinishKeyRecording() {
  if (recording.file) {
    const bool closed = fclose(recording.file) == 0;
    const int error = errno;
    recording.file = nullptr;
    if (!closed) {
      fprintf(stderr, "kelvane12: cannot write the key recording %s (%s)\n", recording.path.c_str(),
              strerror(error));
      recording.failed = true;
    }
  }
  if (recording.failed)
    fprintf(stderr, "kelvane12: the key recording %s is not complete\n", recording.path.c_str());
  return !recording.failed;
}
