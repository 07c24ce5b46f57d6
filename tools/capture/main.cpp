// kelvane12-capture: plays the show at a fixed frame rate on a virtual clock
// and writes the frames (PNG, or an MP4 through ffmpeg). Every frame moves the
// music position on by exactly 1/fps seconds, and the loader's and the end
// screen's millisecond ticks follow the same clock, so two captures of the
// same range give identical frames on the same driver. A range that starts
// later than 0 is run from the show's start without writing the frames before
// it, so its frames are the whole show's (--quick-start skips that).
// Ctrl-C or SIGTERM ends a capture after the frame it is on, keeping what was
// written (the video made playable); a second one ends it at once.
#include "core/gl.h"  // GLEW before any other GL header
#include <GL/freeglut.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

#include "core/audio.h"
#include "core/file_open.h"
#include "core/stop_signals.h"
#include "core/ticks.h"
#include "core/timeline.h"
#include "render/render_target.h"
#include "runtime/checkpoint.h"
#include "runtime/data_directory.h"
#include "runtime/director.h"
#include "runtime/frame_loop.h"
#include "runtime/frame_steps.h"
#include "runtime/startup.h"
#include "runtime/version.h"
#include "runtime/x_display.h"
#include "scenes/loader_screen.h"
#include "tools/capture/capture_options.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {
// Without --loader the loader screen's ticks run at this step per frame: the
// loader takes one asset step per frame and ends after about 150 frames.
constexpr double kQuickLoaderStepMs = 200;

// A running ffmpeg that takes raw frames on a pipe.
struct Encoder {
  pid_t pid = -1;
  int input = -1;  // write end of its standard input
};

// Where the frames go.
struct Sink {
  CaptureOptions options;
  Encoder encoder;
  bool video = false;
  std::string videoTarget;  // where the finished video goes: --video with its links followed
  int written = 0;
  long frameIndex = 0;  // every frame that could be written, written or not
  std::vector<unsigned char> rgb;  // one frame of the capture size
  CheckpointDirectory checkpoints;  // --checkpoints, its path empty without
};

// The temporary files of a --video capture, in a directory of their own under
// TMPDIR, and the files being written. Plain arrays, because the second stop
// signal removes them from its handler; the running ffmpeg is ended there too.
char tempDirectory[4096];
char silentVideoPath[4200];
char musicStretchPath[4200];
// The video while it is made, beside its target; renamed over the target
// when complete and removed on any other way out.
char videoTempPath[4200];
volatile pid_t runningFfmpeg = -1;
// The PNG frame being written, valid while frameUnfinished is set.
char unfinishedFrame[4200];
volatile sig_atomic_t frameUnfinished = 0;

// What the second stop signal does before the process ends: only
// async-signal-safe calls. No half-written file stays behind.
void RemoveUnfinishedFilesNow() {
  if (runningFfmpeg > 0) kill(runningFfmpeg, SIGKILL);
  if (frameUnfinished) unlink(unfinishedFrame);
  if (silentVideoPath[0]) unlink(silentVideoPath);
  if (musicStretchPath[0]) unlink(musicStretchPath);
  if (videoTempPath[0]) unlink(videoTempPath);
  if (tempDirectory[0]) rmdir(tempDirectory);
}

// Every other way out (run at exit): the encoder is ended and waited for,
// then its files are removed.
void RemoveTempFiles() {
  const pid_t pid = runningFfmpeg;
  if (pid > 0) {
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    runningFfmpeg = -1;
  }
  RemoveUnfinishedFilesNow();
  tempDirectory[0] = silentVideoPath[0] = musicStretchPath[0] = videoTempPath[0] = 0;
}

// Copies a path into one of the arrays above.
bool KeepPath(char* target, size_t size, const std::string& path) {
  if (path.size() >= size) return false;
  memcpy(target, path.c_str(), path.size() + 1);
  return true;
}

// The permission bits a new file gets here (0666 less the umask): files made
// with mkstemp start as 0600 and are given these.
mode_t NewFileMode() {
  static const mode_t mode = [] {
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
  }();
  return mode;
}

// What a path names when it is not a regular file, for messages.
const char* KindOf(mode_t mode) {
  if (S_ISDIR(mode)) return "a directory";
  if (S_ISCHR(mode)) return "a character device";
  if (S_ISBLK(mode)) return "a block device";
  if (S_ISFIFO(mode)) return "a named pipe";
  if (S_ISSOCK(mode)) return "a socket";
  if (S_ISLNK(mode)) return "a symbolic link";
  return "not a regular file";
}

