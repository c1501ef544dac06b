// The program's globals as before start-up, for code that runs the program's
// logic more than once in one process: the host tests and the author's tools.
#ifndef UPDATE_PROGRAM_RESET_H
#define UPDATE_PROGRAM_RESET_H

// The update.ini record, the run and its outcome, the folders, the scratch
// texts, the window handles and the command line's choices. The platform
// backend and the control font are the caller's.
void ResetProgramGlobals();

#endif
