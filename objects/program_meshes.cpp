// The show's two mesh bodies, read from the meshes under the working
// directory (the run directory).
#include "objects/program_objects.h"

void LoadProgramMeshes(CSoftObject& softBody, CSoftObject& wireBody) {
  softBody = CSoftObject(0, 0, 0, 41100.0f, 60.0f, "Objects/obj4flak1bone.lwo", 826320.0f, 0.05f,
                         1.0f);
  wireBody = CSoftObject(0, 0, 0, 19990.0f, 1990.0f, "Objects/glowa32.lwo", 0.0f, 0.7f, 1.0f);
}