// Makes an empty file of our own in `directory` named after `name`, for
// writing in place of `name` and renaming over it when whole. Returns its
// path, or "" with errno set.
std::string CreateFileBeside(const fs::path& directory, const std::string& name) {
  std::string pattern = (directory / ("." + name + ".kelvane12-XXXXXX")).string();
  const int fd = mkostemp(pattern.data(), O_CLOEXEC);
  if (fd < 0) return "";
  const bool ok = fchmod(fd, NewFileMode()) == 0;
  const int error = errno;
  close(fd);
  if (!ok) {
    unlink(pattern.c_str());
    errno = error;
    return "";
  }
  return pattern;
}

// A path with its symbolic links followed as far as they lead, also when the
// last one leads to nothing yet.
fs::path FollowLinks(fs::path path) {
  for (int i = 0; i < 40; ++i) {
    std::error_code ec;
    if (!fs::is_symlink(fs::symlink_status(path, ec))) break;
    const fs::path next = fs::read_symlink(path, ec);
    if (ec) break;
    path = next.is_absolute() ? next : path.parent_path() / next;
  }
  return path.lexically_normal();
}

// Decides where the video goes, before anything is drawn: a regular file (or
// nothing) at the path, links followed so that a link stays and leads to the
// new video; the video is made in a file of our own beside it. What is not a
// regular file (a device, a pipe, a directory) is refused and left alone.
bool PrepareVideoTarget(const std::string& path, std::string* target) {
  struct stat info;
  if (stat(path.c_str(), &info) == 0) {
    if (!S_ISREG(info.st_mode)) {
      fprintf(stderr, "kelvane12-capture: --video %s is %s, not a file a video can be written "
                      "to; it is left as it is\n", path.c_str(), KindOf(info.st_mode));
      return false;
    }
    // A file the user may not write is not replaced either.
    std::error_code ec;
    *target = fs::canonical(path, ec).string();
    if (!ec && access(target->c_str(), W_OK) != 0) ec.assign(errno, std::generic_category());
    if (ec) {
      fprintf(stderr, "kelvane12-capture: cannot write %s (%s)\n", path.c_str(),
              ec.message().c_str());
      return false;
    }
  } else if (errno == ENOENT) {
    *target = FollowLinks(path).string();
  } else {
    fprintf(stderr, "kelvane12-capture: cannot write %s (%s)\n", path.c_str(), strerror(errno));
    return false;
  }
  const fs::path where(*target);
  const std::string temp = CreateFileBeside(where.parent_path(), where.filename().string());
  if (temp.empty() || !KeepPath(videoTempPath, sizeof videoTempPath, temp)) {
    const int error = errno;
    if (!temp.empty()) unlink(temp.c_str());
    fprintf(stderr, "kelvane12-capture: cannot write %s (%s)\n", path.c_str(),
            temp.empty() ? strerror(error) : "its name is too long");
    return false;
  }
  return true;
}

// Makes the directory for the temporary files under TMPDIR (or /tmp); on
// failure says why and returns false.
bool CreateTempDirectory() {
  std::error_code ec;
  const fs::path base = fs::temp_directory_path(ec);
  if (ec) {
    const char* tmpdir = getenv("TMPDIR");
    if (tmpdir)
      fprintf(stderr,
              "kelvane12-capture: no usable directory for temporary files: TMPDIR=%s (%s)\n",
              tmpdir, ec.message().c_str());
    else
      fprintf(stderr, "kelvane12-capture: no usable directory for temporary files (%s)\n",
              ec.message().c_str());
    return false;
  }
  std::string pattern = (base / "kelvane12-capture-XXXXXX").string();
  if (!mkdtemp(pattern.data())) {
    fprintf(stderr, "kelvane12-capture: cannot make a temporary directory in %s (%s)\n",
            base.c_str(), strerror(errno));
    return false;
  }
  if (!KeepPath(tempDirectory, sizeof tempDirectory, pattern) ||
      !KeepPath(silentVideoPath, sizeof silentVideoPath, pattern + "/silent.mp4") ||
      !KeepPath(musicStretchPath, sizeof musicStretchPath, pattern + "/music.pcm")) {
    rmdir(pattern.c_str());
    tempDirectory[0] = 0;
    fprintf(stderr, "kelvane12-capture: the temporary directory's name is too long: %s\n",
            pattern.c_str());
    return false;
  }
  atexit(RemoveTempFiles);
  return true;
}

// An Escape from the key track ends the capture after the frame it fired in,
// with everything written, instead of ending the process in the middle.
bool escapeRequested = false;
void RequestStop() { escapeRequested = true; }

