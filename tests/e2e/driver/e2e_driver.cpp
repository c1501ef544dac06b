// The end-to-end driver: runs cases of tests/e2e/cases (or any case folder)
// against the real update.exe in the same Wine session, as a person would use
// it, and reports what that person would have seen.
//
//   e2e_driver [--exe PATH] [--work DIR] [--shots DIR] [--keep] [--interactive] CASE_FOLDER...
//
// Paths may be Unix paths (/work/...) or Windows paths. Exit code 0 when every
// case passed, 1 when one failed, 2 for a wrong command line.
#include <windows.h>

#include <string>
#include <vector>

#include "case_run.h"
#include "program_driver.h"
#include "report_text.h"
#include "test_case.h"

namespace {

void Usage() {
    Print("usage: e2e_driver [--exe PATH] [--work DIR] [--shots DIR] [--keep] [--interactive] CASE_FOLDER...\n"
          "  --exe PATH      the update.exe to test (default: the one built beside this driver)\n"
          "  --work DIR      lay each case out in DIR\\<case> (default: a temporary folder)\n"
          "  --shots DIR     save screenshots of the window and each box there (a Unix folder)\n"
          "  --keep          keep the laid-out folders and the registry value afterwards\n"
          "  --interactive   lay out and start the program, then leave it to a person\n");
}

// A folder given on the command line (a Unix or a Windows path), as a full Windows path.
std::wstring FolderArgument(const std::wstring& argument) {
    std::wstring path = WindowsPath(argument);
    for (wchar_t& c : path)
        if (c == L'/') c = L'\\';
    wchar_t full[1024];
    DWORD length = GetFullPathNameW(path.c_str(), 1024, full, NULL);
    if (length > 0 && length < 1024) path = full;
    while (path.size() > 3 && path.back() == L'\\') path.pop_back();
    return path;
}

std::string WithoutTrailingSeparator(std::string path) {
    while (path.size() > 3 && (path.back() == '\\' || path.back() == '/')) path.pop_back();
    return path;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    RunOptions options;
    options.program = UpdateExePathWide();
    std::vector<std::wstring> cases;
    for (int i = 1; i < argc; ++i) {
        std::string argument = WideToUtf8(argv[i]);
        bool hasValue = i + 1 < argc;
        if (argument == "--exe" && hasValue) options.program = FolderArgument(argv[++i]);
        else if (argument == "--work" && hasValue) options.workRoot = FolderArgument(argv[++i]);
        else if (argument == "--shots" && hasValue) options.shotsUnix = WithoutTrailingSeparator(WideToUtf8(argv[++i]));
        else if (argument == "--keep") options.keep = true;
        else if (argument == "--interactive") options.interactive = true;
        else if (argument.compare(0, 2, "--") == 0) {
            Usage();
            return 2;
        } else cases.push_back(FolderArgument(argv[i]));
    }
    if (cases.empty()) {
        Usage();
        return 2;
    }
    // Texts are read and compared in UTF-16: any ANSI code page will do.
    Printf("ANSI code page %u\n\n", GetACP());
    int failed = 0;
    std::vector<std::string> failedNames;
    DWORD start = GetTickCount();
    for (const std::wstring& folder : cases) {
        TestCase testCase;
        std::string error;
        if (!LoadTestCase(folder, &testCase, &error)) {
            Print("== case " + WideToUtf8(folder) + "\n   FAIL: " + error + "\n");
            ++failed;
            failedNames.push_back(WideToUtf8(folder));
            continue;
        }
        if (!RunCase(testCase, options)) {
            ++failed;
            failedNames.push_back(WideToUtf8(testCase.name));
        }
        Print("\n");
    }
    if (cases.size() > 1) {
        Printf("%d of %d cases passed in %.1f s\n", (int)cases.size() - failed, (int)cases.size(),
               (GetTickCount() - start) / 1000.0);
        for (const std::string& name : failedNames) Print("failed: " + name + "\n");
    }
    return failed == 0 ? 0 : 1;
}
