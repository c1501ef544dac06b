// update-make's core: what a patch from OLD to NEW must hold, its update.ini,
// and the proof that update.exe's own run turns OLD into NEW with it.
#ifndef UPDATE_CHECK_PATCH_MAKER_H
#define UPDATE_CHECK_PATCH_MAKER_H

#include <stdint.h>

#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "author_tools/run/check_report.h"
#include "author_tools/host/folder_reader.h"

// The Windows paths the patch is judged at (Shift-JIS) and the folders as the
// author named them (UTF-8, for messages).
struct MakeSettings {
    std::string patchPath = "C:\\Patch";
    std::string gamePath = "C:\\Game";
    std::string oldShown = "OLD", newShown = "NEW";
};

// A file of the plan: its path (Shift-JIS, relative to the game folder, as NEW
// spells it; as OLD spells it for a deletion), size, and its index in the
// folder read it comes from (NEW for added and replaced files, OLD for deleted);
// for a replaced file also the index of the OLD file it replaces.
struct PlannedFile {
    std::string path;
    uint64_t size;
    size_t source;
    size_t oldSource = 0;
};

struct PatchPlan {
    std::vector<PlannedFile> added, replaced, deleted;
    std::vector<std::string> newFolders;  // folders of NEW that OLD lacks, as NEW spells them
    size_t unchanged = 0;                 // files with the same bytes in both
    std::vector<long> oldTwin;            // per OLD entry: the NEW entry with the same bytes, or -1
    std::vector<AuthorWarning> warnings;  // what the patch will do differently from NEW
};

// Compares OLD's entry and NEW's (files of the same size): 0 the same bytes,
// 1 different, 2 and a one-line reason when they cannot be read.
using FileComparer = std::function<int(size_t oldIndex, size_t newIndex, std::string* problem)>;

enum class PlanResult { Planned, Refused, ReadError };

// Matches NEW's entries to OLD's without regard to letter case, as Windows
// does; sizes first, bytes only for files of the same size. Refused: what the
// format or the program cannot express, as "path: reason" (UTF-8) in problem.
PlanResult PlanPatch(const FolderRead& oldRead, const FolderRead& newRead, const MakeSettings& settings,
                     const FileComparer& compare, PatchPlan* plan, std::string* problem);

// The refusals of lengths and counts PlanPatch makes, on a plan made otherwise
// (the union of several old versions' plans). 0, or 1 and "path: reason".
int CheckPlanLimits(const PatchPlan& plan, const MakeSettings& settings, std::string* problem);

// The texts of update.ini: an existing update.ini (Shift-JIS as shipped, or
// UTF-8) whose lines are kept as they stand but its [AddFile] and [DelFile]
// lines, and values given as options ("[Caption]", UTF-8) that replace or add
// lines. 0 and update.ini (Shift-JIS, CR LF) in content; 1 and a reason.
struct DescriptionTexts {
    bool haveTexts = false;
    std::string texts;                                       // the file's bytes
    std::vector<std::pair<std::string, std::string>> values;  // key with brackets, UTF-8 value
};
int ComposeDescription(const DescriptionTexts& texts, const PatchPlan& plan, std::string* content, std::string* problem);

// A difference between the game folder the program leaves and NEW.
struct ProofDifference {
    std::string path;  // Shift-JIS, relative to the game folder
    std::string message;
};

struct ProofResult {
    CheckReport check;  // the program's own run: boxes, changes
    std::vector<ProofDifference> differences;
    bool proven = false;
};

// Runs the checker (update.exe's start-up, reader and update run on the
// in-memory machine) on OLD and the patch as written (patchRead: read back from
// the disk, update.ini kept), then compares the game folder it leaves with NEW:
// names without regard to case, kinds and sizes, and where each file's bytes
// come from (OLD's file with NEW's bytes, or the patch's copy of NEW's file).
// The differences the plan warned about are excused. byDelta: the NEW entries
// that travel as deltas, which the run must replace (it checks each result
// against NEW's SHA-256 in deltas.txt; oldRead and patchRead name the disk
// files it reads for them). oldRead and patchRead are handed over to the run,
// not copied. 0, or 1 and a reason when the folders cannot be placed on the
// machine. The program's globals are reset first, so a process may make more
// than one patch.
int ProvePatch(FolderRead oldRead, const FolderRead& newRead, FolderRead patchRead,
               const PatchPlan& plan, const std::set<size_t>& byDelta, const MakeSettings& settings,
               ProofResult* proof, std::string* problem);

// The Shift-JIS path of an entry with the ASCII letters of its new folders
// upper-cased as the program creates them (isNew tells, per prefix length).
std::string UpperCaseAscii(const std::string& shiftJis);

#endif
