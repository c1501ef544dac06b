// Runs one end-to-end case: lays out the patch and the game folder, sets the
// registry value, starts the program and takes the case's steps as a person
// would, then compares the game folder with the expected one. Prints what a
// person would have seen, and every difference from what the case expects.
#ifndef E2E_CASE_RUN_H
#define E2E_CASE_RUN_H

#include <string>

#include "test_case.h"

struct RunOptions {
    std::wstring program;   // Windows path of the update.exe under test
    std::wstring workRoot;  // the case lays out below <workRoot>\<case name>; empty: a temporary folder
    std::string shotsUnix;  // Unix folder for screenshots (UTF-8); empty: none
    bool keep = false;         // keep the laid-out folders and the registry value
    bool interactive = false;  // lay out and start, then leave the program to a person
};

// True when every step and the final game folder were as the case expects.
bool RunCase(const TestCase& testCase, const RunOptions& options);

#endif
