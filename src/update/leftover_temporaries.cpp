#include "update/leftover_temporaries.h"

#include <string.h>

#include "text/text.h"
#include "platform/platform.h"
#include "update/update_tree.h"

namespace {

bool IsLowerHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); }

// count hex digits from text on; how many there were (up to most).
int HexDigits(const char* text, int most) {
    int count = 0;
    while (count < most && IsLowerHexDigit(text[count])) ++count;
    return count;
}

// A temporary file may carry the read-only or hidden mark of the file it was
// copied from, which would refuse the deletion.
int DeleteWhateverItsMarks(const char* path) {
    if (PlatformDeleteFile(path) == 0) return 0;
    unsigned attributes;
    if (PlatformGetFileAttributes(path, &attributes) != 0 || (attributes & FileAttributeDirectory)) return 1;
    PlatformSetFileAttributes(path, FileAttributeNormal);
    return PlatformDeleteFile(path);
}

}  // namespace

bool IsTemporaryFileName(const char* name) {
    if (strncmp(name, "~upd", 4) != 0) return false;
    name += 4;
    if (HexDigits(name, 8) != 8 || name[8] != '-') return false;
    name += 9;
    int tries = HexDigits(name, 5);
    return tries >= 1 && tries <= 4 && strcmp(name + tries, ".tmp") == 0;
}

// One search with a wildcard, which the system answers from the folder without
// returning its other names: the folders of a large game cost a call each. The
// wildcard also matches other names (and short forms), so each is checked whole.
int RemoveLeftoverTemporaries(const char* folder) {
    char text[LevelTextSize];
    if (FormatText(text, sizeof text, "%s\\~upd*.tmp", folder) != 0) return 0;
    FileSearch search;
    FoundFile entry;
    if (PlatformFindFirstFile(text, &search, &entry) != 0) return 0;
    int removed = 0;
    do {
        if (entry.isDirectory || !IsTemporaryFileName(entry.name)) continue;
        if (FormatText(text, sizeof text, "%s\\%s", folder, entry.name) != 0) continue;
        if (DeleteWhateverItsMarks(text) == 0) ++removed;
    } while (PlatformFindNextFile(search, &entry) == 0);
    PlatformFindClose(search);
    return removed;
}