// Whether a program of that name lies on the PATH.
bool OnPath(const char* name) {
  const char* path = getenv("PATH");
  if (!path) return false;
  std::string rest = path;
  size_t start = 0;
  while (start <= rest.size()) {
    size_t end = rest.find(':', start);
    if (end == std::string::npos) end = rest.size();
    fs::path candidate = fs::path(rest.substr(start, end - start)) / name;
    if (access(candidate.c_str(), X_OK) == 0) return true;
    start = end + 1;
  }
  return false;
}

// Writes the music from `from` on for `seconds` (after `silence` seconds of
// silence for the loader frames) as raw 16-bit stereo, for ffmpeg. On failure
// says why, naming the file.
bool WriteMusicStretch(const char* path, double silence, double from, double seconds) {
  const int16_t* samples = nullptr;
  size_t frames = 0;
  if (!AudioStreamPcm(musicStream, &samples, &frames)) return false;
  const int rate = AudioStreamRate(musicStream);
  FILE* file = fopen(path, "wb");
  if (!file) {
    fprintf(stderr, "kelvane12-capture: cannot write %s (%s)\n", path, strerror(errno));
    return false;
  }
  std::vector<int16_t> quiet(static_cast<size_t>(silence * rate) * 2, 0);
  bool ok = fwrite(quiet.data(), sizeof(int16_t), quiet.size(), file) == quiet.size();
  size_t first = std::min(frames, static_cast<size_t>(std::llround(from * rate)));
  size_t count = std::min(frames - first, static_cast<size_t>(std::llround(seconds * rate)));
  ok = ok && fwrite(samples + first * 2, sizeof(int16_t) * 2, count, file) == count;
  int error = errno;
  if (fclose(file) != 0 && ok) {
    ok = false;
    error = errno;
  }
  if (!ok) fprintf(stderr, "kelvane12-capture: cannot write %s (%s)\n", path, strerror(error));
  return ok;
}

// Starts a program found on the PATH with an argument vector (no shell sees
// the file names). Its standard input is a new pipe whose write end goes to
// *input, or /dev/null when input is null. It runs in a process group of its
// own, so that a Ctrl-C on the terminal reaches only this tool, which then
// closes the program's input and lets it finish. Returns its pid, or -1.
pid_t SpawnProgram(const std::vector<std::string>& args, int* input) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  int pipeEnds[2] = {-1, -1};
  if (input && pipe2(pipeEnds, O_CLOEXEC) != 0) return -1;
  posix_spawn_file_actions_t files;
  posix_spawn_file_actions_init(&files);
  if (input)
    posix_spawn_file_actions_adddup2(&files, pipeEnds[0], STDIN_FILENO);
  else
    posix_spawn_file_actions_addopen(&files, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  // The signals this tool ignores are the program's own business again.
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  sigaddset(&defaults, SIGXFSZ);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setpgroup(&attributes, 0);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);
  pid_t pid = -1;
  const int error = posix_spawnp(&pid, argv[0], &files, &attributes, argv.data(), environ);
  posix_spawn_file_actions_destroy(&files);
  posix_spawnattr_destroy(&attributes);
  if (input) {
    close(pipeEnds[0]);
    if (error == 0) {
      *input = pipeEnds[1];
    } else {
      close(pipeEnds[1]);
    }
  }
  if (error != 0) {
    errno = error;
    return -1;
  }
  runningFfmpeg = pid;
  return pid;
}

// Waits for a spawned program; "" when it exited with status 0, else how it
// ended.
std::string WaitProgram(pid_t pid) {
  int status = 0;
  pid_t done;
  while ((done = waitpid(pid, &status, 0)) < 0 && errno == EINTR) {
  }
  runningFfmpeg = -1;
  if (done < 0) return std::string("cannot wait for it: ") + strerror(errno);
  if (WIFEXITED(status))
    return WEXITSTATUS(status) == 0 ? "" : "exit status " + std::to_string(WEXITSTATUS(status));
  if (WIFSIGNALED(status)) return std::string("ended by signal ") + strsignal(WTERMSIG(status));
  return "ended abnormally";
}

// A path as ffmpeg must see it: the file protocol, so that no other part of
// the name is taken for a protocol or an option.
std::string FfmpegFile(const std::string& path) { return "file:" + path; }

