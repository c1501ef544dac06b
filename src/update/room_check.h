// Whether the game folder's volume has room for the patch, asked before the run
// changes anything: a copy that runs out of space part-way fails without harm
// to the file it was replacing, but leaves the patch half applied.
#ifndef UPDATE_ROOM_CHECK_H
#define UPDATE_ROOM_CHECK_H

#include <stdint.h>

struct RoomCheck {
    bool measured;        // false where the run did not get that far, or the volume could not be asked
    uint64_t bytesNeeded;  // what the patch adds, room for its largest file's temporary copy and the deltas' results
    uint64_t bytesFree;    // what the user may still write on the game folder's volume
};
extern RoomCheck LastRoomCheck;

// Measures the update tree (UpdateFolder) against GameFolder and asks for the
// free space there; fills LastRoomCheck. 0 when the patch fits or nothing could
// be measured (the walks after it then fail as they always have), 1 when it
// does not fit.
int CheckRoomForPatch();

#endif
