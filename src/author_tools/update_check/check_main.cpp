// update-check PATCH_FOLDER GAME_FOLDER: what update.exe would do to a game
// folder, found by running the program's own code on an in-memory machine.
#include <stdint.h>

#include <string>
#include <vector>

#include "author_tools/host/console_io.h"
#include "author_tools/host/folder_reader.h"
#include "author_tools/run/patch_check.h"
#include "author_tools/run/report_writers.h"
#include "author_tools/host/text_conversion.h"
#include "author_tools/host/windows_path.h"
#include "update_version.h"

namespace {

enum ExitStatus { Completes = 0, CompletesWithWarnings = 1, Fails = 2, UsageOrReadError = 3 };

const char Usage[] =
    "usage: update-check [--json] [--list-after] [--patch-path C:\\Patch] [--game-path C:\\Game] "
    "[--command-line \"/S /LOG=C:\\log.txt C:\\Game\"] [--free-bytes N] PATCH_FOLDER GAME_FOLDER\n";

const char Help[] =
    "\nShows what update.exe does to GAME_FOLDER with the patch in PATCH_FOLDER (update.ini and update\\): its\n"
    "boxes, the changes to the game folder and the author's warnings, found by running the program's own code\n"
    "on an in-memory copy of the folders. Exit status: 0 the run completes, 1 with warnings, 2 it fails,\n"
    "3 a usage or read error. --version shows the version.\n";

struct Options {
    std::string patchFolder, gameFolder;  // on this machine, UTF-8
    std::string patchPath = "C:\\Patch", gamePath = "C:\\Game";
    bool gamePathGiven = false;  // else a game folder on the command line places the game
    std::string commandArguments;  // UTF-8
    bool json = false;
    bool listAfter = false;
    bool freeBytesGiven = false;  // the game folder's volume has only freeBytes free
    uint64_t freeBytes = 0;
};

// A count of bytes in decimal digits, as --free-bytes takes it.
bool ParseByteCount(const std::string& text, uint64_t* count) {
    if (text.empty() || text.size() > 19 || text.find_first_not_of("0123456789") != std::string::npos) return false;
    *count = std::stoull(text);
    return true;
}

int Fail(const std::string& line) {
    WriteUtf8(stderr, "update-check: " + line + "\n");
    return UsageOrReadError;
}

// 0 and the options; 1 and the reason.
int ParseOptions(const std::vector<std::string>& arguments, Options* options, std::string* problem) {
    std::vector<std::string> folders;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--json") {
            options->json = true;
        } else if (argument == "--list-after") {
            options->listAfter = true;
        } else if (argument == "--patch-path" || argument == "--game-path" || argument == "--command-line") {
            if (i + 1 >= arguments.size()) {
                *problem = argument + (argument == "--command-line" ? " needs the arguments" : " needs a Windows path");
                return 1;
            }
            if (argument == "--game-path") options->gamePathGiven = true;
            (argument == "--patch-path"  ? options->patchPath
             : argument == "--game-path" ? options->gamePath
                                         : options->commandArguments) = arguments[++i];
        } else if (argument == "--free-bytes") {
            if (i + 1 >= arguments.size() || !ParseByteCount(arguments[i + 1], &options->freeBytes)) {
                *problem = "--free-bytes needs a count of bytes";
                return 1;
            }
            options->freeBytesGiven = true;
            ++i;
        } else if (argument.size() > 1 && argument[0] == '-') {
            *problem = "unknown option " + argument;
            return 1;
        } else {
            folders.push_back(argument);
        }
    }
    if (folders.size() != 2) {
        *problem = "a patch folder and a game folder are needed";
        return 1;
    }
    options->patchFolder = folders[0];
    options->gameFolder = folders[1];
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    std::string problem;
    const std::vector<std::string> arguments = Utf8Arguments(argc, argv);
    for (const std::string& argument : arguments)
        if (argument == "--help" || argument == "-h") return WriteUtf8(stdout, std::string(Usage) + Help), Completes;
    for (const std::string& argument : arguments)
        if (argument == "--version") return WriteUtf8(stdout, "update-check " UPDATE_VERSION "\n"), Completes;
    if (ParseOptions(arguments, &options, &problem) != 0) {
        WriteUtf8(stderr, Usage);
        return Fail(problem);
    }
    CheckInput input;
    if (WindowsPath("--patch-path", options.patchPath, &input.patchPath, &problem) != 0 ||
        WindowsPath("--game-path", options.gamePath, &input.gamePath, &problem) != 0)
        return Fail(problem);
    if (Utf8ToShiftJis(options.commandArguments, &input.commandArguments) != 0)
        return Fail("--command-line " + options.commandArguments + ": its " + WhyNoShiftJisForm(options.commandArguments));
    input.gamePathGiven = options.gamePathGiven;
    input.patchShown = options.patchFolder;
    input.gameShown = options.gameFolder;
    input.listAfter = options.listAfter;
    input.freeBytesGiven = options.freeBytesGiven;
    input.freeBytes = options.freeBytes;
    if (ReadFolder(options.patchFolder, "update.ini", &input.patch, &problem) != 0)
        return Fail("patch folder " + options.patchFolder + ": " + problem);
    if (ReadFolder(options.gameFolder, "update.ini", &input.game, &problem) != 0)
        return Fail("game folder " + options.gameFolder + ": " + problem);
    // The folders named the other way round: the program would only show its
    // box about update.ini.
    if (!input.patch.keptFound && input.game.keptFound)
        return Fail("patch folder " + options.patchFolder + ": has no update.ini, but the game folder " +
                    options.gameFolder + " has: the order is PATCH_FOLDER GAME_FOLDER, the patch first");

    CheckReport report;
    if (CheckPatch(input, &report, &problem) != 0) return Fail(problem);
    WriteUtf8(stdout, options.json ? ReportAsJson(report, options.listAfter) : ReportAsText(report, options.listAfter));
    if (!report.completes) return Fails;
    return report.warnings.empty() ? Completes : CompletesWithWarnings;
}
