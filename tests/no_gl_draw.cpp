// The soft body's Draw for the GL-free test program, which links the physics
// without the drawing library.
#include "objects/soft_object.h"

// Programs without a GL context never draw.
void CSoftObject::Draw() {}
