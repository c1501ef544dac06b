// Reads a real folder into entries for the in-memory machine: names in
// Shift-JIS, sizes and marks, never file contents (but for one named file).
// Each file keeps its path on disk, where the machine reads the few files the
// run opens (the game files deltas patch, and the deltas).
#ifndef UPDATE_CHECK_FOLDER_READER_H
#define UPDATE_CHECK_FOLDER_READER_H

#include <string>
#include <vector>

#include "platform/memory/platform_memory.h"

struct FolderRead {
    std::vector<memory_platform::TreeEntry> entries;  // parents before children
    bool keptFound = false;                           // the file asked for was there
    std::string keptContent;
    bool nameRefused = false;  // the problem is a name Windows or Shift-JIS cannot hold
};

// folder is UTF-8. The content of the top-level file whose name is keptName
// (under any letter case) is read too. 0 when read; 1 and a one-line reason in
// problem (UTF-8, naming the file relative to the folder) otherwise.
// Without dosAttributes, Wine's hidden and system bits are not looked up (a
// call a file on Linux), for a folder whose marks do not matter.
int ReadFolder(const std::string& folder, const std::string& keptName, FolderRead* read, std::string* problem,
               bool dosAttributes = true);

#endif
