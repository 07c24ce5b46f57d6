// The point cloud: 1500 stars drifting through a periodic cube of edge 36,
// drawn as soft points with a web, glints and neighbour lines.
#pragma once
#include <vector>

#include "core/random.h"

constexpr int kCloudPoints = 1500;
constexpr double kCloudHalfEdge = 18.0;

// Everything of the point cloud that changes while the show plays, as one
// value that can be copied and restored.
struct PointCloudState {
  double positions[kCloudPoints][3] = {};   // also read by the cloud lightning
  double velocities[kCloudPoints][3] = {};
  // Glint state, shared by the three glint windows: the first of the 80 glint
  // vertices (0, 100, ..., 1400), the demo time the last glint started, and
  // one frame counter per window (the close-up, the soft-body pause, the
  // neighbour window).
  int glintStart = 0;
  float glintTime = -1.0f;
  int glintCounters[3] = {0, 0, 0};
};
// The glint windows, by their counters.
constexpr int kCloseUpGlint = 0, kPauseGlint = 1, kNeighbourGlint = 2;
constexpr int kStarColours = 7;    // colour numbers 1 to 7 of the star passes
constexpr float kStarsAfter = 40;  // the star passes draw after this demo time

// What one frame's drawing of the cloud shows beyond the points, as its step
// decided: the fade of each glint window that holds, and the colours of the
// star passes in the close-up window.
struct PointCloudLook {
  float glintFade[3] = {0, 0, 0};
  float starColours[kStarColours][4] = {};
};

// Scatters the points once at start-up (the C library sequence), velocities 0.
void ScatterPointCloud(PointCloudState& cloud, LibcRandom& random);
// Moves every point by step x its velocity at demo time t (the sequence
// reseeded with 1000 each frame), wrapping.
void UpdatePointCloud(PointCloudState& cloud, LibcRandom& random, double step, float t);
// The drawing's step at demo time t: the glint counters of the windows that
// hold, and in the close-up window the star colours from the generator.
void StepPointCloudLook(PointCloudState& cloud, Mt19937State& generator, float t,
                        PointCloudLook& look);
// Draws the web, glints, neighbour lines and star passes for demo time t.
void DrawPointCloud(const PointCloudState& cloud, const PointCloudLook& look, float t);

// Counts one frame on a glint window's counter (every 27th frame starts a
// new glint at demo time t) and returns the glint's squared fade f = a^2 in [0, 1].
float StepGlint(PointCloudState& cloud, int window, float t);

// The pairs (i, j) of cloud points, j - i even and positive, closer than 2.3
// (distance in double, compared in single precision), in the order of the
// plain double loop: i ascending, then j ascending. Uses a uniform grid.
void CollectNeighbourPairs(const PointCloudState& cloud, std::vector<int>& first,
                           std::vector<int>& second);

// Star colour number 1 to 7 as a random colour: four draws.
void RandomStarColour(Mt19937State& generator, int colour, float rgba[4]);
