// The icosahedron chain's per-frame quantities, derived from the demo time
// alone; DrawIcosahedronChain (scenes/layers.h) draws with them.
#pragma once

// Spread N of the second arrangement: 0 up to T = 1495, then rising to 0.6
// over 8 tenths with a cubic ease-out.
float ChainSpread(float t);
// Link offset l of the first arrangement: opens within half a second after
// T = 570, closes between 605 and 625, 0 outside (570, 630).
float ChainLinkOffset(float t);
// Rotation speed g: a tenth of the normal speed in the slow-motion windows.
float ChainSpeed(float t);
// Jitter J per link: grows from 0 at T = 1420 to 0.01 at T = 1520.
float ChainJitter(float t);
