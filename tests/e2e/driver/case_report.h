// The failures of one case, each printed as it is found, with the case.txt
// line of the step under way.
#ifndef E2E_CASE_REPORT_H
#define E2E_CASE_REPORT_H

#include <string>

#include "report_text.h"

struct CaseReport {
    int failures = 0;
    int line = 0;  // 0 outside the steps

    void Fail(const std::string& message) {
        ++failures;
        Print("   FAIL" + (line > 0 ? " (case.txt line " + std::to_string(line) + ")" : std::string()) + ": " +
              message + "\n");
    }
};

#endif
