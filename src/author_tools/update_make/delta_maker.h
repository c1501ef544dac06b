// update-make's deltas: a replaced file travels as a VCDIFF delta (made by the
// xdelta3 program) where the delta is at most half the new file, listed in
// deltas.txt beside update.ini. The proof's run decodes each with update.exe's
// own decoder and checks its result against NEW's SHA-256; where the proof
// fails, each delta is decoded once more and compared with NEW's file byte for
// byte, to say which one is wrong and how.
#ifndef UPDATE_CHECK_DELTA_MAKER_H
#define UPDATE_CHECK_DELTA_MAKER_H

#include <stdint.h>

#include <functional>
#include <string>
#include <vector>

#include "author_tools/host/folder_reader.h"
#include "author_tools/update_make/patch_maker.h"

// Smaller files travel whole: a delta saves them little, and each costs a
// process start here and two hashes in the player's run.
const uint64_t DeltaMinimumSize = 64 * 1024;
const size_t DeltaCountLimit = 256;  // the program's manifest holds no more

enum class DeltaMode { Wanted, Required, Off };

// One line of deltas.txt, or a candidate that travels whole.
struct DeltaFile {
    size_t replaced = 0;  // its index in the plan's replaced files
    std::string path;     // Shift-JIS, relative to the game folder
    std::vector<std::pair<size_t, size_t>> from;  // the old versions with this old file: version, index in its read
    std::string label;                            // their names, for a patch of several versions ("" for one)
    uint64_t oldSize = 0, newSize = 0, deltaSize = 0;
    std::string oldHash, newHash;  // SHA-256, 64 lowercase hex digits
    std::string file;              // in the patch: "deltas\0001.vcdiff"; "" for one that travels whole
    std::string whole;             // why a candidate travels whole
    std::string oldLocal, newLocal;  // the two versions on this machine (UTF-8)
};

struct DeltaResult {
    std::string encoder;                  // the xdelta3 program run, "" when none was
    std::string none;                     // why no delta was tried, "" when they were
    std::vector<DeltaFile> deltas;        // in the plan's order
    std::vector<DeltaFile> whole;         // candidates that travel whole, in the plan's order
    uint64_t manifestBytes = 0, deltaBytes = 0;
    std::vector<ProofDifference> rejected;  // deltas whose decoding does not give NEW's file
    bool Uses(size_t replaced) const;
    // The same deltas.txt lines, and the same files travelling whole.
    bool SameLinesAs(const DeltaResult& other) const;
};

// The replaced files a delta may be tried for: not an engine executable, NEW
// at least DeltaMinimumSize bytes.
bool DeltaCandidate(const PlannedFile& file);

// An old version as the deltas see it: its folder on this machine, the folder
// as read, and its name (Shift-JIS).
struct OldVersionFiles {
    std::string folder;
    const FolderRead* read;
    std::string label;
};
// Encodes the candidates, largest first (the first 256 that are worth it
// become deltas), hashing both versions while the encoder runs, into
// patch/deltas (UTF-8 local paths); writes patch/deltas.txt when there is a
// delta. 0, or 1 and a reason (a file that cannot be read, the encoder failing).
// With several old versions a changed file has a delta from each old content
// it has in them (by size and SHA-256) but NEW's, in the order of the
// versions; it travels whole when a version lacks it or any delta is more
// than half the file. olds[0] is the version the plan was made from.
//
// With one old version, what the caller gives in overlap runs while the last
// delta is encoded, once every hash is known and deltas.txt is written as it
// will be if that delta is kept: started gets the deltas as they will be then
// (numbered in the plan's order, with their names in the patch), the file each
// is read from meanwhile and the one still being written; ended is called as
// soon as that encoder has ended (complete: its delta is whole), before any
// file is renamed, and whatever reads the deltas must be done when it returns.
struct WhileLastEncodes {
    std::function<void(const DeltaResult& expected, const std::vector<std::string>& readFrom,
                       const std::string& writing)>
        started;
    std::function<void(bool complete)> ended;
};
int MakeDeltas(const PatchPlan& plan, const std::vector<OldVersionFiles>& olds, const FolderRead& newRead,
               const std::string& newFolder, const std::string& patch, DeltaResult* result, std::string* problem,
               WhileLastEncodes* overlap = nullptr);

// Decodes each delta in patch with the program's decoder from OLD's file and
// compares the result with NEW's file; what differs, or what the decoder
// refuses, goes to result->rejected.
void FindRejectedDeltas(const std::string& patch, DeltaResult* result);

// Tests damage a delta here, after it is encoded and before it is decoded.
extern std::function<void(const std::string& deltaPath)> DeltaEncodedHook;

#endif
