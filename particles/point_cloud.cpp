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
void DrawCloudArray(const PointCloudState& cloud, GLenum mode, int first, int count) {
  glVertexPointer(3, GL_DOUBLE, 0, cloud.positions);
  glEnableClientState(GL_VERTEX_ARRAY);
  glDrawArrays(mode, first, count);
  glDisableClientState(GL_VERTEX_ARRAY);
}

// The glint's 40 segments, white and wide at f = 1, fading to thin grey.
void DrawGlint(const PointCloudState& cloud, float f) {
  const float g = 1 - f;
  glColor4f(0.95f * g + 0.8f * f, 0.93f * g + 0.8f * f, 0.91f * g + 0.8f * f,
            0.125f * g + 0.8f * f);
  glLineWidth(3 * f + g);
  DrawCloudArray(cloud, GL_LINES, cloud.glintStart, kGlintVertices);
}

// Lines between neighbouring points, brightened by the glint fade f.
void DrawNeighbourLines(const PointCloudState& cloud, float f) {
  std::vector<int> first, second;
  CollectNeighbourPairs(cloud, first, second);
  const float g = 1 - f;
  glColor4f(g + 0.8f * f, 0.98f * g + 0.8f * f, 0.96f * g + 0.8f * f, 0.445f * g + 0.97f * f);
  glBegin(GL_LINES);
  for (size_t k = 0; k < first.size(); ++k) {
    const double* p = cloud.positions[first[k]];
    const double* q = cloud.positions[second[k]];
    glVertex3f(static_cast<float>(p[0]), static_cast<float>(p[1]), static_cast<float>(p[2]));
    glVertex3f(static_cast<float>(q[0]), static_cast<float>(q[1]), static_cast<float>(q[2]));
  }
  glEnd();
}

// One star pass; a pass that names a colour number (1 to 7) takes its
// random colour in the first post window and keeps the current colour otherwise.
void DrawStarPass(const PointCloudState& cloud, const PointCloudLook& look, int colour,
                  bool randomColours, float size, int first, int count) {
  glPointSize(size);
  if (colour != 0 && randomColours) glColor4fv(look.starColours[colour - 1]);
  DrawCloudArray(cloud, GL_POINTS, first, count);
}

// The second and third star groups sit nearer the centre, turned a little.
void ShrinkAndTurnStars() {
  glScalef(0.6f, 0.6f, 0.6f);
  glRotatef(15, 0.4f, 0.5f, 1);
}
}  // namespace

void DrawPointCloud(const PointCloudState& cloud, const PointCloudLook& look, float t) {
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glEnable(GL_POINT_SMOOTH);
  glHint(GL_POINT_SMOOTH_HINT, GL_NICEST);
  glColor4f(0.25f, 0.23f, 0.21f, 0.025f);
  glLineWidth(1);
  // The web: consecutive points joined in pairs.
  if (t > 700 && t < 1570) {
    glPointSize(1);
    DrawCloudArray(cloud, GL_LINES, 0, kCloudPoints);
  }
  if (kCloseUpWindow.Holds(t)) DrawGlint(cloud, look.glintFade[kCloseUpGlint]);
  // Nothing in the frame a new glint starts (its fade is then exactly 1).
  if (kSoftBodyPause.Holds(t) && look.glintFade[kPauseGlint] != 1)
    DrawGlint(cloud, look.glintFade[kPauseGlint]);
  // The neighbour window steps the glint too, but draws only the lines.
  if (kNeighbourWindow.Holds(t)) DrawNeighbourLines(cloud, look.glintFade[kNeighbourGlint]);
  if (t > kStarsAfter) {
    const bool randomColours = kCloseUpWindow.Holds(t);
    auto pass = [&](int colour, float size, int first, int count) {
      DrawStarPass(cloud, look, colour, randomColours, size, first, count);
    };
    glColor4f(1, 1, 1, 0.8f);
    pass(1, 1, kSmallFirst, kSmallCount);
    pass(0, 3, kMediumFirst, kMediumCount);
    pass(2, 5, kLargeFirst, kLargeCount);
    ShrinkAndTurnStars();
    pass(3, 1, kSmallFirst, kSmallCount);
    pass(0, 6, kMediumFirst, kMediumCount);
    pass(4, 15, kLargeFirst, kLargeCount);
    ShrinkAndTurnStars();
    pass(5, 2, kSmallFirst, kSmallCount);
    pass(6, 17, kMediumFirst, kMediumCount / 2);
    pass(7, 35, kLargeFirst, kLargeCount / 2);
  }
}
