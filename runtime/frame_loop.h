// One frame: clock, scene, update, composition, overlays, panel, swap.
#pragma once

// GLUT display callback.
void OnDisplay();
// The per-frame update: demo time, key-track replay, physics steps.
void UpdateFrame();
