// Folder trees of the end-to-end cases: laying them out, listing them with
// contents and read-only marks, printing them for a person, comparing them and
// removing them. Names are UTF-16 throughout, so any name the file system
// holds is reached, whatever the ANSI code page.
#ifndef E2E_FOLDER_TREE_H
#define E2E_FOLDER_TREE_H

#include <string>
#include <vector>

struct TreeEntry {
    std::wstring path;  // relative, backslash-separated, as stored
    bool folder;
    bool readOnly;
    std::string content;  // the file's bytes
};

// Copies a file or a folder tree; the copies carry no marks. False at the first failure.
bool CopyTree(const std::wstring& from, const std::wstring& to);

// Creates a folder and any missing folders above it.
bool MakeFolders(const std::wstring& path);

// Lists a tree depth-first, sorted by name within each folder. False when
// the root does not exist.
bool ListTree(const std::wstring& root, std::vector<TreeEntry>* entries);

// Prints the tree with sizes and marks, indented below a heading.
void PrintTree(const std::string& heading, bool exists, const std::vector<TreeEntry>& entries);

// The differences between two listings, one line each (UTF-8); empty when equal.
// Names are compared with their letter case.
std::vector<std::string> CompareTrees(const std::vector<TreeEntry>& expected, const std::vector<TreeEntry>& actual);

#endif
