// The loader screen (loader image, asset steps, progress ribbons, fades) and
// the start of the music on the first main-phase frame.
#pragma once

extern int loadingDone;   // 1 from the frame after the loader screen ends
extern int loadCounter;   // the asset-table step to perform next
extern int musicStarted;

void RunLoaderScreen();
void StartMusic();
