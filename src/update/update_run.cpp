// The patch operation behind the Start button: the run's script. Every step
// that may refuse comes before anything in the game folder changes, but the
// engine executable, which the game's own patches replace first.
#include "update/update_run.h"

#include "description/update_description.h"
#include "platform/platform.h"
#include "state/folders.h"
#include "state/progress.h"
#include "state/run_outcome.h"
#include "state/scratch_buffers.h"
#include "state/user_messages.h"
#include "state/window_handles.h"
#include "text/relative_path.h"
#include "text/text.h"
#include "update/delta_apply.h"
#include "update/game_folder.h"
#include "update/room_check.h"
#include "update/run_messages.h"
#include "update/run_progress.h"
#include "update/update_tree.h"

char UpdateFolder[UpdateFolderSize];

namespace {

// The run happens at most once per program start. Its message boxes keep
// dispatching messages to the main window, so a second Start may arrive while
// it is under way.
bool RunStarted = false;

int EndWithFailure(RunOutcome outcome) {
    LastRunOutcome = outcome;
    PlatformDestroyWindow(WindowHandles.MainWindow);
    return 1;
}

// The results made from deltas go when the run stops after they were made.
int EndDiscardingDeltas(RunOutcome outcome) {
    DiscardDeltaResults();
    return EndWithFailure(outcome);
}

// Copies the first engine executable the patch carries over its namesake. Unlike
// the tree copy this leaves a read-only mark alone, so a read-only engine
// executable in the game folder makes it fail.
int ReplaceEngineExecutable() {
    for (const char* name : EngineExecutables) {
        if (FormatText(MessageBuffer, sizeof MessageBuffer, "%s\\update\\%s", ProgramFolder, name) != 0) return 1;
        if (FormatText(TargetBuffer, sizeof TargetBuffer, "%s\\%s", GameFolder, name) != 0) return 1;
        if (ProbeFile(MessageBuffer) != 0) continue;
        ProgressFile(ProgressEngine, name);
        if (PlatformCopyFile(MessageBuffer, TargetBuffer) != 0) {
            NoteStoppedAt("コピー", TargetBuffer, PlatformLastError());
            return 1;
        }
        ProgressAdvance(EngineExecutableBytes);
        return 0;
    }
    return 0;
}

// Failures are ignored: a read-only file, a directory or a missing file stays as it is.
void DeleteListedFiles() {
    for (int i = 0; i < UpdateDescription.DelFileCount && i < FileListCapacity; ++i) {
        const char* entry = UpdateDescription.DelFiles[i];
        if (MayLeaveGameFolder(entry)) continue;
        ProgressFile(ProgressDelete, entry);
        if (FormatText(MessageBuffer, sizeof MessageBuffer, "%s\\%s", GameFolder, entry) != 0) continue;
        PlatformDeleteFile(MessageBuffer);
    }
}

}  // namespace

int RunUpdate() {
    if (RunStarted) return 1;
    RunStarted = true;

    // Hidden for the rest of the run; the boxes below keep it as their owner.
    PlatformShowWindow(WindowHandles.MainWindow, ShowHide);
    bool folderRead = ReadGameFolder() == 0;
    if (!folderRead || !IsGameInstalled()) {
        if (folderRead) NoteWhyNotInstalled();
        ReportNotInstalled();
        return EndWithFailure(OutcomeNotInstalled);
    }
    // An update folder too long for its text fails verification, as a search
    // pattern too long for the walker's text does.
    if (FormatText(UpdateFolder, sizeof UpdateFolder, "%s\\update", ProgramFolder) != 0) UpdateFolder[0] = '\0';
    // A patch with deltas: their list is read first, and the room check counts their results.
    DeltaOutcome deltas = {};
    if (LoadDeltaList(&deltas) != 0) return EndWithFailure(ReportDeltaStop(deltas));
    // A patch that does not fit is refused before anything changes.
    if (CheckRoomForPatch() != 0) {
        ReportNoRoom();
        return EndWithFailure(OutcomeNoRoom);
    }
    BeginRunProgress();
    // Every delta's result is made and checked before anything changes.
    if (PrepareDeltaResults(&deltas) != 0) return EndWithFailure(ReportDeltaStop(deltas));
    if (ReplaceEngineExecutable() != 0) {
        ReportCopyFailure();
        return EndDiscardingDeltas(OutcomeCopyFailed);
    }
    // The engine executable stays replaced when verification fails.
    if (UpdateFolder[0] == '\0' || WalkUpdateTree(UpdateFolder, "", Verify) != 0) {
        ReportVerifyFailure();
        return EndDiscardingDeltas(OutcomeFileMissing);
    }
    // Nothing is undone when the copy fails part-way.
    if (WalkUpdateTree(UpdateFolder, "", Copy) != 0 || PlaceDeltaResults() != 0) {
        ReportCopyFailure();
        return EndDiscardingDeltas(OutcomeCopyFailed);
    }
    DeleteListedFiles();
    ReportCompleted();
    LastRunOutcome = OutcomeCompleted;
    PlatformDestroyWindow(WindowHandles.MainWindow);
    return 0;
}

void ResetUpdateRunForTests() {
    RunStarted = false;
    LastRunOutcome = OutcomeCompleted;
    GameFolder[0] = '\0';
    UpdateFolder[0] = '\0';
    LastRoomCheck = RoomCheck();
    ResetDeltasForTests();
}
