// The list of deltas a patch may carry beside update.ini: deltas.txt. Each line
// that is neither empty nor a comment ('#') names one game file patched by a
// delta, six fields separated by one TAB:
//
//   game file  old size  old SHA-256  new size  new SHA-256  delta file
//
// the game file relative to the game folder and the delta file relative to the
// program folder (backslashes, below the folder: no leading backslash, no ':',
// no "." or ".." component), sizes in decimal bytes, hashes as 64 hex digits.
// Shift-JIS text, CR LF or LF line ends.
#ifndef UPDATE_DELTA_MANIFEST_H
#define UPDATE_DELTA_MANIFEST_H

#include <stdint.h>

enum {
    DeltaCapacity = 256,    // deltas one patch may carry
    DeltaFieldSize = 512,   // a text field: at most 511 bytes
    DeltaLineSize = 4096,   // six fields and five TABs fit with room to spare
};

struct DeltaEntry {
    char gameFile[DeltaFieldSize];
    uint64_t oldSize;
    unsigned char oldHash[32];
    uint64_t newSize;
    unsigned char newHash[32];
    char deltaFile[DeltaFieldSize];
};

// The list read from the patch; DeltaCount is 0 for a patch without one.
// About 264 KB, fixed: DeltaCapacity entries.
extern DeltaEntry DeltaList[DeltaCapacity];
extern int DeltaCount;

enum DeltaListState { DeltaListAbsent = 0, DeltaListRead = 1, DeltaListDamaged = 2 };

// Reads the list at path into DeltaList. Absent when no file of that name
// exists; damaged when it cannot be read or breaks a rule above (a line that is
// too long, a field count other than six, a bad field, more than DeltaCapacity
// deltas, one game file named twice). DeltaCount is 0 unless it was read.
DeltaListState ReadDeltaList(const char* path);

#endif
