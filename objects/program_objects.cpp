// The two rope bundles of the show, built before main. Their constructors
// take the random root directions from rand, so nothing else may draw from it
// during static initialisation.
#include "objects/program_objects.h"

CRopeObject ropeA(340.0f, 3.1f, 1.3f);
CRopeObject ropeB(360.0f, 3.1f, 2.3f);
