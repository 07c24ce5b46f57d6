#include "runtime/director.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

#include "runtime/random.h"
#include "runtime/timeline.h"

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
