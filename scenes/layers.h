// The line and object layers the scene renderer calls in its fixed sequence.
// Each runs inside the modelview matrix and blend state the renderer built.
#pragma once

class CRopeObject;

// Push, uniform scale 0.5 x size, GLUT wire icosahedron, pop.
void DrawWireIcosahedron(float size);
// A flickering double-turn ring of the given radius (GL_LINE_LOOP).
void DrawRing(float radius);
// An arrow head pointing along +x (GL_POLYGON).
void DrawChevron(float x);
// The first act's wire layer (200 < T < 630): wire icosahedra, then wireBody.
// The caller tests the window; the layer advances its own state every call
// by the frame factor f (never 0).
void DrawWireLayer(float f);
// The seven pulse figures fired by the director's keys, after the turn by
// turn index B (applied without a push: it stays in force); their stamps
// advance by the frame factor f.
void DrawPulseFigures(float f);
// The chain of eight icosahedra; in its first arrangement it ends by loading
// the modelview matrix the renderer was called with.
void DrawIcosahedronChain();
// The rope layer's body: ropes, centre balls, extra ropes and lightning.
void DrawRopeLayer();
// Lightning from a rope's chains to the last 40 points of the point cloud.
void DrawCloudLightning(CRopeObject& rope);
// Lightning from a rope's chains to the soft body's mass points.
void DrawBodyLightning(CRopeObject& rope);
// Threads growing from the first rope's chains to the second's.
void DrawThreads(CRopeObject& first, CRopeObject& second);

// The wire layer's program-lifetime state, changed only in frames it runs.
struct WireLayerState {
  float brightness = 1.0f;          // scales the layer's colour on the next frame
  float size1 = 0, size2 = 0;       // random offsets of the two icosahedra's sizes
  float timer1 = 0, timer2 = 0, timer3 = 0;  // frame-factor counters
  float turn1 = 0, turn2 = 0;       // accumulated turn angles, degrees
};
extern WireLayerState wireLayer;

// Rotation by a turn index: 1, 2, 3 turn by 90, 180, 270 degrees about y.
void ApplyTurn(int turnIndex);
