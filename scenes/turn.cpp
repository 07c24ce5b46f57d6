#include "render/gl.h"
#include "scenes/layers.h"

void ApplyTurn(int turnIndex) {
  if (turnIndex >= 1 && turnIndex <= 3) glRotatef(90.0f * turnIndex, 0, 1, 0);
}
