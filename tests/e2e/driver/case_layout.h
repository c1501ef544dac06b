// The ground a case runs on: the program folder with the program, update.ini
// and the update tree, the game folder, read-only marks, the registry value, a
// decoy at the drive root, and the game folder the case expects afterwards.
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
    // Removes the folders, the decoys and the registry keys again, unless they
    // are to be kept; a failed case in a temporary folder is left for a look.
    void Remove();

    const std::wstring& Program() const { return exe_; }
    const std::wstring& ProgramFolder() const { return programFolder_; }
    // A place named in case.txt: game\... in the game folder, a full path
    // with {work} as it stands, anything else beside update.ini.
    std::wstring Place(const std::wstring& relative) const;
    // A file the case expects the program to write around the game and the
    // program folder (a log elsewhere): it is no change around them.
    void ExpectWritten(const std::wstring& path);
    // text with {game}, {program} and {work} standing for the game folder, the
    // program and the work folder, as full paths.
    std::wstring ExpandPlaces(const std::wstring& text) const;
    // The short (8.3) form of the game folder ("game") or the program folder
    // ("program") below the work folder, as the file system gives it; empty
    // when there is none.
    std::wstring ShortForm(const std::wstring& relative) const;
    // Prints the game folder as it is now and, when compare is set, reports
    // every difference from the expected one, and anything that came or went
    // in the work folder around the game and the program folder.
    void CheckGameFolder(bool compare);

private:
    bool LayOutProgramFolder();
    bool LayOutDriveRoot();
    bool SetRegistry();
    bool LoadExpectedTree();
    std::vector<TreeEntry> Surroundings() const;

    const TestCase& case_;
    const RunOptions& options_;
    CaseReport* report_;
    std::wstring workFolder_, programFolder_, gameFolder_, exe_;
    std::vector<std::wstring> keys_;
    std::vector<std::wstring> decoys_;  // placed at the drive root by this case
    std::vector<std::wstring> written_;  // expected files around the folders, relative to the work folder
    std::vector<TreeEntry> before_, expected_, surroundings_;
    bool gameExisted_ = false;
    bool expectedExists_ = false;
};

#endif
