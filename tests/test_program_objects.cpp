// The show's four simulated objects for the GL test program, built from the
// generated meshes of the run directory (the show itself loads them relative
// to its working directory).
#include "objects/program_objects.h"

#include "objects/object_draw.h"

CRopeObject ropeA(340.0f, 3.1f, 1.3f);
CRopeObject ropeB(360.0f, 3.1f, 2.3f);
CSoftObject softBody(0, 0, 0, 41100.0f, 60.0f, KELVANE_RUN_DIR "/Objects/obj4flak1bone.lwo",
                     826320.0f, 0.05f, 1.0f);
CSoftObject wireBody(0, 0, 0, 19990.0f, 1990.0f, KELVANE_RUN_DIR "/Objects/glowa32.lwo", 0.0f,
                     0.7f, 1.0f);

void DrawWireBody() { DrawSpringLines(wireBody); }
