// One end-to-end case as read from its folder: what to lay out and where, the
// registry value, the steps a person takes with the boxes they expect, and the
// game folder they expect afterwards. The folder's case.txt is described in
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
    std::string key;    // below HKEY_CURRENT_USER\Software, UTF-8
    bool createKey;     // false: the key must not exist
    bool hasValue;      // SAV_FOLDER is written
    std::string value;  // UTF-8, {game} and escapes not yet expanded
};

// Paths are Windows paths in UTF-16; places inside the layout are relative
// and backslash-separated.
struct TestCase {
    std::wstring name;
    std::wstring folder;  // the case folder
    std::string about;
    std::wstring program = L"update.exe";
    std::wstring programFolder = L"patch";  // below the case's work folder
    std::wstring gameFolder = L"game";      // below the case's work folder
    std::wstring commandLine;               // empty: the program's full path, quoted
    std::wstring patchSource;     // holds update.ini and the update tree
    std::wstring gameSource;      // the game folder before the run; empty when there is none
    bool hasGame = true;
    std::wstring expectedSource;  // the game folder after the run; empty: unchanged
    std::wstring driveRootSource; // laid out at the root of the program's drive; empty: nothing
    std::vector<RegistrySetting> registry;
    std::vector<std::wstring> readOnly;  // game\..., update\..., expected\... or beside update.ini
    std::vector<std::wstring> folders;   // empty folders, same places
    std::vector<CaseStep> steps;
};

// Reads caseFolder\case.txt (UTF-8). On failure returns false with a message in error.
bool LoadTestCase(const std::wstring& caseFolder, TestCase* testCase, std::string* error);

#endif
