#include "runtime/director.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <random>
#include <vector>

#include "objects/program_objects.h"

#include "core/random.h"
#include "core/timeline.h"

namespace {
void ResetDirector(double now = 0) {
  director = DirectorState{};
  demoTime = static_cast<float>(now);
  demoTimeDouble = now;
}

void Keys(const char* keys) {
  for (const char* k = keys; *k; ++k) HandleKey(static_cast<unsigned char>(*k));
}
}  // namespace

TEST(Director, FieldOfViewKeys) {
  struct Row { unsigned char key; float fov; };
  const Row rows[] = {{'^', 20}, {'&', 40}, {'*', 80}, {'z', 65}};
  for (const Row& row : rows) {
    ResetDirector();
    HandleKey(row.key);
    EXPECT_EQ(director.fieldOfView, row.fov) << row.key;
  }
}

TEST(Director, PulseKeysSetLevelAndStampTheDemoTime) {
  struct Row {
    unsigned char key;
    std::function<float()> level, stamp;
    float expectedLevel;
  };
  const Row rows[] = {
      {'1', [] { return director.pulseALevel; }, [] { return director.pulseAStamp; }, 0.2f},
      {'3', [] { return director.pulseALevel; }, [] { return director.pulseAStamp; }, 0.6f},
      {'m', [] { return director.pulseBLevel; }, [] { return director.pulseBStamp; }, 0.2f},
      {',', [] { return director.pulseBLevel; }, [] { return director.pulseBStamp; }, 0.5f},
      {'.', [] { return director.pulseBLevel; }, [] { return director.pulseBStamp; }, 1.0f},
      {'t', [] { return director.pulseDLevel; }, [] { return director.pulseDStamp; }, 0.2f},
  };
  for (const Row& row : rows) {
    ResetDirector(431.5);
    HandleKey(row.key);
    EXPECT_FLOAT_EQ(row.level(), row.expectedLevel) << row.key;
    EXPECT_FLOAT_EQ(row.stamp(), 431.5f) << row.key;
  }
  ResetDirector(512);
  HandleKey('s');
  EXPECT_EQ(director.pulseCStamp, 512);
}

TEST(Director, TurnIndicesWrapBothWays) {
  ResetDirector();
  int seen[5];
  for (int i = 0; i < 5; ++i) { seen[i] = director.turnIndexA; HandleKey('{'); }
  EXPECT_EQ((std::vector<int>(seen, seen + 5)), (std::vector<int>{0, 1, 2, 3, 0}));
  ResetDirector();
  for (int i = 0; i < 5; ++i) { seen[i] = director.turnIndexA; HandleKey('}'); }
  EXPECT_EQ((std::vector<int>(seen, seen + 5)), (std::vector<int>{0, 3, 2, 1, 0}));
  ResetDirector();
  Keys("UYYR");
  EXPECT_EQ(director.turnIndexB, 1);
  EXPECT_EQ(director.turnIndexC, 1);
  Keys("TT");
  EXPECT_EQ(director.turnIndexC, 3);
}

TEST(Director, AnglesAndToggles) {
  ResetDirector(50);
  Keys("ABCDEEF");
  EXPECT_EQ(director.angleAB, 110 - 210);
  EXPECT_EQ(director.angleCD, 310 - 10);
  EXPECT_EQ(director.angleEF, 10);
  Keys("?87upi=GIH");
  EXPECT_EQ(director.layerSwitch1, 0);
  EXPECT_EQ(director.layerSwitch2, 1);
  EXPECT_EQ(director.ropeASwing, 1);
  EXPECT_EQ(director.ropeBSwing, 1);
  EXPECT_EQ(director.ropeDrawFlag, 0);
  EXPECT_EQ(director.blendSwitch, 0);
  EXPECT_EQ(director.beatTime, 50);  // i marks a beat as well
  EXPECT_EQ(director.effectSwitch, 1);
  EXPECT_EQ(director.ropeDrawMode, 3);
  Keys("?8i");
  EXPECT_EQ(director.layerSwitch1, 1);
  EXPECT_EQ(director.layerSwitch2, 0);
  EXPECT_EQ(director.blendSwitch, 1);
}

TEST(Director, KeysWithoutActionChangeNothing) {
  ResetDirector(77);
  RandomSeed(38);
  srand(9);
  int expectedRand = rand();
  srand(9);
  // Keys of the table without an action, a key outside it, bytes outside 27..125.
  Keys("o>clkv/Q~");
  HandleKey(0);
  HandleKey(26);
  HandleKey(126);
  HandleKey(200);
  DirectorState fresh;
  EXPECT_EQ(memcmp(&director, &fresh, sizeof fresh), 0);
  EXPECT_EQ(rand(), expectedRand);  // no hidden draws either
}

TEST(Director, BlankMarksTheBeatAndDDrawsOneRand) {
  ResetDirector(123);
  HandleKey(' ');
  EXPECT_EQ(director.beatTime, 123);
  srand(4);
  rand();
  int second = rand();
  srand(4);
  HandleKey('d');
  EXPECT_EQ(rand(), second);
}

TEST(DirectorDeathTest, EscapeEndsTheProcessWithStatusZero) {
  EXPECT_EXIT(HandleKey(27), ::testing::ExitedWithCode(0), "");
}