// Starts ffmpeg encoding raw frames from its standard input into the silent
// temporary video.
bool StartEncoder(const CaptureOptions& o, Encoder* encoder) {
  char size[32], rate[32];
  snprintf(size, sizeof size, "%dx%d", o.width, o.height);
  snprintf(rate, sizeof rate, "%.6f", static_cast<double>(o.fps) / o.every);
  encoder->pid = SpawnProgram(
      {"ffmpeg", "-hide_banner", "-loglevel", "error", "-y", "-f", "rawvideo", "-pix_fmt",
       "rgb24", "-s", size, "-framerate", rate, "-i", "pipe:0", "-vf", "vflip", "-c:v",
       "libx264", "-pix_fmt", "yuv420p", "-crf", "18", "-f", "mp4",
       FfmpegFile(silentVideoPath)},
      &encoder->input);
  if (encoder->pid < 0) {
    fprintf(stderr, "kelvane12-capture: cannot start ffmpeg (%s)\n", strerror(errno));
    return false;
  }
  return true;
}

// Closes the encoder's input, so that it finishes the video, and waits for it.
std::string FinishEncoder(Encoder* encoder) {
  if (encoder->input >= 0) close(encoder->input);
  encoder->input = -1;
  std::string result = encoder->pid > 0 ? WaitProgram(encoder->pid) : "";
  encoder->pid = -1;
  return result;
}

// Puts the music stretch under the silent video into the file beside the
// target, then renames that over the target. A failed mux removes only that
// file of our own; what was at the target stays as it was.
bool MuxVideo(const CaptureOptions& o, const std::string& target) {
  const std::string temp = videoTempPath;
  const pid_t pid = SpawnProgram(
      {"ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-y", "-i",
       FfmpegFile(silentVideoPath), "-f", "s16le", "-ar",
       std::to_string(AudioStreamRate(musicStream)), "-ac", "2", "-i",
       FfmpegFile(musicStretchPath), "-c:v", "copy", "-c:a", "aac", "-b:a", "192k",
       "-shortest", "-f", "mp4", FfmpegFile(temp)},
      nullptr);
  std::string failure =
      pid < 0 ? std::string("cannot start it: ") + strerror(errno) : WaitProgram(pid);
  if (!failure.empty()) {
    fprintf(stderr, "kelvane12-capture: ffmpeg failed to write %s (%s)\n", o.video.c_str(),
            failure.c_str());
  } else if (rename(temp.c_str(), target.c_str()) != 0) {
    failure = strerror(errno);
    fprintf(stderr, "kelvane12-capture: cannot put the video at %s (%s)\n", o.video.c_str(),
            failure.c_str());
  } else {
    videoTempPath[0] = 0;
    return true;
  }
  videoTempPath[0] = 0;
  unlink(temp.c_str());
  return false;
}

// Writes one frame (GL rows, bottom first) as a PNG file: into a file of our
// own beside it, renamed over the frame's name when whole. Something at that
// name that is not a regular file is refused and left alone. On failure *why
// says what went wrong and no file of ours is left.
bool WritePngFrame(const std::string& path, const std::vector<unsigned char>& rgb, int width,
                   int height, std::string* why) {
  struct stat info;
  if (lstat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
    *why = std::string(KindOf(info.st_mode)) + " is there; it is left as it is";
    return false;
  }
  stbi_flip_vertically_on_write(1);  // GL rows run bottom to top
  int length = 0;
  unsigned char* png = stbi_write_png_to_mem(rgb.data(), width * 3, width, height, 3, &length);
  if (!png) {
    *why = "cannot encode the PNG";
    return false;
  }
  const fs::path name(path);
  frameUnfinished = 0;
  const std::string temp = CreateFileBeside(name.parent_path(), name.filename().string());
  if (temp.empty()) {
    *why = strerror(errno);
    free(png);
    return false;
  }
  frameUnfinished = KeepPath(unfinishedFrame, sizeof unfinishedFrame, temp);
  FILE* file = fopen(temp.c_str(), "wb");
  bool ok = file && fwrite(png, 1, length, file) == static_cast<size_t>(length);
  int error = errno;
  if (file && fclose(file) != 0 && ok) {
    ok = false;
    error = errno;
  }
  if (ok && rename(temp.c_str(), path.c_str()) != 0) {
    ok = false;
    error = errno;
  }
  if (!ok) unlink(temp.c_str());
  frameUnfinished = 0;
  free(png);
  if (!ok) *why = strerror(error);
  return ok;
}

// The capture size, kept as the window size while an off-screen framebuffer
// stands in for the window: the real window's reshapes do not change it.
int captureWidth = 0, captureHeight = 0;
void KeepCaptureSize(int, int) {
  windowWidth = captureWidth;
  windowHeight = captureHeight;
}

