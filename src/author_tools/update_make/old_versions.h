// A patch for several old versions of a game: update-make OLD_GAME [OLD_GAME...]
// NEW_GAME PATCH_FOLDER. Each old version is planned against NEW on its own;
// the patch carries what any of them needs, and the proof runs it on each.
#ifndef UPDATE_MAKE_OLD_VERSIONS_H
#define UPDATE_MAKE_OLD_VERSIONS_H

#include <string>
#include <vector>

#include "author_tools/host/folder_reader.h"
#include "author_tools/update_make/patch_maker.h"

// The longest name of a version deltas.txt holds (the program's limit: 127 bytes).
const size_t VersionLabelLimit = 127;

// The name a version goes by in deltas.txt, the report and the player's log:
// the label given, else the folder's own name. 0 and the Shift-JIS name; 1 and
// a reason for a name without a Shift-JIS form, or with a TAB.
int VersionLabel(const std::string& given, const std::string& folder, std::string* label, std::string* problem);

// Adds to plan, the first old version's, what another's plan needs: a file it
// lacks is added (an [AddFile] for all), one it has with other bytes is
// replaced, one NEW does not have is deleted, and its new folders and
// warnings. A file the first version already has as NEW has it is replaced
// with oldSource naming that file (firstHasNew tells such files).
void MergeVersionPlan(const PatchPlan& other, PatchPlan* plan);

// Whether the first version's file a replaced entry names already has NEW's
// bytes (it is replaced for another version's sake).
bool FirstHasNew(const PatchPlan& plan, const PlannedFile& file);

#endif
