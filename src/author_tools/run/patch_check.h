// Runs the program's own start-up, update.ini reader and update run (Start
// pressed once) on the in-memory machine loaded with a patch and a game folder.
#ifndef UPDATE_CHECK_PATCH_CHECK_H
#define UPDATE_CHECK_PATCH_CHECK_H

#include <functional>
#include <string>

#include "author_tools/run/check_report.h"
#include "author_tools/host/folder_reader.h"

struct CheckInput {
    std::string patchPath;  // Windows paths (Shift-JIS) the folders are placed at
    std::string gamePath;
    // Whether gamePath was given; else a game folder named on the command line
    // is where the game is placed.
    bool gamePathGiven = true;
    std::string commandArguments;  // Shift-JIS, after the program path: /S, /LOG=, a game folder
    FolderRead patch;  // its update.ini kept
    FolderRead game;
    std::string patchShown;  // the folders as the user named them, for messages
    std::string gameShown;
    bool listAfter = false;  // fill the report's list of the game folder after the run
    // Called with the two folders' Windows paths once both are on the machine,
    // before start-up (update-make marks where each file came from).
    std::function<void(const std::string& patchFolder, const std::string& gameFolder)> afterLoading;
    bool freeBytesGiven = false;  // else the volume has room for anything
    uint64_t freeBytes = 0;
};

// 0 and the report; 1 and a one-line reason (UTF-8) when the folders cannot be
// placed on the machine as Windows would hold them. Runs once per process: the
// program's state is global.
int CheckPatch(const CheckInput& input, CheckReport* report, std::string* problem);

#endif
