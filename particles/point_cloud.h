// The point cloud: 1500 stars drifting through a periodic cube of edge 36,
// drawn as soft points with a web, glints and neighbour lines.
#pragma once
#include <vector>

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
extern PointCloudState pointCloud;

// Scatters the points once at start-up (standard library rand), velocities 0.
void ScatterPointCloud();
// Moves every point by step x its velocity (the second stream reseeded with
// 1000 each frame), wrapping.
void UpdatePointCloud(double step);
// Draws the web, glints, neighbour lines and star passes for the demo time.
void DrawPointCloud();

// Counts one frame on a window's counter (every 27th frame starts a new glint
// at demo time t) and returns the glint's squared fade f = a^2 in [0, 1].
float StepGlint(int& counter, float t);

// The pairs (i, j) of cloud points, j - i even and positive, closer than 2.3
// (distance in double, compared in single precision), in the order of the
// plain double loop: i ascending, then j ascending. Uses a uniform grid.
void CollectNeighbourPairs(std::vector<int>& first, std::vector<int>& second);

// Star colour number 1 to 7 as a random colour: four RandomUnit draws.
void RandomStarColour(int colour, float rgba[4]);
