// The program-wide time quantities and the named time windows of the frame
// loop. The music position is the only clock: every frame reads it once for
// the demo clock and the frame factor, and the update reads it again for the
// demo time (tenths of a second of music), which every time window tests.
#pragma once

extern float demoClock;          // music position in seconds, start of the frame
extern float previousDemoClock;  // demoClock of the previous frame
extern float frameFactor;        // (demoClock - previousDemoClock) / 0.0333, 1 when that is 0
extern float demoTime;           // music position x 10, set at the start of UpdateFrame
extern double demoTimeDouble;    // the same value as a double (director stamps, scene renderer)
extern float softBodyPhase;      // advanced by 0.001 per simulated soft-body frame

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

// The close-up window at the current demo time, as 1 or 0 (the point cloud).
int InFirstPostWindow();
// The two random flash layers run.
bool InFlashWindow(float t);
// The slow-motion windows: the rope centres and the camera slow down.
bool InSlowMotionWindow(float t);
// The soft body is stepped and drawn.
bool InSoftBodyWindow(float t);
// The particle field steps its fluid and particles and is drawn: the intro,
// the field-only window and its second run.
bool InParticleFieldWindow(float t);
