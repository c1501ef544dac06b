#include "update/run_progress.h"

#include "text/text.h"
#include "platform/platform.h"
#include "state/folders.h"
#include "state/progress.h"
#include "update/delta_apply.h"
#include "update/game_folder.h"
#include "update/update_run.h"
#include "update/update_tree.h"

uint64_t EngineExecutableBytes = 0;

// The engine executable is looked for as its replacement looks for it: the
// first of the names that the update folder holds as a file.
void BeginRunProgress() {
    EngineExecutableBytes = 0;
    char path[UpdateFolderSize];
    for (const char* name : EngineExecutables)
        if (FormatText(path, sizeof path, "%s\\update\\%s", ProgramFolder, name) == 0 &&
            PlatformGetFileSize(path, &EngineExecutableBytes) == 0)
            break;
    // The results of deltas are written in full, as the room check counted
    // them, after the game files whose size cannot tell their version are hashed.
    ProgressBegin(EngineExecutableBytes + PatchSpace.bytesWritten + PatchSpace.deltaResults + DeltaBytesToHash());
}
