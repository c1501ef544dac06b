#include "author_tools/update_make/make_options.h"

extern const char MakeUsage[] =
    "usage: update-make [--json] [--texts UPDATE_INI] [--game-name TEXT] [--reg-path KEY] [--caption TEXT]\n"
    "                   [--width N] [--height N] [--comment0 TEXT] [--comment1 TEXT] [--attention1 TEXT]\n"
    "                   [--exe UPDATE_EXE] [--game-path C:\\Game] [--patch-path C:\\Patch] [--delta | --no-delta]\n"
    "                   [--also-whole] [--exclude PATTERN]... [--label NAME]... OLD_GAME [OLD_GAME...] NEW_GAME\n"
    "                   PATCH_FOLDER\n";

extern const char MakeHelp[] =
    "\nMakes a patch in PATCH_FOLDER (new, or an empty folder) that turns the game in OLD_GAME into the one in\n"
    "NEW_GAME, and proves it with update.exe's own run. The patch carries the release update.exe: the one\n"
    "beside update-make, or --exe (on Linux, build it with cmake --preset win32 && cmake --build --preset win32:\n"
    "build/win32/src/shell/update.exe). A first patch takes its texts from the options (--reg-path is needed;\n"
    "--game-name, --caption, --comment0 and --comment1 fill the window), a later one from --texts and the\n"
    "previous patch's update.ini. Exit status: 0 made and proven, 1 with warnings, 2 refused or not proven\n"
    "(nothing written), 3 a usage or read error. --version shows the version.\n"
    "--exclude PATTERN leaves out the files and folders it matches, by their path relative to the game folder or\n"
    "by their name (* any run of characters, ? one, / or \\ between names, letters in either case), in OLD as in\n"
    "NEW: the patch neither carries nor deletes them (--exclude Thumbs.db --exclude .git --exclude '*~').\n"
    "Several OLD_GAME folders make one patch for each of those versions: a changed file travels as a delta from\n"
    "each old content it has; each version is named by its folder, or by --label, once for each OLD_GAME in order,\n"
    "and the patch is proven on each. --also-whole carries each file the deltas make whole as well, in whole\\ beside\n"
    "update\\: a player's file of a version no delta starts from, or a damaged one, is then replaced by it.\n";

namespace {

// The options that give a line of update.ini, in the order a first patch writes them.
const char* const TextOptions[][2] = {{"--game-name", "[GameName]"}, {"--reg-path", "[RegPath]"},
                                      {"--caption", "[Caption]"},     {"--width", "[Width]"},
                                      {"--height", "[Height]"},       {"--comment0", "[Comment0]"},
                                      {"--comment1", "[Comment1]"},   {"--attention1", "[Attention1]"}};

// A first patch's window without --width, --height and --attention1.
const char DefaultAttention[] =
    "\xE6\x9B\xB4\xE6\x96\xB0\xE3\x81\x99\xE3\x82\x8B\xE3\x83\x95\xE3\x82\xA1\xE3\x82\xA4\xE3\x83\xAB\xE3\x81\x8C"
    "\xE8\xA6\x8B\xE3\x81\xA4\xE3\x81\x8B\xE3\x82\x8A\xE3\x81\xBE\xE3\x81\x9B\xE3\x82\x93\xE3\x80\x82";  // 更新するファイルが見つかりません。

}  // namespace

int ParseOptions(const std::vector<std::string>& arguments, MakeOptions* options, std::string* problem) {
    std::vector<std::string> folders;
    std::vector<std::pair<std::string, std::string>> given;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--json" || argument == "--also-whole") {
            (argument == "--json" ? options->json : options->alsoWhole) = true;
            continue;
        }
        if (argument == "--delta" || argument == "--no-delta") {
            DeltaMode mode = argument == "--delta" ? DeltaMode::Required : DeltaMode::Off;
            if (options->deltas != DeltaMode::Wanted && options->deltas != mode) {
                *problem = "--delta and --no-delta exclude each other";
                return 1;
            }
            options->deltas = mode;
            continue;
        }
        if (argument.size() > 1 && argument[0] == '-') {
            std::string* target = argument == "--texts"        ? &options->texts
                                  : argument == "--exe"        ? &options->exe
                                  : argument == "--game-path"  ? &options->gamePath
                                  : argument == "--patch-path" ? &options->patchPath
                                                               : nullptr;
            const char* key = nullptr;
            for (const auto& option : TextOptions)
                if (argument == option[0]) key = option[1];
            if (!target && !key && argument != "--exclude" && argument != "--label") {
                *problem = "unknown option " + argument;
                return 1;
            }
            if (i + 1 >= arguments.size()) {
                *problem = argument + " needs a value";
                return 1;
            }
            if (argument == "--exclude") options->excludes.push_back(arguments[++i]);
            else if (argument == "--label") options->labels.push_back(arguments[++i]);
            else if (target) *target = arguments[++i];
            else given.push_back({key, arguments[++i]});
            continue;
        }
        folders.push_back(argument);
    }
    if (folders.size() < 3) {
        *problem = "the old game folder, the new game folder and the patch folder to make are needed";
        return 1;
    }
    if (!options->labels.empty() && options->labels.size() != folders.size() - 2) {
        *problem = "--label names each old game folder in order: " + std::to_string(folders.size() - 2) +
                   " old folders, " + std::to_string(options->labels.size()) + " labels";
        return 1;
    }
    for (const auto& option : TextOptions)
        for (const auto& value : given)
            if (value.first == option[1]) options->values.push_back(value);
    for (const auto& value : options->values)
        if ((value.first == "[Width]" || value.first == "[Height]") &&
            (value.second.empty() || value.second.find_first_not_of("0123456789") != std::string::npos)) {
            *problem = value.first + " needs a number of pixels";
            return 1;
        }
    options->oldFolder = folders[0];
    options->laterOldFolders.assign(folders.begin() + 1, folders.end() - 2);
    options->newFolder = folders[folders.size() - 2];
    options->patchFolder = folders.back();
    return 0;
}

void AddDefaults(std::vector<std::pair<std::string, std::string>>* values) {
    auto has = [&](const char* key) {
        for (const auto& value : *values)
            if (value.first == key) return true;
        return false;
    };
    std::string gameName;
    for (const auto& value : *values)
        if (value.first == "[GameName]") gameName = value.second;
    if (!has("[Caption]") && !gameName.empty()) values->push_back({"[Caption]", gameName});
    if (!has("[Width]")) values->push_back({"[Width]", "440"});
    if (!has("[Height]")) values->push_back({"[Height]", "220"});
    if (!has("[Attention1]")) values->push_back({"[Attention1]", DefaultAttention});
}

