#include <string>

#include "author_tools/run/report_writers.h"
#include "author_tools/host/text_conversion.h"
#include "state/progress_texts.h"

namespace {

std::string Utf8(const std::string& shiftJis) { return ShiftJisToUtf8(shiftJis); }

// Continuation lines of a box text line up under its first line.
std::string Indented(const std::string& text, const std::string& indent) {
    std::string result;
    for (char c : text) {
        result += c;
        if (c == '\n') result += indent;
    }
    return result;
}

std::string Bytes(uint64_t size) { return std::to_string(size) + (size == 1 ? " byte" : " bytes"); }

// Megabytes of 1,048,576 bytes, as the program's box shows them: what is needed
// rounded up, what is free rounded down.
std::string BytesAndMegabytes(uint64_t size, bool roundUp) {
    return Bytes(size) + " (" + std::to_string(size / 1048576 + (roundUp && size % 1048576 != 0)) + " MB)";
}

std::string Outcome(const CheckReport& report) {
    if (!report.startedUp && report.silent) return "The program stops at start-up.";
    if (!report.startedUp) return "The program stops at start-up: its window never opens.";
    if (report.completes) return "The run completes.";
    return "The run fails.";
}

std::string ChangeLine(const GameChange& change) {
    std::string line = "  " + std::string(ChangeKindName(change.kind));
    line.resize(18, ' ');
    line += Utf8(change.path);
    if (ChangeHasSize(change.kind)) line += "  (" + Bytes(change.size) + ")";
    if (change.engine) line += "  the engine executable, before the verification";
    if (!change.deltaFile.empty())
        line += (change.deltaFile.compare(0, 6, "whole\\") == 0 ? "  the patch's whole new file " : "  made from the delta ") +
                Utf8(change.deltaFile) + " (" + Bytes(change.deltaSize) + ")";
    return line + "\n";
}

// The share of the new file the delta is, to a tenth of a percent.
std::string Share(uint64_t part, uint64_t whole) {
    if (whole == 0) return "";
    uint64_t tenths = (part * 1000 + whole / 2) / whole;
    return ", " + std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + "% of it";
}

std::string DeltasAsText(const CheckReport& report) {
    std::string text = "\nDeltas (" + std::to_string(report.deltas.size()) +
                       "), each new version made and checked before anything changes:\n";
    if (report.deltas.empty()) text += "  none\n";
    for (const DeltaSeen& delta : report.deltas)
        text += "  " + Utf8(delta.gameFile) + "  from " + Utf8(delta.deltaFile) +
                (delta.versions.empty() ? "" : " (" + Utf8(delta.versions) + ")") + ": " + Bytes(delta.deltaSize) +
                " for " + Bytes(delta.newSize) + Share(delta.deltaSize, delta.newSize) + "  " + delta.outcome + "\n";
    if (report.deltaBytesSaved >= 0)
        text += "Saved by deltas: " + std::to_string(report.deltaBytesSaved) +
                " bytes: the new files whole, less the deltas and deltas.txt\n";
    else
        text += "Saved by deltas: none: the deltas and deltas.txt take " + std::to_string(-report.deltaBytesSaved) +
                " bytes more than the new files whole\n";
    return text;
}

std::string Count(int count, const char* what) {
    return std::to_string(count) + " " + what + (count == 1 ? "" : "s");
}

// The window's texts, stage by stage, and its last amount.
std::string ProgressAsText(const CheckReport& report) {
    const ProgressSeen& progress = report.progress;
    if (!progress.begun) return "Progress window: none, the run ends before it writes anything\n";
    if (report.silent) return "Progress window: none, the run has no window\n";
    std::string text = "Progress window (once the run has worked for half a second), " + Bytes(progress.total) +
                       " in all:\n";
    for (size_t i = 0; i < progress.stages.size(); ++i) {
        const ProgressStageSeen& stage = progress.stages[i];
        text += "  " + std::to_string(i + 1) + ". " + Utf8(ProgressStageText(stage.stage)) + "  " +
                Count(stage.files, "file");
        if (stage.bytes != 0) text += ", " + Bytes(stage.bytes);
        text += "\n";
    }
    char amount[128];
    FormatProgressAmount(amount, sizeof amount, progress.done, progress.total);
    text += "  closes at " + Utf8(amount);
    if (progress.closedBeforeBox != 0) text += ", before box " + std::to_string(progress.closedBeforeBox);
    return text + "\n";
}

}  // namespace

