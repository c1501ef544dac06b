#ifndef UPDATE_PREPARE_STARTUP_H
#define UPDATE_PREPARE_STARTUP_H

// Finds the program's folder, makes it the current directory, creates the control
// font and loads update.ini. 0 when the window may be built, 1 when the program
// must end (the reason has been shown).
int PrepareStartup();

#endif
