// The 1280x720 offscreen render target: framebuffer, scene texture, depth
// buffer, and the rad texture filled once at start-up.
#pragma once
#include "core/gl.h"

constexpr int kRenderWidth = 1280;
constexpr int kRenderHeight = 720;

// The GL names of the render target and the screen, made once at start-up.
struct RenderTargetNames {
  GLuint renderTarget = 0;  // framebuffer object
  GLuint sceneTexture = 0;  // colour attachment 0 every frame
  GLuint depthBuffer = 0;   // depth renderbuffer
  GLuint radTexture = 0;    // second input of the post passes
  // Where a pass that runs while the render target is bound draws, so that it
  // never samples the texture it writes; the pass then swaps this name with
  // sceneTexture.
  GLuint passTexture = 0;
  // The framebuffer the composition draws the screen image into: 0, the
  // window's own; the capture tool sets an off-screen one of the capture size
  // in its place where the screen is too small for a window of that size.
  GLuint screenFramebuffer = 0;
};
extern RenderTargetNames targets;

// The window's size as GLUT last reported it; the composition fits the
// picture into it.
extern int windowWidth;
extern int windowHeight;

// Creates the four objects once; leaves the render target bound.
void CreateRenderTarget();
