// The show's four simulated objects as start-up builds them: the two rope
// bundles (they take their random roots from the C library sequence) and
// the two mesh bodies, read from the meshes under the working directory once
// the options have been read. The show state holds them.
#pragma once
#include "core/random.h"
#include "objects/rope_object.h"
#include "objects/soft_object.h"

CRopeObject MakeRopeA(LibcRandom& random);
CRopeObject MakeRopeB(LibcRandom& random);
// Loads softBody ("Objects/obj4flak1bone.lwo", simulated and drawn) and
// wireBody ("Objects/glowa32.lwo", only its springs are drawn); a mesh that
// cannot be read or is malformed ends the program with the loader's message
// and status 1.
void LoadProgramMeshes(CSoftObject& softBody, CSoftObject& wireBody);