std::string BoxesAsText(const std::vector<BoxSeen>& boxes) {
    std::string text;
    if (boxes.empty()) text += "  none\n";
    for (size_t i = 0; i < boxes.size(); ++i) {
        const BoxSeen& box = boxes[i];
        std::string number = "  " + std::to_string(i + 1) + ". ";
        std::string indent(number.size(), ' ');
        text += number + Indented(Utf8(box.title), indent) + (box.warning ? "  (warning icon)" : "  (no icon)") +
                "\n" + indent + Indented(Utf8(box.text), indent) + "\n";
    }
    return text;
}

std::string ReportAsText(const CheckReport& report, bool listAfter) {
    std::string text = "update-check: the patch at " + Utf8(report.patchPath) + ", the game at " +
                       Utf8(report.gamePath) + (report.silent ? ", run without a window" : ", Start pressed once") +
                       "\n";
    if (!report.commandArguments.empty()) text += "Command line: update.exe " + Utf8(report.commandArguments) + "\n";
    if (!report.commandLineGameFolder.empty())
        text += "Game folder on the command line: " + Utf8(report.commandLineGameFolder) +
                (report.gameFolderDiffers ? ", but GAME_FOLDER is placed at " + Utf8(report.gamePath) +
                                                " (--game-path): the program looks at the command line's folder, "
                                                "not at GAME_FOLDER\n"
                                          : " (GAME_FOLDER is placed there)\n");
    text += "\nBoxes, in order:\n";
    text += report.silent && report.boxes.empty() ? "  none: without a window every box goes to the log\n"
                                                  : BoxesAsText(report.boxes);
    // With a window the log gets the notes alone: the boxes stay boxes.
    if (report.silent || !report.logFile.empty()) {
        if (report.logFile.empty()) text += "Log: none (no /LOG=)\n";
        else text += "Log " + Utf8(report.logFile) + (report.silent ? ", lines appended:\n" : ", notes appended:\n");
        std::string line;
        for (char c : Utf8(report.logText))
            if (c == '\n') text += "  " + line + "\n", line.clear();
            else if (c != '\r') line += c;
    }
    text += Outcome(report) + "\n";
    if (report.silent) text += "Exit status: " + std::to_string(report.exitStatus) + "\n";
    text += "\nChanges to the game folder:\n";
    if (report.changes.empty()) text += "  none\n";
    for (const GameChange& change : report.changes) text += ChangeLine(change);
    text += "Bytes written: " + std::to_string(report.bytesWritten) + "\n";
    text += "Space needed on the game folder's volume: " +
            (report.spaceMeasured ? BytesAndMegabytes(report.spaceNeeded, true) +
                                        ", what the patch adds and its largest file's temporary copy" +
                                        (report.deltas.empty() ? "" : ", and the new versions made from deltas")
                                  : std::string("not measured, the run ends before")) +
            "\n";
    if (report.freeBytesGiven) text += "Free space given: " + BytesAndMegabytes(report.freeBytes, false) + "\n";
    if (report.hasDeltaList) text += DeltasAsText(report);
    text += ProgressAsText(report);
    text += "\nWarnings for the author:\n";
    if (report.warnings.empty()) text += "  none\n";
    for (const AuthorWarning& warning : report.warnings)
        text += "  " + warning.kind + "  " + Utf8(warning.path) + ": " + Utf8(warning.message) + "\n";
    if (listAfter) {
        text += "\nThe game folder afterwards:\n";
        for (const ObjectAfter& object : report.after) {
            text += "  " + Utf8(object.path);
            if (!object.folder) text += "  " + Bytes(object.size);
            if (object.readOnly) text += "  read-only";
            text += "\n";
        }
    }
    return text;
}
