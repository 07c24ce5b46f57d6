#include "scenes/loader_screen.h"

#include <cmath>
#include <cstdint>

#include "core/gl.h"
#include "overlays/quads.h"
#include "overlays/textures.h"

namespace {
// Five progress ribbons: straight to the middle of the screen, then waving
// with growing amplitude, one thousandth of the screen per quad.
void DrawProgressRibbons(const LoaderState& loader) {
  BeginUnitSquare();
  glEnable(GL_BLEND);
  glDisable(GL_COLOR_MATERIAL);
  glDisable(GL_TEXTURE_2D);
  const float progress =
      1 - (kLastLoadStep - (loader.loadCounter + loader.loadAccumulator)) / kLastLoadStep;
  for (int r = 0; r < 5; ++r) {
    glPushMatrix();
    glColor4f(0.2f + 0.2f * r, 1 - 0.14f * r, 1 - 0.4f * r, 0.85f + 0.05f * r);
    glTranslatef(0, 0.3f, 0);
    glScalef(1, 0.005f, 1);
    glTranslatef(0, 2.0f * r, 0);
    glScalef(0.001f, 1, 1);
    for (float g = 0; g < progress; g += 0.001f) {
      float y = 0;
      if (g >= 0.5f) {
        float o = (g - 0.5f) * 2;
        y = std::sin((r + 5) * g * 2 * o + 0.2f * r) * 1.3f * o;
      }
      glTranslatef(1, y, 0);
      DrawUnitQuad();
    }
    glPopMatrix();
  }
  glPopMatrix();
}
}  // namespace

void DrawLoaderScreen(const LoaderState& loader) {
  if (loader.loaderClock > kDrawImageAfter) DrawOpaqueTextureQuad(pictures.table[33]);
  if (loader.loaderClock > kLoadAfter) DrawProgressRibbons(loader);
  if (loader.loaderClock >= kDrawImageAfter)
    FadeToBlack(1 - (loader.loaderClock - kDrawImageAfter) / 20);
  // 0.4 s after the last step the screen fades to black over 3.6 s.
  if (loader.loadingFinishedMark) {
    const float finish = loader.finishTime;
    if (loader.loaderClock >= finish + 4)
      FadeToBlack((loader.loaderClock - (finish + 4)) / ((finish + 40) - (finish + 4)));
  }
}
