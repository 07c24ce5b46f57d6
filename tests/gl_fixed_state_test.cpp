// The GL state a checkpoint carries: read back after the drawing left it
// somewhere unusual and put back over a context left elsewhere, it reads the
// same again, field for field, and what it sets shows in GL's own readings;
// a checkpoint restores it with the show.
#include <gtest/gtest.h>

#include <cstring>

#include "render/gl_fixed_state.h"
#include "runtime/checkpoint.h"
#include "tests/gl_context.h"

namespace {
// Leaves the context as a frame might: lights placed under a turned
// model-view, colour tracking over a red material, the second texture unit
// bound and active, a blend, sizes and a current colour, normal and
// texture coordinate that differ per `variant`.
void LeaveUnusualState(float variant) {
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glRotatef(30 * variant, 0, 1, 0);
  const GLfloat position[4] = {variant, 2, 3, 1};
  glLightfv(GL_LIGHT1, GL_POSITION, position);
  const GLfloat ambient[4] = {0.1f * variant, 0.2f, 0.3f, 1};
  glLightfv(GL_LIGHT0, GL_AMBIENT, ambient);
  const GLfloat red[4] = {1, 0, 0, 1};
  glMaterialfv(GL_FRONT, GL_DIFFUSE, red);
  glMaterialf(GL_BACK, GL_SHININESS, 10 * variant);
  glColorMaterial(GL_FRONT, variant > 1 ? GL_DIFFUSE : GL_AMBIENT_AND_DIFFUSE);
  glEnable(GL_COLOR_MATERIAL);
  glColor4f(0.5f, 0.25f * variant, 0.125f, 0.75f);
  glDisable(GL_COLOR_MATERIAL);
  glNormal3f(0, variant, 1);
  glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, variant > 1);
  glBlendFunc(GL_SRC_ALPHA, variant > 1 ? GL_ONE : GL_ONE_MINUS_SRC_ALPHA);
  glEnable(GL_BLEND);
  if (variant > 1) glEnable(GL_LINE_SMOOTH); else glDisable(GL_LINE_SMOOTH);
  glLineWidth(variant);
  glPointSize(2 * variant);
  glClearColor(0.1f, 0.2f * variant, 0.3f, 0);
  glDepthMask(variant > 1 ? GL_FALSE : GL_TRUE);
  glHint(GL_LINE_SMOOTH_HINT, variant > 1 ? GL_NICEST : GL_FASTEST);
  glActiveTexture(GL_TEXTURE1);
  glBindTexture(GL_TEXTURE_2D, testgl::PlainTexture(10, 20, static_cast<int>(30 * variant)));
  glMultiTexCoord2f(GL_TEXTURE1, variant, 0.5f);
  if (variant > 1) glEnable(GL_TEXTURE_2D); else glDisable(GL_TEXTURE_2D);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0, variant, 0, 1, -1, 1);
  glMatrixMode(variant > 1 ? GL_MODELVIEW : GL_PROJECTION);
}

TEST(GlFixedState, ReadsTheSameAfterBeingPutBack) {
  LeaveUnusualState(1);
  const GlFixedState kept = ReadGlFixedState();
  const GlFixedState again = ReadGlFixedState();
  EXPECT_EQ(memcmp(&kept, &again, sizeof kept), 0) << "reading it changed it";

  LeaveUnusualState(2);
  const GlFixedState other = ReadGlFixedState();
  ASSERT_NE(memcmp(&kept, &other, sizeof kept), 0);
  ApplyGlFixedState(kept);
  const GlFixedState back = ReadGlFixedState();
  EXPECT_EQ(memcmp(&kept, &back, sizeof kept), 0);

  // GL's own readings: the light where it was placed in eye space, the
  // colour material's colour, the second unit active with its texture.
  GLfloat position[4];
  glGetLightfv(GL_LIGHT1, GL_POSITION, position);
  EXPECT_FLOAT_EQ(position[0], kept.light[1][3][0]);
  EXPECT_FLOAT_EQ(position[2], kept.light[1][3][2]);
  GLfloat colour[4];
  glGetFloatv(GL_CURRENT_COLOR, colour);
  EXPECT_FLOAT_EQ(colour[1], 0.25f);
  GLint active = 0, mode = 0;
  glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
  glGetIntegerv(GL_MATRIX_MODE, &mode);
  EXPECT_EQ(active, GL_TEXTURE1);
  EXPECT_EQ(mode, GL_PROJECTION);
  glActiveTexture(GL_TEXTURE0);
  testgl::ResetState();
}

TEST(GlFixedState, ACheckpointPutsItBackWithTheShow) {
  ShowState show = testgl::StartedShow();
  LeaveUnusualState(1);
  const Checkpoint checkpoint = TakeCheckpoint(show, RunKey{}, 0, 0);
  LeaveUnusualState(2);
  std::string why;
  ASSERT_TRUE(RestoreCheckpoint(checkpoint, show, &why)) << why;
  const GlFixedState back = ReadGlFixedState();
  EXPECT_EQ(memcmp(&checkpoint.gl, &back, sizeof back), 0);
  // This context has no particle field: its buffer reads and writes failed.
  while (glGetError() != GL_NO_ERROR) {
  }
  glActiveTexture(GL_TEXTURE0);
  testgl::ResetState();
}
}  // namespace
