#include "runtime/rehearsal_loop.h"

#include "core/gl.h"  // GLEW before any other GL header
#include <GL/freeglut.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "core/audio.h"
#include "particles/particle_field.h"
#include "render/render_target.h"
#include "render/shaders.h"
#include "runtime/frame_loop.h"
#include "runtime/key_track.h"
#include "runtime/rehearsal.h"
#include "runtime/show_seek.h"
#include "runtime/startup.h"

static_assert(rehearsal_keys::kF1 == GLUT_KEY_F1 && rehearsal_keys::kF5 == GLUT_KEY_F5 &&
              rehearsal_keys::kF6 == GLUT_KEY_F6 && rehearsal_keys::kF7 == GLUT_KEY_F7 &&
              rehearsal_keys::kF8 == GLUT_KEY_F8 && rehearsal_keys::kF9 == GLUT_KEY_F9 &&
              rehearsal_keys::kLeft == GLUT_KEY_LEFT && rehearsal_keys::kRight == GLUT_KEY_RIGHT &&
              rehearsal_keys::kPageUp == GLUT_KEY_PAGE_UP &&
              rehearsal_keys::kPageDown == GLUT_KEY_PAGE_DOWN &&
              rehearsal_keys::kHome == GLUT_KEY_HOME && rehearsal_keys::kEnd == GLUT_KEY_END,
              "the rehearsal keys are GLUT's special-key codes");

