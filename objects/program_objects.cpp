// The two rope bundles of the show. Their constructors take the random root
// directions from the C library sequence, which nothing else draws from
// before them.
#include "objects/program_objects.h"

CRopeObject MakeRopeA(LibcRandom& random) { return CRopeObject(340.0f, 3.1f, 1.3f, random); }
CRopeObject MakeRopeB(LibcRandom& random) { return CRopeObject(360.0f, 3.1f, 2.3f, random); }
