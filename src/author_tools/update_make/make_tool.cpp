#include "author_tools/update_make/make_tool.h"

#include <string.h>
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
#include "author_tools/update_make/make_options.h"
#include "author_tools/update_make/make_report.h"
#include "author_tools/update_make/old_versions.h"
#include "author_tools/update_make/parallel_compare.h"
#include "author_tools/update_make/patch_maker.h"
#include "author_tools/update_make/proof_ahead.h"
#include "author_tools/update_make/release_program.h"
#include "text/shift_jis.h"
#include "text/text.h"

namespace mp = memory_platform;

namespace {

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
    int Copy(const MakeOptions& options, const FolderRead& newRead, const PlannedFile& file, uint64_t* bytes,
             std::string* problem) {
        if (Interrupted()) return *problem = "interrupted", 1;
        return Ensure(file.path, false, problem) != 0 ||
               CopyLocalFile(LocalPath(options.newFolder, newRead.entries[file.source].relativePath),
                             LocalPath(root, file.path), bytes, problem) != 0;
    }
};

int WritePatch(const MakeOptions& options, const FolderRead& newRead, const PatchPlan& plan, const std::string& description,
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
    MakeOptions options;
    MakeReport report;
    DescriptionTexts texts;
    std::vector<AuthorWarning> programWarnings;
    FolderRead oldRead, newRead, patchRead;
    std::string firstLabel;           // the first old version's name, with several
    std::vector<OldVersion> laterOld;  // the other old versions, each planned on its own
    std::string description;
    std::string temporary;     // the patch as it is built, beside the patch folder
    std::set<size_t> byDelta;  // NEW's files the deltas make
    // The first version's proof, begun while the last delta was encoded, and
    // what the patch written for it counted; provenAhead: it holds for the patch.
    ProofAhead ahead;
    MakeReport aheadReport;
    bool provenAhead = false;
    std::string problem;
    std::string* err;

    int Fail(int status, const std::string& line) {
        *err += "update-make: " + line + "\n";
        return status;
    }
};

