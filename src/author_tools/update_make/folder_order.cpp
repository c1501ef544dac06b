#include "author_tools/update_make/folder_order.h"

#include <stdint.h>

#include "author_tools/host/local_files.h"
#include "author_tools/update_make/make_tool.h"

namespace {

const char Order[] = "the order is OLD_GAME NEW_GAME PATCH_FOLDER, the patch folder to make last";

// A file written this much later in OLD than in NEW counts as newer there;
// closer times say nothing (a checkout or copy writes both in one go).
const int64_t TimeTolerance = 60 * (int64_t)1000000000;

// What update-make writes: a patch, not a game.
bool HoldsPatch(const std::string& folder) {
    return LocalFileExists(folder + "/update.ini") && LocalFolderState(folder + "/update") != FolderState::Missing;
}

}  // namespace

int CheckFolderRoles(const std::string& oldFolder, const std::string& newFolder, const std::string& patchFolder,
                     const std::string& patchShown, std::string* problem) {
    for (auto [role, folder] : {std::pair{"old game folder ", &oldFolder}, std::pair{"new game folder ", &newFolder}}) {
        if (LocalFolderState(*folder) == FolderState::Missing)
            return *problem = role + *folder + ": no such folder; " + Order, MakeUsageOrReadError;
        if (HoldsPatch(*folder))
            return *problem = "refused: " + std::string(role) + *folder + ": holds update.ini and update\\, a patch, "
                              "not a game; " + Order + "; nothing was written",
                   RefusedOrNotProven;
    }
    if (LocalFolderState(patchFolder) == FolderState::Other)
        return *problem = "refused: " + patchShown +
                          (HoldsPatch(patchFolder) ? ": holds a patch already (a run before this one made it): "
                                                     "delete it, or name another patch folder"
                                                   : ": exists and is not an empty folder: name a new or empty "
                                                     "folder for the patch") +
                          "; nothing was written",
               RefusedOrNotProven;
    return 0;
}

void WarnIfVersionsSwapped(const std::string& oldFolder, const std::string& newFolder, const FolderRead& newRead,
                           PatchPlan* plan) {
    size_t older = 0, timed = 0;
    for (const PlannedFile& file : plan->replaced) {
        int64_t oldTime = 0, newTime = 0;
        // OLD's file under NEW's spelling: one whose letter case changed is left out.
        if (LocalModifiedTime(LocalPath(oldFolder, file.path), &oldTime) != 0 ||
            LocalModifiedTime(LocalPath(newFolder, newRead.entries[file.source].relativePath), &newTime) != 0)
            continue;
        ++timed;
        if (oldTime > newTime + TimeTolerance) ++older;
    }
    if (older == 0 || older * 2 <= timed) return;
    plan->warnings.push_back(AuthorWarning{
        "versions-swapped", "",
        std::to_string(older) + " of the " + std::to_string(timed) +
            " replaced files were written later in OLD than in NEW: if OLD and NEW are swapped, this patch turns the "
            "game back into the older version; " + Order + " (warned, not refused: copies change file times, and a "
            "patch back to an earlier version may be meant)"});
}
