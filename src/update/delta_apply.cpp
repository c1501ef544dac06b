#include "update/delta_apply.h"
#include "update/leftover_temporaries.h"

#include <string.h>

#include "text/text.h"
#include "platform/platform.h"
#include "state/folders.h"
#include "state/progress.h"
#include "state/user_messages.h"
#include "codec/sha256.h"
#include "update/update_tree.h"
#include "codec/vcdiff_decoder.h"

DeltaUse DeltaUses[DeltaCapacity];

namespace {

enum { PathSize = 1024 };

const char ListName[] = "deltas.txt";

// The temporary file holding each entry's result until it takes its place;
// empty where none is held. 256 KB, fixed.
char Temporaries[DeltaCapacity][PathSize];

// Paths of the entry at work.
char GamePath[PathSize];
char DeltaPath[PathSize];

// Game files are hashed, and whole new files copied, through this buffer (64 KB).
unsigned char HashBuffer[65536];

// The whole new file a patch may carry beside a file's deltas, for a game file
// of a version none of them starts from: "whole\<game file>" (at most 517 bytes).
char WholeName[DeltaFieldSize + 6];

// The number in a temporary's name: a range of its own per entry (the copy's
// temporaries use 0 to f), moved on by 0x200 while a name is taken.
enum { FirstTemporaryNumber = 0x100, TemporaryNumberStep = 0x200, TemporaryAttempts = 16 };

// GamePath: the game file entry index patches. 0, or 1 when it does not fit.
int ComposeGamePath(int index) {
    return FormatText(GamePath, sizeof GamePath, "%s\\%s", GameFolder, DeltaList[index].gameFile);
}

int Stop(DeltaOutcome* outcome, DeltaStop stop, const char* name) {
    *outcome = DeltaOutcome{stop, name};
    return 1;
}

// 0 and the SHA-256 of the file; 1 when it cannot be read whole. Each block
// read is reported as progress: its bytes where counted (the run's total holds
// the file), else 0, which keeps the window drawn without moving the bar.
int HashFile(const char* path, uint64_t size, unsigned char digest[32], bool counted) {
    FileReader reader;
    if (PlatformOpenFileForReading(path, &reader) != 0) return 1;
    Sha256State state;
    Sha256Begin(&state);
    uint64_t offset = 0;
    int status = 0;
    for (;;) {
        size_t count = 0;
        if (PlatformReadFileAt(reader, offset, HashBuffer, sizeof HashBuffer, &count) != 0) {
            status = 1;
            break;
        }
        if (count == 0) break;
        Sha256Add(&state, HashBuffer, count);
        offset += count;
        ProgressAdvance(counted ? count : 0);
    }
    PlatformCloseFile(reader);
    Sha256Finish(&state, digest);
    return status != 0 || offset != size ? 1 : 0;
}

// The hashing of one target window, beside its writing.
struct HashWork {
    Sha256State* state;
    const void* data;
    size_t size;
};

void Hash(void* context) {
    HashWork* work = (HashWork*)context;
    Sha256Add(work->state, work->data, work->size);
}

// What one decode reads and writes.
struct Decoding {
    FileReader source;
    FileReader delta;
    TemporaryWriter target;
    Sha256State hash;
    HashWork hashWork;
    bool hashing;  // hashWork runs beside
};

int ReadSource(void* context, uint64_t offset, void* buffer, size_t size) {
    Decoding* decoding = (Decoding*)context;
    size_t count = 0;
    return PlatformReadFileAt(decoding->source, offset, buffer, size, &count) != 0 || count != size ? 1 : 0;
}

int ReadDelta(void* context, uint64_t offset, void* buffer, size_t size, size_t* count) {
    return PlatformReadFileAt(((Decoding*)context)->delta, offset, buffer, size, count);
}

void WaitForHash(Decoding* decoding) {
    if (!decoding->hashing) return;
    PlatformWaitBeside();
    decoding->hashing = false;
}

// The result's SHA-256 is computed as it is written, never read back: each
// window is hashed beside its writing and the decoding of the next one, which
// the decoder makes elsewhere in its buffer until it says it reuses this one.
int WriteTarget(void* context, const void* data, size_t size) {
    Decoding* decoding = (Decoding*)context;
    WaitForHash(decoding);
    decoding->hashWork = HashWork{&decoding->hash, data, size};
    if (PlatformStartBeside(Hash, &decoding->hashWork) == 0)
        decoding->hashing = true;
    else
        Hash(&decoding->hashWork);
    if (PlatformWriteTemporary(decoding->target, data, size) != 0) return 1;
    ProgressAdvance(size);
    return 0;
}

void TargetReused(void* context) { WaitForHash((Decoding*)context); }

// A new temporary beside GamePath for entry index, in Temporaries[index].
int CreateTemporaryFor(int index, TemporaryWriter* writer) {
    for (unsigned attempt = 0; attempt < TemporaryAttempts; ++attempt) {
        unsigned number = FirstTemporaryNumber + (unsigned)index + attempt * TemporaryNumberStep;
        unsigned error = 0;
        if (PlatformCreateTemporary(GamePath, number, Temporaries[index], PathSize, writer, &error) == 0) return 0;
        Temporaries[index][0] = '\0';
        if (error != ErrorAlreadyExists) return 1;
    }
    return 1;
}

// Decodes entry index from GamePath and DeltaPath into a new temporary. 0 when
// the result is the new version; else 1 and the outcome. oldChecked tells
// whether the game file's SHA-256 already matched the old version's. The
// decoder's problem tells a file that cannot be read or written from a result
// that is wrong; for that, the game file's hash tells a wrong source from a
// damaged delta. A delta that would make more than the new size stops before
// it fills the disk.
int MakeResult(int index, bool oldChecked, DeltaOutcome* outcome) {
    const DeltaEntry& entry = DeltaList[index];
    Decoding decoding = {};
    if (PlatformOpenFileForReading(DeltaPath, &decoding.delta) != 0)
        return Stop(outcome, DeltaStopDamagedDelta, entry.deltaFile);
    if (PlatformOpenFileForReading(GamePath, &decoding.source) != 0) {
        PlatformCloseFile(decoding.delta);
        return Stop(outcome, DeltaStopMissingFile, entry.gameFile);
    }
    int status = 0;
    if (CreateTemporaryFor(index, &decoding.target) != 0) {
        status = Stop(outcome, DeltaStopWriteFailed, entry.gameFile);
    } else {
        Sha256Begin(&decoding.hash);
        DeltaIo io = {&decoding, entry.oldSize, entry.newSize, ReadSource, ReadDelta, WriteTarget, TargetReused};
        uint64_t targetSize = 0;
        DeltaProblem problem = DeltaFine;
        int decoded = DecodeDelta(&io, &targetSize, &problem);
        WaitForHash(&decoding);
        bool closed = PlatformCloseTemporary(decoding.target) == 0;
        unsigned char digest[32];
        Sha256Finish(&decoding.hash, digest);
        if (problem == DeltaWriteFailed || !closed) {
            status = Stop(outcome, DeltaStopWriteFailed, entry.gameFile);
        } else if (problem == DeltaSourceReadFailed) {
            status = Stop(outcome, DeltaStopMissingFile, entry.gameFile);
        } else if (problem == DeltaReadFailed) {
            status = Stop(outcome, DeltaStopDamagedDelta, entry.deltaFile);
        } else if (decoded != 0 || targetSize != entry.newSize || memcmp(digest, entry.newHash, 32) != 0) {
            unsigned char old[32];
            // Not in the total: a run that comes here stops.
            if (!oldChecked) ProgressFile(ProgressHash, entry.gameFile);
            bool oldMatches = oldChecked || (HashFile(GamePath, entry.oldSize, old, false) == 0 &&
                                             memcmp(old, entry.oldHash, 32) == 0);
            status = oldMatches ? Stop(outcome, DeltaStopDamagedDelta, entry.deltaFile)
                                : Stop(outcome, DeltaStopWrongVersion, entry.gameFile);
        }
    }
    PlatformCloseFile(decoding.source);
    PlatformCloseFile(decoding.delta);
    return status;
}

// DeltaPath: the whole new file the patch carries for the game file of line
// first, when it carries one.
bool FindWholeCopy(int first) {
    unsigned attributes;
    return FormatText(WholeName, sizeof WholeName, "whole\\%s", DeltaList[first].gameFile) == 0 &&
           FormatText(DeltaPath, sizeof DeltaPath, "%s\\%s", ProgramFolder, WholeName) == 0 &&
           PlatformGetFileAttributes(DeltaPath, &attributes) == 0 && !(attributes & FileAttributeDirectory);
}

// Copies the whole new file (DeltaPath) into a temporary beside the game file,
// hashing it as it is written: 0 when it is the new version; else 1 and the
// outcome (a copy that is not is damaged; one that cannot be written is a
// copy failure). A longer file stops before it fills the disk.
int CopyWholeResult(int first, DeltaOutcome* outcome) {
    const DeltaEntry& entry = DeltaList[first];
    FileReader reader;
    if (PlatformOpenFileForReading(DeltaPath, &reader) != 0) return Stop(outcome, DeltaStopDamagedDelta, WholeName);
    TemporaryWriter writer;
    if (CreateTemporaryFor(first, &writer) != 0) {
        PlatformCloseFile(reader);
        return Stop(outcome, DeltaStopWriteFailed, entry.gameFile);
    }
    Sha256State hash;
    Sha256Begin(&hash);
    uint64_t copied = 0;
    bool readable = true, written = true;
    for (;;) {
        size_t count = 0;
        readable = PlatformReadFileAt(reader, copied, HashBuffer, sizeof HashBuffer, &count) == 0 &&
                   count <= entry.newSize - copied;
        if (!readable || count == 0) break;
        Sha256Add(&hash, HashBuffer, count);
        written = PlatformWriteTemporary(writer, HashBuffer, count) == 0;
        if (!written) break;
        copied += count;
        ProgressAdvance(count);
    }
    written = PlatformCloseTemporary(writer) == 0 && written;
    PlatformCloseFile(reader);
    unsigned char digest[32];
    Sha256Finish(&hash, digest);
    if (!written) return Stop(outcome, DeltaStopWriteFailed, entry.gameFile);
    if (!readable || copied != entry.newSize || memcmp(digest, entry.newHash, 32) != 0)
        return Stop(outcome, DeltaStopDamagedDelta, WholeName);
    return 0;
}

// A version no delta starts from, or a damaged file: replaced by the whole new
// file where the patch carries one. -1 where it carries none; else 0, or 1 and
// the outcome.
int ReplaceWhole(int first, DeltaOutcome* outcome) {
    if (!FindWholeCopy(first)) return -1;
    NoteInLog("%s: パッチの %s に置き換えます。", DeltaList[first].gameFile, WholeName);
    DeltaUses[first] = DeltaUsedWhole;
    ProgressFile(ProgressDeltas, DeltaList[first].gameFile);
    return CopyWholeResult(first, outcome);
}

// Whether entry index is the first line of its game file: a file with a line
// for each old version the patch knows is worked on once.
bool FirstLineOfFile(int index) {
    for (int i = 0; i < index; ++i)
        if (EqualIgnoringAsciiCase(DeltaList[i].gameFile, DeltaList[index].gameFile)) return false;
    return true;
}

// The lines of the game file of line first (itself or a later one).
bool SameFile(int first, int line) {
    return line == first || (line > first && EqualIgnoringAsciiCase(DeltaList[first].gameFile, DeltaList[line].gameFile));
}

// How many lines of the game file of line first start from an old version of
// that size; *only is the last of them.
int LinesFromSize(int first, uint64_t size, int* only) {
    int count = 0;
    for (int i = first; i < DeltaCount; ++i)
        if (SameFile(first, i) && DeltaList[i].oldSize == size) ++count, *only = i;
    return count;
}

// The line whose old version has that size and SHA-256, or -1.
int LineFromVersion(int first, uint64_t size, const unsigned char digest[32]) {
    for (int i = first; i < DeltaCount; ++i)
        if (SameFile(first, i) && DeltaList[i].oldSize == size && memcmp(DeltaList[i].oldHash, digest, 32) == 0) return i;
    return -1;
}

// A file is hashed before anything is decoded where its size cannot tell which
// version it is: the new size, or the size of more than one old version.
bool HashedFirst(int first, uint64_t size) {
    int only;
    return size == DeltaList[first].newSize || LinesFromSize(first, size, &only) > 1;
}

// Whether a file of that size cannot be an old version and may be the new one.
bool MayAlreadyBeNew(int first, uint64_t size) {
    int only;
    return size == DeltaList[first].newSize && LinesFromSize(first, size, &only) == 0;
}

// Decimal digits of a 64-bit size, which the C runtime's printf of the 32-bit
// program does not take.
const char* Decimal(uint64_t value, char text[21]) {
    char* at = text + 20;
    *at = '\0';
    do *--at = (char)('0' + value % 10);
    while ((value /= 10) != 0);
    return at;
}

// The log names the version found, or what was found and the versions the
// patch knows, so that a player's report says which.
void NoteVersion(int first, int line, uint64_t size, const unsigned char* digest) {
    if (line >= 0) {
        NoteInLog("%s: %s の版です。", DeltaList[first].gameFile, DeltaList[line].label[0] ? DeltaList[line].label : "既知");
        return;
    }
    char known[512] = "", sizeText[21], hex[65] = "-";
    for (int i = first; i < DeltaCount; ++i)
        if (SameFile(first, i) && FormatText(known + strlen(known), sizeof known - strlen(known), "%s%s",
                                             known[0] ? ", " : "", DeltaList[i].label[0] ? DeltaList[i].label : "?") != 0)
            break;
    if (digest) Sha256ToHex(digest, hex);
    NoteInLog("%s: このパッチの知らない版です (%s バイト, SHA-256 %s)。知っている版: %s", DeltaList[first].gameFile,
              Decimal(size, sizeText), hex, known);
}

// A file is reported as its work begins: its hashing, or its decoding. (A file
// that stops the run before either is not.) first is the first line of its
// game file; the line whose old version the file is decodes it.
int PrepareOne(int first, DeltaOutcome* outcome) {
    const DeltaEntry& entry = DeltaList[first];
    if (ComposeGamePath(first) != 0)
        return Stop(outcome, DeltaStopMissingFile, entry.gameFile);
    unsigned attributes;
    uint64_t size;
    if (PlatformGetFileAttributes(GamePath, &attributes) != 0 || (attributes & FileAttributeDirectory) ||
        PlatformGetFileSize(GamePath, &size) != 0)
        return Stop(outcome, DeltaStopMissingFile, entry.gameFile);
    // A file whose replacement would be refused is found out before anything changes.
    if (attributes & (FileAttributeHidden | FileAttributeSystem)) return Stop(outcome, DeltaStopWriteFailed, entry.gameFile);
    int line = -1;
    int fromSize = LinesFromSize(first, size, &line);
    unsigned char digest[32];
    bool hashed = HashedFirst(first, size);
    if (hashed) {
        // The total counts these bytes (DeltaBytesToHash).
        ProgressFile(ProgressHash, entry.gameFile);
        if (HashFile(GamePath, size, digest, true) != 0) return Stop(outcome, DeltaStopMissingFile, entry.gameFile);
        if (size == entry.newSize && memcmp(digest, entry.newHash, 32) == 0) {
            DeltaUses[first] = DeltaUsedAlreadyNew;
            // Already the new version. Its result was counted in the total where
            // its size could not tell it from an old version, or the whole new
            // file might have replaced it: counted as done.
            if (fromSize > 0 || FindWholeCopy(first)) ProgressAdvance(size);
            return 0;
        }
        line = LineFromVersion(first, size, digest);
    }
    if (line < 0) {
        // Hashed for the log only.
        if (!hashed) hashed = HashFile(GamePath, size, digest, false) == 0;
        NoteVersion(first, line, size, hashed ? digest : nullptr);
        int replaced = ReplaceWhole(first, outcome);
        return replaced >= 0 ? replaced : Stop(outcome, DeltaStopWrongVersion, entry.gameFile);
    }
    NoteVersion(first, line, size, nullptr);
    DeltaUses[line] = DeltaUsedDecoded;
    if (FormatText(DeltaPath, sizeof DeltaPath, "%s\\%s", ProgramFolder, DeltaList[line].deltaFile) != 0)
        return Stop(outcome, DeltaStopDamagedDelta, DeltaList[line].deltaFile);
    ProgressFile(ProgressDeltas, entry.gameFile);
    if (MakeResult(line, hashed, outcome) == 0) return 0;
    if (outcome->stop != DeltaStopWrongVersion) return 1;
    // Its size only made it look like that version.
    DeltaUses[line] = DeltaUsedNone;
    if (Temporaries[line][0] != '\0') PlatformDiscardTemporary(Temporaries[line]);
    Temporaries[line][0] = '\0';
    int replaced = ReplaceWhole(first, outcome);
    return replaced < 0 ? 1 : replaced;
}

}  // namespace

