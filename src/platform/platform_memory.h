// Control of the in-memory platform backend, for host tests only.
//
// The backend models the parts of Win32 the program relies on: a command line,
// a current directory, message boxes (recorded, answered at once), a file tree
// with attributes whose names resolve without regard to ASCII case, a registry
// below HKEY_CURRENT_USER, and the window calls (recorded). Any file-system call
// can be made to fail on purpose.
#ifndef UPDATE_PLATFORM_MEMORY_H
#define UPDATE_PLATFORM_MEMORY_H

#include <string>
#include <vector>

#include "platform.h"

namespace memory_platform {

// Forgets everything: empty tree, registry, records; command line "".
void Reset();

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
unsigned Attributes(const std::string& path);
// The name of the last component as stored (its letter case).
std::string StoredName(const std::string& path);
// Every object below root, as "rel\\path" (directories end in '\\'), in the
// stored case, sorted without regard to case.
std::vector<std::string> ListTree(const std::string& root);
// Bytes that update.ini-style reads deliver for a path (same as FileContent).

// ---- Failure injection ----
enum class Operation { FindFirst, CopyFile, DeleteFile, SetAttributes, CreateDirectory, OpenFile };
// The next calls of op whose path (source path for a copy, pattern for a
// search) equals path without regard to case fail with error.
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
