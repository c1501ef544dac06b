// Start-up's first step: the folder the executable lies in, told from the
// process command line.
#ifndef UPDATE_PROGRAM_FOLDER_H
#define UPDATE_PROGRAM_FOLDER_H

#include "state/folders.h"

// Fills ProgramFolder from the command line's first token (the program path),
// cut at its last backslash; "." for a path without a backslash (the program
// started by its bare name in its own folder). 1 when that path does not fit
// ProgramFolder, which is then left empty.
int LocateProgramFolder();

#endif
