// Control of the in-memory platform backend: the host tests' machine and the
// model that update-check runs the program on.
//
// The backend models the parts of Win32 the program relies on: a command line,
// a current directory, message boxes (recorded, answered at once), a file tree
// with attributes, a registry below HKEY_CURRENT_USER, and the window calls
// (recorded). Any file-system call can be made to fail on purpose.
//
// File names are Shift-JIS. Like NTFS they resolve without regard to letter
// case: ASCII letters and the double-byte full-width Latin, Greek and Cyrillic
// letters fold to one case, while the second byte of a double-byte character is
// never folded. Each folder indexes its entries by folded name. Paths are
// parsed as Win32 parses them: '\' and '/' separate, runs of separators count as
// one, "." and ".." components are resolved, and trailing dots and spaces of
// every component are dropped.
#ifndef UPDATE_PLATFORM_MEMORY_H
#define UPDATE_PLATFORM_MEMORY_H

#include <stdint.h>
#include <stdio.h>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace memory_platform {

// Forgets everything: empty tree, registry, records; command line "".
void Reset();

// The program reads it once, as it was started: a relative log file or game
// folder on it stands for one in the current directory of that moment.
void SetCommandLine(const std::string& commandLine);
const std::string& CurrentDirectory();

struct MessageBoxRecord {
    WindowHandle owner;
    std::string text;
    std::string title;
    unsigned type;
};
const std::vector<MessageBoxRecord>& MessageBoxes();

// ---- Files ----
// Paths are full Windows paths ("C:\\Game\\data\\a.dat"). Adding creates the
// missing parent directories. Drive roots ("C:") always exist.
void AddDirectory(const std::string& path);
void AddFile(const std::string& path, const std::string& content, unsigned attributes = 0);
bool IsFile(const std::string& path);
bool IsDirectory(const std::string& path);
std::string FileContent(const std::string& path);
// A file's bytes as the program reads them (from disk for a loaded file),
// read without counting a call or meeting an injected failure.
std::string FileBytes(const std::string& path);
// Files the program opened for reading or as temporaries and has not closed.
int OpenFileCount();
// The size of a file: its content's, or the size it was loaded with.
uint64_t FileSize(const std::string& path);
unsigned Attributes(const std::string& path);
// Gives an existing file a content of its own while it keeps the size it has:
// a mark of where it came from, which copies carry along (update-make).
void MarkFile(const std::string& path, const std::string& mark);
// The name of the last component as stored (its letter case).
std::string StoredName(const std::string& path);
// Every object below root, as "rel\\path" (directories end in '\\'), in the
// stored case, sorted without regard to case.
std::vector<std::string> ListTree(const std::string& root);
// Whether two names are one on this file system.
bool SameName(const std::string& left, const std::string& right);
// The one form of a name all its letter cases share: two names are one
// exactly when their folded forms are equal.
std::string FoldedName(const std::string& name);
// Whether two full paths name one object once Win32 has parsed them, and
// whether path names folder or an object below it.
bool SamePath(const std::string& left, const std::string& right);
bool IsSameOrBelow(const std::string& path, const std::string& folder);

// ---- Loading a real folder ----
// One object of a folder read from a disk: its path relative to the folder,
// with '\\' separators, and for a file its size; no content is kept. A file
// with a disk path is read there when the program opens it (the few files a
// run reads whole: the game files deltas patch, the deltas).
struct TreeEntry {
    std::string relativePath;
    bool directory;
    uint64_t size;
    unsigned attributes;   // read-only, hidden, system
    std::string diskPath;  // UTF-8, this machine's; empty: no bytes to read
};
// A loaded file whose bytes another program is still writing: update-make
// proves a delta while its encoder writes it. A read past the bytes there
// waits for more, or for the end; a question of its size waits for the end.
// Ended(false): the file is not to be read after all, and every read fails.
class LateFile {
public:
    void Ended(bool complete);
    // The file opened for reading once its writer has made it: 0, or 1 when it
    // ended without making it or is not to be read.
    int WaitToOpen(const std::string& diskPath, FILE** file);
    // How many bytes are there now: more than offset, or all there will be.
    // 0, or 1 once the file is not to be read.
    int WaitBeyond(FILE* file, uint64_t offset, uint64_t* size);
    // Its final size: 0, or 1 when it is not to be read.
    int WaitForEnd(FILE* file, uint64_t* size);

private:
    enum State { Writing, Complete, Refused };
    std::mutex lock_;
    std::condition_variable changed_;
    State state_ = Writing;
};
// The file at diskPath (UTF-8) is read as late until the registration is
// taken back (late empty).
void SetLateFile(const std::string& diskPath, std::shared_ptr<LateFile> late);
// Places the entries below root (created when missing), parents before their
// children. An entry whose name Windows would not keep as it stands, or whose
// name is already taken in its folder under any letter case, is refused: 0 when
// all were placed, else 1 and "relative\\path: what is wrong" in problem.
int LoadTree(const std::string& root, const std::vector<TreeEntry>& entries, std::string* problem);
// Every object below root as LoadTree takes it (relative paths without a
// trailing separator), sorted without regard to case.
std::vector<TreeEntry> DescribeTree(const std::string& root);

