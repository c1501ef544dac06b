// The two folders the whole program works between: its own and the game's.
#ifndef UPDATE_STATE_FOLDERS_H
#define UPDATE_STATE_FOLDERS_H

enum { ProgramFolderSize = 512, GameFolderSize = 512 };

// The folder the executable lies in, without a trailing backslash; empty until
// start-up has found it.
extern char ProgramFolder[ProgramFolderSize];

// The installed game's folder, without a trailing backslash: read when Start is
// pressed, from the registry value "SAV_FOLDER" or from the command line.
extern char GameFolder[GameFolderSize];

#endif
