// The ground a case runs on: the patch folder with the program, update.ini and
// the update tree, the game folder, read-only marks, the registry value, and
// the game folder the case expects afterwards.
#ifndef E2E_CASE_LAYOUT_H
#define E2E_CASE_LAYOUT_H

#include <string>
#include <vector>

#include "case_report.h"
#include "case_run.h"
#include "folder_tree.h"
#include "test_case.h"

class CaseLayout {
public:
    CaseLayout(const TestCase& testCase, const RunOptions& options, CaseReport* report)
        : case_(testCase), options_(options), report_(report) {}

    // Lays everything out and prints the program, the registry value and the
    // game folder. False, with the failure reported, when something could not be made.
    bool Build();
    // Removes the folders and the registry keys again, unless they are to be
    // kept; a failed case in a temporary folder is left for a look.
    void Remove();

    const std::string& Program() const { return exe_; }
    // A place named in case.txt: game\... in the game folder, anything else
    // beside update.ini.
    std::string Place(const std::string& relative) const;
    // Prints the game folder as it is now and, when compare is set, reports
    // every difference from the expected one.
    void CheckGameFolder(bool compare);

private:
    bool SetRegistry();
    bool LoadExpectedTree();

    const TestCase& case_;
    const RunOptions& options_;
    CaseReport* report_;
    std::string workFolder_, patchFolder_, gameFolder_, exe_;
    std::vector<std::string> keys_;
    std::vector<TreeEntry> before_, expected_;
    bool gameExisted_ = false;
    bool expectedExists_ = false;
};

#endif