// ---- What changed ----
// Every successful change the program made through the boundary is journalled.
enum class ChangeKind { Replace, Add, CreateFolder, Delete, ClearReadOnly };
// Whether the change wrote a file's content: a replacement or an addition.
inline bool IsCopy(ChangeKind kind) { return kind == ChangeKind::Replace || kind == ChangeKind::Add; }
struct Change {
    ChangeKind kind;
    std::string path;  // relative to the root asked for, in the stored case
    uint64_t size;     // a copied file's new size, a deleted file's size
};
// The changes below root, in the order they were made, each object once per
// kind: a file copied twice is one replacement (or addition), and a read-only
// mark that a copy brought along and that was then cleared is no change.
std::vector<Change> ChangesBelow(const std::string& root);
// Bytes written by every copy made, repeated copies included.
uint64_t BytesCopied();
// Every path the program asked to delete, in order, and whether it went.
struct DeleteRequest {
    std::string path;
    bool deleted;
};
const std::vector<DeleteRequest>& DeleteRequests();

// ---- Free space ----
// The bytes the program may still write: unlimited (no figure) after Reset.
// Copies take room and deletions give it back once a figure is set; a copy whose
// new file does not fit fails as with a full disk, changing nothing.
const uint64_t UnlimitedSpace = UINT64_MAX;
void SetFreeSpace(uint64_t bytes);
uint64_t FreeSpace();

// ---- Failure injection ----
// ReplaceStep is a copy's last step, after its new bytes were written, and
// PlatformReplaceWithTemporary: the temporary file taking the destination's
// place. DiscardTemporary never fails; it is only recorded.
enum class Operation {
    FindFirst, CopyFile, DeleteFile, SetAttributes, CreateDirectory, OpenFile, ReplaceStep, GetFreeSpace,
    ReadFile, CreateTemporary, WriteTemporary, DiscardTemporary
};
// The next calls of op whose path (source path for a copy, destination for its
// replacement step and for creating a temporary, pattern for a search, the
// file opened for a read, the temporary for a write) equals path without
// regard to case fail with error.
void FailOperation(Operation op, const std::string& path, unsigned error = 5);
// The n-th call of op from now (1 = the next one) fails with error; others pass.
void FailNthOperation(Operation op, int n, unsigned error = 5);
// How many calls of op were made since Reset.
int OperationCount(Operation op);
// The paths of those calls as the program spelled them, in order.
const std::vector<std::string>& RequestedPaths(Operation op);

// ---- Registry (HKEY_CURRENT_USER) ----
void AddRegistryKey(const std::string& keyPath);
void SetRegistryValue(const std::string& keyPath, const std::string& name, unsigned type,
                      const std::string& bytes);
// A REG_SZ value: the text and its terminator.
void SetRegistryString(const std::string& keyPath, const std::string& name,
                       const std::string& text);
int OpenKeyCount();  // keys opened and not yet closed
int FlushCount();

// ---- Windows ----
struct WindowCall {
    std::string operation;  // "show", "text", "focus", "destroy"
    WindowHandle window;
    int command;            // show command
    std::string text;       // window text
};
const std::vector<WindowCall>& WindowCalls();

// ---- Fonts ----
// Descriptions of the fonts created, and how many are alive.
const std::vector<FontDescription>& CreatedFonts();
int LiveFontCount();
void FailFontCreation(bool fail);

}  // namespace memory_platform

#endif
