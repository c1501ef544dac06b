// The patch operation behind the Start button.
#ifndef UPDATE_UPDATE_RUN_H
#define UPDATE_UPDATE_RUN_H

#include "state/folders.h"

enum { UpdateFolderSize = 512 };

// ProgramFolder + "\update": the root of the files to install.
extern char UpdateFolder[UpdateFolderSize];

// Runs the whole update once, talking to the user by message boxes, and ends by
// destroying the main window. 0 after a completed update, 1 after any failure
// (and for any call after the first).
int RunUpdate();

// Test-only: lets RunUpdate run again, as after a fresh program start.
void ResetUpdateRunForTests();

#endif
