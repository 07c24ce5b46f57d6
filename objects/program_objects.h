// The four simulated objects of the show, built before main and destroyed in
// reverse at exit. The ropes (program_objects.cpp) need no files; the two
// mesh bodies (program_meshes.cpp) load their meshes relative to the working
// directory during static initialisation, so a program that uses them starts
// in the run directory.
#pragma once
#include "objects/rope_object.h"
#include "objects/soft_object.h"

extern CRopeObject ropeA;
extern CRopeObject ropeB;
extern CSoftObject softBody;  // "Objects/obj4flak1bone.lwo", simulated and drawn
extern CSoftObject wireBody;  // "Objects/glowa32.lwo", only its springs are drawn

// Draws the springs of wireBody as lines.
void DrawWireBody();
