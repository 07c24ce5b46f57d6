// The frame's time and the named time windows of the frame loop. The music
// position is the only clock: every frame reads it once, and that one
// reading gives the frame's clock, its frame factor and its demo time
// (tenths of a second of music), which every time window tests.
#pragma once
#include <cstdint>

// The clock the show carries from one frame to the next.
struct FrameClock {
  float demoClock = 0;  // music position in seconds at the latest frame
  float demoTime = 0;   // that position x 10, as the latest update set it
};

// One frame's time, made from one read of the music position and passed to
// every step and pass of the frame. The scene is drawn before the update sets
// this frame's demo time, so it sees the previous frame's.
struct FrameTime {
  float clock = 0;          // music position in seconds (the one read)
  float previousClock = 0;  // the previous frame's
  float frameFactor = 1;    // (clock - previousClock) / 0.0333, 1 when that is 0
  float sceneTime = 0;      // demo time of the scene: the previous frame's update's
  float updateSeconds = 0;  // music position the update and the key track see
  float demoTime = 0;       // updateSeconds x 10: the update, composition and overlays
  uint32_t ticksMs = 0;     // wall-clock ticks: the loader and the end screen
  // The scene's demo time in double precision (stamps and exact windows).
  double SceneTimeExact() const { return sceneTime; }
  // The frame factor as the scene's steps use it: 1 when it is 0.
  float SceneFactor() const { return frameFactor == 0 ? 1.0f : frameFactor; }
};

// The frame that follows `clock` at music position `seconds`.
FrameTime NextFrameTime(const FrameClock& clock, float seconds, uint32_t ticksMs);
// The frame `time` as its update sees it when the music starts during the
// frame: the music's position read once it plays.
FrameTime WithUpdatePosition(FrameTime time, float seconds);
// The clock after the frame `time`.
void AdvanceFrameClock(FrameClock& clock, const FrameTime& time);

// The shared scene base time: several windows are written relative to it.
constexpr int kSceneBaseTime = 1287;

// A stretch of demo time with open bounds: it holds t when from < t < to,
// compared in single precision like the demo time itself.
struct TimeWindow {
  float from;
  float to;
  constexpr bool Holds(float t) const { return t > from && t < to; }
};
// A window compared in double precision, against the demo time as a double:
// its upper bound lies between two floats.
struct ExactTimeWindow {
  double from;
  double to;
  constexpr bool Holds(double t) const { return t > from && t < to; }
};

// The windows of the show that more than one part tests, in demo time.
constexpr TimeWindow kNeighbourWindow{300, 400};       // point-cloud neighbour lines, stirred stars
constexpr TimeWindow kCloseUpWindow{634, 730};         // soft-body close-up, first post composition
constexpr TimeWindow kSlowMotionScene{730, 827};       // soft body hidden, chain sliding right
constexpr TimeWindow kBonfireGap{845, 865};            // no point cloud, no rope layer
constexpr TimeWindow kSoftBodyPause{850, 1050};        // soft body not stepped or drawn
constexpr TimeWindow kFieldOnlyWindow{1049, 1054};     // the particle field and nothing else
constexpr TimeWindow kChainInterlude{1054, 1062.5f};   // the icosahedron chain alone
constexpr TimeWindow kLoweredRopeWindow{1062.5f, 1072.5f};  // rope layer lowered, switches ignored
constexpr TimeWindow kSwellWindow{1268, kSceneBaseTime};    // orange flicker, the soft body grows
constexpr TimeWindow kFieldAgainWindow{1295, 1406};    // the particle field's second run
constexpr TimeWindow kJitteredChainWindow{1420, 1495}; // the chain's jittered first arrangement
// The particle-field intro holds the frame alone until this time.
constexpr float kIntroEnd = 200;
// Windows of one layer each, named here so that every bound of the show is
// read in one place.
constexpr TimeWindow kWireWindow{200, 630};            // the wire head and its figures
constexpr TimeWindow kFirstChainWindow{400, 630};      // the icosahedron chain's first run
constexpr TimeWindow kLastChainWindow{1420, 1700};     // the chain's last run
constexpr TimeWindow kFirstPulseWindow{400, 600};      // pulse figures before their main run
constexpr TimeWindow kPulseWindow{700, 1700};          // the pulse figures' main run
constexpr TimeWindow kOrbitWindow{640, 1520};          // the camera circles ropeA's centre
constexpr TimeWindow kPictureFlashWindow{840, 1720};   // the picture flash, outside its gaps
constexpr TimeWindow kWideLayersWindow{867, 1100};     // every layer drawn half as large again
constexpr TimeWindow kSoftBodyShiftWindow{760, 823};   // the soft body's shift, taken once
constexpr TimeWindow kLateTurnWindow{1100, 1300};      // the rope turn about the centre's x
constexpr TimeWindow kFieldReturnFade{1282, 1288};     // the fade before the particle field returns
constexpr float kEndScreenAfter = 1765;                // the end screen fades in after this
// The picture flash is held back from the field-only window to past the
// chain interlude and the lowered ropes.
constexpr ExactTimeWindow kPictureFlashHold{1049, 1078.2231755859375};

// Frame factor for a clock step: the step over 0.0333 s, exactly 1 when 0.
float ComputeFrameFactor(float clock, float previousClock);

// The close-up window at demo time t, as 1 or 0 (the point cloud).
int InFirstPostWindow(float t);
// The two random flash layers run.
bool InFlashWindow(float t);
// The slow-motion windows: the rope centres and the camera slow down.
bool InSlowMotionWindow(float t);
// The soft body is stepped and drawn.
bool InSoftBodyWindow(float t);
// The particle field steps its fluid and particles and is drawn: the intro,
// the field-only window and its second run.
bool InParticleFieldWindow(float t);
