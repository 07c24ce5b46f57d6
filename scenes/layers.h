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
void DrawWireLayer();
// The seven pulse figures fired by the director's keys, after the turn by
// turn index B (applied without a push: it stays in force).
void DrawPulseFigures();
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

// Rotation by a turn index: 1, 2, 3 turn by 90, 180, 270 degrees about y.
void ApplyTurn(int turnIndex);
