#include "scenes/loader_screen.h"

#include <cmath>
#include <cstdint>

#include "core/audio.h"
#include "core/gl.h"
#include "core/ticks.h"
#include "overlays/quads.h"
#include "overlays/textures.h"

LoaderState loader;

namespace {
// Loader clock values are tenths of a second of wall time since the first
// loader frame.
constexpr float kDrawImageAfter = 10;  // the loader image appears (and fades in)
constexpr float kLoadAfter = 45;       // asset steps and progress ribbons start
constexpr int kLastStep = 84;          // the counter passes this when all is loaded

// Five progress ribbons: straight to the middle of the screen, then waving
// with growing amplitude, one thousandth of the screen per quad.
void DrawProgressRibbons() {
  BeginUnitSquare();
  glEnable(GL_BLEND);
  glDisable(GL_COLOR_MATERIAL);
  glDisable(GL_TEXTURE_2D);
  const float progress =
      1 - (kLastStep - (loader.loadCounter + loader.loadAccumulator)) / kLastStep;
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

void RunLoaderScreen() {
  if (!loader.firstTickTaken) {
    loader.firstTickTaken = true;
    loader.firstLoaderTick = TickCountMs();
  }
  loader.previousLoaderClock = loader.loaderClock;
  // Unsigned difference first, so a counter wrap between readings is harmless.
  loader.loaderClock = static_cast<float>(TickCountMs() - loader.firstLoaderTick) / 100;

  // One asset step per 0.1 s of loader clock, at most one per frame.
  if (loader.loaderClock > kLoadAfter) {
    loader.loadAccumulator += loader.loaderClock - loader.previousLoaderClock;
    if (loader.loadAccumulator > 1) {
      loader.loadAccumulator = 0;
      if (loader.loadCounter <= kLastStep) ++loader.loadCounter;
      LoadAssetStep(loader.loadCounter);
    }
  }
  if (loader.loadCounter > kLastStep && loader.loadingFinishedMark == 0) {
    loader.loadingFinishedMark = 2;
    loader.finishTime = loader.loaderClock;
  }

  if (loader.loaderClock > kDrawImageAfter) DrawOpaqueTextureQuad(pictureTable[33]);
  if (loader.loaderClock > kLoadAfter) DrawProgressRibbons();
  if (loader.loaderClock >= kDrawImageAfter)
    FadeToBlack(1 - (loader.loaderClock - kDrawImageAfter) / 20);

  // 0.4 s after the last step the screen fades to black over 3.6 s; the main
  // phase begins after that.
  if (loader.loadingFinishedMark) {
    const float finish = loader.finishTime;
    if (loader.loaderClock >= finish + 4)
      FadeToBlack((loader.loaderClock - (finish + 4)) / ((finish + 40) - (finish + 4)));
    if (loader.loaderClock > loader.finishTime + 40) loader.loadingDone = 1;
  }
}

void StartMusic() {
  if (loader.musicStarted) return;
  AudioChannelPlay(musicStream, false);
  loader.loadingDone = 1;
  loader.musicStarted = 1;
}
