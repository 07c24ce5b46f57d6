#include "runtime/rehearsal.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "core/timeline.h"

RehearsalAction RehearsalActionForKey(int key) {
  using namespace rehearsal_keys;
  switch (key) {
    case kF1: return RehearsalAction::ToggleDisplay;
    case kF5: return RehearsalAction::PauseResume;
    case kF6: return RehearsalAction::MarkLoopStart;
    case kF7: return RehearsalAction::MarkLoopEnd;
    case kF8: return RehearsalAction::ToggleLoop;
    case kF9: return RehearsalAction::StepFrame;
    case kLeft: return RehearsalAction::Back1;
    case kRight: return RehearsalAction::Forward1;
    case kPageUp: return RehearsalAction::Back10;
    case kPageDown: return RehearsalAction::Forward10;
    case kHome: return RehearsalAction::ToStart;
    case kEnd: return RehearsalAction::NearEnd;
    default: return RehearsalAction::None;
  }
}

double SeekTarget(RehearsalAction action, double now, double length) {
  double target = now;
  switch (action) {
    case RehearsalAction::Back1: target = now - 1; break;
    case RehearsalAction::Forward1: target = now + 1; break;
    case RehearsalAction::Back10: target = now - 10; break;
    case RehearsalAction::Forward10: target = now + 10; break;
    case RehearsalAction::ToStart: target = 0; break;
    case RehearsalAction::NearEnd: target = length - kNearEndSeconds; break;
    default: break;
  }
  return std::clamp(target, 0.0, std::max(0.0, length));
}

double StepTarget(double now, int fps) { return (std::round(now * fps) + 1) / fps; }

bool ToggleLoop(RehearsalState& state, std::string* why) {
  if (state.looping) {
    state.looping = false;
    return true;
  }
  if (state.loopStart < 0 || state.loopEnd < 0) {
    *why = "set the loop's start (F6) and end (F7) first";
    return false;
  }
  if (state.loopEnd <= state.loopStart) {
    *why = "the loop's end lies before its start";
    return false;
  }
  state.looping = true;
  return true;
}

bool LoopJumpsBack(const RehearsalState& state, double now) {
  return state.looping && now >= state.loopEnd;
}

bool OutsideLoop(const RehearsalState& state, double now) {
  return now < state.loopStart || now >= state.loopEnd;
}

std::string FormatMusicTime(double seconds) {
  // A hair added so that a moment read back as a float (8.4 as 8.3999996)
  // shows as itself.
  const long hundredths = static_cast<long>(std::floor(std::max(0.0, seconds) * 100 + 1e-3));
  char text[32];
  snprintf(text, sizeof text, "%ld:%02ld.%02ld", hundredths / 6000, hundredths / 100 % 60,
           hundredths % 100);
  return text;
}

std::string RehearsalEventLine(const std::string& event, double seconds, int fps) {
  char text[160];
  snprintf(text, sizeof text, "rehearse: %s %s (%.4f s, frame %ld)", event.c_str(),
           FormatMusicTime(seconds).c_str(), seconds, std::lround(seconds * fps));
  return text;
}

