// Warnings for the patch author that the program itself never gives.
#ifndef UPDATE_CHECK_AUTHOR_WARNINGS_H
#define UPDATE_CHECK_AUTHOR_WARNINGS_H

#include <string>
#include <vector>

#include "author_tools/run/check_report.h"

// The files of the update tree relative to it, in the order the walk meets them.
// The run leaves the tree as it is: one listing serves both sets of warnings.
std::vector<std::string> ListUpdateFiles(const std::string& updateFolder);

// On the folders as loaded, before the run: [AddFile] entries that match no
// file of the update tree or whose file the game already has, and engine
// executables of the patch that the game does not have.
void WarnBeforeRun(const std::string& updateFolder, const std::string& gameFolder,
                   const std::vector<std::string>& updateFiles, std::vector<AuthorWarning>* warnings);

// update.ini's bytes saved in UTF-8, which the program reads as Shift-JIS.
void WarnAboutEncoding(const std::string& description, std::vector<AuthorWarning>* warnings);

// On update.ini as the program read it at start-up: a title, window texts
// (only when the window is shown) or a game name that are empty.
void WarnAboutEmptyTexts(bool windowShown, std::vector<AuthorWarning>* warnings);

// A [RegPath] value (Shift-JIS, as update.ini holds it) that makes update.exe
// read another key than the author meant: one that starts with a hive name
// (HKEY_..., HKCU, HKLM, ...) or with Software\ (the program puts
// HKEY_CURRENT_USER\Software\ before it), or with a backslash, or ends with
// one. Empty for a sound value; else what is wrong ("starts with ..."), the
// key update.exe would read and the value to write.
std::string RegistryPathMistake(const std::string& value);

// On update.ini's bytes: the [RegPath] the program reads (its last line) judged
// by RegistryPathMistake.
void WarnAboutRegistryPath(const std::string& description, std::vector<AuthorWarning>* warnings);

// What a read-only, hidden or system mark on the engine executable the patch
// replaces does (the program copies it over the game's own first, without
// clearing marks), and what to do; where names the folder ("in OLD").
std::string EngineMarkMessage(unsigned attributes, const std::string& where);

// After the run: every file that fails verification (when the run stopped at it
// or before it), and for a completed run each [DelFile] entry that deleted
// nothing, was skipped, or deleted a file the patch had just copied; and files
// both in the update tree and in the delta list.
void WarnAfterRun(const std::string& updateFolder, const std::vector<std::string>& updateFiles, const CheckReport& report,
                  std::vector<AuthorWarning>* warnings);

#endif
