#include "render/post_passes.h"

#include <cmath>
#include <utility>

#include "overlays/quads.h"
#include "overlays/textures.h"
#include "render/render_target.h"
#include "render/shaders.h"

namespace {
// Unit quad, (0,1) (1,1) (1,0) (0,0), texture coordinates on unit 0 either
// equal to the position (direct) or upside down (flipped).
void DrawScreenQuad(bool flipped) {
  const float corners[4][2] = {{0, 1}, {1, 1}, {1, 0}, {0, 0}};
  glBegin(GL_QUADS);
  for (const auto& c : corners) {
    glTexCoord2f(c[0], flipped ? 1 - c[1] : c[1]);
    glVertex2f(c[0], c[1]);
  }
  glEnd();
}

// A shader pass that draws into the render target would sample the texture it
// writes, which GL leaves undefined. When the render target is the draw
// framebuffer, the pass draws into passTexture instead, which first gets a
// copy of the scene so that pixels the quad does not reach (depth test) keep
// the scene; afterwards the names swap, so sceneTexture holds the result and
// is the one attached. Returns whether the swap is due.
bool RedirectRenderTargetPass() {
  GLint bound = 0;
  glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &bound);
  if (targets.renderTarget == 0 || targets.passTexture == 0 ||
      static_cast<GLuint>(bound) != targets.renderTarget)
    return false;
  glCopyImageSubData(targets.sceneTexture, GL_TEXTURE_2D, 0, 0, 0, 0, targets.passTexture,
                     GL_TEXTURE_2D, 0, 0, 0, 0, kRenderWidth, kRenderHeight, 1);
  glFramebufferTexture(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, targets.passTexture, 0);
  return true;
}

// The shape shared by DofPass and MultiplyPass: program with "t", scene
// texture on unit 0 (direct), the second texture on unit 1 (flipped).
void ShaderPass(GLuint program, float t, GLuint second) {
  const bool redirected = RedirectRenderTargetPass();
  BeginUnitSquare();
  glUseProgram(program);
  glUniform1f(glGetUniformLocation(program, "t"), t);
  glEnable(GL_TEXTURE_2D);
  glDisable(GL_BLEND);
  glActiveTexture(GL_TEXTURE0);
  glUniform1i(glGetUniformLocation(program, "tex0"), 0);
  glBindTexture(GL_TEXTURE_2D, targets.sceneTexture);
  glActiveTexture(GL_TEXTURE1);
  glUniform1i(glGetUniformLocation(program, "tex1"), 1);
  glBindTexture(GL_TEXTURE_2D, second);
  glActiveTexture(GL_TEXTURE0);

  glColor4f(1, 1, 1, 1);
  const float corners[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
  glBegin(GL_QUADS);
  for (const auto& c : corners) {
    glMultiTexCoord2f(GL_TEXTURE0, c[0], c[1]);
    glMultiTexCoord2f(GL_TEXTURE1, c[0], 1 - c[1]);
    glVertex2f(c[0], c[1]);
  }
  glEnd();
  glPopMatrix();
  glUseProgram(0);
  if (redirected) std::swap(targets.sceneTexture, targets.passTexture);
}
}  // namespace

void CopyPass() {
  BeginUnitSquare();
  glEnable(GL_TEXTURE_2D);
  glColor4f(1, 1, 1, 1);
  glBindTexture(GL_TEXTURE_2D, targets.sceneTexture);
  DrawScreenQuad(false);
  glPopMatrix();
}

void DofPass(float demoTime) {
  // Focus breathes with the music: 0..20, period about 62.8 tenths of a second.
  const float t = static_cast<float>((std::sin(demoTime * 0.1) + 1.0) * 10.0);
  ShaderPass(programs.dof, t, targets.radTexture);
}

void MultiplyPass(GLuint image, float value) { ShaderPass(programs.multiply, value, image); }

void FlashOverlayPass(GLuint overlay, float demoTime, float switchTime) {
  BeginUnitSquare();
  glDisable(GL_DEPTH_TEST);
  glEnable(GL_TEXTURE_2D);
  glEnable(GL_BLEND);
  glColor4f(1, 1, 1, 1);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glBindTexture(GL_TEXTURE_2D, targets.sceneTexture);
  DrawScreenQuad(true);  // the scene has no alpha: it covers everything

  // The overlay shrinks from 1.25 to 1 times full size and fades from 0.7 to
  // nothing over the 6 tenths of a second after the latest re-pick.
  float c = (demoTime - switchTime) / 6;
  if (c > 1) c = 1;
  const float d = std::sqrt((2 - c) * c);
  const float s = 1.25f - 0.25f * d;
  glTranslatef(0.5f, 0.5f, 0);
  glScalef(s, s, 1);
  glTranslatef(-0.5f, -0.5f, 0);
  glColor4f(1, 1, 1, 0.7f - 0.7f * d);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glEnable(GL_TEXTURE_2D);
  glBindTexture(GL_TEXTURE_2D, overlay);
  DrawScreenQuad(true);
  glPopMatrix();
  glUseProgram(0);
}

void PanelPass() {
  glPushAttrib(0xFFFFF);
  glDisable(GL_DEPTH_TEST);
  glEnable(GL_TEXTURE_2D);
  glEnable(GL_BLEND);
  glColor4f(1, 1, 1, 1);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  BeginUnitSquare();
  glBindTexture(GL_TEXTURE_2D, pictures.panel);
  DrawScreenQuad(false);
  glPopMatrix();
  glPopAttrib();
}
