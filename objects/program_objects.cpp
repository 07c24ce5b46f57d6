// The show's simulated objects. Defined together in this one file because the
// order of static construction is only fixed within a translation unit: the
// ropes take their random directions from rand first, then the meshes load.
#include "objects/program_objects.h"

#include "objects/object_draw.h"

CRopeObject ropeA(340.0f, 3.1f, 1.3f);
CRopeObject ropeB(360.0f, 3.1f, 2.3f);
CSoftObject softBody(0, 0, 0, 41100.0f, 60.0f, "Objects/obj4flak1bone.lwo", 826320.0f, 0.05f,
                     1.0f);
CSoftObject wireBody(0, 0, 0, 19990.0f, 1990.0f, "Objects/glowa32.lwo", 0.0f, 0.7f, 1.0f);

void DrawWireBody() { DrawSpringLines(wireBody); }
