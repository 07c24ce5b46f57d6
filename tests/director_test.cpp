// The director's keys, every one in one table of what it changes, and the key
// track that reads, replays and records them.
#include "runtime/director.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "core/random.h"
#include "core/timeline.h"
#include "scenes/show_state.h"
#include "runtime/key_track.h"

namespace {
constexpr float kNow = 431.5f;  // the demo time the keys are pressed at

// A rope's move by a key: centre x and z, angles a and b.
struct Pose {
  double x = 0, z = 0;
  float a = 0, b = 0;
};
constexpr double kStartX = 0.3, kStartZ = -0.1;

void StartRope(CRopeObject& rope) {
  rope.centre[0] = kStartX, rope.centre[1] = 0.2, rope.centre[2] = kStartZ;
  rope.angleA = rope.angleB = 0;
  rope.PlaceRoots();
}

// The first unit draw of the generator seeded with 38, from the standard one.
float FirstUnitOf38() { return float(std::ldexp(double(std::mt19937(38)()), -32)); }

struct KeyRow {
  unsigned char key;
  void (*expect)(DirectorState&);  // what the key does to the state (null: nothing)
  Pose a, b;                       // the ropes' moves: centre x, z and angles
  bool reseatA, reseatB;           // roots put where the new pose says
  int unitDraws, randDraws;        // RandomUnit and rand draws taken
  bool zeroCentres = false;        // both centres back to the origin
  void (*start)(DirectorState&) = nullptr;
};

#define SET(...) [](DirectorState& d) { __VA_ARGS__; }
const KeyRow kKeys[] = {
    {'^', SET(d.fieldOfView = 20), {}, {}, false, false, 0, 0},
    {'&', SET(d.fieldOfView = 40), {}, {}, false, false, 0, 0},
    {'*', SET(d.fieldOfView = 80), {}, {}, false, false, 0, 0},
    {'z', SET(d.fieldOfView = 65), {}, {}, false, false, 0, 0},
    {';', SET(d.fieldOfView = 38), {}, {}, false, false, 0, 0, true},
    {'x', SET(d.fieldOfView = 38), {}, {}, false, false, 0, 0, true},
    {'[', SET(d.fieldOfView = 45), {-0.02, 0, 0.1f, 0}, {-0.015, 0, -0.15f, 0}, true, true, 0, 0},
    {']', nullptr, {0.02, 0, 0, 0}, {0.015, 0, 0.15f, 0}, true, true, 0, 0},
    {'a', SET(d.fieldOfView = 88), {0, 0, 0.1f, 0}, {0, 0, 0.15f, 0}, true, true, 0, 0},
    {'f', nullptr, {0.02, 0, 0.015f, 0}, {0, 0, 0.15f, 0}, true, true, 0, 0},
    {'n', nullptr, {0, 0, 0.02f, 0.04f}, {0, 0, 0.02f, 0.02f}, true, true, 0, 0},
    {'h', SET(d.fieldOfView = 55; d.pulseEStamp = kNow), {}, {0, 0, -0.02f, -0.01f}, false, true, 0, 0},
    {'1', SET(d.pulseALevel = 0.2f; d.pulseAStamp = kNow), {}, {}, false, false, 0, 0},
    {'2', SET(d.pulseALevel = 0.4f; d.pulseAStamp = kNow), {0, 0, 0, -0.01f}, {}, false, false, 0, 0},
    {'3', SET(d.pulseALevel = 0.6f; d.pulseAStamp = kNow), {}, {}, false, false, 0, 0},
    {'m', SET(d.pulseBLevel = 0.2f; d.pulseBStamp = kNow), {}, {}, false, false, 0, 0},
    {',', SET(d.pulseBLevel = 0.5f; d.pulseBStamp = kNow), {}, {}, false, false, 0, 0},
    {'.', SET(d.pulseBLevel = 1.0f; d.pulseBStamp = kNow), {}, {}, false, false, 0, 0},
    {'s', SET(d.pulseCStamp = kNow), {}, {}, false, false, 0, 0},
    {'t', SET(d.pulseDLevel = 0.2f; d.pulseDStamp = kNow), {}, {}, false, false, 0, 0},
    {'r', SET(d.pulseFStamp = kNow; d.pulseFRandom = FirstUnitOf38()), {0, -0.005, 0, 0},
     {0, -0.005, 0, 0}, true, false, 1, 0},
    {'e', SET(d.pulseGStamp = kNow; d.pulseGRandom = FirstUnitOf38()), {0, 0.005, 0, -0.01f},
     {0, -0.005, 0, 0.01f}, true, false, 1, 0},
    {'y', nullptr, {0, 0, 0, -0.01f}, {}, false, false, 3, 0},
    {'+', SET(d.textureStep = 27; d.beatTime = kNow), {0, 0.01, 0, 0}, {0, 0.01, 0, 0}, false, false, 0, 0},
    {'-', SET(d.textureStep = 27; d.beatTime = kNow), {0, -0.01, 0, 0}, {0, -0.01, 0, 0}, false, false, 0, 0},
    {'+', SET(d.textureStep = 6; d.beatTime = kNow), {0, 0.01, 0, 0}, {0, 0.01, 0, 0}, false, false, 0, 0,
     false, SET(d.textureStep = 27)},
    {' ', SET(d.beatTime = kNow), {}, {}, false, false, 0, 0},
    {'i', SET(d.blendSwitch = 0; d.beatTime = kNow), {}, {}, false, false, 0, 0},
    {'{', SET(d.turnIndexA = 1), {}, {}, false, false, 0, 0},
    {'}', SET(d.turnIndexA = 3), {}, {}, false, false, 0, 0},
    {'Y', SET(d.turnIndexB = 0), {}, {}, false, false, 0, 0},
    {'U', SET(d.turnIndexB = 2), {}, {}, false, false, 0, 0},
    {'R', SET(d.turnIndexC = 2), {}, {}, false, false, 0, 0},
    {'T', SET(d.turnIndexC = 0), {}, {}, false, false, 0, 0},
    {'A', SET(d.angleAB = 110), {}, {}, false, false, 0, 0},
    {'B', SET(d.angleAB = -210), {}, {}, false, false, 0, 0},
    {'C', SET(d.angleCD = 310), {}, {}, false, false, 0, 0},
    {'D', SET(d.angleCD = -10), {}, {}, false, false, 0, 0},
    {'E', SET(d.angleEF = 10), {}, {}, false, false, 0, 0},
    {'F', SET(d.angleEF = -10), {}, {}, false, false, 0, 0},
    {'?', SET(d.layerSwitch1 = 0), {}, {}, false, false, 0, 0},
    {'8', SET(d.layerSwitch2 = 1), {}, {}, false, false, 0, 0},
    {'7', SET(d.ropeASwing = 1), {}, {}, false, false, 0, 0},
    {'u', SET(d.ropeBSwing = 1), {}, {}, false, false, 0, 0},
    {'G', SET(d.ropeDrawMode = 1), {}, {}, false, false, 0, 0},
    {'I', SET(d.ropeDrawMode = 2), {}, {}, false, false, 0, 0},
    {'H', SET(d.ropeDrawMode = 3), {}, {}, false, false, 0, 0},
    {'p', SET(d.ropeDrawFlag = 0), {}, {}, false, false, 0, 0},
    {'=', SET(d.effectSwitch = 1), {}, {}, false, false, 0, 0},
    {'d', nullptr, {}, {}, false, false, 0, 1},
    // Keys without an action, and bytes outside the keys.
    {'o', nullptr, {}, {}, false, false, 0, 0},
    {'Q', nullptr, {}, {}, false, false, 0, 0},
    {'/', nullptr, {}, {}, false, false, 0, 0},
    {0, nullptr, {}, {}, false, false, 0, 0},
    {126, nullptr, {}, {}, false, false, 0, 0},
    {200, nullptr, {}, {}, false, false, 0, 0},
};
#undef SET

void ExpectPose(const CRopeObject& rope, const Pose& move, bool zero) {
  EXPECT_DOUBLE_EQ(rope.centre[0], zero ? 0 : kStartX + move.x);
  EXPECT_DOUBLE_EQ(rope.centre[1], zero ? 0 : 0.2);
  EXPECT_DOUBLE_EQ(rope.centre[2], zero ? 0 : kStartZ + move.z);
  EXPECT_EQ(rope.angleA, move.a);
  EXPECT_EQ(rope.angleB, move.b);
}

TEST(Director, EveryKeyChangesWhatItsRowSaysAndNothingElse) {
  ShowState show;
  for (const KeyRow& row : kKeys) {
    const int key = row.key;
    SCOPED_TRACE(testing::Message() << "key " << key << " (" << char(key) << ")");
    DirectorState start;
    start.fieldOfView = 50;
    start.turnIndexB = 3, start.turnIndexC = 1;
    start.textureStep = 26;
    if (row.start) row.start(start);
    show.director = start;
    show.clock.demoTime = kNow;
    StartRope(show.ropeA);
    StartRope(show.ropeB);
    const Vec3d rootA = show.ropeA.grid[0][9]->position, rootB = show.ropeB.grid[0][9]->position;
    RandomSeed(show.generator, 38);
    show.rand = LibcRandomSeeded(9);

    HandleKey(show, row.key);

    DirectorState expected = start;
    if (row.expect) row.expect(expected);
    EXPECT_EQ(std::memcmp(&show.director, &expected, sizeof expected), 0);
    ExpectPose(show.ropeA, row.a, row.zeroCentres);
    ExpectPose(show.ropeB, row.b, row.zeroCentres);
    EXPECT_EQ(Length(show.ropeA.grid[0][9]->position - rootA) > 1e-9, row.reseatA);
    EXPECT_EQ(Length(show.ropeB.grid[0][9]->position - rootB) > 1e-9, row.reseatB);
    std::mt19937 reference(38);
    for (int k = 0; k < row.unitDraws; ++k) reference();
    EXPECT_EQ(RandomU32(show.generator), reference()) << "unit draws";
    const int afterKey = LibcRandomNext(show.rand);
    srand(9);
    for (int k = 0; k < row.randDraws; ++k) rand();
    EXPECT_EQ(afterKey, rand()) << "rand draws";
  }
}

int Load(const std::string& text) {
  const std::string path = ::testing::TempDir() + "keys.dat";
  std::ofstream(path, std::ios::binary) << text;
  return LoadKeyTrack(path.c_str());
}

// Only whole entries are kept: reading stops at the first key without a
// finite time, saying where, and the rest of the track is filled.
TEST(KeyTrack, KeepsWholeEntriesAndSaysWhereReadingStopped) {
  struct Case {
    std::string text;
    int count;
    std::string keys;          // the first entries' keys
    std::vector<float> times;  // and times
    std::string message;       // part of what is said; empty: nothing
  } const cases[] = {
      {"a 1.5\nb 2\n\n   c   3.25\n", 3, "abc/", {1.5f, 2, 3.25f, 1e9f}, ""},
      {"", 0, "/", {1e9f}, ""},
      {"^ 1\n^ -1e-50\n", 2, "^^", {1, 0}, ""},
      {" 4\n  5\n", 1, " /", {4, 1e9f}, "stops at line 2 (no time after the key '5')"},
      {"a 1\nb 2\nc", 2, "ab/", {1, 2, 1e9f}, "line 3 (no time after the key 'c')"},
      {"a 1\n\nb inf\nc 2\n", 1, "a/", {1, 1e9f}, "line 3 (a time that is not finite"},
      {"a 1\nb 1e39\n", 1, "a/", {1, 1e9f}, "line 2 (a time that is not finite"},
      {"a 1\nb nan\n", 1, "a/", {1, 1e9f}, "line 2"},
      {"x\ny 2\n", 0, "/", {1e9f}, "has no whole entry (line 1: no time after the key 'x')"},
      {"\x1b\x07 9\n", 0, "/", {1e9f}, "line 1: no time after the key byte 0x1b"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    testing::internal::CaptureStderr();
    EXPECT_EQ(Load(c.text), c.count);
    const std::string said = testing::internal::GetCapturedStderr();
    if (c.message.empty()) {
      EXPECT_EQ(said, "");
    } else {
      EXPECT_NE(said.find(c.message), std::string::npos) << said;
      EXPECT_NE(said.find("keys.dat"), std::string::npos) << said;
    }
    for (size_t i = 0; i < c.keys.size(); ++i) {
      EXPECT_EQ(keyTrack.keys[i], c.keys[i]) << i;
      EXPECT_EQ(keyTrack.times[i], c.times[i]) << i;
    }
    EXPECT_EQ(keyTrack.keys[kKeyTrackSize - 1], '/');
    EXPECT_EQ(keyTrack.times[kKeyTrackSize - 1], 1e9f);
  }
  std::string full;
  for (int i = 0; i < kKeyTrackSize + 10; ++i) full += i < kKeyTrackSize ? "z 7\n" : "^ 7\n";
  EXPECT_EQ(Load(full), kKeyTrackSize);
  EXPECT_EQ(keyTrack.keys[kKeyTrackSize - 1], 'z');

  // Random bytes hold Escapes; none may become an entry that fires.
  std::mt19937 bytes(23);
  std::string noise;
  for (int i = 0; i < 4096; ++i) noise += static_cast<char>(bytes() & 0xFF);
  testing::internal::CaptureStderr();
  EXPECT_EQ(Load(noise), 0);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("has no whole entry"), std::string::npos);
  EXPECT_EQ(keyTrack.times[0], 1e9f);
}

// The committed performance reads entry for entry as its lines say.
TEST(KeyTrack, TheCommittedPerformanceLoadsWhole) {
  const std::string path = std::string(KELVANE_SOURCE_DIR) + "/assets/keys.dat";
  std::ifstream in(path);
  std::string line;
  int lines = 0;
  testing::internal::CaptureStderr();
  const int count = LoadKeyTrack(path.c_str());
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  while (std::getline(in, line)) {
    char key = 0;
    float time = 0;
    ASSERT_EQ(sscanf(line.c_str(), "%c %f", &key, &time), 2) << line;
    ASSERT_LT(lines, kKeyTrackSize);
    EXPECT_EQ(keyTrack.keys[lines], key) << line;
    EXPECT_EQ(keyTrack.times[lines], time) << line;
    ++lines;
  }
  EXPECT_GT(lines, 100);
  EXPECT_EQ(count, lines);
}

TEST(KeyTrack, ReplayFiresEachEntryOnceAfterItsTimeInFileOrder) {
  Load("^ 0\n& 2\n* 2\nz -5\n  1 0\n");
  ShowState show;
  const DirectorState& director = show.director;
  ReplayKeyTrack(show, 0);  // only the negative time has passed
  EXPECT_EQ(director.fieldOfView, 65);
  EXPECT_TRUE(show.keysFired[3]);
  EXPECT_FALSE(show.keysFired[0]);
  EXPECT_EQ(keyTrack.times[3], -5.0f);  // the track itself stays as read
  ReplayKeyTrack(show, 2);  // 2 has not passed at 2
  EXPECT_EQ(director.fieldOfView, 20);
  EXPECT_EQ(director.pulseALevel, 0.2f);
  ReplayKeyTrack(show, 2.5f);
  EXPECT_EQ(director.fieldOfView, 80);  // & then *
  show.director.fieldOfView = 1;
  ReplayKeyTrack(show, 3);
  EXPECT_EQ(director.fieldOfView, 1);
  // A blank is consumed without effect; the end mark stops the scan.
  Load(" 1\n^ 1\n& 1\n");
  keyTrack.times[2] = kKeyTrackEnd;
  ShowState fresh;
  fresh.clock.demoTime = 99;
  ReplayKeyTrack(fresh, 5);
  EXPECT_EQ(fresh.director.beatTime, 0);
  EXPECT_EQ(fresh.director.fieldOfView, 20);
  EXPECT_TRUE(fresh.keysFired[0]);
}

TEST(KeyTrack, RecordedLiveKeysReplayToTheSameState) {
  const std::string path = ::testing::TempDir() + "recorded.dat";
  std::remove(path.c_str());  // the recorder appends
  setenv("KELVANE_RECORD", path.c_str(), 1);
  StartKeyRecording();
  unsetenv("KELVANE_RECORD");
  const struct {
    unsigned char key;
    float seconds;
  } presses[] = {{'^', 0.5f}, {'{', 1.25f}, {' ', 1.5f}, {'8', 2.0f},
                 {'1', 2.75f}, {'A', 3.0f}, {'-', 3.5f}, {'\n', 3.6f}};
  ShowState show;
  for (const auto& p : presses) {
    show.clock.demoTime = p.seconds * 10;
    RecordLiveKey(p.key, p.seconds);
    HandleKey(show, p.key);
  }
  EXPECT_TRUE(FinishKeyRecording());
  const DirectorState live = show.director;
  ASSERT_EQ(LoadKeyTrack(path.c_str()), 6);  // blanks are not recorded
  ShowState replay;
  DirectorState& director = replay.director;
  for (float s = 0; s < 5; s += 0.01f) {
    replay.clock.demoTime = s * 10;
    ReplayKeyTrack(replay, s);
  }
  EXPECT_NEAR(director.pulseAStamp, live.pulseAStamp, 0.2);  // stamps within a frame
  EXPECT_NEAR(director.beatTime, live.beatTime, 0.2);
  director.pulseAStamp = live.pulseAStamp, director.beatTime = live.beatTime;
  EXPECT_EQ(std::memcmp(&director, &live, sizeof live), 0);
}
}  // namespace
