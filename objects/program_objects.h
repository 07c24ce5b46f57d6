// The four simulated objects of the show, built before main in this order
// (ropeA, ropeB, softBody, wireBody) and destroyed in reverse at exit.
// Defined in program_objects.cpp, which only the show's executables compile.
#pragma once
#include "objects/rope_object.h"
#include "objects/soft_object.h"

extern CRopeObject ropeA;
extern CRopeObject ropeB;
extern CSoftObject softBody;  // "Objects/obj4flak1bone.lwo", simulated and drawn
extern CSoftObject wireBody;  // "Objects/glowa32.lwo", only its springs are drawn

// Draws the springs of wireBody as lines.
void DrawWireBody();
