#include "author_tools/update_make/make_tool.h"

#include <unistd.h>

#include <set>
#include <thread>
#include <tuple>

#include "author_tools/host/local_files.h"
#include "author_tools/host/windows_path.h"
#include "author_tools/update_make/delta_files.h"
#include "author_tools/update_make/delta_maker.h"
#include "author_tools/update_make/folder_order.h"
#include "author_tools/update_make/left_out_files.h"
#include "author_tools/update_make/make_report.h"
#include "author_tools/update_make/old_versions.h"
#include "author_tools/update_make/parallel_compare.h"
#include "author_tools/update_make/patch_maker.h"
#include "author_tools/update_make/release_program.h"
#include "text/shift_jis.h"
#include "text/text.h"

namespace mp = memory_platform;

namespace {

const char Usage[] =
    "usage: update-make [--json] [--texts UPDATE_INI] [--game-name TEXT] [--reg-path KEY] [--caption TEXT]\n"
    "                   [--width N] [--height N] [--comment0 TEXT] [--comment1 TEXT] [--attention1 TEXT]\n"
    "                   [--exe UPDATE_EXE] [--game-path C:\\Game] [--patch-path C:\\Patch] [--delta | --no-delta]\n"
    "                   [--also-whole] [--exclude PATTERN]... [--label NAME]... OLD_GAME [OLD_GAME...] NEW_GAME\n"
    "                   PATCH_FOLDER\n";

const char Help[] =
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

// The options that give a line of update.ini, in the order a first patch writes them.
const char* const TextOptions[][2] = {{"--game-name", "[GameName]"}, {"--reg-path", "[RegPath]"},
                                      {"--caption", "[Caption]"},     {"--width", "[Width]"},
                                      {"--height", "[Height]"},       {"--comment0", "[Comment0]"},
                                      {"--comment1", "[Comment1]"},   {"--attention1", "[Attention1]"}};

// A first patch's window without --width, --height and --attention1.
const char DefaultAttention[] =
    "\xE6\x9B\xB4\xE6\x96\xB0\xE3\x81\x99\xE3\x82\x8B\xE3\x83\x95\xE3\x82\xA1\xE3\x82\xA4\xE3\x83\xAB\xE3\x81\x8C"
    "\xE8\xA6\x8B\xE3\x81\xA4\xE3\x81\x8B\xE3\x82\x8A\xE3\x81\xBE\xE3\x81\x9B\xE3\x82\x93\xE3\x80\x82";  // 更新するファイルが見つかりません。

struct Options {
    std::string oldFolder, newFolder, patchFolder;  // on this machine, UTF-8
    std::vector<std::string> laterOldFolders;       // more old versions, after oldFolder
    std::vector<std::string> labels;                // --label, UTF-8
    std::string patchPath = "C:\\Patch", gamePath = "C:\\Game";
    std::string texts, exe;
    std::vector<std::string> excludes;  // UTF-8
    std::vector<std::pair<std::string, std::string>> values;  // key, UTF-8 value, in TextOptions order
    bool json = false;
    bool alsoWhole = false;  // --also-whole
    DeltaMode deltas = DeltaMode::Wanted;
};

int ParseOptions(const std::vector<std::string>& arguments, Options* options, std::string* problem) {
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

bool IsSeparator(char c) {
#ifdef _WIN32
    return c == '/' || c == '\\';
#else
    return c == '/';
#endif
}

std::string WithoutTrailingSeparators(std::string path) {
    while (path.size() > 1 && IsSeparator(path.back())) path.pop_back();
    return path;
}

// The temporary folder beside the patch folder: ".NAME.update-make-PID".
std::string TemporaryBeside(const std::string& folder) {
    size_t slash = folder.size();
    while (slash > 0 && !IsSeparator(folder[slash - 1])) --slash;
    return folder.substr(0, slash) + "." + folder.substr(slash) + ".update-make-" + std::to_string((long)getpid());
}

// The first patch's texts that the author did not give.
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

// The folders of a patch's tree (update\ or whole\) made as files are
// copied into it, each once.
struct TreeWriter {
    std::string root;  // on this machine
    std::set<std::string> made;

    // Every folder along a Shift-JIS path (its last name too with withLast), as NEW spells it.
    int Ensure(const std::string& path, bool withLast, std::string* problem) {
        for (size_t i = 0; i <= path.size(); ++i) {
            bool end = i == path.size();
            if (!end && path[i] != '\\') {
                // A double-byte character's second byte is never a separator.
                if (IsShiftJisLeadByte((unsigned char)path[i]) && i + 1 < path.size()) ++i;
                continue;
            }
            if (end && !withLast) break;
            const std::string prefix = path.substr(0, i);
            if (prefix.empty() || !made.insert(prefix).second) continue;
            if (MakeLocalFolder(LocalPath(root, prefix), problem) != 0) return 1;
        }
        return 0;
    }
    // NEW's file at path, copied below root.
    int Copy(const Options& options, const FolderRead& newRead, const PlannedFile& file, uint64_t* bytes,
             std::string* problem) {
        if (Interrupted()) return *problem = "interrupted", 1;
        return Ensure(file.path, false, problem) != 0 ||
               CopyLocalFile(LocalPath(options.newFolder, newRead.entries[file.source].relativePath),
                             LocalPath(root, file.path), bytes, problem) != 0;
    }
};

int WritePatch(const Options& options, const FolderRead& newRead, const PatchPlan& plan, const std::string& description,
               const std::string& temporary, MakeReport* report, std::string* problem) {
    if (WriteLocalFile(temporary + "/update.ini", description, problem) != 0) return 1;
    report->descriptionBytes = description.size();
    if (CopyLocalFile(options.exe, temporary + "/update.exe", &report->exeBytes, problem) != 0) return 1;
    TreeWriter update{temporary + "/update", {}};
    if (MakeLocalFolder(update.root, problem) != 0) return 1;
    for (const std::string& folder : plan.newFolders)
        if (update.Ensure(folder, true, problem) != 0) return 1;
    for (const auto* list : {&plan.added, &plan.replaced})
        for (const PlannedFile& file : *list) {
            if (list == &plan.replaced && report->deltas.Uses((size_t)(&file - plan.replaced.data()))) continue;
            uint64_t bytes = 0;
            if (update.Copy(options, newRead, file, &bytes, problem) != 0) return 1;
            ++report->updateFiles;
            report->updateBytes += bytes;
        }
    // --also-whole: each file the deltas make, whole, apart from update\ (whose
    // copy the program would make for every version).
    if (!options.alsoWhole || report->deltas.deltas.empty()) return 0;
    TreeWriter whole{temporary + "/whole", {}};
    if (MakeLocalFolder(whole.root, problem) != 0) return 1;
    for (size_t i = 0; i < plan.replaced.size(); ++i) {
        uint64_t bytes = 0;
        if (!report->deltas.Uses(i)) continue;
        if (whole.Copy(options, newRead, plan.replaced[i], &bytes, problem) != 0) return 1;
        ++report->alsoWholeFiles;
        report->alsoWholeBytes += bytes;
    }
    return 0;
}

// Without an encoder every changed file travels whole, which may make a patch
// a hundred times larger than it need be: the author hears of it, with what
// travels whole that a delta could have carried.
void WarnOfNoEncoder(PatchPlan* plan) {
    size_t count = 0;
    uint64_t bytes = 0;
    for (const PlannedFile& file : plan->replaced)
        if (DeltaCandidate(file)) ++count, bytes += file.size;
    if (count == 0) return;
    plan->warnings.push_back(AuthorWarning{
        "no-delta-encoder", "",
        std::to_string(count) + (count == 1 ? " changed file" : " changed files") + " of " +
            std::to_string(DeltaMinimumSize / 1024) + " KiB or more (" + std::to_string(bytes) +
            " bytes) travel whole, as the patch was made without deltas: " + DeltaEncoderAdvice() +
            "; or give --no-delta to make a whole-file patch on purpose"});
}

// A later old version: its folder (UTF-8), its name (Shift-JIS), the folder as
// read, its own plan and the NEW files its run must make from deltas.
struct OldVersion {
    std::string folder, label;
    FolderRead read;
    PatchPlan plan;
    std::set<size_t> byDelta;
};

// One make, from the command line to the report. Each phase returns 0 to go
// on, or the exit status the make ends with.
struct MakeRun {
    Options options;
    MakeReport report;
    DescriptionTexts texts;
    std::vector<AuthorWarning> programWarnings;
    FolderRead oldRead, newRead, patchRead;
    std::string firstLabel;           // the first old version's name, with several
    std::vector<OldVersion> laterOld;  // the other old versions, each planned on its own
    std::string description;
    std::string temporary;     // the patch as it is built, beside the patch folder
    std::set<size_t> byDelta;  // NEW's files the deltas make
    std::string problem;
    std::string* err;

    int Fail(int status, const std::string& line) {
        *err += "update-make: " + line + "\n";
        return status;
    }
};

// The options, the program the patch carries, the texts, and both folders as read.
int ReadInputs(MakeRun& run, const std::vector<std::string>& arguments) {
    Options& options = run.options;
    std::string& problem = run.problem;
    if (ParseOptions(arguments, &options, &problem) != 0) {
        *run.err += Usage;
        return run.Fail(MakeUsageOrReadError, problem);
    }
    MakeSettings& settings = run.report.settings;
    if (WindowsPath("--patch-path", options.patchPath, &settings.patchPath, &problem) != 0 ||
        WindowsPath("--game-path", options.gamePath, &settings.gamePath, &problem) != 0)
        return run.Fail(MakeUsageOrReadError, problem);
    settings.oldShown = options.oldFolder;
    for (const std::string& later : options.laterOldFolders) settings.oldShown += " and " + later;
    settings.newShown = options.newFolder;
    run.report.patchShown = options.patchFolder;
    options.patchFolder = WithoutTrailingSeparators(options.patchFolder);
    for (size_t v = 0; v <= options.laterOldFolders.size(); ++v) {
        const std::string& old = v == 0 ? options.oldFolder : options.laterOldFolders[v - 1];
        if (int status = CheckFolderRoles(old, options.newFolder, options.patchFolder, run.report.patchShown, &problem))
            return run.Fail(status, problem);
        if (options.laterOldFolders.empty()) break;
        std::string label;
        if (VersionLabel(options.labels.empty() ? "" : options.labels[v], old, &label, &problem) != 0)
            return run.Fail(MakeUsageOrReadError, problem);
        if (v == 0) run.firstLabel = label;
        else run.laterOld.push_back(OldVersion{old, label, {}, {}, {}});
    }
    if (options.exe.empty()) options.exe = ToolFolder() + "/update.exe";
    if (!LocalFileExists(options.exe))
        return run.Fail(MakeUsageOrReadError, "no update.exe at " + options.exe +
                                                  ": give the release update.exe with --exe (cmake --preset win32 && "
                                                  "cmake --build --preset win32 builds build/win32/src/shell/update.exe)");
    if (CheckReleaseProgram(options.exe, &run.programWarnings, &problem) != 0)
        return run.Fail(MakeUsageOrReadError, problem);
    run.texts.values = options.values;
    if (!options.texts.empty()) {
        run.texts.haveTexts = true;
        if (ReadLocalFile(options.texts, &run.texts.texts, &problem) != 0)
            return run.Fail(MakeUsageOrReadError, "--texts " + options.texts + ": " + problem);
    } else {
        AddDefaults(&run.texts.values);
    }

    // The two folders are read at once: the system calls, not the tool, take
    // the time. NEW's Wine marks do not matter (the patch copies bytes, not marks).
    std::string newProblem;
    int newStatus = 0;
    std::thread readNew([&] { newStatus = ReadFolder(options.newFolder, "", &run.newRead, &newProblem, false); });
    int oldStatus = ReadFolder(options.oldFolder, "", &run.oldRead, &problem);
    readNew.join();
    for (auto [folder, read, status, reason] : {std::tuple{&options.oldFolder, &run.oldRead, oldStatus, &problem},
                                                std::tuple{&options.newFolder, &run.newRead, newStatus, &newProblem}})
        if (status != 0)
            return run.Fail(read->nameRefused ? RefusedOrNotProven : MakeUsageOrReadError,
                            std::string(read->nameRefused ? "refused: " : "") + *folder + ": " + *reason +
                                (read->nameRefused ? "; nothing was written" : ""));
    for (OldVersion& old : run.laterOld)
        if (ReadFolder(old.folder, "", &old.read, &problem) != 0)
            return run.Fail(old.read.nameRefused ? RefusedOrNotProven : MakeUsageOrReadError,
                            std::string(old.read.nameRefused ? "refused: " : "") + old.folder + ": " + problem +
                                (old.read.nameRefused ? "; nothing was written" : ""));
    std::vector<std::string> excludes;
    if (ExcludePatterns(options.excludes, &excludes, &problem) != 0) return run.Fail(MakeUsageOrReadError, problem);
    run.report.excludedOld = ExcludeEntries(excludes, &run.oldRead);
    run.report.excludedNew = ExcludeEntries(excludes, &run.newRead);
    for (OldVersion& old : run.laterOld) ExcludeEntries(excludes, &old.read);
    return 0;
}

// What changes (the files compared on two threads), the warnings, update.ini's
// text and the encoder the deltas will come from.
int PlanThePatch(MakeRun& run) {
    const Options& options = run.options;
    MakeReport& report = run.report;
    WatchInterruptions();
    ComparedBeforehand compared;
    compared.Compare(options.oldFolder, options.newFolder, run.oldRead, run.newRead);
    FileComparer compare = [&](size_t oldIndex, size_t newIndex, std::string* reason) {
        int verdict = compared.Verdict(oldIndex, newIndex, reason);
        if (verdict >= 0) return verdict;
        return CompareLocalFiles(LocalPath(options.oldFolder, run.oldRead.entries[oldIndex].relativePath),
                                 LocalPath(options.newFolder, run.newRead.entries[newIndex].relativePath),
                                 run.oldRead.entries[oldIndex].size, reason);
    };
    switch (PlanPatch(run.oldRead, run.newRead, report.settings, compare, &report.plan, &run.problem)) {
    case PlanResult::Refused: return run.Fail(RefusedOrNotProven, "refused: " + run.problem + "; nothing was written");
    case PlanResult::ReadError: return run.Fail(MakeUsageOrReadError, run.problem);
    case PlanResult::Planned: break;
    }
    // Each later version on its own; the patch carries what any of them needs.
    for (OldVersion& old : run.laterOld) {
        FileComparer compareOld = [&](size_t oldIndex, size_t newIndex, std::string* reason) {
            return CompareLocalFiles(LocalPath(old.folder, old.read.entries[oldIndex].relativePath),
                                     LocalPath(options.newFolder, run.newRead.entries[newIndex].relativePath),
                                     old.read.entries[oldIndex].size, reason);
        };
        switch (PlanPatch(old.read, run.newRead, report.settings, compareOld, &old.plan, &run.problem)) {
        case PlanResult::Refused: return run.Fail(RefusedOrNotProven, "refused: " + run.problem + "; nothing was written");
        case PlanResult::ReadError: return run.Fail(MakeUsageOrReadError, run.problem);
        case PlanResult::Planned: break;
        }
        MergeVersionPlan(old.plan, &report.plan);
    }
    if (!run.laterOld.empty() && CheckPlanLimits(report.plan, report.settings, &run.problem) != 0)
        return run.Fail(RefusedOrNotProven, "refused: " + run.problem + "; nothing was written");
    report.plan.warnings.insert(report.plan.warnings.end(), run.programWarnings.begin(), run.programWarnings.end());
    WarnIfVersionsSwapped(options.oldFolder, options.newFolder, run.newRead, &report.plan);
    if (ComposeDescription(run.texts, report.plan, &run.description, &run.problem) != 0)
        return run.Fail(MakeUsageOrReadError, run.problem);
    report.deltaMode = options.deltas;
    if (options.deltas != DeltaMode::Off) {
        report.deltas.encoder = FindDeltaEncoder();
        if (report.deltas.encoder.empty()) {
            if (options.deltas == DeltaMode::Required)
                return run.Fail(MakeUsageOrReadError, std::string("--delta: ") + DeltaEncoderAdvice());
            report.deltas.none = DeltaEncoderAdvice();
            WarnOfNoEncoder(&report.plan);
        }
    }
    return 0;
}

// The patch built in its temporary folder beside the patch folder: the deltas
// first, then update.ini, update.exe and update\, read back for the proof.
int MakeDeltasAndWrite(MakeRun& run) {
    const Options& options = run.options;
    MakeReport& report = run.report;
    run.temporary = TemporaryBeside(options.patchFolder);
    std::vector<OldVersionFiles> olds{{options.oldFolder, &run.oldRead, run.firstLabel}};
    for (const OldVersion& old : run.laterOld) olds.push_back({old.folder, &old.read, old.label});
    bool made = MakeLocalFolder(run.temporary, &run.problem) == 0 &&
                (report.deltas.encoder.empty() ||
                 MakeDeltas(report.plan, olds, run.newRead, options.newFolder, run.temporary, &report.deltas,
                            &run.problem) == 0);
    // The run reads the files deltas patch, deltas.txt and the deltas from the
    // disk; each version's run must replace the files it has a delta for.
    for (const DeltaFile& delta : report.deltas.deltas)
        for (const auto& [v, k] : delta.from) {
            FolderRead& read = v == 0 ? run.oldRead : run.laterOld[v - 1].read;
            (v == 0 ? run.byDelta : run.laterOld[v - 1].byDelta).insert(report.plan.replaced[delta.replaced].source);
            read.entries[k].diskPath = LocalPath(olds[v].folder, read.entries[k].relativePath);
        }
    bool written = made &&
                   WritePatch(options, run.newRead, report.plan, run.description, run.temporary, &report,
                              &run.problem) == 0 &&
                   ReadFolder(run.temporary, "update.ini", &run.patchRead, &run.problem) == 0;
    if (!written) {
        RemoveLocalTree(run.temporary);
        return run.Fail(MakeUsageOrReadError, run.problem + "; nothing was written");
    }
    for (mp::TreeEntry& entry : run.patchRead.entries)
        if (!entry.directory && (EqualIgnoringAsciiCase(entry.relativePath.c_str(), "deltas.txt") ||
                                 EqualIgnoringAsciiCase(entry.relativePath.substr(0, 7).c_str(), "deltas\\") ||
                                 EqualIgnoringAsciiCase(entry.relativePath.substr(0, 6).c_str(), "whole\\")))
            entry.diskPath = LocalPath(run.temporary, entry.relativePath);
    return 0;
}

// The program's own run of the patch on OLD; a proven patch takes the patch
// folder's place, any other is removed.
int ProveAndPlace(MakeRun& run) {
    MakeReport& report = run.report;
    // Each later version first, on its own plan with every warning; then the
    // first, to which OLD and the patch as read go: the proof is the last to
    // need them (a game may have 50,000 files).
    for (OldVersion& old : run.laterOld) {
        PatchPlan plan = old.plan;
        plan.warnings = report.plan.warnings;
        ProofResult proof;
        if (ProvePatch(std::move(old.read), run.newRead, run.patchRead, plan, old.byDelta, report.settings, &proof,
                       &run.problem) != 0) {
            RemoveLocalTree(run.temporary);
            return run.Fail(MakeUsageOrReadError, run.problem + "; nothing was written");
        }
        report.versionsProven.push_back({old.label, proof.proven});
        for (const ProofDifference& difference : proof.differences)
            report.laterDifferences.push_back(ProofDifference{difference.path, "(" + old.label + ") " +
                                                                                   difference.message});
    }
    if (ProvePatch(std::move(run.oldRead), run.newRead, std::move(run.patchRead), report.plan, run.byDelta,
                   report.settings, &report.proof, &run.problem) != 0) {
        RemoveLocalTree(run.temporary);
        return run.Fail(MakeUsageOrReadError, run.problem + "; nothing was written");
    }
    if (!run.laterOld.empty()) report.versionsProven.insert(report.versionsProven.begin(), {run.firstLabel, report.proof.proven});
    for (const ProofDifference& difference : report.laterDifferences) report.proof.differences.push_back(difference);
    for (const auto& [label, proven] : report.versionsProven) report.proof.proven = report.proof.proven && proven;
    // The run checked every delta's result against NEW's SHA-256. Where it
    // failed, the deltas the decoder does not turn into NEW's file are named.
    if (!report.proof.proven) FindRejectedDeltas(run.temporary, &report.deltas);
    for (const ProofDifference& rejected : report.deltas.rejected) report.proof.differences.push_back(rejected);
    // The texts as the program read them: an empty title or window text.
    for (const AuthorWarning& warning : report.proof.check.warnings)
        if (warning.kind == "text-empty") report.plan.warnings.push_back(warning);
    if (!report.proof.proven) {
        RemoveLocalTree(run.temporary);
        return 0;
    }
    if (Interrupted() || RenameLocalFolder(run.temporary, run.options.patchFolder, &run.problem) != 0) {
        RemoveLocalTree(run.temporary);
        return run.Fail(MakeUsageOrReadError,
                        (Interrupted() ? std::string("interrupted") : run.problem) + "; nothing was written");
    }
    report.placed = true;
    return 0;
}

// The report, and the exit status it ends with.
int Report(const MakeRun& run, std::string* out) {
    const MakeReport& report = run.report;
    *out += run.options.json ? MakeReportAsJson(report) : MakeReportAsText(report);
    if (!report.proof.proven) return RefusedOrNotProven;
    return report.plan.warnings.empty() ? MadeAndProven : MadeWithWarnings;
}

}  // namespace

int RunUpdateMake(const std::vector<std::string>& arguments, std::string* out, std::string* err) {
    for (const std::string& argument : arguments)
        if (argument == "--help" || argument == "-h") return *out += std::string(Usage) + Help, MadeAndProven;
    MakeRun run;
    run.err = err;
    if (int status = ReadInputs(run, arguments)) return status;
    if (int status = PlanThePatch(run)) return status;
    if (int status = MakeDeltasAndWrite(run)) return status;
    if (int status = ProveAndPlace(run)) return status;
    return Report(run, out);
}
