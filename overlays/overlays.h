// The overlay schedule: fades, flashes and picture cards over the finished
// frame, chosen by demo time alone.
#pragma once

void DrawOverlays(float t);
