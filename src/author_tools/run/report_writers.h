// The report of update-check as text for a person or as one JSON document.
#ifndef UPDATE_CHECK_REPORT_WRITERS_H
#define UPDATE_CHECK_REPORT_WRITERS_H

#include <string>
#include <vector>

#include "author_tools/run/check_report.h"

// Both in UTF-8. The game folder afterwards is listed only when asked for.
std::string ReportAsText(const CheckReport& report, bool listAfter);
std::string ReportAsJson(const CheckReport& report, bool listAfter);

// The boxes of a run, numbered, each text lined up under its first line.
std::string BoxesAsText(const std::vector<BoxSeen>& boxes);
// The change kinds as the JSON document spells them.
const char* ChangeKindName(memory_platform::ChangeKind kind);
// Whether a change of this kind shows a file's size (folders and marks have none).
bool ChangeHasSize(memory_platform::ChangeKind kind);

#endif
