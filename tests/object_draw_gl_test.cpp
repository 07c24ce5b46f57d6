// Drawing the simulated objects, read back through GL feedback: the soft
// body's colours and the wire head's spring lines (the ropes' looks are
// pinned by the reference frames).
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <vector>

#include "objects/object_draw.h"
#include "objects/program_objects.h"
#include "tests/gl_context.h"

namespace {
// Feedback under a 200x200 viewport with world coordinates mapped 1:1
// (offset by 100) onto window coordinates; returns the values written.
std::vector<GLfloat> Feedback(GLenum type, const std::function<void()>& draw) {
  static std::vector<GLfloat> buffer(1 << 21);
  testgl::ResetState();
  glViewport(0, 0, 200, 200);
  glScalef(0.01f, 0.01f, 0.01f);
  glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), type, buffer.data());
  glRenderMode(GL_FEEDBACK);
  draw();
  const int n = glRenderMode(GL_RENDER);
  EXPECT_GT(n, 0) << "nothing drawn, or the feedback buffer overflowed";
  testgl::ResetState();
  return std::vector<GLfloat>(buffer.begin(), buffer.begin() + std::max(n, 0));
}
}  // namespace

// Under white ambient light only, with the colour tracked as material, the
// lit triangles and points show the colour they are drawn in: the mass
// points red, the spring lines (drawn unlit) grey.
TEST(ObjectDraw, SoftBodyPointsAreRedAndSpringsGrey) {
  const ShowState show = testgl::StartedShow();
  const CSoftObject& softBody = show.softBody;
  const std::vector<GLfloat> f = Feedback(GL_3D_COLOR, [&] {
    const GLfloat white[4] = {1, 1, 1, 1}, none[4] = {0, 0, 0, 1};
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, white);
    glMaterialfv(GL_FRONT, GL_SPECULAR, none);
    glDisable(GL_LIGHT0);
    glDisable(GL_LIGHT1);
    EnableColorMaterial();
    DrawSoftBody(softBody);
    const GLfloat dim[4] = {0.2f, 0.2f, 0.2f, 1};
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, dim);
  });
  size_t points = 0, lines = 0, wrong = 0;
  for (size_t k = 0; k < f.size();) {
    const int token = static_cast<int>(f[k]);
    if (token == GL_POINT_TOKEN) {
      wrong += f[k + 4] != 1 || f[k + 5] != 0 || f[k + 6] != 0;
      ++points;
      k += 8;
    } else if (token == GL_LINE_TOKEN || token == GL_LINE_RESET_TOKEN) {
      wrong += std::fabs(f[k + 4] - 0.5f) > 1e-3 || std::fabs(f[k + 5] - 0.5f) > 1e-3;
      ++lines;
      k += 15;
    } else {
      ASSERT_EQ(token, GL_POLYGON_TOKEN);
      k += 2 + 7 * static_cast<int>(f[k + 1]);
    }
  }
  EXPECT_EQ(points, softBody.points.size());
  EXPECT_EQ(lines, softBody.springs.size());
  EXPECT_EQ(wrong, 0u);
}

// The wire layer's head is the head mesh: one line per spring of it.
TEST(ObjectDraw, WireBodyDrawsTheHeadsSprings) {
  const ShowState show = testgl::StartedShow();
  ASSERT_NE(show.wireBody.springs.size(), show.softBody.springs.size());
  EXPECT_EQ(testgl::PrimitivesGenerated([&] { DrawSpringLines(show.wireBody); }),
            show.wireBody.springs.size());
  testgl::ResetState();
}