// A framebuffer of the capture size with colour and depth, as the window has.
GLuint CreateStandInFramebuffer(int width, int height) {
  GLuint framebuffer = 0, colour = 0, depth = 0;
  glGenFramebuffers(1, &framebuffer);
  glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
  glGenRenderbuffers(1, &colour);
  glBindRenderbuffer(GL_RENDERBUFFER, colour);
  glRenderbufferStorage(GL_RENDERBUFFER, GL_RGB8, width, height);
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour);
  glGenRenderbuffers(1, &depth);
  glBindRenderbuffer(GL_RENDERBUFFER, depth);
  glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, width, height);
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depth);
  const bool complete = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  return complete ? framebuffer : 0;
}

// Gives the show a screen of the capture size: the window itself where the
// display can hold it, else an off-screen framebuffer, since pixels of a
// window that lie off the display are not kept and would read back as
// nothing. Start-up has run and the window has reported its first size.
bool SetUpCaptureScreen(int width, int height) {
  if (width <= glutGet(GLUT_SCREEN_WIDTH) && height <= glutGet(GLUT_SCREEN_HEIGHT)) {
    glutReshapeWindow(width, height);
    for (int i = 0; i < 500 && (windowWidth != width || windowHeight != height); ++i) {
      glutMainLoopEvent();
      usleep(10000);
    }
    if (windowWidth == width && windowHeight == height) return true;
  }
  targets.screenFramebuffer = CreateStandInFramebuffer(width, height);
  if (!targets.screenFramebuffer) {
    fprintf(stderr, "kelvane12-capture: cannot make a %dx%d framebuffer\n", width, height);
    return false;
  }
  captureWidth = width;
  captureHeight = height;
  glutReshapeFunc(KeepCaptureSize);
  KeepCaptureSize(0, 0);
  return true;
}

// The screen image of the frame just drawn, bottom row first.
void ReadScreen(int width, int height, unsigned char* rgb) {
  glBindFramebuffer(GL_READ_FRAMEBUFFER, targets.screenFramebuffer);
  glReadBuffer(targets.screenFramebuffer ? GL_COLOR_ATTACHMENT0 : GL_BACK);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, rgb);
}

// Reads the screen image of the frame just drawn and writes it where it goes.
// On failure says which file and why.
bool EmitFrame(Sink& sink) {
  const bool due = sink.frameIndex++ % sink.options.every == 0;
  if (!due || (sink.options.outDir.empty() && !sink.video)) return true;
  const int width = sink.options.width, height = sink.options.height;
  ReadScreen(width, height, sink.rgb.data());
  if (!sink.options.outDir.empty()) {
    char name[64];
    snprintf(name, sizeof name, "frame_%06d.png", sink.written);
    const std::string path = (fs::path(sink.options.outDir) / name).string();
    std::string why;
    if (!WritePngFrame(path, sink.rgb, width, height, &why)) {
      fprintf(stderr, "\nkelvane12-capture: cannot write %s (%s)\n", path.c_str(), why.c_str());
      return false;
    }
  }
  if (sink.video && !WriteAllBytes(sink.encoder.input, sink.rgb.data(), sink.rgb.size())) {
    const std::string writeError = strerror(errno);
    const std::string ended = FinishEncoder(&sink.encoder);
    fprintf(stderr, "\nkelvane12-capture: ffmpeg stopped taking frames for %s (%s; ffmpeg: %s)\n",
            sink.options.video.c_str(), writeError.c_str(),
            ended.empty() ? "exit status 0" : ended.c_str());
    return false;
  }
  ++sink.written;
  return true;
}

// GLUT may ask for a redisplay (window exposed): the capture draws its frames
// itself, so such requests draw nothing.
void IgnoreDisplay() {}

// Median and 99th percentile of the frame times, in milliseconds.
void ReportFrameTimes(std::vector<double> ms) {
  if (ms.empty()) return;
  std::sort(ms.begin(), ms.end());
  const double median = ms[ms.size() / 2];
  const double p99 = ms[std::min(ms.size() - 1, static_cast<size_t>(std::ceil(ms.size() * 0.99)) - 1)];
  fprintf(stderr, "kelvane12-capture: %zu frames, median %.1f ms, 99th percentile %.1f ms per frame\n",
          ms.size(), median, p99);
}

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The frames a capture runs: frame k shows music position base + k/fps;
// frames from `first` on are written, those before only run.
struct FramePlan {
  double base = 0;
  long first = 0;
  long count = 0;
};