namespace {
struct RopePose {
  double x, z;
  float a, b;
};
RopePose Pose(const CRopeObject& rope) {
  return {rope.centre[0], rope.centre[2], rope.angleA, rope.angleB};
}
void ResetRopes() {
  for (CRopeObject* rope : {&ropeA, &ropeB}) {
    rope->centre[0] = rope->centre[1] = rope->centre[2] = 0;
    rope->angleA = rope->angleB = 0;
    rope->PlaceRoots();
  }
}
}  // namespace

TEST(Director, RopeMovesByKey) {
  struct Row {
    unsigned char key;
    RopePose a, b;
    float fov;
  };
  const Row rows[] = {
      {'[', {-0.02, 0, 0.1f, 0}, {-0.015, 0, -0.15f, 0}, 45},
      {']', {0.02, 0, 0, 0}, {0.015, 0, 0.15f, 0}, 88},
      {'a', {0, 0, 0.1f, 0}, {0, 0, 0.15f, 0}, 88},
      {'f', {0.02, 0, 0.015f, 0}, {0, 0, 0.15f, 0}, 88},
      {'n', {0, 0, 0.02f, 0.04f}, {0, 0, 0.02f, 0.02f}, 88},
      {'h', {0, 0, 0, 0}, {0, 0, -0.02f, -0.01f}, 55},
      {'2', {0, 0, 0, -0.01f}, {0, 0, 0, 0}, 88},
      {'r', {0, -0.005, 0, 0}, {0, -0.005, 0, 0}, 88},
      {'e', {0, 0.005, 0, -0.01f}, {0, -0.005, 0, 0.01f}, 88},
      {'y', {0, 0, 0, -0.01f}, {0, 0, 0, 0}, 88},
      {'+', {0, 0.01, 0, 0}, {0, 0.01, 0, 0}, 88},
      {'-', {0, -0.01, 0, 0}, {0, -0.01, 0, 0}, 88},
  };
  for (const Row& row : rows) {
    ResetDirector();
    ResetRopes();
    HandleKey(row.key);
    RopePose a = Pose(ropeA), b = Pose(ropeB);
    EXPECT_DOUBLE_EQ(a.x, row.a.x) << row.key;
    EXPECT_DOUBLE_EQ(a.z, row.a.z) << row.key;
    EXPECT_FLOAT_EQ(a.a, row.a.a) << row.key;
    EXPECT_FLOAT_EQ(a.b, row.a.b) << row.key;
    EXPECT_DOUBLE_EQ(b.x, row.b.x) << row.key;
    EXPECT_DOUBLE_EQ(b.z, row.b.z) << row.key;
    EXPECT_FLOAT_EQ(b.a, row.b.a) << row.key;
    EXPECT_FLOAT_EQ(b.b, row.b.b) << row.key;
    EXPECT_EQ(director.fieldOfView, row.fov) << row.key;
  }
}

TEST(Director, PlaceRootsOnlyWhereTheKeySaysSo) {
  // ']' re-seats both ropes: their roots follow the new centre at once.
  ResetDirector();
  ResetRopes();
  double rootX = ropeA.grid[0][5]->position.x;
  HandleKey(']');
  EXPECT_NEAR(ropeA.grid[0][5]->position.x, rootX + 0.02, 1e-6);
  // '+' moves the centres without re-seating: the roots stay.
  double rootZ = ropeB.grid[0][5]->position.z;
  HandleKey('+');
  EXPECT_DOUBLE_EQ(ropeB.grid[0][5]->position.z, rootZ);
  // 'r' re-seats ropeA only.
  double bRootZ = ropeB.grid[0][7]->position.z;
  double aRootZ = ropeA.grid[0][7]->position.z;
  HandleKey('r');
  EXPECT_NEAR(ropeA.grid[0][7]->position.z, aRootZ + 0.01 - 0.005, 1e-6);
  EXPECT_DOUBLE_EQ(ropeB.grid[0][7]->position.z, bRootZ);
  // ';' centres both ropes without re-seating.
  HandleKey(';');
  EXPECT_EQ(ropeA.centre[0], 0);
  EXPECT_EQ(ropeB.centre[2], 0);
  EXPECT_EQ(director.fieldOfView, 38);
  ResetRopes();
}

TEST(Director, RandomDrawsOfREAndY) {
  ResetDirector(300);
  ResetRopes();
  RandomSeed(38);
  std::mt19937 reference(38);
  HandleKey('r');
  EXPECT_FLOAT_EQ(director.pulseFRandom, static_cast<float>(reference() * 2.3283064365386963e-10));
  EXPECT_EQ(director.pulseFStamp, 300);
  HandleKey('e');
  EXPECT_FLOAT_EQ(director.pulseGRandom, static_cast<float>(reference() * 2.3283064365386963e-10));
  HandleKey('y');
  reference(); reference(); reference();
  EXPECT_EQ(RandomU32(), reference());  // y took exactly three draws
  ResetRopes();
}

TEST(Director, TextureStepWrapsFrom27To6ForPlusAndMinus) {
  ResetDirector(10);
  ResetRopes();
  std::vector<int> steps;
  for (int i = 0; i < 23; ++i) {
    HandleKey(i % 2 ? '-' : '+');
    steps.push_back(director.textureStep);
  }
  EXPECT_EQ(steps.front(), 7);
  EXPECT_EQ(steps[20], 27);
  EXPECT_EQ(steps[21], 6);
  EXPECT_EQ(steps[22], 7);
  EXPECT_EQ(director.beatTime, 10);
  ResetRopes();
}