int LoadDeltaList(DeltaOutcome* outcome) {
    DeltaCount = 0;
    memset(DeltaUses, 0, sizeof DeltaUses);
    char path[PathSize];
    if (FormatText(path, sizeof path, "%s\\%s", ProgramFolder, ListName) != 0 || ReadDeltaList(path) == DeltaListDamaged)
        return Stop(outcome, DeltaStopDamagedList, ListName);
    return 0;
}

namespace {

// The sum over the deltas' game files, as they are now, of the new size of each
// result to be made (hashed false), or of each file's size where it is hashed
// before its delta is decoded (hashed true): the new size, which may be the
// new version's. UINT64_MAX where it overflows.
uint64_t SumOverDeltaFiles(bool hashed) {
    uint64_t sum = 0;
    for (int i = 0; i < DeltaCount; ++i) {
        if (!FirstLineOfFile(i)) continue;
        uint64_t size;
        bool sized = ComposeGamePath(i) == 0 && PlatformGetFileSize(GamePath, &size) == 0;
        uint64_t term = hashed ? size : DeltaList[i].newSize;
        // A file of the new size whose old version no line names is the new one,
        // or is replaced by the whole new file where the patch carries one.
        if (hashed ? !sized || !HashedFirst(i, size) : sized && MayAlreadyBeNew(i, size) && !FindWholeCopy(i)) continue;
        sum += term;
        if (sum < term) return UINT64_MAX;
    }
    return sum;
}

}  // namespace

