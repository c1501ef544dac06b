// Game files patched by deltas. The new version of every such file is made and
// checked before anything in the game folder changes: decoded into a temporary
// file beside the game file, its size and SHA-256 compared with the list's.
// Only after the update tree has been copied does each one take its game file's
// place. A game file that already is the new version is left as it is.
#ifndef UPDATE_DELTA_APPLY_H
#define UPDATE_DELTA_APPLY_H

#include <stdint.h>

#include "update/delta_manifest.h"

// Why the deltas stopped the run.
enum DeltaStop {
    DeltaStopNone = 0,
    DeltaStopDamagedList,   // deltas.txt cannot be read or breaks its rules
    DeltaStopMissingFile,   // a game file a delta patches is not there, or cannot be read
    DeltaStopWrongVersion,  // it is neither the version the delta was made from nor the new one
    DeltaStopDamagedDelta,  // a delta cannot be read, or does not make the new version from the right one
    DeltaStopWriteFailed,   // a result could not be written (a full disk), or its file refuses to be replaced
};

// What stopped the run, and the file it is about: the game file (relative to
// the game folder), the delta file (relative to the program folder), or
// "deltas.txt". The name lies in the read list, which outlives the run.
struct DeltaOutcome {
    DeltaStop stop;
    const char* name;
};

// What the run did with each line of the list, for the author tools' report:
// the line whose delta made the game file's new version, the first line of a
// file already new or replaced by the whole new file the patch carries
// (whole\<game file>, for a version no line starts from); none for the rest.
enum DeltaUse { DeltaUsedNone = 0, DeltaUsedDecoded, DeltaUsedAlreadyNew, DeltaUsedWhole };
extern DeltaUse DeltaUses[DeltaCapacity];

// Reads ProgramFolder\deltas.txt: 0 when there is none or it was read, 1 and
// the outcome when it is damaged.
int LoadDeltaList(DeltaOutcome* outcome);

// What the results take on the game folder's volume while they all lie beside
// their files: the new size of each that will be made (a game file already of
// the new size and not of the old one makes none).
uint64_t DeltaRoomNeeded();

// What the run hashes before it decodes, reported as progress: the size of
// every game file a delta patches whose size is the new version's (a file of
// the same size in both versions, or one that may already be new).
uint64_t DeltaBytesToHash();

// Removes the temporary files an interrupted run left in the folders of the
// game files the deltas patch.
void RemoveDeltaLeftovers();

// Makes and checks every result. 0 when all are ready; 1 and the outcome at
// the first failure, with every temporary file discarded.
int PrepareDeltaResults(DeltaOutcome* outcome);

// Each prepared result takes its game file's place, the game file's read-only
// mark cleared first as the copy does. 0, or 1 at the first that fails (the
// files placed before it stay placed; the caller discards the rest).
int PlaceDeltaResults();

// Removes every temporary file not yet placed.
void DiscardDeltaResults();

void ResetDeltasForTests();

#endif
