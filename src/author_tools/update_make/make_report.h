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
    DeltaMode deltaMode = DeltaMode::Wanted;
    DeltaResult deltas;
    ProofResult proof;
    bool placed = false;  // renamed into place (only when proven)
};

// Both in UTF-8.
std::string MakeReportAsText(const MakeReport& report);
std::string MakeReportAsJson(const MakeReport& report);
// The one line that ends the report.
std::string ProofLine(const MakeReport& report);

#endif
