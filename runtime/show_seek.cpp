#include "runtime/show_seek.h"

#include "core/gl.h"  // GLEW before any other GL header
#include <GL/freeglut.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>

#include "core/audio.h"
#include "core/ticks.h"
#include "runtime/checkpoint.h"
#include "runtime/data_directory.h"
#include "runtime/frame_loop.h"
#include "runtime/frame_steps.h"

namespace {
// The loader screen's ticks per frame on the virtual clock, as the capture
// tool runs it without its loader frames: one asset step per frame.
constexpr double kLoaderStepMs = 200;
constexpr double kFrameMs = 1000.0 / kRunUpFps;
// Seconds between two progress reports of a run-up.
constexpr double kProgressEverySeconds = 0.25;

// The seeking engine's whole state: where checkpoints are kept, on disk and
// in memory (by grid frame), and whether the show was started through it.
struct SeekEngine {
  CheckpointDirectory directory;
  std::map<long, Checkpoint> memory;
  bool started = false;
  bool progressShown = false;  // a run-up's first line is out (output that is not a terminal)
};
SeekEngine engine;

// The grid frame nearest to a music position.
long GridFrame(double seconds) { return std::lround(seconds * kRunUpFps); }

// Frames a run-up may not draw: GLUT's redisplay requests wait for the show.
void NoDisplay() {}

// The frame `k` of the grid, as the capture tool's virtual clock gives it.
FrameTime GridFrameTime(long k) {
  const double seconds = AudioVirtualReading(musicStream, static_cast<double>(k) / kRunUpFps);
  return NextFrameTime(show.clock, static_cast<float>(seconds), TickCountMs());
}

// Keeps checkpoints in memory on the stride, the start always.
void KeepInMemory(long k) {
  if (k % engine.directory.stride != 0 || engine.memory.count(k)) return;
  engine.memory[k] = TakeCheckpoint(show, engine.directory.key, k, TicksVirtualMs());
}

// Runs grid frames `from` to `to` - 1 without rasterising, on the virtual
// tick clock, keeping checkpoints on the way. A checkpoint file that cannot
// be written gives false, or when `lenient` ends the writing of files. Ends
// the process on a stop signal, as the show does.
bool RunUpFrames(long from, long to, bool lenient, SeekProgress progress) {
  auto lastReport = std::chrono::steady_clock::now();
  for (long k = from; k < to; ++k) {
    KeepInMemory(k);
    if (!engine.directory.KeepIfDue(show, k)) {
      if (!lenient) return false;
      // While the show plays, a full disk ends the checkpoint files, not the show.
      fprintf(stderr, "kelvane12: no more checkpoint files are written\n");
      engine.directory.path.clear();
    }
    RunUpFrame(show, GridFrameTime(k));
    TicksAdvanceVirtual(kFrameMs);
    EndIfStopSignal();
    const auto now = std::chrono::steady_clock::now();
    if (progress && k + 1 < to && std::chrono::duration<double>(now - lastReport).count() > kProgressEverySeconds) {
      lastReport = now;
      progress(static_cast<double>(k + 1) / kRunUpFps, static_cast<double>(to) / kRunUpFps);
    }
  }
  if (progress && to > from)
    progress(static_cast<double>(to) / kRunUpFps, static_cast<double>(to) / kRunUpFps);
  return true;
}

// Restores the latest checkpoint at or before `frame`: from memory, or from
// the directory where that holds a later one. Returns its frame, or -1 (with
// a message) where even the show's start cannot be restored.
long RestoreLatest(long frame) {
  long best = -1;
  const Checkpoint* inMemory = nullptr;
  for (auto it = engine.memory.begin(); it != engine.memory.end() && it->first <= frame; ++it) {
    // Later checkpoints of another key track (read again while rehearsing)
    // are another show; the start holds no fired key and serves any track.
    if (it->first != 0 && it->second.keyTrackSum != KeyTrackChecksum()) continue;
    best = it->first;
    inMemory = &it->second;
  }
  const long onDisk = frame / engine.directory.stride * engine.directory.stride;
  if (!engine.directory.path.empty() && onDisk > best) {
    long restored = -1;
    // A file that cannot be used has been named; the show goes on from memory.
    if (!engine.directory.RestoreLatest(show, frame, &restored)) engine.directory.path.clear();
    if (restored > best) return restored;
  }
  std::string why;
  if (!inMemory || !RestoreCheckpoint(*inMemory, show, &why)) {
    fprintf(stderr, "kelvane12: cannot go back to the show's start (%s)\n", why.c_str());
    return -1;
  }
  if (inMemory->keyTrackSum != KeyTrackChecksum()) show.keysFired.clear();
  TicksSetVirtualMs(inMemory->ticksMs);
  return best;
}
}  // namespace