// The whole show's frame grid, run from 0 up to --from without writing, so
// that every written frame is the one a whole-show capture has at that
// moment; with --quick-start the grid starts at --from instead.
FramePlan PlanFrames(const CaptureOptions& o, double to) {
  FramePlan plan;
  plan.base = o.quickStart ? o.from : 0.0;
  plan.first = o.quickStart ? 0 : static_cast<long>(std::ceil(o.from * o.fps - 1e-6));
  plan.count = static_cast<long>(std::floor((to - plan.base) * o.fps + 1e-6)) + 1;
  return plan;
}

// Runs the loader screen on virtual ticks: at the capture rate when its
// frames are written, quickly otherwise. It ends on the frame that starts
// the music; that frame only leads in and is not written. False when a frame
// could not be written. Stops early on a stop signal.
bool RunLoaderScreen(Sink& sink, long* loaderFrames, std::vector<double>* frameTimes) {
  const CaptureOptions& o = sink.options;
  const double frameMs = 1000.0 / o.fps;
  fprintf(stderr, "kelvane12-capture: loader screen...\n");
  while (!show.loader.musicStarted && !StopSignal()) {
    auto start = Clock::now();
    DrawFrame(show, ReadFrameTime());
    if (!show.loader.musicStarted && o.loader) {
      if (!EmitFrame(sink)) return false;
      ++*loaderFrames;
    }
    glutSwapBuffers();
    glutMainLoopEvent();
    TicksAdvanceVirtual(o.loader ? frameMs : kQuickLoaderStepMs);
    if (o.loader) frameTimes->push_back(MsSince(start));
  }
  return true;
}

// Runs the show's frames of the plan, writing those from plan.first on. Ends
// early after the frame in which the key track's Escape fired or a stop
// signal came. Returns the number of frames run, or -1 when a frame could not
// be written.
long RunShowFrames(Sink& sink, const FramePlan& plan, std::vector<double>* frameTimes) {
  const CaptureOptions& o = sink.options;
  const double frameMs = 1000.0 / o.fps;
  const bool tty = isatty(STDERR_FILENO);
  const double firstSeconds = plan.base + static_cast<double>(plan.first) / o.fps;
  if (plan.first > 0)
    fprintf(stderr, "kelvane12-capture: running the show up to %.2f s before writing frames "
                    "(--quick-start starts there at once)\n", firstSeconds);
  auto lastReport = Clock::now();
  auto mainStart = Clock::now();
  long count = plan.count;
  // From the latest checkpoint at or before the first frame written, where
  // there is one: its frame is the next to run.
  long restored = -1;
  const auto restoreStart = Clock::now();
  if (!sink.checkpoints.RestoreLatest(show, plan.first, &restored)) return -1;
  long k = restored < 0 ? 0 : restored;
  if (restored >= 0)
    fprintf(stderr, "kelvane12-capture: starting from the checkpoint at %.2f s "
                    "(read and restored in %.2f s)\n",
            plan.base + static_cast<double>(k) / o.fps, MsSince(restoreStart) / 1000);
  const long startFrame = k;
  while (k < count) {
    if (!sink.checkpoints.KeepIfDue(show, k)) return -1;
    auto start = Clock::now();
    AudioSetVirtualPosition(plan.base + static_cast<double>(k) / o.fps);
    // The frames before --from are run up to, not rasterised.
    if (k < plan.first)
      RunUpFrame(show, ReadFrameTime());
    else
      DrawFrame(show, ReadFrameTime());
    if (k >= plan.first && !EmitFrame(sink)) return -1;
    if (k == plan.first && restored >= 0)
      fprintf(stderr, "%skelvane12-capture: the first frame, at %.2f s, came %.2f s after the "
                      "checkpoint was read\n", tty ? "\n" : "", show.clock.demoClock,
              MsSince(restoreStart) / 1000);
    glutSwapBuffers();
    glutMainLoopEvent();
    TicksAdvanceVirtual(frameMs);
    frameTimes->push_back(MsSince(start));
    ++k;

    if (escapeRequested) {
      fprintf(stderr, "%skelvane12-capture: the key track ended the show at %.2f s\n",
              tty ? "\n" : "", show.clock.demoClock);
      count = k;
    }
    if (StopSignal()) count = k;
    const bool last = k == count;
    if (last || tty || k == 1 || MsSince(lastReport) > 5000) {
      lastReport = Clock::now();
      const double perFrame = MsSince(mainStart) / (k - startFrame);
      char running[64] = "";
      if (k <= plan.first)
        snprintf(running, sizeof running, "  running up to %.2f s", firstSeconds);
      fprintf(stderr, "%sframe %ld/%ld  music %.2f s%s  %.1f frames/s  %.0f s left%s",
              tty ? "\r" : "", k, count, show.clock.demoClock, running, 1000.0 / perFrame,
              perFrame * (count - k) / 1000.0, tty && !last ? "  " : "\n");
    }
  }
  return k;
}

