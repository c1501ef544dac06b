// update-make's report: what the patch adds, replaces and deletes, its size,
// the warnings, and the proof, as text for a person or as one JSON document.
#ifndef UPDATE_CHECK_MAKE_REPORT_H
#define UPDATE_CHECK_MAKE_REPORT_H

#include <stdint.h>

#include <string>

#include "author_tools/update_make/delta_maker.h"
#include "author_tools/update_make/patch_maker.h"

struct MakeReport {
    MakeSettings settings;
    std::string patchShown;  // PATCH_FOLDER as the author named it (UTF-8)
    PatchPlan plan;
    std::vector<std::string> excludedOld, excludedNew;  // files --exclude left out (Shift-JIS, relative)
    uint64_t descriptionBytes = 0, updateFiles = 0, updateBytes = 0, exeBytes = 0;
    uint64_t alsoWholeFiles = 0, alsoWholeBytes = 0;  // whole\ (--also-whole)
    DeltaMode deltaMode = DeltaMode::Wanted;
    DeltaResult deltas;
    ProofResult proof;
    // With several old versions: each one's name (Shift-JIS) and whether its
    // proof holds, and what the later ones' proofs found (named by version).
    std::vector<std::pair<std::string, bool>> versionsProven;
    std::vector<ProofDifference> laterDifferences;
    bool placed = false;  // renamed into place (only when proven)
};

// Both in UTF-8.
std::string MakeReportAsText(const MakeReport& report);
std::string MakeReportAsJson(const MakeReport& report);
// The one line that ends the report.
std::string ProofLine(const MakeReport& report);

#endif
