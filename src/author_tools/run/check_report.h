// What update-check found: the boxes of one run of the program, what it changed
// in the game folder and the author's warnings. Texts and paths are Shift-JIS,
// as the program holds them; the report writers convert them.
#ifndef UPDATE_CHECK_CHECK_REPORT_H
#define UPDATE_CHECK_CHECK_REPORT_H

#include <stdint.h>

#include <string>
#include <vector>

#include "author_tools/run/progress_record.h"
#include "platform/memory/platform_memory.h"

struct BoxSeen {
    std::string title;
    std::string text;
    bool warning;  // MB_ICONWARNING, else no icon
    bool owned;    // owned by the main window (shown by the run, not by start-up)
};

struct GameChange {
    memory_platform::ChangeKind kind;
    std::string path;  // relative to the game folder, as it will be named
    uint64_t size;
    bool engine;  // the engine executable, replaced before the tree is verified
    std::string deltaFile = std::string();  // the delta its new version was made from, relative to the patch
    uint64_t deltaSize = 0;
};

// One line of the patch's deltas.txt and what the run did with it.
struct DeltaSeen {
    std::string gameFile;   // relative to the game folder
    std::string deltaFile;  // relative to the patch folder
    uint64_t newSize;
    uint64_t deltaSize;     // what the patch carries instead of the new file
    std::string versions;   // the old versions the line starts from, as deltas.txt names them ("" for none)
    // "applied"; "already-new" (left as it is); "not-applied" (the run stopped);
    // "other-version" (another line of the file applied, or the whole file);
    // "whole" (on the file's first line: the game file was of no version a
    // line starts from, and the patch's whole new file, whole\<game file>, replaced it)
    std::string outcome;
};

struct AuthorWarning {
    std::string kind;     // "addfile-unmatched", "verify-fails", ...
    std::string path;     // the entry or file it is about (Shift-JIS)
    std::string message;  // Shift-JIS, as the paths and texts it quotes
};

struct ObjectAfter {
    std::string path;  // relative to the game folder; folders end in '\'
    bool folder;
    uint64_t size;
    bool readOnly;
};

struct CheckReport {
    std::string patchPath;  // the Windows paths the program ran with
    std::string gamePath;
    std::string commandArguments;  // after the program path; empty: none
    bool silent = false;           // /S: no window, no box, the boxes in the log
    int exitStatus = 0;            // the program's exit status
    std::string logFile;           // the /LOG= file, as the program names it
    std::string logText;           // what the run appended to it (Shift-JIS)
    // The game folder the command line names, as the program resolves it
    // (empty: none), and whether GAME_FOLDER was placed somewhere else.
    std::string commandLineGameFolder;
    bool gameFolderDiffers = false;
    bool startedUp = false;  // update.ini was read and the window would open
    bool completes = false;
    std::vector<BoxSeen> boxes;
    std::vector<GameChange> changes;
    uint64_t bytesWritten = 0;
    // The room the run asked for on the game folder's volume before changing
    // anything (not measured when it ended before), and the free space given.
    bool spaceMeasured = false;
    uint64_t spaceNeeded = 0;
    bool freeBytesGiven = false;
    uint64_t freeBytes = 0;
    // The patch's deltas (none without deltas.txt) and the bytes they save
    // (DeltaBytesSaved: against the new files whole, deltas.txt counted).
    bool hasDeltaList = false;
    std::vector<DeltaSeen> deltas;
    int64_t deltaBytesSaved = 0;
    ProgressSeen progress;  // what the progress window shows while the run works
    std::vector<AuthorWarning> warnings;
    std::vector<ObjectAfter> after;  // the game folder after the run, when asked for
};

#endif
