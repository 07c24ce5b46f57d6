// kelvane12-capture: plays the show at a fixed frame rate on a virtual clock
// and writes the frames (PNG, or an MP4 through ffmpeg). Every frame moves the
// music position on by exactly 1/fps seconds, and the loader's and the end
// screen's millisecond ticks follow the same clock, so two captures of the
// same range give identical frames on the same driver.
#include "render/gl.h"  // GLEW before any other GL header
#include <GL/freeglut.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

#include "render/render_target.h"
#include "runtime/audio.h"
#include "runtime/frame_loop.h"
#include "runtime/frame_steps.h"
#include "runtime/startup.h"
#include "runtime/ticks.h"
#include "runtime/timeline.h"
#include "scenes/loader_screen.h"
#include "runtime/director.h"
#include "tools/capture/capture_options.h"

namespace fs = std::filesystem;

namespace {
// Without --loader the loader screen's ticks run at this step per frame: the
// loader takes one asset step per frame and ends after about 150 frames.
constexpr double kQuickLoaderStepMs = 200;

// Where the frames go and how long each took.
struct Sink {
  CaptureOptions options;
  FILE* video = nullptr;
  int written = 0;
  long frameIndex = 0;  // every frame run, written or not
  std::vector<unsigned char> rgb;  // one frame of the capture size
};

// The run directory: the working directory when it holds the music, else the
// directory of this executable (where the build puts it).
void EnterRunDirectory() {
  if (fs::exists(kMusicFile)) return;
  std::error_code ec;
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (!ec) fs::current_path(exe.parent_path(), ec);
}

// The show's meshes load during static initialisation, relative to the working
// directory, so the tool moves into its run directory before any of that
// (priority 101 runs ahead of every default-priority static object). The
// directory it was started in is kept for the output paths.
struct RunDirectory {
  fs::path startDirectory;
  RunDirectory() {
    std::error_code ec;
    startDirectory = fs::current_path(ec);
    EnterRunDirectory();
  }
};
RunDirectory runDirectory __attribute__((init_priority(101)));

// An Escape from the key track ends the capture after the frame it fired in,
// with everything written, instead of ending the process in the middle.
bool escapeRequested = false;
void RequestStop() { escapeRequested = true; }

// An output path as given on the command line, relative to the start directory.
std::string FromStartDirectory(const std::string& path) {
  fs::path p(path);
  return (p.is_absolute() ? p : runDirectory.startDirectory / p).lexically_normal().string();
}

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
// silence for the loader frames) as raw 16-bit stereo, for ffmpeg.
bool WriteMusicStretch(const std::string& path, double silence, double from, double seconds) {
  const int16_t* samples = nullptr;
  size_t frames = 0;
  if (!AudioStreamPcm(musicStream, &samples, &frames)) return false;
  const int rate = AudioStreamRate(musicStream);
  FILE* file = fopen(path.c_str(), "wb");
  if (!file) return false;
  std::vector<int16_t> quiet(static_cast<size_t>(silence * rate) * 2, 0);
  fwrite(quiet.data(), sizeof(int16_t), quiet.size(), file);
  size_t first = std::min(frames, static_cast<size_t>(std::llround(from * rate)));
  size_t count = std::min(frames - first, static_cast<size_t>(std::llround(seconds * rate)));
  fwrite(samples + first * 2, sizeof(int16_t) * 2, count, file);
  return fclose(file) == 0;
}

// Starts ffmpeg encoding raw frames from its standard input into a silent video.
FILE* OpenVideo(const CaptureOptions& o, const std::string& silentPath) {
  const double rate = static_cast<double>(o.fps) / o.every;
  char command[4096];
  snprintf(command, sizeof command,
           "ffmpeg -hide_banner -loglevel error -y -f rawvideo -pix_fmt rgb24 -s %dx%d "
           "-framerate %.6f -i - -vf vflip -c:v libx264 -pix_fmt yuv420p -crf 18 '%s'",
           o.width, o.height, rate, silentPath.c_str());
  return popen(command, "w");
}

// Puts the music stretch under the silent video: the final MP4.
bool MuxVideo(const CaptureOptions& o, const std::string& silentPath,
              const std::string& musicPath) {
  char command[4096];
  snprintf(command, sizeof command,
           "ffmpeg -hide_banner -loglevel error -y -i '%s' -f s16le -ar %d -ac 2 -i '%s' "
           "-c:v copy -c:a aac -b:a 192k -shortest '%s'",
           silentPath.c_str(), AudioStreamRate(musicStream), musicPath.c_str(), o.video.c_str());
  return system(command) == 0;
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
  screenFramebuffer = CreateStandInFramebuffer(width, height);
  if (!screenFramebuffer) {
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
  glBindFramebuffer(GL_READ_FRAMEBUFFER, screenFramebuffer);
  glReadBuffer(screenFramebuffer ? GL_COLOR_ATTACHMENT0 : GL_BACK);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, rgb);
}

// Reads the screen image of the frame just drawn and writes it where it goes.
bool EmitFrame(Sink& sink) {
  const bool due = sink.frameIndex++ % sink.options.every == 0;
  if (!due || (sink.options.outDir.empty() && !sink.video)) return true;
  const int width = sink.options.width, height = sink.options.height;
  ReadScreen(width, height, sink.rgb.data());
  if (!sink.options.outDir.empty()) {
    char name[64];
    snprintf(name, sizeof name, "frame_%06d.png", sink.written);
    const std::string path = (fs::path(sink.options.outDir) / name).string();
    stbi_flip_vertically_on_write(1);  // GL rows run bottom to top
    if (!stbi_write_png(path.c_str(), width, height, 3, sink.rgb.data(), width * 3)) {
      fprintf(stderr, "\nkelvane12-capture: cannot write %s\n", path.c_str());
      return false;
    }
  }
  if (sink.video && fwrite(sink.rgb.data(), 1, sink.rgb.size(), sink.video) != sink.rgb.size()) {
    fprintf(stderr, "\nkelvane12-capture: ffmpeg stopped taking frames (%s)\n",
            sink.options.video.c_str());
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
}  // namespace

int main(int argc, char** argv) {
  Sink sink;
  CaptureOptions& o = sink.options;
  std::string error;
  if (!ParseCaptureOptions(argc, argv, &o, &error)) {
    fprintf(stderr, "kelvane12-capture: %s\n%s", error.c_str(), CaptureUsage());
    return 2;
  }
  sink.rgb.resize(static_cast<size_t>(o.width) * o.height * 3);
  // Output paths are taken relative to where the tool was started.
  std::error_code ec;
  if (!o.outDir.empty()) {
    o.outDir = FromStartDirectory(o.outDir);
    fs::create_directories(o.outDir, ec);
    if (!fs::is_directory(o.outDir)) {
      fprintf(stderr, "kelvane12-capture: cannot create the directory %s\n", o.outDir.c_str());
      return 1;
    }
  }
  if (!o.video.empty()) {
    o.video = FromStartDirectory(o.video);
    if (!OnPath("ffmpeg")) {
      fprintf(stderr, "kelvane12-capture: --video needs ffmpeg, which is not installed "
                      "(apt-get install ffmpeg)\n");
      return 1;
    }
  }
  setenv("SDL_AUDIODRIVER", "dummy", 1);  // no sound device is ever opened
  fixedRopeStep = o.fixedStep;
  useGameMode = false;
  escapeAction = RequestStop;
  if (!CheckRunFiles()) return 1;

  AudioUseVirtualClock();
  AudioSetStartSeconds(o.from);
  char* glutArgs[] = {argv[0], nullptr};
  StartUp(1, glutArgs);
  glutDisplayFunc(IgnoreDisplay);
  glutMainLoopEvent();  // the window appears and reports its size
  if (!SetUpCaptureScreen(o.width, o.height)) return 1;
  if (AudioInit(-1, 44100)) {
    AudioStart();
    AudioStreamFree(musicStream);
    musicStream = AudioStreamCreateFile(kMusicFile);
  }
  const int16_t* samples = nullptr;
  size_t sampleFrames = 0;
  if (!musicStream || !AudioStreamPcm(musicStream, &samples, &sampleFrames)) {
    fprintf(stderr, "kelvane12-capture: cannot decode %s\n", kMusicFile);
    return 1;
  }
  const double length = static_cast<double>(sampleFrames) / AudioStreamRate(musicStream);
  const double to = o.to < 0 ? length : std::min(o.to, length);
  if (o.from > to) {
    fprintf(stderr, "kelvane12-capture: --from %.3f lies past the end of the music (%.3f s)\n",
            o.from, length);
    return 1;
  }
  long mainFrames = static_cast<long>(std::floor((to - o.from) * o.fps + 1e-6)) + 1;

  // Frames for --video go to ffmpeg as they come; the music is added at the end.
  const fs::path tempBase =
      fs::temp_directory_path() / ("kelvane12-capture-" + std::to_string(getpid()));
  const std::string silentPath = tempBase.string() + ".mp4";
  const std::string musicPath = tempBase.string() + ".pcm";
  if (!o.video.empty()) {
    sink.video = OpenVideo(o, silentPath);
    if (!sink.video) {
      fprintf(stderr, "kelvane12-capture: cannot start ffmpeg for %s\n", o.video.c_str());
      return 1;
    }
  }

  // The loader screen, on virtual ticks: at the capture rate when its frames
  // are written, quickly otherwise. It ends on the frame that starts the
  // music; that frame only leads in and is not written.
  const double frameMs = 1000.0 / o.fps;
  std::vector<double> frameTimes;
  long loaderFrames = 0;
  fprintf(stderr, "kelvane12-capture: loader screen...\n");
  while (!musicStarted) {
    auto start = Clock::now();
    DrawFrame();
    if (!musicStarted && o.loader) {
      if (!EmitFrame(sink)) return 1;
      ++loaderFrames;
    }
    glutSwapBuffers();
    glutMainLoopEvent();
    TicksAdvanceVirtual(o.loader ? frameMs : kQuickLoaderStepMs);
    if (o.loader) frameTimes.push_back(MsSince(start));
  }
  // The lead-in frame read the clock before the music started; seen from the
  // next frame, play began at the start position, so the first frame factor is 1.
  demoClock = MusicPositionSeconds();

  const bool tty = isatty(STDERR_FILENO);
  auto lastReport = Clock::now();
  auto mainStart = Clock::now();
  for (long k = 0; k < mainFrames; ++k) {
    auto start = Clock::now();
    AudioSetVirtualPosition(o.from + static_cast<double>(k) / o.fps);
    DrawFrame();
    if (!EmitFrame(sink)) return 1;
    glutSwapBuffers();
    glutMainLoopEvent();
    TicksAdvanceVirtual(frameMs);
    frameTimes.push_back(MsSince(start));

    if (escapeRequested) {
      fprintf(stderr, "%skelvane12-capture: the key track ended the show at %.2f s\n",
              tty ? "\n" : "", demoClock);
      mainFrames = k + 1;
    }
    const bool last = k + 1 == mainFrames;
    if (last || tty || MsSince(lastReport) > 5000) {
      lastReport = Clock::now();
      const double perFrame = MsSince(mainStart) / (k + 1);
      fprintf(stderr, "%sframe %ld/%ld  music %.2f s  %.1f frames/s  %.0f s left%s",
              tty ? "\r" : "", k + 1, mainFrames, demoClock, 1000.0 / perFrame,
              perFrame * (mainFrames - k - 1) / 1000.0, tty && !last ? "  " : "\n");
    }
  }
  if (sink.video) {
    bool ok = pclose(sink.video) == 0 &&
              WriteMusicStretch(musicPath, loaderFrames / static_cast<double>(o.fps), o.from,
                                mainFrames / static_cast<double>(o.fps)) &&
              MuxVideo(o, silentPath, musicPath);
    fs::remove(silentPath, ec);
    fs::remove(musicPath, ec);
    if (!ok) {
      fprintf(stderr, "kelvane12-capture: ffmpeg failed to write %s\n", o.video.c_str());
      return 1;
    }
    fprintf(stderr, "kelvane12-capture: wrote %s\n", o.video.c_str());
  }
  ReportFrameTimes(frameTimes);
  return 0;
}