namespace {
constexpr const char* kKeyTrackFile = "keys.dat";
constexpr unsigned kWatchEveryMs = 250;

// What a file looked like when last seen; a change of any of these (a new
// file written over it, or renamed into its place) means it was written.
struct FileStamp {
  bool present = false;
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  long long mtimeNs = 0;
  bool operator==(const FileStamp& o) const {
    return present == o.present && device == o.device && inode == o.inode && size == o.size &&
           mtimeNs == o.mtimeNs;
  }
};

FileStamp StampOf(const std::string& path) {
  FileStamp stamp;
  struct stat info;
  if (stat(path.c_str(), &info) != 0) return stamp;
  stamp.present = true;
  stamp.device = info.st_dev;
  stamp.inode = info.st_ino;
  stamp.size = info.st_size;
  stamp.mtimeNs = static_cast<long long>(info.st_mtim.tv_sec) * 1000000000LL + info.st_mtim.tv_nsec;
  return stamp;
}

// A group of watched files and whether one of them changed since it was last
// taken in.
struct WatchedFiles {
  std::vector<std::string> paths;
  std::vector<FileStamp> stamps;
  bool changed = false;
  void Start(std::vector<std::string> files) {
    paths = std::move(files);
    stamps.clear();
    for (const std::string& path : paths) stamps.push_back(StampOf(path));
  }
  void Look() {
    for (size_t i = 0; i < paths.size(); ++i) {
      const FileStamp now = StampOf(paths[i]);
      if (!(now == stamps[i])) changed = true;
      stamps[i] = now;
    }
  }
};

// Everything the rehearsal keeps besides the show: owned here, once.
struct Rehearsal {
  RehearsalState state;
  double musicLength = 0;
  // The next display call draws a frame even while paused (after a pause,
  // a seek or a step), then prints pendingEvent with the frame's time and,
  // where a seek paused the music for it, lets it play on.
  bool frameDue = false;
  bool resumeAfterFrame = false;
  std::string pendingEvent;
  // The latest frame drawn.
  double frameSeconds = 0;
  float frameDemoTime = 0;
  // The picture held while paused: a copy of the screen after the frame.
  GLuint heldTexture = 0;
  int heldWidth = 0, heldHeight = 0;
  FrameStats stats;
  double lastFrameEnd = -1;
  std::string message;  // the latest reload's news or compile log
  WatchedFiles keyTrackFile, postShaders, computeShaders;
};
Rehearsal rehearsal;

double WallSeconds() {
  static const auto start = std::chrono::steady_clock::now();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void Say(const std::string& line) {
  if (printf("%s\n", line.c_str()) < 0 || fflush(stdout) != 0) {
    static bool told = false;
    if (!told) fprintf(stderr, "kelvane12: cannot write to standard output\n");
    told = true;
  }
}

// The music position the keys act from. Paused, it is where the held
// picture is, or where a step or seek not yet drawn put the music, so that
// keys pressed faster than frames come add up.
double Now() { return MusicPositionSeconds(); }

// Takes the show to `target`: with the music held, so that the frame drawn
// next is the fixed-rate run's frame there, after which it plays on if it
// played before.
void JumpTo(double target, const char* event) {
  Rehearsal& r = rehearsal;
  const bool playing = !r.state.paused;
  if (playing) AudioChannelPause(musicStream);
  SeekShow(target, PrintRunUpProgress);
  r.frameDue = true;
  r.resumeAfterFrame = r.resumeAfterFrame || playing;
  r.pendingEvent = event;
  glutPostRedisplay();
}

void Act(RehearsalAction action) {
  Rehearsal& r = rehearsal;
  RehearsalState& s = r.state;
  std::string why;
  switch (action) {
    case RehearsalAction::None:
      return;
    case RehearsalAction::ToggleDisplay:
      s.display = !s.display;
      break;
    case RehearsalAction::PauseResume:
      if (s.paused) {
        s.paused = false;
        AudioChannelResume(musicStream);
        Say(RehearsalEventLine("playing from", MusicPositionSeconds(), kRunUpFps));
      } else {
        AudioChannelPause(musicStream);
        s.paused = true;
        r.frameDue = true;
        r.pendingEvent = "paused at";
      }
      break;
    case RehearsalAction::Back1:
    case RehearsalAction::Forward1:
    case RehearsalAction::Back10:
    case RehearsalAction::Forward10:
    case RehearsalAction::ToStart:
    case RehearsalAction::NearEnd:
      JumpTo(SeekTarget(action, Now(), r.musicLength), "seek to");
      break;
    case RehearsalAction::MarkLoopStart:
      s.loopStart = RunUpGridSeconds(Now());
      Say(RehearsalEventLine("loop start at", s.loopStart, kRunUpFps));
      break;
    case RehearsalAction::MarkLoopEnd:
      s.loopEnd = RunUpGridSeconds(Now());
      Say(RehearsalEventLine("loop end at", s.loopEnd, kRunUpFps));
      break;
    case RehearsalAction::ToggleLoop:
      if (!ToggleLoop(s, &why)) {
        Say("rehearse: no loop: " + why);
      } else if (!s.looping) {
        Say("rehearse: loop off");
      } else {
        Say("rehearse: looping from " + FormatMusicTime(s.loopStart) + " to " +
            FormatMusicTime(s.loopEnd));
        if (OutsideLoop(s, Now())) JumpTo(s.loopStart, "loop back to");
      }
      break;
    case RehearsalAction::StepFrame:
      if (!s.paused) {
        Say("rehearse: F9 steps a frame while paused (F5)");
        return;
      }
      AudioChannelSetPosition(musicStream, StepTarget(Now(), kRunUpFps));
      r.frameDue = true;
      r.pendingEvent = "step to";
      break;
  }
  glutPostRedisplay();
}

void OnRehearsalSpecialKey(int key, int x, int y) {
  const RehearsalAction action = RehearsalActionForKey(key);
  if (action == RehearsalAction::None) {
    OnSpecialKey(key, x, y);  // F11
    return;
  }
  Act(action);
}

// Looks at the watched files; a change is taken in by the next display call,
// where the GL context is current.
void WatchFiles(int) {
  Rehearsal& r = rehearsal;
  r.keyTrackFile.Look();
  r.postShaders.Look();
  r.computeShaders.Look();
  // While paused nothing else redraws: the display keeps up with the news.
  if (r.state.paused || r.keyTrackFile.changed || r.postShaders.changed ||
      r.computeShaders.changed)
    glutPostRedisplay();
  glutTimerFunc(kWatchEveryMs, WatchFiles, 0);
}

void Report(const std::string& message) {
  rehearsal.message = message;
  fprintf(stderr, "kelvane12: %s\n", message.c_str());
}

void TakeInChangedFiles() {
  Rehearsal& r = rehearsal;
  std::string text;
  if (r.keyTrackFile.changed) {
    r.keyTrackFile.changed = false;
    ReloadKeyTrack(kKeyTrackFile, show, show.clock.demoClock, &text);
    Report(text);
  }
  if (r.postShaders.changed) {
    r.postShaders.changed = false;
    if (ReloadPostPrograms(&text)) Report("post-pass shaders compiled again");
    else Report("shader " + text + "\n(the programs in use stay)");
  }
  if (r.computeShaders.changed) {
    r.computeShaders.changed = false;
    if (ReloadComputePrograms(&text)) Report("compute shaders compiled again");
    else Report("compute shader " + text + "\n(the programs in use stay)");
  }
}

// GL state the rehearsal's own drawing changes, saved before it and put
// back after, so that the show's next frame starts from what its own last
// frame left.
struct SavedState {
  GLint program = 0, drawFramebuffer = 0, readFramebuffer = 0;
};
SavedState SaveState() {
  SavedState saved;
  glGetIntegerv(GL_CURRENT_PROGRAM, &saved.program);
  glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &saved.drawFramebuffer);
  glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &saved.readFramebuffer);
  glPushAttrib(GL_ALL_ATTRIB_BITS);
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glUseProgram(0);
  glBindFramebuffer(GL_FRAMEBUFFER, targets.screenFramebuffer);
  glViewport(0, 0, windowWidth, windowHeight);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluOrtho2D(0, 1, 0, 1);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  for (int unit = 3; unit >= 0; --unit) {
    glActiveTexture(GL_TEXTURE0 + unit);
    glDisable(GL_TEXTURE_2D);
  }
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_LIGHTING);
  glDisable(GL_FOG);
  glDisable(GL_CULL_FACE);
  glDisable(GL_ALPHA_TEST);
  glDisable(GL_BLEND);
  return saved;
}
void RestoreState(const SavedState& saved) {
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  glPopMatrix();
  glPopAttrib();
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, static_cast<GLuint>(saved.drawFramebuffer));
  glBindFramebuffer(GL_READ_FRAMEBUFFER, static_cast<GLuint>(saved.readFramebuffer));
  glUseProgram(static_cast<GLuint>(saved.program));
}

}  // namespace

