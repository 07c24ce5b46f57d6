// Full-screen 2D layers: each function draws one quad over the whole viewport
// in a unit orthographic projection. The caller is in modelview matrix mode;
// afterwards the modelview matrix is the caller's again, the projection stays
// the unit ortho, and the function's own state changes are left in place.
#pragma once
#include "core/gl.h"

// Push the current (modelview) matrix, unit orthographic projection, identity
// modelview: the common frame of every full-screen layer and pass. The caller
// pops the matrix when done.
void BeginUnitSquare();
// Black layer with the given opacity.
void FadeToBlack(float opacity);
// White layer; opacity above 1 is cut to 1.
void FlashWhite(float opacity);
// Picture layer tinted white with the given opacity.
void DrawTextureQuad(GLuint texture, float opacity);
// Picture layer moved up by yOffset screens.
void DrawTextureQuadShiftedY(GLuint texture, float opacity, float yOffset);
// Picture layer moved by (x, y, z) screens.
void DrawTextureQuadTranslated(GLuint texture, float opacity, float x, float y, float z);
// Picture drawn without blending (the loader image).
void DrawOpaqueTextureQuad(GLuint texture);
// The bare unit quad (0,1),(1,1),(1,0),(0,0) with the first texture row on top.
void DrawUnitQuad();
