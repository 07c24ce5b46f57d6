// The two rope objects the director moves, for test programs that do not link
// the show's program-lifetime objects (those load meshes at start).
#include "objects/rope_object.h"

CRopeObject ropeA(340, 3.1f, 1.3f);
CRopeObject ropeB(360, 3.1f, 2.3f);