void HoldScreenPicture() {
  Rehearsal& r = rehearsal;
  const SavedState saved = SaveState();
  if (!r.heldTexture) glGenTextures(1, &r.heldTexture);
  glBindTexture(GL_TEXTURE_2D, r.heldTexture);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glCopyTexImage2D(GL_TEXTURE_2D, 0, GL_RGB8, 0, 0, windowWidth, windowHeight, 0);
  r.heldWidth = windowWidth;
  r.heldHeight = windowHeight;
  RestoreState(saved);
}

void ShowHeldScreenPicture() {
  Rehearsal& r = rehearsal;
  const SavedState saved = SaveState();
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  if (r.heldTexture) {
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, r.heldTexture);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    glBegin(GL_QUADS);
    const float corners[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    for (const auto& c : corners) {
      glTexCoord2f(c[0], c[1]);
      glVertex2f(c[0], c[1]);
    }
    glEnd();
  }
  RestoreState(saved);
}

void DrawDisplayText(const std::vector<std::string>& lines, size_t plainLines) {
  const SavedState saved = SaveState();
  constexpr int kLineHeight = 18, kMargin = 8, kCharWidth = 9;
  size_t longest = 0;
  for (const std::string& line : lines) longest = std::max(longest, line.size());
  const float boxWidth = float(2 * kMargin + kCharWidth * longest) / windowWidth;
  const float boxHeight = float(2 * kMargin + kLineHeight * lines.size()) / windowHeight;
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glColor4f(0, 0, 0, 0.6f);
  glRectf(0, 1 - boxHeight, boxWidth, 1);
  glDisable(GL_BLEND);
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i >= plainLines) glColor3f(1.0f, 0.75f, 0.3f);
    else glColor3f(1, 1, 1);
    glWindowPos2i(kMargin, windowHeight - kMargin - kLineHeight * int(i + 1) + 4);
    glutBitmapString(GLUT_BITMAP_9_BY_15, reinterpret_cast<const unsigned char*>(lines[i].c_str()));
  }
  RestoreState(saved);
}

namespace {
// The display: where the show stands, then the latest message in amber.
void DrawDisplay() {
  Rehearsal& r = rehearsal;
  const std::vector<std::string> lines =
      DisplayLines(r.state, r.frameSeconds, r.frameDemoTime, r.stats, r.message);
  DrawDisplayText(lines, DisplayLines(r.state, r.frameSeconds, r.frameDemoTime, r.stats, "").size());
}

void OnRehearsalDisplay() {
  Rehearsal& r = rehearsal;
  const double started = WallSeconds();
  TakeInChangedFiles();
  const bool drawing = !r.state.paused || r.frameDue;
  if (drawing) {
    if (!r.state.paused && !r.frameDue && LoopJumpsBack(r.state, MusicPositionSeconds()))
      JumpTo(r.state.loopStart, "loop back to");
    const FrameTime time = ReadFrameTime();
    DrawFrame(show, time);
    r.frameSeconds = time.clock;
    r.frameDemoTime = time.demoTime;
    if (r.state.paused) HoldScreenPicture();
    r.frameDue = false;
    if (!r.pendingEvent.empty()) Say(RehearsalEventLine(r.pendingEvent, time.clock, kRunUpFps));
    r.pendingEvent.clear();
    if (r.resumeAfterFrame && !r.state.paused) AudioChannelResume(musicStream);
    r.resumeAfterFrame = false;
  } else {
    ShowHeldScreenPicture();
  }
  if (r.state.display) DrawDisplay();
  glutSwapBuffers();
  const double ended = WallSeconds();
  if (drawing) {
    // The time between frames, which is what the frame rate is made of.
    AddFrame(r.stats, ended, r.lastFrameEnd < 0 ? ended - started : ended - r.lastFrameEnd);
    r.lastFrameEnd = ended;
  }
  if (!r.state.paused || r.frameDue) glutPostRedisplay();
  else r.lastFrameEnd = -1;
}
}  // namespace

void StartRehearsal() {
  Rehearsal& r = rehearsal;
  r.musicLength = AudioStreamSeconds(musicStream);
  r.keyTrackFile.Start({kKeyTrackFile});
  r.postShaders.Start(PostProgramFiles());
  r.computeShaders.Start(ComputeShaderFiles());
  glutDisplayFunc(OnRehearsalDisplay);
  glutSpecialFunc(OnRehearsalSpecialKey);
  glutTimerFunc(kWatchEveryMs, WatchFiles, 0);
  Say("rehearse: F5 pause, Left/Right 1 s, Page Up/Down 10 s, Home, End, F6/F7 loop marks, "
      "F8 loop, F9 step, F1 display");
}