// The options, the program the patch carries, the texts, and both folders as read.
int ReadInputs(MakeRun& run, const std::vector<std::string>& arguments) {
    MakeOptions& options = run.options;
    std::string& problem = run.problem;
    if (ParseOptions(arguments, &options, &problem) != 0) {
        *run.err += MakeUsage;
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

// One old version's plan against NEW: 0, or the exit status of a refusal.
int PlanVersion(MakeRun& run, const FolderRead& oldRead, const FileComparer& compare, PatchPlan* plan) {
    switch (PlanPatch(oldRead, run.newRead, run.report.settings, compare, plan, &run.problem)) {
    case PlanResult::Refused: return run.Fail(RefusedOrNotProven, "refused: " + run.problem + "; nothing was written");
    case PlanResult::ReadError: return run.Fail(MakeUsageOrReadError, run.problem);
    case PlanResult::Planned: break;
    }
    return 0;
}

// What changes (the files compared on two threads), the warnings, update.ini's
// text and the encoder the deltas will come from.
int PlanThePatch(MakeRun& run) {
    const MakeOptions& options = run.options;
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
    if (int status = PlanVersion(run, run.oldRead, compare, &report.plan)) return status;
    // Each later version on its own; the patch carries what any of them needs.
    for (OldVersion& old : run.laterOld) {
        FileComparer compareOld = [&](size_t oldIndex, size_t newIndex, std::string* reason) {
            return CompareLocalFiles(LocalPath(old.folder, old.read.entries[oldIndex].relativePath),
                                     LocalPath(options.newFolder, run.newRead.entries[newIndex].relativePath),
                                     old.read.entries[oldIndex].size, reason);
        };
        if (int status = PlanVersion(run, old.read, compareOld, &old.plan)) return status;
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

bool InPatchFolder(const std::string& relativePath, const char* folder) {
    size_t length = strlen(folder);
    return EqualIgnoringAsciiCase(relativePath.substr(0, length).c_str(), folder);
}

// The run reads deltas.txt, the deltas and the whole files from the disk.
void PointAtPatchFiles(const std::string& temporary, FolderRead* patchRead) {
    for (mp::TreeEntry& entry : patchRead->entries)
        if (!entry.directory && entry.diskPath.empty() &&
            (EqualIgnoringAsciiCase(entry.relativePath.c_str(), "deltas.txt") ||
             InPatchFolder(entry.relativePath, "deltas\\") || InPatchFolder(entry.relativePath, "whole\\")))
            entry.diskPath = LocalPath(temporary, entry.relativePath);
}

// An old version as its run reads the deltas: its folder on this machine, the
// folder as read, and the NEW files its run must make from deltas.
struct DeltaSources {
    std::string folder;
    FolderRead* read;
    std::set<size_t>* byDelta;
};

// The run reads the files deltas patch, deltas.txt and the deltas from the
// disk; each version's run must replace the files it has a delta for.
void MarkDeltaSources(const DeltaResult& deltas, const PatchPlan& plan, const std::vector<DeltaSources>& versions) {
    for (const DeltaFile& delta : deltas.deltas)
        for (const auto& [v, k] : delta.from) {
            const DeltaSources& version = versions[v];
            version.byDelta->insert(plan.replaced[delta.replaced].source);
            version.read->entries[k].diskPath = LocalPath(version.folder, version.read->entries[k].relativePath);
        }
}

// What StartProofAhead writes beside the deltas, taken away again.
void RemoveWrittenBeside(const std::string& temporary) {
    for (const char* written : {"update.ini", "update.exe", "update", "whole"}) RemoveLocalTree(temporary + "/" + written);
}

// Whether a file may be read while the encoder writes it: on Windows an
// encoder may keep its output to itself (a share mode of none), and there the
// proof waits for the encoder to end.
#ifdef _WIN32
const bool ReadWhileWritten = false;
#else
const bool ReadWhileWritten = true;
#endif

// The patch written as it will be if the last delta is kept (update.ini,
// update.exe, update\ and whole\ beside the deltas.txt already there), read
// back with each delta read from where it is now, and the program's run on a
// copy of OLD begun beside the encoder, reading the delta it writes as it comes.
void StartProofAhead(MakeRun& run, const DeltaResult& expected, const std::vector<std::string>& readFrom,
                     const std::string& writing) {
    run.aheadReport = run.report;
    run.aheadReport.deltas = expected;
    FolderRead oldRead = run.oldRead, patchRead;
    std::set<size_t> byDelta;
    std::string problem;
    MarkDeltaSources(expected, run.report.plan, {{run.options.oldFolder, &oldRead, &byDelta}});
    if (WritePatch(run.options, run.newRead, run.report.plan, run.description, run.temporary, &run.aheadReport,
                   &problem) != 0 ||
        ReadFolder(run.temporary, "update.ini", &patchRead, &problem) != 0) {
        RemoveWrittenBeside(run.temporary);  // the patch is written and proven after the encoder, as without this
        return;
    }
    std::vector<mp::TreeEntry> entries;
    for (mp::TreeEntry& entry : patchRead.entries)
        if (!InPatchFolder(entry.relativePath, "deltas\\") || entry.directory) entries.push_back(std::move(entry));
    for (size_t n = 0; n < expected.deltas.size(); ++n)
        entries.push_back(mp::TreeEntry{expected.deltas[n].file, false, LocalFileSize(readFrom[n]), 0, readFrom[n]});
    patchRead.entries = std::move(entries);
    PointAtPatchFiles(run.temporary, &patchRead);
    const MakeRun& made = run;
    run.ahead.Start(writing, [&made, oldRead, patchRead, byDelta](ProofResult* proof, std::string* problem) mutable {
        return ProvePatch(std::move(oldRead), made.newRead, std::move(patchRead), made.report.plan, byDelta,
                          made.report.settings, proof, problem);
    });
}

// The patch built in its temporary folder beside the patch folder: the deltas
// first, then update.ini, update.exe and update\, read back for the proof.
// With one old version the proof begins while the last delta is encoded; it
// counts where the deltas came out as expected, else the patch is written and
// proven again after them.
int MakeDeltasAndWrite(MakeRun& run) {
    const MakeOptions& options = run.options;
    MakeReport& report = run.report;
    run.temporary = TemporaryBeside(options.patchFolder);
    std::vector<OldVersionFiles> olds{{options.oldFolder, &run.oldRead, run.firstLabel}};
    for (const OldVersion& old : run.laterOld) olds.push_back({old.folder, &old.read, old.label});
    DeltaResult expected;
    WhileLastEncodes overlap{[&](const DeltaResult& deltas, const std::vector<std::string>& readFrom,
                                 const std::string& writing) {
                                 expected = deltas;
                                 StartProofAhead(run, deltas, readFrom, writing);
                             },
                             [&](bool complete) { run.ahead.EncoderEnded(complete); }};
    bool made = MakeLocalFolder(run.temporary, &run.problem) == 0 &&
                (report.deltas.encoder.empty() ||
                 MakeDeltas(report.plan, olds, run.newRead, options.newFolder, run.temporary, &report.deltas,
                            &run.problem, run.laterOld.empty() && ReadWhileWritten ? &overlap : nullptr) == 0);
    run.provenAhead = made && run.ahead.Started() && report.deltas.SameLinesAs(expected);
    if (made && run.ahead.Started() && !run.provenAhead) RemoveWrittenBeside(run.temporary);
    if (run.provenAhead) {
        // Written and proven as it is: what it counted goes to the report.
        DeltaResult deltas = std::move(report.deltas);
        report = std::move(run.aheadReport);
        report.deltas = std::move(deltas);
        return 0;
    }
    std::vector<DeltaSources> sources{{options.oldFolder, &run.oldRead, &run.byDelta}};
    for (OldVersion& old : run.laterOld) sources.push_back({old.folder, &old.read, &old.byDelta});
    MarkDeltaSources(report.deltas, report.plan, sources);
    bool written = made &&
                   WritePatch(options, run.newRead, report.plan, run.description, run.temporary, &report,
                              &run.problem) == 0 &&
                   ReadFolder(run.temporary, "update.ini", &run.patchRead, &run.problem) == 0;
    if (!written) {
        RemoveLocalTree(run.temporary);
        return run.Fail(MakeUsageOrReadError, run.problem + "; nothing was written");
    }
    PointAtPatchFiles(run.temporary, &run.patchRead);
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
    int proved = 0;
    if (run.provenAhead) {
        proved = run.ahead.status;
        report.proof = std::move(run.ahead.proof);
        run.problem = run.ahead.problem;
    } else {
        proved = ProvePatch(std::move(run.oldRead), run.newRead, std::move(run.patchRead), report.plan, run.byDelta,
                            report.settings, &report.proof, &run.problem);
    }
    if (proved != 0) {
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
        if (argument == "--help" || argument == "-h") return *out += std::string(MakeUsage) + MakeHelp, MadeAndProven;
    MakeRun run;
    run.err = err;
    if (int status = ReadInputs(run, arguments)) return status;
    if (int status = PlanThePatch(run)) return status;
    if (int status = MakeDeltasAndWrite(run)) return status;
    if (int status = ProveAndPlace(run)) return status;
    return Report(run, out);
}