namespace {
struct NamedWindow {
  const char* name;
  TimeWindow window;
};
constexpr NamedWindow kNamedWindows[] = {
    {"kNeighbourWindow", kNeighbourWindow},
    {"kCloseUpWindow", kCloseUpWindow},
    {"kSlowMotionScene", kSlowMotionScene},
    {"kBonfireGap", kBonfireGap},
    {"kSoftBodyPause", kSoftBodyPause},
    {"kFieldOnlyWindow", kFieldOnlyWindow},
    {"kChainInterlude", kChainInterlude},
    {"kLoweredRopeWindow", kLoweredRopeWindow},
    {"kSwellWindow", kSwellWindow},
    {"kFieldAgainWindow", kFieldAgainWindow},
    {"kJitteredChainWindow", kJitteredChainWindow},
    {"kWireWindow", kWireWindow},
    {"kFirstChainWindow", kFirstChainWindow},
    {"kLastChainWindow", kLastChainWindow},
    {"kFirstPulseWindow", kFirstPulseWindow},
    {"kPulseWindow", kPulseWindow},
    {"kOrbitWindow", kOrbitWindow},
    {"kPictureFlashWindow", kPictureFlashWindow},
    {"kWideLayersWindow", kWideLayersWindow},
    {"kSoftBodyShiftWindow", kSoftBodyShiftWindow},
    {"kLateTurnWindow", kLateTurnWindow},
    {"kFieldReturnFade", kFieldReturnFade},
};
struct NamedPredicate {
  const char* name;
  bool (*holds)(float);
};
bool FirstPost(float t) { return InFirstPostWindow(t) != 0; }
constexpr NamedPredicate kNamedPredicates[] = {
    {"InFirstPostWindow", FirstPost},
    {"InFlashWindow", InFlashWindow},
    {"InSlowMotionWindow", InSlowMotionWindow},
    {"InSoftBodyWindow", InSoftBodyWindow},
    {"InParticleFieldWindow", InParticleFieldWindow},
};
}  // namespace

std::vector<std::string> WindowsHolding(float t) {
  std::vector<std::string> names;
  if (t < kIntroEnd) names.push_back("t < kIntroEnd");
  for (const NamedWindow& w : kNamedWindows)
    if (w.window.Holds(t)) names.push_back(w.name);
  if (kPictureFlashHold.Holds(t)) names.push_back("kPictureFlashHold");
  if (t > kEndScreenAfter) names.push_back("t > kEndScreenAfter");
  for (const NamedPredicate& p : kNamedPredicates)
    if (p.holds(t)) names.push_back(p.name);
  return names;
}

void AddFrame(FrameStats& stats, double now, double duration) {
  stats.frames.emplace_back(now, duration);
  while (!stats.frames.empty() && stats.frames.front().first <= now - 1.0) stats.frames.pop_front();
}

int FramesInLastSecond(const FrameStats& stats) { return static_cast<int>(stats.frames.size()); }

double SlowestFrameMs(const FrameStats& stats) {
  double slowest = 0;
  for (const auto& frame : stats.frames) slowest = std::max(slowest, frame.second);
  return slowest * 1000;
}

std::vector<std::string> DisplayLines(const RehearsalState& state, double musicSeconds,
                                      float demoTime, const FrameStats& stats,
                                      const std::string& message) {
  std::vector<std::string> lines;
  char text[160];
  snprintf(text, sizeof text, "music %s   demo time %.1f%s", FormatMusicTime(musicSeconds).c_str(),
           demoTime, state.paused ? "   PAUSED" : "");
  lines.push_back(text);
  snprintf(text, sizeof text, "%d frames/s   slowest %.1f ms", FramesInLastSecond(stats),
           SlowestFrameMs(stats));
  lines.push_back(text);
  std::string windows;
  for (const std::string& name : WindowsHolding(demoTime)) {
    if (!windows.empty() && windows.size() + name.size() > 70) {
      lines.push_back(windows);
      windows.clear();
    }
    windows += (windows.empty() ? "" : "  ") + name;
  }
  if (!windows.empty()) lines.push_back(windows);
  std::string loop = "loop ";
  loop += state.loopStart >= 0 ? FormatMusicTime(state.loopStart) : "-";
  loop += " to ";
  loop += state.loopEnd >= 0 ? FormatMusicTime(state.loopEnd) : "-";
  loop += state.looping ? "   looping" : "";
  lines.push_back(loop);
  size_t from = 0;
  while (from < message.size() && lines.size() < 16) {
    const size_t end = message.find('\n', from);
    lines.push_back(message.substr(from, end == std::string::npos ? end : end - from));
    if (end == std::string::npos) break;
    from = end + 1;
  }
  return lines;
}
