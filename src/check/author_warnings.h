// Warnings for the patch author that the program itself never gives.
#ifndef UPDATE_CHECK_AUTHOR_WARNINGS_H
#define UPDATE_CHECK_AUTHOR_WARNINGS_H

#include <string>
#include <vector>

#include "check/check_report.h"

// On the folders as loaded, before the run: [AddFile] entries that match no
// file of the update tree or whose file the game already has, and engine
// executables of the patch that the game does not have.
void WarnBeforeRun(const std::string& updateFolder, const std::string& gameFolder,
                   std::vector<AuthorWarning>* warnings);

// After the run: every file that fails verification (when the run stopped at it
// or before it), and for a completed run each [DelFile] entry that deleted
// nothing, was skipped, or deleted a file the patch had just copied.
void WarnAfterRun(const std::string& updateFolder, const CheckReport& report,
                  std::vector<AuthorWarning>* warnings);

#endif
