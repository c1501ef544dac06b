// One end-to-end case as read from its folder: what to lay out, the registry
// value, the steps a person takes with the boxes they expect, and the game
// folder they expect afterwards. The folder's case.txt is described in
// tests/e2e/README.md.
#ifndef E2E_TEST_CASE_H
#define E2E_TEST_CASE_H

#include <string>
#include <vector>

struct CaseStep {
    int line;              // in case.txt, for messages
    std::string verb;      // window, key, box, answer, exit, ...
    std::string argument;  // UTF-8, escapes not yet expanded
};

struct RegistrySetting {
    std::string key;    // below HKEY_CURRENT_USER\Software
    bool createKey;     // false: the key must not exist
    bool hasValue;      // SAV_FOLDER is written
    std::string value;  // UTF-8, {game} and escapes not yet expanded
};

struct TestCase {
    std::string name;
    std::string folder;  // Windows path of the case folder
    std::string about;
    std::string program = "update.exe";
    std::string patchSource;     // holds update.ini and the update tree
    std::string gameSource;      // the game folder before the run; empty when there is none
    bool hasGame = true;
    std::string expectedSource;  // the game folder after the run; empty: unchanged
    std::vector<RegistrySetting> registry;
    std::vector<std::string> readOnly;  // game\..., update\..., expected\... or beside update.ini
    std::vector<std::string> folders;   // empty folders, same places
    std::vector<CaseStep> steps;
};

// Reads caseFolder\case.txt. On failure returns false with a message in error.
bool LoadTestCase(const std::string& caseFolder, TestCase* testCase, std::string* error);

#endif
