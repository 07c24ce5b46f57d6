// The soft body's Draw for the GL-free test program, which links the physics
// without the drawing library, and for the loader fuzz target.
#include "objects/soft_object.h"

// Programs without a GL context never draw.
void CSoftObject::Draw() {}
