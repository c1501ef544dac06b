#include "update/room_check.h"

#include "platform/platform.h"
#include "update/delta_apply.h"
#include "state/folders.h"
#include "update/update_run.h"
#include "update/update_tree.h"

RoomCheck LastRoomCheck;

int CheckRoomForPatch() {
    LastRoomCheck = RoomCheck();
    PatchSpace = SpaceTally();
    // What an interrupted run left beside the files deltas patch goes first (the
    // walk below does the same in the update tree's folders), so its room counts.
    RemoveDeltaLeftovers();
    // The results made from deltas all lie beside their files until the copy is done.
    PatchSpace.deltaResults = DeltaRoomNeeded();
    // A tree that cannot be walked fails the verification that follows.
    if (UpdateFolder[0] == '\0' || WalkUpdateTree(UpdateFolder, "", Measure) != 0) return 0;
    uint64_t freeBytes;
    if (PlatformGetFreeSpace(GameFolder, &freeBytes) != 0) return 0;
    uint64_t needed = PatchSpace.bytesAdded + PatchSpace.largestFile;
    if (needed < PatchSpace.bytesAdded) needed = UINT64_MAX;
    uint64_t deltas = PatchSpace.deltaResults;
    needed = needed + deltas < needed ? UINT64_MAX : needed + deltas;
    LastRoomCheck = RoomCheck{true, needed, freeBytes};
    return needed <= freeBytes ? 0 : 1;
}
