// The loader screen's program-lifetime flags. They live apart from the
// drawing code because the asset table reads the load counter too.
#include "scenes/loader_screen.h"

int loadingDone = 0;
int loadCounter = 0;
int musicStarted = 0;
