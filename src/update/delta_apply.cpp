#include "update/delta_apply.h"
#include "update/leftover_temporaries.h"

#include <string.h>

#include "text/text.h"
#include "platform/platform.h"
#include "state/folders.h"
#include "state/progress.h"
#include "codec/sha256.h"
#include "update/update_tree.h"
#include "codec/vcdiff_decoder.h"

namespace {

enum { PathSize = 1024 };

const char ListName[] = "deltas.txt";

// The temporary file holding each entry's result until it takes its place;
// empty where none is held. 256 KB, fixed.
char Temporaries[DeltaCapacity][PathSize];

// Paths of the entry at work.
char GamePath[PathSize];
char DeltaPath[PathSize];

// Game files are hashed through this buffer (64 KB).
unsigned char HashBuffer[65536];

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

// Whether a file of that size cannot be the old version and may be the new one.
bool MayAlreadyBeNew(const DeltaEntry& entry, uint64_t size) { return size == entry.newSize && size != entry.oldSize; }

// A file is reported as its work begins: its hashing, or its decoding. (A file
// that stops the run before either is not.)
int PrepareOne(int index, DeltaOutcome* outcome) {
    const DeltaEntry& entry = DeltaList[index];
    if (ComposeGamePath(index) != 0)
        return Stop(outcome, DeltaStopMissingFile, entry.gameFile);
    if (FormatText(DeltaPath, sizeof DeltaPath, "%s\\%s", ProgramFolder, entry.deltaFile) != 0)
        return Stop(outcome, DeltaStopDamagedDelta, entry.deltaFile);
    unsigned attributes;
    uint64_t size;
    if (PlatformGetFileAttributes(GamePath, &attributes) != 0 || (attributes & FileAttributeDirectory) ||
        PlatformGetFileSize(GamePath, &size) != 0)
        return Stop(outcome, DeltaStopMissingFile, entry.gameFile);
    // A file whose replacement would be refused is found out before anything changes.
    if (attributes & (FileAttributeHidden | FileAttributeSystem)) return Stop(outcome, DeltaStopWriteFailed, entry.gameFile);
    bool oldChecked = false;
    if (size == entry.newSize) {
        // The total counts these bytes (DeltaBytesToHash).
        ProgressFile(ProgressHash, entry.gameFile);
        unsigned char digest[32];
        if (HashFile(GamePath, size, digest, true) != 0) return Stop(outcome, DeltaStopMissingFile, entry.gameFile);
        if (memcmp(digest, entry.newHash, 32) == 0) {
            // Already the new version. Its result was counted in the total where
            // its size could not tell it from the old version: counted as done.
            if (size == entry.oldSize) ProgressAdvance(size);
            return 0;
        }
        oldChecked = size == entry.oldSize && memcmp(digest, entry.oldHash, 32) == 0;
        if (!oldChecked) return Stop(outcome, DeltaStopWrongVersion, entry.gameFile);
    } else if (size != entry.oldSize) {
        return Stop(outcome, DeltaStopWrongVersion, entry.gameFile);
    }
    ProgressFile(ProgressDeltas, entry.gameFile);
    return MakeResult(index, oldChecked, outcome);
}

}  // namespace

int LoadDeltaList(DeltaOutcome* outcome) {
    DeltaCount = 0;
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
        const DeltaEntry& entry = DeltaList[i];
        uint64_t size;
        bool sized = ComposeGamePath(i) == 0 && PlatformGetFileSize(GamePath, &size) == 0;
        uint64_t term = entry.newSize;
        if (hashed ? !sized || size != term : sized && MayAlreadyBeNew(entry, size)) continue;
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
        if (PrepareOne(i, outcome) != 0) {
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
    DeltaCount = 0;
}
