// The list of deltas a patch may carry beside update.ini: deltas.txt. Each line
// that is neither empty nor a comment ('#') names one game file patched by a
// delta, six fields separated by one TAB, and a seventh that may follow:
//
//   game file  old size  old SHA-256  new size  new SHA-256  delta file  [versions]
//
// A game file may have a line for each old version the patch knows (one old
// content each, one new version for all); the seventh field names the
// versions that have that old content ("1.00", "1.00, 1.01"), for the log.
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
    DeltaLabelSize = 128,   // the versions' names: at most 127 bytes
    DeltaLineSize = 4096,   // seven fields and six TABs fit with room to spare
    DeltaFieldCount = 7,
};

struct DeltaEntry {
    char gameFile[DeltaFieldSize];
    uint64_t oldSize;
    unsigned char oldHash[32];
    uint64_t newSize;
    unsigned char newHash[32];
    char deltaFile[DeltaFieldSize];
    char label[DeltaLabelSize];  // "" where the line names none
};

// The list read from the patch; DeltaCount is 0 for a patch without one.
// About 296 KB, fixed: DeltaCapacity entries.
extern DeltaEntry DeltaList[DeltaCapacity];
extern int DeltaCount;

enum DeltaListState { DeltaListAbsent = 0, DeltaListRead = 1, DeltaListDamaged = 2 };

// Reads the list at path into DeltaList. Absent when no file of that name
// exists; damaged when it cannot be read or breaks a rule above (a line that is
// too long, a field count other than six or seven, a bad field, more than DeltaCapacity
// deltas, one game file with two new versions or the same old one twice).
// DeltaCount is 0 unless it was read.
DeltaListState ReadDeltaList(const char* path);

#endif
