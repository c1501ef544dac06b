// The patch operation behind the Start button.
#ifndef UPDATE_UPDATE_RUN_H
#define UPDATE_UPDATE_RUN_H

#include "state/folders.h"

enum { UpdateFolderSize = 512 };

// ProgramFolder + "\update": the root of the files to install.
extern char UpdateFolder[UpdateFolderSize];

// The game-engine executables, in the order they are looked for: the game is
// installed when one of them is in GameFolder, and the first one the patch
// carries replaces its namesake there.
enum { EngineExecutableCount = 3 };
extern const char* const EngineExecutables[EngineExecutableCount];

// Runs the whole update once, talking to the user by message boxes, and ends by
// destroying the main window. 0 after a completed update, 1 after any failure
// (and for any call after the first).
int RunUpdate();

// Reads a string value below HKEY_CURRENT_USER\keyPath into buffer, terminated
// within it. 0 when read; 1 when the key or value is missing, the value is not a
// string, or it does not fit together with its terminator.
int ReadRegistryString(const char* keyPath, const char* valueName, char* buffer, unsigned size);

// Test-only: lets RunUpdate run again, as after a fresh program start.
void ResetUpdateRunForTests();

#endif
