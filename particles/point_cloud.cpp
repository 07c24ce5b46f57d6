// Drawing the point cloud: the web, the glints, the neighbour lines and the
// star passes. Everything except the neighbour lines draws straight from the
// coordinate array as a client-side vertex array of double triples.
#include <vector>

#include "core/gl.h"
#include "core/timeline.h"
#include "particles/point_cloud.h"

namespace {
// The star subsets: small, medium and large stars.
constexpr int kSmallFirst = 0, kSmallCount = 1440;
constexpr int kMediumFirst = 1440, kMediumCount = 50;
constexpr int kLargeFirst = 1490, kLargeCount = 10;
constexpr int kGlintVertices = 80;  // 40 segments from the glint start

// Draws count cloud points from first as one primitive of the vertex array.
void DrawCloudArray(GLenum mode, int first, int count) {
  glVertexPointer(3, GL_DOUBLE, 0, pointCloud.positions);
  glEnableClientState(GL_VERTEX_ARRAY);
  glDrawArrays(mode, first, count);
  glDisableClientState(GL_VERTEX_ARRAY);
}

// The glint's 40 segments, white and wide at f = 1, fading to thin grey.
void DrawGlint(float f) {
  const float g = 1 - f;
  glColor4f(0.95f * g + 0.8f * f, 0.93f * g + 0.8f * f, 0.91f * g + 0.8f * f,
            0.125f * g + 0.8f * f);
  glLineWidth(3 * f + g);
  DrawCloudArray(GL_LINES, pointCloud.glintStart, kGlintVertices);
}

// Lines between neighbouring points, brightened by the glint fade f.
void DrawNeighbourLines(float f) {
  std::vector<int> first, second;
  CollectNeighbourPairs(first, second);
  const float g = 1 - f;
  glColor4f(g + 0.8f * f, 0.98f * g + 0.8f * f, 0.96f * g + 0.8f * f, 0.445f * g + 0.97f * f);
  glBegin(GL_LINES);
  for (size_t k = 0; k < first.size(); ++k) {
    const double* p = pointCloud.positions[first[k]];
    const double* q = pointCloud.positions[second[k]];
    glVertex3f(static_cast<float>(p[0]), static_cast<float>(p[1]), static_cast<float>(p[2]));
    glVertex3f(static_cast<float>(q[0]), static_cast<float>(q[1]), static_cast<float>(q[2]));
  }
  glEnd();
}

// One star pass; a pass that names a colour number (1 to 7) takes a random
// colour in the first post window and keeps the current colour otherwise.
void DrawStarPass(int colour, bool randomColours, float size, int first, int count) {
  glPointSize(size);
  if (colour != 0 && randomColours) {
    float rgba[4];
    RandomStarColour(colour, rgba);
    glColor4fv(rgba);
  }
  DrawCloudArray(GL_POINTS, first, count);
}

// The second and third star groups sit nearer the centre, turned a little.
void ShrinkAndTurnStars() {
  glScalef(0.6f, 0.6f, 0.6f);
  glRotatef(15, 0.4f, 0.5f, 1);
}
}  // namespace

void DrawPointCloud() {
  const float t = demoTime;
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glEnable(GL_POINT_SMOOTH);
  glHint(GL_POINT_SMOOTH_HINT, GL_NICEST);
  glColor4f(0.25f, 0.23f, 0.21f, 0.025f);
  glLineWidth(1);

  // The web: consecutive points joined in pairs.
  if (t > 700 && t < 1570) {
    glPointSize(1);
    DrawCloudArray(GL_LINES, 0, kCloudPoints);
  }
  if (kCloseUpWindow.Holds(t)) DrawGlint(StepGlint(pointCloud.glintCounters[0], t));
  if (kSoftBodyPause.Holds(t)) {
    // Nothing in the frame a new glint starts (its fade is then exactly 1).
    const float f = StepGlint(pointCloud.glintCounters[1], t);
    if (f != 1) DrawGlint(f);
  }
  // The neighbour window steps the glint too, but draws only the lines.
  if (kNeighbourWindow.Holds(t)) DrawNeighbourLines(StepGlint(pointCloud.glintCounters[2], t));

  if (t > 40) {
    const bool randomColours = kCloseUpWindow.Holds(t);
    glColor4f(1, 1, 1, 0.8f);
    DrawStarPass(1, randomColours, 1, kSmallFirst, kSmallCount);
    DrawStarPass(0, randomColours, 3, kMediumFirst, kMediumCount);
    DrawStarPass(2, randomColours, 5, kLargeFirst, kLargeCount);
    ShrinkAndTurnStars();
    DrawStarPass(3, randomColours, 1, kSmallFirst, kSmallCount);
    DrawStarPass(0, randomColours, 6, kMediumFirst, kMediumCount);
    DrawStarPass(4, randomColours, 15, kLargeFirst, kLargeCount);
    ShrinkAndTurnStars();
    DrawStarPass(5, randomColours, 2, kSmallFirst, kSmallCount);
    DrawStarPass(6, randomColours, 17, kMediumFirst, kMediumCount / 2);
    DrawStarPass(7, randomColours, 35, kLargeFirst, kLargeCount / 2);
  }
}
