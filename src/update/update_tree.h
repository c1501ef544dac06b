// Walks the update tree depth-first, verifying or copying it onto the game folder.
#ifndef UPDATE_UPDATE_TREE_H
#define UPDATE_UPDATE_TREE_H

#include <stddef.h>

enum WalkMode { Verify = 0, Copy = 1 };

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

// 0 when path names an existing file that is not a directory, else 1.
int ProbeFile(const char* path);

#endif
