// The patch operation behind the Start button.
#include "update/update_run.h"

#include <string.h>

#include "description/text.h"
#include "description/update_description.h"
#include "platform/platform.h"
#include "state/command_line_choices.h"
#include "state/folders.h"
#include "state/progress.h"
#include "state/run_outcome.h"
#include "state/scratch_buffers.h"
#include "state/user_messages.h"
#include "state/window_handles.h"
#include "update/delta_apply.h"
#include "update/room_check.h"
#include "update/run_progress.h"
#include "update/update_tree.h"

char UpdateFolder[UpdateFolderSize];
const char* const EngineExecutables[EngineExecutableCount] = {"Tessoran.exe", "kovent9d.exe", "kovent9m.exe"};

namespace {

const char ErrorTitle[] = "アップデートエラー";
const char CopyFailureText[] = "ファイルのコピーに失敗しました。";
const char ClosingText[] = "アップデートを終了します。";
const char CompletionText[] = "アップデートが完了しました。";
const char NoRoomText[] =
    "ディスクの空き容量が足りません。\n必要な空き容量：%uMB\n現在の空き容量：%uMB\n"
    "空き容量を増やしてから、もう一度実行して下さい。";
const char WrongVersionText[] = "%sのバージョンが違うため、アップデートできません。";
const char MissingFileText[] = "%sが見つからないため、アップデートできません。";
const char DamagedText[] = "%sが壊れているため、アップデートできません。";
const char FinishedBodyText[] = "アップデートが完了しました。\n「終了」ボタンを押して終了して下さい。";

// The run happens at most once per program start. Its message boxes keep
// dispatching messages to the main window, so a second Start may arrive while
// it is under way.
bool RunStarted = false;

void ShowBox(const char* text, const char* title, unsigned type) {
    ShowUserMessage(WindowHandles.MainWindow, text, title, type);
}

// GameName and Caption hold at most 511 bytes, so these texts always fit MessageBuffer.
void ReportNotInstalled() {
    FormatText(MessageBuffer, sizeof MessageBuffer, "%sがインストールされていません。", UpdateDescription.GameName);
    ShowBox(MessageBuffer, UpdateDescription.Caption, BoxIconWarning);
}

void ReportCopyFailure() {
    FormatText(MessageBuffer, sizeof MessageBuffer, "%s", CopyFailureText);
    ShowBox(MessageBuffer, ErrorTitle, BoxIconWarning);
}

// A warning titled "<Caption> 注意", then the closing box.
void WarnThenClose(const char* text) {
    FormatText(TargetBuffer, sizeof TargetBuffer, "%s 注意", UpdateDescription.Caption);
    ShowBox(text, TargetBuffer, BoxIconWarning);
    ShowBox(ClosingText, UpdateDescription.Caption, BoxOk);
}

void ReportVerifyFailure() { WarnThenClose(UpdateDescription.Attention1); }

// Whole megabytes (1,048,576 bytes) as Explorer counts them: what is needed
// rounded up and what is free rounded down, so a shortfall never reads as room.
unsigned Megabytes(uint64_t bytes, bool roundUp) {
    const uint64_t megabyte = 1048576;
    uint64_t count = bytes / megabyte + (roundUp && bytes % megabyte != 0 ? 1 : 0);
    return count > 0xFFFFFFFFu ? 0xFFFFFFFFu : (unsigned)count;
}

// Followed by the closing box, as a failed verification is: nothing has changed.
void ReportNoRoom() {
    FormatText(MessageBuffer, sizeof MessageBuffer, NoRoomText, Megabytes(LastRoomCheck.bytesNeeded, true),
               Megabytes(LastRoomCheck.bytesFree, false));
    WarnThenClose(MessageBuffer);
}

int EndWithFailure(RunOutcome outcome) {
    LastRunOutcome = outcome;
    PlatformDestroyWindow(WindowHandles.MainWindow);
    return 1;
}

// A game file or a delta that stops the run before anything changed: a warning
// naming the file, then the closing box. A result that cannot be written is a
// copy failure. DeltaStopName holds at most 511 bytes: the texts fit.
int StopForDeltas() {
    const char* text = DamagedText;
    RunOutcome outcome = OutcomeDamagedDelta;
    if (LastDeltaStop == DeltaStopWriteFailed) {
        ReportCopyFailure();
        return EndWithFailure(OutcomeCopyFailed);
    }
    if (LastDeltaStop == DeltaStopWrongVersion || LastDeltaStop == DeltaStopMissingFile) {
        text = LastDeltaStop == DeltaStopWrongVersion ? WrongVersionText : MissingFileText;
        outcome = OutcomeWrongVersion;
    }
    FormatText(MessageBuffer, sizeof MessageBuffer, text, DeltaStopName);
    WarnThenClose(MessageBuffer);
    return EndWithFailure(outcome);
}

// The results made from deltas go when the run stops after they were made.
int EndDiscardingDeltas(RunOutcome outcome) {
    DiscardDeltaResults();
    return EndWithFailure(outcome);
}

// A folder named on the command line takes the registry value's place. The
// log notes the folder the run looks at, or why it has none.
int ReadGameFolder() {
    if (CommandLineChoices.GameFolderGiven) {
        if (!CommandLineChoices.GameFolderFits) {
            NoteInLog("コマンドラインのゲームフォルダーが長すぎます (%d バイトまで)。", GameFolderSize - 1);
            return 1;
        }
        if (CommandLineChoices.GameFolderArgument[0] == '\0') {
            NoteInLog("コマンドラインのゲームフォルダーが空です。");
            return 1;
        }
        strcpy(GameFolder, CommandLineChoices.GameFolderArgument);
        RemoveTrailingBackslash(GameFolder);
        NoteInLog("ゲームフォルダー (コマンドラインから): %s", GameFolder);
        return 0;
    }
    if (ReadRegistryString(UpdateDescription.RegistryKeyPath, "SAV_FOLDER", GameFolder, sizeof GameFolder) != 0) {
        NoteInLog("レジストリから読めません: HKEY_CURRENT_USER\\%s の SAV_FOLDER", UpdateDescription.RegistryKeyPath);
        return 1;
    }
    RemoveTrailingBackslash(GameFolder);
    NoteInLog("ゲームフォルダー (レジストリ HKEY_CURRENT_USER\\%s の SAV_FOLDER から): %s",
              UpdateDescription.RegistryKeyPath, GameFolder);
    return 0;
}

// Whether the folder is missing or holds none of the engine executables.
void NoteWhyNotInstalled() {
    unsigned attributes = 0;
    if (FormatText(TargetBuffer, sizeof TargetBuffer, "%s\\", GameFolder) != 0 ||
        PlatformGetFileAttributes(TargetBuffer, &attributes) != 0 || !(attributes & FileAttributeDirectory))
        NoteInLog("このフォルダーはありません: %s", GameFolder);
    else
        NoteInLog("エンジンの実行ファイル (%s, %s, %s) がありません: %s", EngineExecutables[0], EngineExecutables[1],
                  EngineExecutables[2], GameFolder);
}

bool IsGameInstalled() {
    for (const char* name : EngineExecutables)
        if (FormatText(MessageBuffer, sizeof MessageBuffer, "%s\\%s", GameFolder, name) == 0 &&
            ProbeFile(MessageBuffer) == 0)
            return true;
    return false;
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

// A component made of dots and spaces with at least two dots ("..", "...", ".. ")
// may lead out of the game folder once Windows has trimmed it. Both slashes
// separate, and every byte is looked at: a 0x5C second byte of a double-byte
// character then only splits a name more finely, which can skip an entry but
// never miss a real "..".
bool MayLeaveGameFolder(const char* entry) {
    int dots = 0;
    bool onlyDotsAndSpaces = true;
    for (const char* p = entry;; ++p) {
        if (*p == '\\' || *p == '/' || *p == '\0') {
            if (onlyDotsAndSpaces && dots >= 2) return true;
            if (*p == '\0') return false;
            dots = 0;
            onlyDotsAndSpaces = true;
        } else if (*p == '.') {
            ++dots;
        } else if (*p != ' ') {
            onlyDotsAndSpaces = false;
        }
    }
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

// Set on the hidden window just before the completion box.
void ShowFinishedState() {
    PlatformSetWindowText(WindowHandles.TopText, "");
    PlatformSetWindowText(WindowHandles.BodyText, FinishedBodyText);
    PlatformShowWindow(WindowHandles.StartButton, ShowHide);
    PlatformShowWindow(WindowHandles.CancelButton, ShowHide);
    PlatformShowWindow(WindowHandles.FinishButton, ShowShow);
    PlatformSetFocus(WindowHandles.FinishButton);
}

// The value's bytes end at their first NUL; a value without one is terminated
// after its last byte, which needs one byte of the buffer to spare.
bool TerminateString(char* buffer, unsigned count, unsigned size) {
    if (count > size) count = size;
    if (memchr(buffer, '\0', count) != NULL) return true;
    if (count == size) return false;
    buffer[count] = '\0';
    return true;
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
    if (LoadDeltaList() != 0) return StopForDeltas();
    // A patch that does not fit is refused before anything changes.
    if (CheckRoomForPatch() != 0) {
        ReportNoRoom();
        return EndWithFailure(OutcomeNoRoom);
    }
    BeginRunProgress();
    // Every delta's result is made and checked before anything changes.
    if (PrepareDeltaResults() != 0) return StopForDeltas();
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
    ShowFinishedState();
    ShowBox(CompletionText, UpdateDescription.Caption, BoxOk);
    LastRunOutcome = OutcomeCompleted;
    PlatformDestroyWindow(WindowHandles.MainWindow);
    return 0;
}

// The key is opened for reading only and flushed after a successful read.
int ReadRegistryString(const char* keyPath, const char* valueName, char* buffer, unsigned size) {
    if (size == 0) return 1;
    RegistryKey key;
    if (PlatformOpenUserKey(keyPath, &key) != 0) return 1;
    unsigned type = 0;
    unsigned count = size;
    if (PlatformQueryValue(key, valueName, &type, buffer, &count) != 0) {
        PlatformCloseKey(key);
        buffer[0] = '\0';
        return 1;
    }
    PlatformFlushKey(key);
    PlatformCloseKey(key);
    if ((type != RegistryString && type != RegistryExpandString) || !TerminateString(buffer, count, size)) {
        buffer[0] = '\0';
        return 1;
    }
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