uint64_t DeltaRoomNeeded() { return SumOverDeltaFiles(false); }

uint64_t DeltaBytesToHash() { return SumOverDeltaFiles(true); }

void RemoveDeltaLeftovers() {
    for (int i = 0; i < DeltaCount; ++i) {
        if (ComposeGamePath(i) != 0) continue;
        // The folder ends at the last separator; a second byte of a double-byte character is no separator.
        char* lastSeparator = nullptr;
        for (char* p = GamePath; *p; p += CharacterLength(p))
            if (*p == '\\') lastSeparator = p;
        if (!lastSeparator) continue;
        *lastSeparator = '\0';
        RemoveLeftoverTemporaries(GamePath);
    }
}

int PrepareDeltaResults(DeltaOutcome* outcome) {
    for (int i = 0; i < DeltaCount; ++i) {
        if (FirstLineOfFile(i) && PrepareOne(i, outcome) != 0) {
            DiscardDeltaResults();
            return 1;
        }
    }
    return 0;
}

int PlaceDeltaResults() {
    for (int i = 0; i < DeltaCount; ++i) {
        if (Temporaries[i][0] == '\0') continue;
        ProgressFile(ProgressReplace, DeltaList[i].gameFile);
        if (ComposeGamePath(i) != 0) return 1;
        ClearReadOnlyMark(GamePath);
        if (PlatformReplaceWithTemporary(Temporaries[i], GamePath) != 0) return 1;
        Temporaries[i][0] = '\0';
    }
    return 0;
}

void DiscardDeltaResults() {
    for (int i = 0; i < DeltaCapacity; ++i) {
        if (Temporaries[i][0] == '\0') continue;
        PlatformDiscardTemporary(Temporaries[i]);
        Temporaries[i][0] = '\0';
    }
}

void ResetDeltasForTests() {
    memset(Temporaries, 0, sizeof Temporaries);
    memset(DeltaUses, 0, sizeof DeltaUses);
    DeltaCount = 0;
}
