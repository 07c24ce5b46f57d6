// The line and object layers the scene renderer calls in its fixed sequence.
// Each runs inside the modelview matrix and blend state the renderer built,
// draws the state as the scene's steps left it at scene demo time t, and
// changes only GL.
#pragma once
#include "scenes/show_state.h"

// Push, uniform scale 0.5 x size, GLUT wire icosahedron, pop.
void DrawWireIcosahedron(float size);
// A flickering double-turn ring of the given radius (GL_LINE_LOOP).
void DrawRing(float radius, float t);
// An arrow head pointing along +x (GL_POLYGON).
void DrawChevron(float x);
// The first act's wire layer (200 < T < 630): wire icosahedra, then wireBody.
// The caller tests the window.
void DrawWireLayer(const ShowState& show, float t);
// The seven pulse figures fired by the director's keys (those the step
// marked), after the turn by turn index B (applied without a push: it stays
// in force).
void DrawPulseFigures(const ShowState& show, float t);
// The chain of eight icosahedra; in its first arrangement it ends by loading
// `entryModelview`, the modelview matrix the renderer was called with.
void DrawIcosahedronChain(const ScenePlan& plan, float t, const double entryModelview[16]);
// The rope layer's body: ropes, centre balls, extra ropes and lightning.
// `exact` is t in double precision.
void DrawRopeLayer(const ShowState& show, float t, double exact);
// Lightning from a rope's chains to the last 40 points of the point cloud.
void DrawCloudLightning(const CRopeObject& rope, const PointCloudState& cloud,
                        const DirectorState& director, float t);
// Lightning from a rope's chains to the body's mass points; without the
// effect switch each segment flickers by one draw from `flicker`.
void DrawBodyLightning(const CRopeObject& rope, const CSoftObject& body,
                       const DirectorState& director, Mt19937State& flicker, float t);
// Threads growing from the first rope's chains to the second's (the caller
// tests their window); they flicker as the body lightning does.
void DrawThreads(const CRopeObject& first, const CRopeObject& second,
                 const DirectorState& director, Mt19937State& flicker, float t);


// Rotation by a turn index: 1, 2, 3 turn by 90, 180, 270 degrees about y.
void ApplyTurn(int turnIndex);
