#include "author_tools/run/patch_check.h"

#include <string.h>

#include "author_tools/run/author_warnings.h"
#include "author_tools/run/delta_savings.h"
#include "author_tools/run/progress_record.h"
#include "author_tools/host/text_conversion.h"
#include "text/text.h"
#include "description/update_description.h"
#include "platform/command_line_syntax.h"
#include "shell/font_holder.h"
#include "shell/prepare_startup.h"
#include "state/command_line_choices.h"
#include "state/run_outcome.h"
#include "state/window_handles.h"
#include "update/delta_apply.h"
#include "update/room_check.h"
#include "update/game_folder.h"
#include "update/update_run.h"

// The executable proper defines the control font beside its controls.
FontHolder ControlFont;

namespace mp = memory_platform;

namespace {

// Stand-ins for the windows the program makes after start-up: the run's boxes
// then have the main window as their owner, as on the desktop.
char MainWindow, TopText, BodyText, StartButton, CancelButton, FinishButton;

std::string WithoutTrailingBackslash(const std::string& path) {
    std::vector<char> text(path.begin(), path.end());
    text.push_back('\0');
    RemoveTrailingBackslash(text.data());
    return text.data();
}

// The deltas the run read, matched with the replacements they made: which
// line a file's version took, or the whole new file the patch carries.
void RecordDeltas(const std::string& patchFolder, CheckReport* report) {
    report->hasDeltaList = mp::IsFile(patchFolder + "\\deltas.txt");
    uint64_t newBytes = 0, deltaBytes = 0;
    for (int i = 0; i < DeltaCount; ++i) {
        const DeltaEntry& entry = DeltaList[i];
        DeltaSeen seen{entry.gameFile, entry.deltaFile, entry.newSize, mp::FileSize(patchFolder + "\\" + entry.deltaFile),
                       entry.label, report->completes ? "already-new" : "not-applied"};
        bool firstOfFile = true, fileUsed = false;
        for (int k = 0; k < DeltaCount; ++k) {
            if (!EqualIgnoringAsciiCase(DeltaList[k].gameFile, entry.gameFile)) continue;
            firstOfFile = firstOfFile && k >= i;
            fileUsed = fileUsed || DeltaUses[k] != DeltaUsedNone;
        }
        if (fileUsed && DeltaUses[i] == DeltaUsedNone) seen.outcome = "other-version";
        // What replaced the file: this line's delta, or the whole new file.
        std::string made = seen.deltaFile;
        uint64_t madeSize = seen.deltaSize;
        if (DeltaUses[i] == DeltaUsedWhole) {
            made = "whole\\" + std::string(entry.gameFile);
            madeSize = mp::FileSize(patchFolder + "\\" + made);
            seen.outcome = "whole";
        }
        bool applies = DeltaUses[i] == DeltaUsedDecoded || DeltaUses[i] == DeltaUsedWhole;
        for (GameChange& change : report->changes) {
            if (!applies || change.kind != mp::ChangeKind::Replace || !mp::SameName(change.path, entry.gameFile)) continue;
            // A copy of the tree over the same file comes first; the delta's result is what stays.
            change.size = entry.newSize;
            change.deltaFile = made;
            change.deltaSize = madeSize;
            if (DeltaUses[i] == DeltaUsedDecoded) seen.outcome = "applied";
        }
        // The new file counts once, however many versions it has a delta from.
        if (firstOfFile) newBytes += seen.newSize;
        deltaBytes += mp::FileSize(patchFolder + "\\" + entry.deltaFile);
        report->deltas.push_back(seen);
    }
    if (report->hasDeltaList)
        report->deltaBytesSaved = DeltaBytesSaved(newBytes, deltaBytes, mp::FileSize(patchFolder + "\\deltas.txt"));
}

void RecordOutcome(const std::string& gameFolder, bool listAfter, CheckReport* report) {
    for (const auto& box : mp::MessageBoxes())
        report->boxes.push_back(BoxSeen{box.title, box.text, (box.type & 0xF0) == BoxIconWarning, box.owner != nullptr});
    bool firstCopy = true;
    for (const mp::Change& change : mp::ChangesBelow(gameFolder)) {
        bool copy = mp::IsCopy(change.kind);
        bool engine = false;
        // The engine executable is copied before anything else.
        for (const char* name : EngineExecutables) engine = engine || (copy && firstCopy && mp::SameName(change.path, name));
        if (copy) firstCopy = false;
        report->changes.push_back(GameChange{change.kind, change.path, change.size, engine});
    }
    report->bytesWritten = mp::BytesCopied();
    report->spaceMeasured = LastRoomCheck.measured;
    report->spaceNeeded = LastRoomCheck.bytesNeeded;
    // The whole game folder, only when the report is to list it.
    if (!listAfter) return;
    std::vector<mp::TreeEntry> objects = mp::DescribeTree(gameFolder);
    report->after.reserve(objects.size());
    for (mp::TreeEntry& object : objects) {
        if (object.directory) object.relativePath += "\\";
        report->after.push_back(ObjectAfter{std::move(object.relativePath), object.directory, object.size,
                                            (object.attributes & FileAttributeReadOnly) != 0});
    }
}

// The log file and what the program wrote to it, with or without a window.
void TakeLog(CheckReport* report) {
    report->logFile = CommandLineChoices.LogFile;
    if (!report->logFile.empty() && mp::IsFile(report->logFile)) report->logText = mp::FileContent(report->logFile);
}

std::string ProgramCommandLine(const std::string& patchFolder, const std::string& arguments) {
    return "\"" + patchFolder + "\\update.exe\"" + (arguments.empty() ? "" : " " + arguments);
}

// The game folder the command line names, read and resolved by the program's
// own boundary (a relative one from the patch folder, where it starts); empty
// when it names none.
std::string CommandLineGameFolder(const std::string& patchFolder, const std::string& arguments) {
    mp::Reset();
    mp::AddDirectory(patchFolder);
    PlatformSetCurrentDirectory(patchFolder.c_str());
    mp::SetCommandLine(ProgramCommandLine(patchFolder, arguments));
    const char* line = PlatformCommandLine();
    CommandLineSpans spans;
    SplitCommandLine(line, &spans);
    std::vector<char> folder(strlen(line) + 1);
    if (spans.folder.start < 0 || ArgumentValue(line, spans.folder, folder.data(), (int)folder.size()) <= 0) return "";
    mp::Reset();
    return WithoutTrailingBackslash(folder.data());
}

}  // namespace

