// What the command line chose, read at start-up: a game folder that takes the
// registry's place, and a run without a window whose boxes go to a log file.
#ifndef UPDATE_STATE_COMMAND_LINE_CHOICES_H
#define UPDATE_STATE_COMMAND_LINE_CHOICES_H

#include "state/folders.h"

enum { LogFileSize = 512 };

struct CommandLineChoicesRecord {
    // /S: no window and no box; the run starts at once and every box is
    // written to LogFile instead; the exit status tells the outcome.
    bool Silent;
    // /LOG=FILE; empty: none (also when the path does not fit).
    char LogFile[LogFileSize];
    // A game folder named on the command line: the registry is then not read.
    bool GameFolderGiven;
    // Whether it fits GameFolder; one that does not counts as not installed.
    bool GameFolderFits;
    char GameFolderArgument[GameFolderSize];
};

extern CommandLineChoicesRecord CommandLineChoices;

#endif
