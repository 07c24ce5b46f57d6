// Immediate-mode drawing of the simulated objects (the GL side of objects/).
#pragma once
#include <vector>

#include "core/gl.h"
#include "objects/rope_object.h"
#include "objects/soft_object.h"

// A rope bundle: mode 0 lines (plain before demo time 200, shaded by reach
// after), 1 textured quads with the given texture, anything else nothing.
// Mode 1 takes its normals from the particles' directions as computed from
// the positions now, or `directions` where given (row by row, as
// CRopeObject::Directions makes them); mode 0 from `directions` where given,
// else from those the rope's step stored.
void DrawRope(const CRopeObject& rope, int mode, float demoTime, GLuint texture,
              const std::vector<Vec3d>* directions = nullptr);
// Lit triangles, grey spring lines and red points.
void DrawSoftBody(const CSoftObject& body);
// Draws the springs of a body as lines, lighting off around them.
void DrawSpringLines(const CSoftObject& body);