int CheckPatch(const CheckInput& input, CheckReport* report, std::string* problem) {
    const std::string patchFolder = WithoutTrailingBackslash(input.patchPath);
    // A game folder on the command line is where the game is, unless the
    // author placed it elsewhere, which the report then says.
    report->commandLineGameFolder = CommandLineGameFolder(patchFolder, input.commandArguments);
    const std::string gamePath =
        input.gamePathGiven || report->commandLineGameFolder.empty() ? input.gamePath : report->commandLineGameFolder;
    const std::string gameFolder = WithoutTrailingBackslash(gamePath);
    report->gameFolderDiffers =
        !report->commandLineGameFolder.empty() && !mp::SamePath(report->commandLineGameFolder, gameFolder);
    report->patchPath = input.patchPath;
    report->gamePath = gamePath;
    // Compared as Win32 resolves them: "C:\\Game\\..\\Patch" is the patch folder.
    if (mp::IsSameOrBelow(gameFolder, patchFolder) || mp::IsSameOrBelow(patchFolder, gameFolder)) {
        *problem = "--patch-path and --game-path must name two separate folders";
        return 1;
    }
    mp::Reset();
    std::string refused;
    if (mp::LoadTree(patchFolder, input.patch.entries, &refused) != 0) {
        *problem = "patch folder " + input.patchShown + ": " + ShiftJisToUtf8(refused);
        return 1;
    }
    if (mp::LoadTree(gameFolder, input.game.entries, &refused) != 0) {
        *problem = "game folder " + input.gameShown + ": " + ShiftJisToUtf8(refused);
        return 1;
    }
    // update.ini is the one file whose bytes the program reads.
    if (input.patch.keptFound) mp::AddFile(patchFolder + "\\update.ini", input.patch.keptContent);
    if (input.afterLoading) input.afterLoading(patchFolder, gameFolder);
    report->freeBytesGiven = input.freeBytesGiven;
    report->freeBytes = input.freeBytes;
    if (input.freeBytesGiven) mp::SetFreeSpace(input.freeBytes);

    report->commandArguments = input.commandArguments;
    // Started in its own folder, as Explorer starts it.
    PlatformSetCurrentDirectory(patchFolder.c_str());
    mp::SetCommandLine(ProgramCommandLine(patchFolder, input.commandArguments));
    if (input.patch.keptFound) WarnAboutEncoding(input.patch.keptContent, &report->warnings);
    if (PrepareStartup() == 0) {
        report->startedUp = true;
        WarnAboutEmptyTexts(!CommandLineChoices.Silent, &report->warnings);
        WarnAboutRegistryPath(input.patch.keptContent, &report->warnings);
        // Without a window (/S) the program makes none, and the run starts at once.
        if (!CommandLineChoices.Silent)
            WindowHandles = {&MainWindow, &TopText, &BodyText, &StartButton, &CancelButton, &FinishButton};
        mp::SetRegistryString(UpdateDescription.RegistryKeyPath, "SAV_FOLDER", gamePath);
        const std::string updateFolder = patchFolder + "\\update";
        const std::vector<std::string> updateFiles = ListUpdateFiles(updateFolder);
        WarnBeforeRun(updateFolder, gameFolder, updateFiles, &report->warnings);
        StartRecordingProgress(&report->progress);
        report->completes = RunUpdate() == 0;
        StopRecordingProgress();
        // The log as the program left it: the author's checks below walk the
        // tree again, and a walk that stops notes where.
        TakeLog(report);
        RecordOutcome(gameFolder, input.listAfter, report);
        RecordDeltas(patchFolder, report);
        WarnAfterRun(updateFolder, updateFiles, *report, &report->warnings);
    } else {
        RecordOutcome(gameFolder, input.listAfter, report);
    }
    report->silent = CommandLineChoices.Silent;
    report->exitStatus = report->silent ? (int)LastRunOutcome : 0;
    if (!report->startedUp) TakeLog(report);
    return 0;
}
