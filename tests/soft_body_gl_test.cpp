// The soft body drawn: the shipped mesh stepped through part of its window
// and drawn with the soft-body lights, saved as PNGs to look at; the frames
// must show the body, and its outline must change from picture to picture.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "core/timeline.h"
#include "objects/object_draw.h"
#include "objects/object_steps.h"
#include "runtime/frame_steps.h"
#include "scenes/scene_lights.h"
#include "tests/gl_context.h"

namespace {
// Draws the body as the soft-body layer frames it (camera at the origin,
// body 3 units ahead, scale 2.25 x 0.4) and returns the pixels it covers.
int DrawFrame(CSoftObject& body, float t) {
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  glViewport(0, 0, testgl::kWidth, testgl::kHeight);
  glClearColor(0.05f, 0.05f, 0.08f, 1);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(88.0, 1280.0 / 720.0, 0.1, 10.0);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glTranslatef(0, 0, -3);
  glScalef(2.25f, 2.25f, 2.25f);
  BeginSoftBodyLighting();
  glRotatef(1.3f * t, 0.01f, 0.15f, 0.02f);
  glScalef(0.4f, 0.4f, 0.4f);
  glEnable(GL_DEPTH_TEST);
  DrawSoftBody(body);
  glFinish();
  int covered = 0;
  const std::vector<unsigned char> rgb = testgl::ReadRgb();
  for (size_t k = 0; k + 2 < rgb.size(); k += 3)  // the clear colour is (13, 13, 20)
    if (std::abs(rgb[k] - 13) > 8 || std::abs(rgb[k + 1] - 13) > 8 || std::abs(rgb[k + 2] - 20) > 8)
      ++covered;
  return covered;
}

// The body is drawn black under colour material right after the layers
// before it set a white material: the black must hold from the first
// triangle, so the lit quad shows no ambient or diffuse light.
TEST(SoftBodyGl, ColourMaterialTakesTheColourAtOnce) {
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  glViewport(0, 0, testgl::kWidth, testgl::kHeight);
  glClearColor(0, 0, 1, 1);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  const GLfloat white[] = {1, 1, 1, 1}, red[] = {1, 0, 0, 1}, none[] = {0, 0, 0, 1};
  const GLfloat towardViewer[] = {0, 0, 1, 0};
  glDisable(GL_COLOR_MATERIAL);
  glMaterialfv(GL_FRONT, GL_AMBIENT, white);
  glMaterialfv(GL_FRONT, GL_DIFFUSE, white);
  glMaterialfv(GL_FRONT, GL_SPECULAR, none);
  glColor3f(0, 0, 0);
  EnableColorMaterial();
  glMaterialfv(GL_FRONT, GL_AMBIENT, red);  // tracked: the colour wins
  glMaterialfv(GL_FRONT, GL_DIFFUSE, red);
  glLightfv(GL_LIGHT0, GL_POSITION, towardViewer);
  glLightfv(GL_LIGHT0, GL_DIFFUSE, white);
  glEnable(GL_LIGHTING);
  glEnable(GL_LIGHT0);
  glBegin(GL_TRIANGLES);
  glNormal3f(0, 0, 1);
  glVertex2f(-1, -1);
  glVertex2f(1, -1);
  glVertex2f(0, 1);
  glEnd();
  glFinish();
  const std::array<int, 4> centre = testgl::ReadPixel(testgl::kWidth / 2, testgl::kHeight / 2);
  EXPECT_LT(centre[0], 8);
  EXPECT_LT(centre[1], 8);
  EXPECT_LT(centre[2], 8) << "the triangle is not drawn over the blue clear colour";
  testgl::ResetState();
}

TEST(SoftBodyGl, BreathingBodyFrames) {
  const std::string path = std::string(KELVANE_RUN_DIR) + "/Objects/obj4flak1bone.lwo";
  if (FILE* f = fopen(path.c_str(), "rb")) {
    fclose(f);
  } else {
    GTEST_SKIP() << path << " not generated";
  }
  CSoftObject body(0, 0, 0, 41100, 60, path.c_str(), 826320, 0.05f, 1.0f);
  const std::string outDir = std::string(KELVANE_RUN_DIR) + "/../test-output/";
  std::filesystem::create_directories(outDir);
  softBodyPhase = 0;
  int previous = -1, changes = 0;
  // 30 frames per second from T = 640; a picture every 15 frames.
  for (int f = 0; f < 240; ++f) {
    const float t = 640 + f / 3.0f;
    StepSoftBodyFrame(body, t);
    if (f % 15 != 14) continue;
    const int lit = DrawFrame(body, t);
    // About 1.5 units across, seen from 3 units at 88 degrees: some 20 000 pixels.
    EXPECT_GT(lit, 10000) << "frame " << f;
    if (previous >= 0 && lit != previous) ++changes;
    previous = lit;
    char name[64];
    snprintf(name, sizeof name, "softbody_%03d.png", f);
    testgl::SavePng(outDir + name);
  }
  EXPECT_GE(changes, 10) << "the body does not move";
  softBodyPhase = 0;
  testgl::ResetState();
}
}  // namespace
