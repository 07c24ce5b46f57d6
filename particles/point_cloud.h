// The point cloud: 1500 stars drifting through a periodic cube of edge 36,
// drawn as soft points with a web, glints and neighbour lines.
#pragma once

constexpr int kCloudPoints = 1500;
constexpr double kCloudHalfEdge = 18.0;

extern double cloudPositions[kCloudPoints][3];   // also read by the cloud lightning
extern double cloudVelocities[kCloudPoints][3];

// Scatters the points once at start-up (standard library rand), velocities 0.
void ScatterPointCloud();
// Moves every point by step x its velocity (srand(1000) each frame), wrapping.
void UpdatePointCloud(double step);
// Draws the web, glints, neighbour lines and star passes for the demo time.
void DrawPointCloud();
