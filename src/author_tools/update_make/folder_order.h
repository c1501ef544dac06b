// The three folders of update-make named in the wrong order or the wrong place:
// each mistake is named with the folder it concerns and what to do.
#ifndef UPDATE_CHECK_FOLDER_ORDER_H
#define UPDATE_CHECK_FOLDER_ORDER_H

#include <string>
#include <vector>

#include "author_tools/host/folder_reader.h"
#include "author_tools/update_make/patch_maker.h"

// Before anything is read: OLD or NEW missing (the patch folder named first?),
// OLD or NEW holding a patch rather than a game, a patch folder that is taken.
// 0, or the exit status (usage, or refused) and one line in problem.
int CheckFolderRoles(const std::string& oldFolder, const std::string& newFolder, const std::string& patchFolder,
                     const std::string& patchShown, std::string* problem);

// After the plan: most replaced files were written later in OLD than in NEW,
// as when the two are swapped. Only warned: copies change file times, and a
// patch back to an earlier version may be meant.
void WarnIfVersionsSwapped(const std::string& oldFolder, const std::string& newFolder, const FolderRead& newRead,
                           PatchPlan* plan);

#endif
