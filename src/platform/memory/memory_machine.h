// The inside of the in-memory machine, shared by its parts: path parsing
// (memory_paths.cpp), the tree (memory_tree.cpp), the journal of changes and the
// free space (memory_journal.cpp), failure injection (memory_failures.cpp),
// file contents and temporary files (memory_file_contents.cpp), the file-system
// calls of the boundary (memory_file_system.cpp) and the rest of the boundary
// (platform_memory.cpp). Nothing outside these files includes it.
#ifndef UPDATE_MEMORY_MACHINE_H
#define UPDATE_MEMORY_MACHINE_H

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/memory/platform_memory.h"
#include "text/shift_jis.h"

namespace memory_platform {

// Nodes and folder entries come from kept blocks of their size (memory_blocks.cpp).
void* TakeBlock(size_t size);
void GiveBackBlock(void* block, size_t size);

template <class T>
struct BlockAllocator {
    using value_type = T;
    BlockAllocator() = default;
    template <class U>
    BlockAllocator(const BlockAllocator<U>&) {}
    T* allocate(size_t count) {
        return count == 1 ? static_cast<T*>(TakeBlock(sizeof(T))) : std::allocator<T>().allocate(count);
    }
    void deallocate(T* block, size_t count) {
        if (count == 1) GiveBackBlock(block, sizeof(T));
        else std::allocator<T>().deallocate(block, count);
    }
    template <class U>
    bool operator==(const BlockAllocator<U>&) const { return true; }
    template <class U>
    bool operator!=(const BlockAllocator<U>&) const { return false; }
};

struct Node;
// A folder's entries by folded name.
using Children = std::map<std::string, std::unique_ptr<Node>, std::less<std::string>,
                          BlockAllocator<std::pair<const std::string, std::unique_ptr<Node>>>>;

struct Node {
    static void* operator new(size_t size) { return TakeBlock(size); }
    static void operator delete(void* block, size_t size) { GiveBackBlock(block, size); }

    std::string name;  // stored letter case
    bool directory = false;
    // A file's bytes: its content, or, for a file loaded from a real folder,
    // the file on disk that diskPath names (UTF-8), whose content is only a mark.
    std::string content;
    std::string diskPath;
    bool contentDropped = false;  // a large written file keeps its size only; it cannot be read
    uint64_t size = 0;
    unsigned attributes = 0;  // read-only, hidden, system
    Node* parent = nullptr;
    Children children;
};

struct Injection {
    Operation operation;
    std::string path;  // empty: by count instead
    int countdown;     // calls still to pass before the failing one
    unsigned error;
};

struct Search {
    std::vector<FoundFile> entries;
    size_t next;
};

struct RegistryValue {
    unsigned type;
    std::string bytes;
};

struct JournalEntry {
    ChangeKind kind;
    std::string path;  // full path, stored case
    uint64_t size;
};

// A temporary file being written: its node lives in the tree from the start.
struct OpenTemporary {
    std::string path;
    bool failed = false;  // a write failed: the file is cut short
};

// A folder found by the text of a path up to its last separator, as the
// caller spelled it: a program works through one folder's files at a time, and
// the files of a few folders side by side.
struct FolderMemo {
    std::string text;
    Node* folder = nullptr;  // none: an empty slot
};
const size_t FolderMemoSlots = 4;

struct Machine {
    std::string commandLine;
    std::string commandLineAsRead;  // empty until the program first asks for it
    bool commandLineRead = false;
    std::string currentDirectory;
    std::vector<MessageBoxRecord> boxes;
    Children roots;  // "c:", ... by folded name
    std::vector<JournalEntry> journal;
    std::vector<DeleteRequest> deleteRequests;
    std::vector<Injection> injections;
    std::map<Operation, std::vector<std::string>> requests;
    std::map<int, Search> searches;
    int nextSearch = 1;
    std::map<std::string, std::map<std::string, RegistryValue>> registry;
    int openKeys = 0;
    int flushes = 0;
    std::vector<WindowCall> windowCalls;
    std::vector<FontDescription> fonts;
    int liveFonts = 0;
    bool failFonts = false;
    uint64_t freeBytes = UnlimitedSpace;  // what the program may still write
    unsigned lastError = 0;               // of the last copy or folder creation that failed
    unsigned processId = 0x1234abcd;      // in the names of temporary files
    int openReaders = 0;
    int openTemporaries = 0;
    FolderMemo folderMemo[FolderMemoSlots];  // emptied whenever a node goes or a folder becomes a file
    size_t nextMemo = 0;
};

Machine& State();

const unsigned KeptAttributes = FileAttributeReadOnly | FileAttributeHidden | FileAttributeSystem;

// ---- Paths (memory_paths.cpp) ----
std::string Fold(const std::string& name);
std::string LowerAscii(const std::string& text);
bool IsDriveName(const std::string& name);
// A parsed path: the root ("C:", or whatever the text starts with) and the
// names below it, resolved as Win32 resolves them before the file system sees them.
struct ParsedPath {
    std::string root;
    std::vector<std::string> names;
    bool endsInSeparator = false;
};
std::string TrimTrailingDotsAndSpaces(const std::string& name);
ParsedPath Parse(const std::string& path);
bool IsValidWindowsName(const std::string& name);

// ---- The tree (memory_tree.cpp) ----
Node* RootOf(const std::string& root, bool create);
Node* Child(Node* folder, const std::string& name);
// The node a path names, or none. The last `drop` names are left off (1: the parent).
Node* Resolve(const ParsedPath& parsed, size_t drop = 0);
// A file named with a separator after it is not found, as on Windows.
Node* Find(const std::string& path);
// A late file's final size put in node->size once its writer has ended (an
// other file's stays): 0, or 1 when it is not to be read.
int SettleLateSize(Node* node);
// Forgets the folders Find remembers: called before any node is destroyed or
// a folder turns into a file.
void ForgetFolders();
bool IsRoot(const Node* node);
std::string FullPath(const Node* node);
// A new entry of folder, or the existing one under any letter case, which keeps its stored name.
Node* Place(Node* folder, const std::string& name);
// The folder of a path's parent, created with every missing folder above it.
Node* EnsureParent(const ParsedPath& parsed);
void PutFile(Node* node, const std::string& content, uint64_t size, unsigned attributes);
// Makes to hold what from holds (content, disk file, size, attributes).
void CopyNodeContent(Node* to, const Node& from);
void RemoveNode(Node* node);
FoundFile EntryFor(const Node& node, const std::string& name);

// ---- Journal and free space (memory_journal.cpp) ----
void Consume(uint64_t bytes);
void Release(uint64_t bytes);
void Journal(ChangeKind kind, const Node* node, uint64_t size);

// ---- Failure injection (memory_failures.cpp) ----
// Counts the call and tells whether an injected failure hits it.
bool Injected(Operation operation, const std::string& path, unsigned* error);

}  // namespace memory_platform

#endif
