// The four simulated objects of the show. The ropes (program_objects.cpp) are
// built before main and need no files; the two mesh bodies
// (program_meshes.cpp) are empty until start-up loads their meshes, relative
// to the working directory, once the options have been read.
#pragma once
#include "objects/rope_object.h"
#include "objects/soft_object.h"

extern CRopeObject ropeA;
extern CRopeObject ropeB;
extern CSoftObject softBody;  // "Objects/obj4flak1bone.lwo", simulated and drawn
extern CSoftObject wireBody;  // "Objects/glowa32.lwo", only its springs are drawn

// Loads softBody's and wireBody's meshes; a mesh that cannot be read or is
// malformed ends the program with the loader's message and status 1.
void LoadProgramMeshes();
// Draws the springs of wireBody as lines.
void DrawWireBody();
