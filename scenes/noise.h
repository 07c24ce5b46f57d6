// Integer-hash noise and its five-octave sum, used for the ropes' swinging
// centres and the picture flash's drift.
#pragma once

// Smoothed hash noise of an integer, in about [-1, 1].
float SmoothNoise(int n);
// Five octaves of interpolated SmoothNoise at x + offset with persistence p.
float OctaveNoise(float x, float offset, float persistence);
