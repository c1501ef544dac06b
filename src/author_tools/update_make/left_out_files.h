// What update-make leaves out of a patch: the files --exclude names, in OLD as
// in NEW, and the files no game has, which it warns about.
#ifndef UPDATE_MAKE_LEFT_OUT_FILES_H
#define UPDATE_MAKE_LEFT_OUT_FILES_H

#include <string>
#include <vector>

#include "author_tools/host/folder_reader.h"
#include "author_tools/update_make/patch_maker.h"

// The components of a Shift-JIS path; a 0x5C second byte never separates.
std::vector<std::string> PathComponents(const std::string& path);

// --exclude: patterns (UTF-8, / or \ between names) made Shift-JIS with
// backslashes. 0, or 1 and a reason for a pattern without a Shift-JIS form.
int ExcludePatterns(const std::vector<std::string>& utf8, std::vector<std::string>* patterns, std::string* problem);

// Leaves out of a folder read every entry an --exclude pattern matches, by its
// path relative to the folder or by its name (ASCII letters without regard to
// case, * any run of characters, ? one), and all below a folder left out: the
// plan, the patch and the proof then never see it, in OLD as in NEW. Returns
// the files left out (Shift-JIS, relative).
std::vector<std::string> ExcludeEntries(const std::vector<std::string>& patterns, FolderRead* read);

// What a file of NEW is when it is no game's (Explorer's Thumbs.db and
// desktop.ini, Finder's .DS_Store, an editor's backup ending in ~, a file in a
// .git folder), with the --exclude pattern that leaves it out; false for a game's file.
bool IsNoGameFile(const std::string& relative, std::string* what, std::string* pattern);

// One not-game-file warning for each such file the plan carries, one for
// each .git folder.
std::vector<AuthorWarning> NoGameFileWarnings(const PatchPlan& plan);

#endif
