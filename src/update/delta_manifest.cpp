#include "update/delta_manifest.h"

#include <string.h>

#include "text/relative_path.h"
#include "text/text.h"
#include "platform/platform.h"
#include "codec/sha256.h"

DeltaEntry DeltaList[DeltaCapacity];
int DeltaCount = 0;

namespace {

// One line of the list being read, and the bytes read ahead of it.
char Line[DeltaLineSize];
char ReadAhead[4096];
size_t AheadCount = 0, AheadUsed = 0;
uint64_t ReadOffset = 0;

// The next line without its end (LF, and a CR before it): 0 and the line, 1 at
// the end of the file, 2 when the line does not fit, 3 when the file cannot be
// read (never taken for its end: a list cut short would drop deltas).
int NextLine(FileReader reader, size_t* length) {
    size_t used = 0;
    bool any = false;
    for (;;) {
        if (AheadUsed == AheadCount) {
            if (PlatformReadFileAt(reader, ReadOffset, ReadAhead, sizeof ReadAhead, &AheadCount) != 0) return 3;
            ReadOffset += AheadCount;
            AheadUsed = 0;
            if (AheadCount == 0) break;
        }
        char byte = ReadAhead[AheadUsed++];
        any = true;
        if (byte == '\n') break;
        if (used + 1 >= sizeof Line) return 2;
        Line[used++] = byte;
    }
    if (!any) return 1;
    if (used > 0 && Line[used - 1] == '\r') --used;
    Line[used] = '\0';
    *length = used;
    return 0;
}

// Decimal digits only, without overflow.
int ParseSize(const char* text, uint64_t* value) {
    if (*text == '\0' || strlen(text) > 20) return 1;
    uint64_t result = 0;
    for (const char* p = text; *p; ++p) {
        if (*p < '0' || *p > '9') return 1;
        unsigned digit = (unsigned)(*p - '0');
        if (result > (UINT64_MAX - digit) / 10) return 1;
        result = result * 10 + digit;
    }
    *value = result;
    return 0;
}

int CopyField(const char* text, char* field, size_t size) {
    size_t length = strlen(text);
    if (length == 0 || length >= size) return 1;
    memcpy(field, text, length + 1);
    return 0;
}

// Splits Line at its TABs into six fields, or seven with the label, in place;
// the count, or 0 for any other number.
int SplitFields(char* fields[DeltaFieldCount]) {
    int count = 0;
    fields[count++] = Line;
    for (char* p = Line; *p; ++p) {
        if (*p != '\t') continue;
        if (count == DeltaFieldCount) return 0;
        *p = '\0';
        fields[count++] = p + 1;
    }
    return count >= DeltaFieldCount - 1 ? count : 0;
}

int ParseEntry(DeltaEntry* entry) {
    char* fields[DeltaFieldCount];
    int count = SplitFields(fields);
    if (count == 0) return 1;
    entry->label[0] = '\0';
    if (count == DeltaFieldCount && CopyField(fields[6], entry->label, sizeof entry->label) != 0) return 1;
    if (CopyField(fields[0], entry->gameFile, sizeof entry->gameFile) != 0 || !IsPlainRelativePath(entry->gameFile))
        return 1;
    if (ParseSize(fields[1], &entry->oldSize) != 0 || ParseSize(fields[3], &entry->newSize) != 0) return 1;
    if (Sha256FromHex(fields[2], strlen(fields[2]), entry->oldHash) != 0 ||
        Sha256FromHex(fields[4], strlen(fields[4]), entry->newHash) != 0)
        return 1;
    if (CopyField(fields[5], entry->deltaFile, sizeof entry->deltaFile) != 0 || !IsPlainRelativePath(entry->deltaFile))
        return 1;
    return 0;
}

// Lines of one game file name one new version, each from another old one.
bool AgreesWithEarlier(int count, const DeltaEntry& entry) {
    for (int i = 0; i < count; ++i) {
        const DeltaEntry& earlier = DeltaList[i];
        if (!EqualIgnoringAsciiCase(earlier.gameFile, entry.gameFile)) continue;
        if (earlier.newSize != entry.newSize || memcmp(earlier.newHash, entry.newHash, 32) != 0) return false;
        if (earlier.oldSize == entry.oldSize && memcmp(earlier.oldHash, entry.oldHash, 32) == 0) return false;
    }
    return true;
}

DeltaListState ReadLines(FileReader reader) {
    int count = 0;
    for (;;) {
        size_t length = 0;
        int status = NextLine(reader, &length);
        if (status == 1) break;
        if (status != 0 || memchr(Line, '\0', length) != NULL) return DeltaListDamaged;
        if (length == 0 || Line[0] == '#') continue;
        if (count == DeltaCapacity || ParseEntry(&DeltaList[count]) != 0) return DeltaListDamaged;
        if (!AgreesWithEarlier(count, DeltaList[count])) return DeltaListDamaged;
        ++count;
    }
    DeltaCount = count;
    return DeltaListRead;
}

}  // namespace

DeltaListState ReadDeltaList(const char* path) {
    DeltaCount = 0;
    AheadCount = AheadUsed = 0;
    ReadOffset = 0;
    unsigned attributes;
    if (PlatformGetFileAttributes(path, &attributes) != 0) return DeltaListAbsent;
    FileReader reader;
    if ((attributes & FileAttributeDirectory) || PlatformOpenFileForReading(path, &reader) != 0)
        return DeltaListDamaged;
    DeltaListState state = ReadLines(reader);
    PlatformCloseFile(reader);
    return state;
}