// Ends the video: the encoder finishes the frames it has, the music stretch
// goes under them. A capture that wrote no frame makes no video.
bool FinishVideo(Sink& sink, const FramePlan& plan, long loaderFrames, long framesRun) {
  const CaptureOptions& o = sink.options;
  const std::string ended = FinishEncoder(&sink.encoder);
  if (sink.written == 0) return true;
  if (!ended.empty()) {
    fprintf(stderr, "kelvane12-capture: ffmpeg failed to encode %s (%s)\n", o.video.c_str(),
            ended.c_str());
    return false;
  }
  const double from = plan.base + static_cast<double>(plan.first) / o.fps;
  const double seconds = static_cast<double>(std::max(0L, framesRun - plan.first)) / o.fps;
  return WriteMusicStretch(musicStretchPath, loaderFrames / static_cast<double>(o.fps), from,
                           seconds) &&
         MuxVideo(o, sink.videoTarget);
}

// Says what the capture leaves behind.
void ReportKept(const Sink& sink, int stopSignal) {
  const CaptureOptions& o = sink.options;
  if (stopSignal)
    fprintf(stderr, "kelvane12-capture: stopped by %s at music %.2f s\n",
            StopSignalName(stopSignal), show.clock.demoClock);
  const char* verb = stopSignal ? "kept" : "wrote";
  if (!o.outDir.empty())
    fprintf(stderr, "kelvane12-capture: %s %d frame%s in %s\n", verb, sink.written,
            sink.written == 1 ? "" : "s", o.outDir.c_str());
  if (sink.video) {
    if (sink.written > 0)
      fprintf(stderr, "kelvane12-capture: %s %s (%d frames)\n", verb, o.video.c_str(),
              sink.written);
    else
      fprintf(stderr, "kelvane12-capture: no frame was written, so no video\n");
  }
}

// A number of seconds for messages: three decimals, or six significant
// digits for a number too large for that to read well.
std::string SecondsText(double seconds) {
  char text[64];
  snprintf(text, sizeof text, std::fabs(seconds) < 1e9 ? "%.3f" : "%.6g", seconds);
  return text;
}

// A stop signal that came during start-up ends the capture there; the exit
// handlers remove the temporary files.
int EndByStopSignal() {
  const int signal = StopSignal();
  fprintf(stderr, "kelvane12-capture: stopped by %s during start-up\n", StopSignalName(signal));
  return 128 + signal;
}
}  // namespace

