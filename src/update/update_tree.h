// Walks the update tree depth-first, verifying or copying it onto the game folder.
#ifndef UPDATE_UPDATE_TREE_H
#define UPDATE_UPDATE_TREE_H

#include <stddef.h>
#include <stdint.h>
#include <string.h>

// Measure tallies what a Copy would add to the game folder and write; it changes
// nothing but removing the temporary files an interrupted run left in the
// folders a Copy writes to.
enum WalkMode { Verify = 0, Copy = 1, Measure = 2 };

// What a Measure walk found, added to what was there before it.
struct SpaceTally {
    uint64_t bytesAdded;   // new files in full, and the growth of replaced ones
    uint64_t largestFile;  // whose temporary copy must fit beside the files it replaces
    uint64_t bytesWritten; // every file of the tree in full: what the copy writes
    uint64_t deltaResults; // the new versions made from deltas, in full (set by the room check)
};
extern SpaceTally PatchSpace;

// Each level of the walk composes its paths in texts of this size: a path that
// does not fit fails.
enum { LevelTextSize = 512 };

// sourceRoot is the update folder, relativePath "" at the top. 0 when the whole
// subtree passed (or there was nothing to visit), 1 at the first failure.
int WalkUpdateTree(const char* sourceRoot, const char* relativePath, WalkMode mode);

// Creates every missing directory along path, new ones with upper-case ASCII
// letters. 0 when each step succeeded or the object already existed. The first
// keptLength bytes (the game folder, which exists) are asked for as given: only
// the folders below it, which the patch may create, are upper-cased.
int MakeDirectoryChain(const char* path, size_t keptLength = 0);

// Whether update.ini lists relativeFile (a path relative to the update folder)
// as a file new to the game, which then needs no counterpart there.
bool IsListedAsNewFile(const char* relativeFile);

// The verify step for one file of the update tree, relativePath\name (name
// alone at the top; a name may itself hold backslashes): 0 when update.ini lists
// it as new or the game folder has a file, not a folder, of that path; 1 when
// not, or when either path does not fit a level's text.
int VerifyFile(const char* relativePath, const char* name);

// Whether a listed name is a folder's "." or ".." entry, which the walk skips.
inline bool IsDotEntry(const char* name) { return strcmp(name, ".") == 0 || strcmp(name, "..") == 0; }

// Clears a file's read-only mark, as the copy does before and after it writes
// a file; other marks stay.
void ClearReadOnlyMark(const char* path);

// 0 when path names an existing file that is not a directory, else 1.
int ProbeFile(const char* path);

#endif
