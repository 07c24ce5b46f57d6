// State the scene renderer owns and other parts read: the rope draw binds the
// current rope texture, the particle field reads the particle clock and the
// particle frame factor.
#pragma once

extern unsigned int currentRopeTexture;  // GL texture name bound by the rope draw
extern float particleClock;              // += 0.005 x frame factor per particle frame
extern float particleFrameFactor;        // frame factor of the latest particle frame

// The modelview matrix the display callback had when it called RenderScene;
// the icosahedron chain's first arrangement returns to it.
extern double sceneEntryModelview[16];