int main(int argc, char** argv) {
  // First of all: SDL_Init would take Ctrl-C for itself, and a closed ffmpeg
  // pipe must be an error to report, not the end of the process.
  InstallStopSignals();
  SetImmediateStopAction(RemoveUnfinishedFilesNow);
  Sink sink;
  CaptureOptions& o = sink.options;
  std::string error;
  if (!ParseCaptureOptions(argc, argv, &o, &error)) {
    fprintf(stderr, "kelvane12-capture: %s\n%s", error.c_str(), CaptureUsage());
    return 2;
  }
  if (o.help) return PrintHelp("kelvane12-capture", CaptureUsage()) ? 0 : 1;
  if (o.version) return PrintVersion("kelvane12-capture") ? 0 : 1;
  // The show's files are read in the data directory; output paths and
  // TMPDIR are taken from where the tool was started.
  if (!EnterDataDirectory("kelvane12-capture")) return 1;
  AnchorEnvironmentPath("TMPDIR");
  sink.rgb.resize(static_cast<size_t>(o.width) * o.height * 3);
  std::error_code ec;
  if (!o.outDir.empty()) {
    o.outDir = FromStartDirectory(o.outDir);
    fs::create_directories(o.outDir, ec);
    std::error_code statusError;
    const bool isDirectory = fs::is_directory(o.outDir, statusError);
    if (!isDirectory || access(o.outDir.c_str(), W_OK | X_OK) != 0) {
      const std::string why = !isDirectory && ec ? ec.message()
                              : !isDirectory     ? "not a directory"
                                                 : strerror(errno);
      fprintf(stderr, "kelvane12-capture: cannot write frames into the directory %s (%s)\n",
              o.outDir.c_str(), why.c_str());
      return 1;
    }
  }
  if (!o.checkpoints.empty()) {
    o.checkpoints = FromStartDirectory(o.checkpoints);
    fs::create_directories(o.checkpoints, ec);
    std::error_code statusError;
    if (!fs::is_directory(o.checkpoints, statusError) ||
        access(o.checkpoints.c_str(), W_OK | X_OK) != 0) {
      fprintf(stderr, "kelvane12-capture: cannot keep checkpoints in the directory %s (%s)\n",
              o.checkpoints.c_str(), ec ? ec.message().c_str() : "not a writable directory");
      return 1;
    }
    sink.checkpoints.path = o.checkpoints;
    sink.checkpoints.key = RunKey{o.fps, o.fixedStep};
    sink.checkpoints.stride = CheckpointStride(o.fps, o.checkpointEvery);
    sink.checkpoints.program = "kelvane12-capture";
  }
  if (!o.video.empty()) {
    o.video = FromStartDirectory(o.video);
    if (!OnPath("ffmpeg")) {
      fprintf(stderr, "kelvane12-capture: --video needs ffmpeg, which is not installed "
                      "(apt-get install ffmpeg)\n");
      return 1;
    }
    // Frames go to ffmpeg as they come, into a silent video; the music is
    // added at the end. Both wait in a temporary directory.
    if (!CreateTempDirectory() || !PrepareVideoTarget(o.video, &sink.videoTarget)) return 1;
    sink.video = true;
  }
  setenv("SDL_AUDIODRIVER", "dummy", 1);  // no sound device is ever opened
  fixedRopeStep = o.fixedStep;
  useGameMode = false;
  escapeAction = RequestStop;
  if (!CheckRunFiles()) {
    fprintf(stderr, "kelvane12-capture: (the files named are in %s)\n", DataDirectory().c_str());
    return 1;
  }
  // Refused here, before the slow start-up: the music's length is known
  // from the check.
  const double musicSeconds = AudioCheckedSeconds(kMusicFile);
  if (musicSeconds >= 0 && o.from > musicSeconds) {
    fprintf(stderr, "kelvane12-capture: --from %s lies past the end of the music (%s s)\n",
            SecondsText(o.from).c_str(), SecondsText(musicSeconds).c_str());
    return 1;
  }
  // The capture's own word, before GLUT's "failed to open display".
  if (!CanOpenDisplay()) {
    fprintf(stderr,
            "kelvane12-capture: there is no X display to render on (DISPLAY is not set, or\n"
            "its server does not answer). Run 'make video' in the source directory, which\n"
            "renders on a virtual display where there is no real one, or run the tool\n"
            "under xvfb-run yourself.\n");
    return 1;
  }
  if (StopSignal()) return EndByStopSignal();

  AudioUseVirtualClock();
  AudioSetStartSeconds(o.quickStart ? o.from : 0.0);
  char* glutArgs[] = {argv[0], nullptr};
  StartUp(1, glutArgs);
  glutDisplayFunc(IgnoreDisplay);
  glutMainLoopEvent();  // the window appears and reports its size
  if (!SetUpCaptureScreen(o.width, o.height)) return 1;
  OpenMusic();
  const int16_t* samples = nullptr;
  size_t sampleFrames = 0;
  if (!musicStream || !AudioStreamPcm(musicStream, &samples, &sampleFrames)) {
    fprintf(stderr, "kelvane12-capture: cannot decode %s\n", kMusicFile);
    return 1;
  }
  const double length = static_cast<double>(sampleFrames) / AudioStreamRate(musicStream);
  const double to = o.to < 0 ? length : std::min(o.to, length);
  if (o.from > to) {
    fprintf(stderr, "kelvane12-capture: --from %s lies past the end of the music (%s s)\n",
            SecondsText(o.from).c_str(), SecondsText(length).c_str());
    return 1;
  }
  const FramePlan plan = PlanFrames(o, to);
  if (plan.first >= plan.count) {
    fprintf(stderr, "kelvane12-capture: no frame at %d per second lies between --from and --to\n",
            o.fps);
    return 1;
  }
  if (sink.video && !StartEncoder(o, &sink.encoder)) return 1;

  std::vector<double> frameTimes;
  long loaderFrames = 0;
  if (!RunLoaderScreen(sink, &loaderFrames, &frameTimes)) return 1;
  // The lead-in frame read the clock before the music started; seen from the
  // next frame, play began at the start position, so the first frame factor is 1.
  show.clock.demoClock = MusicPositionSeconds();
  const long framesRun = StopSignal() ? 0 : RunShowFrames(sink, plan, &frameTimes);
  if (framesRun < 0) return 1;

  if (sink.video && !FinishVideo(sink, plan, loaderFrames, framesRun)) return 1;
  const int stopSignal = StopSignal();
  ReportKept(sink, stopSignal);
  ReportFrameTimes(frameTimes);
  return stopSignal ? 128 + stopSignal : 0;
}