double RunUpGridSeconds(double seconds) {
  return static_cast<double>(GridFrame(seconds)) / kRunUpFps;
}

bool StartShowAt(double from, const std::string& checkpointDirectory, double checkpointEvery,
                 bool paused, SeekProgress progress) {
  engine.directory.path = checkpointDirectory;
  engine.directory.key = RunKey{kRunUpFps, fixedRopeStep};
  engine.directory.stride = CheckpointStride(kRunUpFps, checkpointEvery);
  glutDisplayFunc(NoDisplay);
  // The loader screen as the capture tool runs it, drawn, with its asset
  // steps; it ends on the frame that starts the music.
  while (!show.loader.musicStarted) {
    DrawFrame(show, ReadFrameTime());
    glutSwapBuffers();
    glutMainLoopEvent();
    TicksAdvanceVirtual(kLoaderStepMs);
    EndIfStopSignal();
  }
  // Seen from the next frame, play began at the start position.
  show.clock.demoClock = MusicPositionSeconds();
  engine.started = true;
  const long target = GridFrame(from);
  long k = 0;
  KeepInMemory(0);
  if (!engine.directory.path.empty()) {
    if (!engine.directory.RestoreLatest(show, target, &k)) return false;
    if (k < 0) k = 0;
  }
  if (!RunUpFrames(k, target, false, progress) || !engine.directory.KeepIfDue(show, target))
    return false;
  KeepInMemory(target);
  AudioSetVirtualPosition(static_cast<double>(target) / kRunUpFps);
  if (paused) AudioChannelPause(musicStream);
  AudioLeaveVirtualClock();
  glutDisplayFunc(OnDisplay);
  return true;
}

double SeekShow(double seconds, SeekProgress progress) {
  const double length = AudioStreamSeconds(musicStream);
  const long target = GridFrame(std::fmax(0.0, std::fmin(seconds, length)));
  if (!engine.started) return static_cast<double>(target) / kRunUpFps;
  const bool paused = AudioChannelPaused(musicStream);
  const long from = RestoreLatest(target);
  if (from < 0) exit(1);
  // The run-up runs on the grid's own tick clock, which the wall clock then
  // carries on from.
  const double ticks = TicksVirtualMs();
  TicksUseVirtualClock();
  TicksSetVirtualMs(ticks);
  RunUpFrames(from, target, true, progress);
  TicksUseRealClockFrom(TicksVirtualMs());
  const double reached = static_cast<double>(target) / kRunUpFps;
  AudioChannelSetPosition(musicStream, reached);
  if (paused) AudioChannelPause(musicStream);
  return reached;
}

bool PrepareCheckpointDirectory(const char* program, std::string* path) {
  if (path->empty()) return true;
  *path = FromStartDirectory(*path);
  std::error_code ec;
  std::filesystem::create_directories(*path, ec);
  std::error_code statusError;
  if (!std::filesystem::is_directory(*path, statusError) ||
      access(path->c_str(), W_OK | X_OK) != 0) {
    fprintf(stderr, "%s: cannot keep checkpoints in the directory %s (%s)\n", program,
            path->c_str(), ec ? ec.message().c_str() : "not a writable directory");
    return false;
  }
  return true;
}

void PrintRunUpProgress(double reached, double target) {
  const int minutes = static_cast<int>(target) / 60;
  const double rest = target - 60.0 * minutes;
  const bool done = reached >= target;
  const bool tty = isatty(STDERR_FILENO);
  // Without a terminal, only the first and last lines.
  if (!tty && engine.progressShown && !done) return;
  engine.progressShown = !done;
  fprintf(stderr, "%skelvane12: running the show up to %d:%05.2f  %3.0f%%%s", tty ? "\r" : "",
          minutes, rest, target > 0 ? 100.0 * reached / target : 100.0,
          done || !tty ? "\n" : "");
}
