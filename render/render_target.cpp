#include "render/render_target.h"

#include <cstdio>

RenderTargetNames targets;
int windowWidth = 1280;
int windowHeight = 720;

namespace {
// A 1280x720 RGB texture, level 0 only, no data, linear filters; left bound.
GLuint CreateScreenTexture() {
  GLuint name = 0;
  glGenTextures(1, &name);
  glBindTexture(GL_TEXTURE_2D, name);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, kRenderWidth, kRenderHeight, 0, GL_RGB,
               GL_UNSIGNED_BYTE, nullptr);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  return name;
}
}  // namespace

void CreateRenderTarget() {
  glGenFramebuffers(1, &targets.renderTarget);
  glBindFramebuffer(GL_FRAMEBUFFER, targets.renderTarget);

  targets.sceneTexture = CreateScreenTexture();

  glGenRenderbuffers(1, &targets.depthBuffer);
  glBindRenderbuffer(GL_RENDERBUFFER, targets.depthBuffer);
  glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT, kRenderWidth, kRenderHeight);
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER,
                            targets.depthBuffer);

  glFramebufferTexture(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, targets.sceneTexture, 0);
  const GLenum drawBuffer = GL_COLOR_ATTACHMENT0;
  glDrawBuffers(1, &drawBuffer);

  if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
    printf("Problems with framebuffer amiga rulez\n");
    return;
  }
  targets.radTexture = CreateScreenTexture();
  // The second colour buffer of the passes that run inside the render target.
  targets.passTexture = CreateScreenTexture();
}
