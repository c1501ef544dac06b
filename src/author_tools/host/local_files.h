// The files the author's tools read and write on this machine: update.ini read,
// the two game folders compared byte for byte, the patch written. Paths are UTF-8; every call that
// can fail returns 0, or 1 and a one-line reason (UTF-8) in problem.
#ifndef UPDATE_CHECK_LOCAL_FILES_H
#define UPDATE_CHECK_LOCAL_FILES_H

#include <stdint.h>

#include <string>

// A path below folder, from a path relative to it as the folder readers give it
// (Shift-JIS, backslashes).
std::string LocalPath(const std::string& folder, const std::string& relativeShiftJis);

// Compares two files of the same size, streamed: 0 the same bytes, 1 different,
// 2 and problem when either cannot be read.
int CompareLocalFiles(const std::string& left, const std::string& right, std::string* problem);
// The same for files listed with size bytes each: a small file takes one read
// a side, and a file whose size is no longer the listed one differs.
int CompareLocalFiles(const std::string& left, const std::string& right, uint64_t size, std::string* problem);

// Copies the bytes of a file (no marks) to a new file; the folder must exist.
// bytes receives how many were written.
int CopyLocalFile(const std::string& from, const std::string& to, uint64_t* bytes, std::string* problem);
int WriteLocalFile(const std::string& path, const std::string& content, std::string* problem);
// Reads a whole file, or its first limit bytes; its reason is the system's
// alone, for the caller to place.
int ReadLocalFile(const std::string& path, std::string* content, std::string* reason, size_t limit = SIZE_MAX);
// Creates one folder below an existing one.
int MakeLocalFolder(const std::string& path, std::string* problem);

enum class FolderState { Missing, Empty, Other };
FolderState LocalFolderState(const std::string& path);

// Renames a folder into place; an empty folder already there is replaced.
int RenameLocalFolder(const std::string& from, const std::string& to, std::string* problem);
// Removes a folder and everything in it, read-only files included (best effort).
void RemoveLocalTree(const std::string& path);

// The folder of the running program (its own update.exe lies beside it).
std::string ToolFolder();
bool LocalFileExists(const std::string& path);
// When a file was last written, in nanoseconds since 1970: 0, or 1.
int LocalModifiedTime(const std::string& path, int64_t* time);

// Ctrl+C and termination requests set a flag the long loops look at, so that
// the temporary folder can be removed before the tool ends.
void WatchInterruptions();
bool Interrupted();
// Sets or clears the flag from within the process: a window's Cancel, and the
// next make after it.
void SetInterruption(bool seen);

#endif
