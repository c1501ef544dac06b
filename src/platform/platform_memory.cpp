// The platform boundary on an in-memory machine. It mirrors the Win32 behaviour
// the program relies on and nothing more; the file system is a tree whose
// folders index their entries by folded name, so a lookup costs one map search
// per path component whatever the size of the tree.
#include "platform_memory.h"

#include <algorithm>
#include <map>
#include <memory>
#include <set>

#include <string.h>

#include "command_line_syntax.h"

namespace memory_platform {
namespace {

struct Node {
    std::string name;  // stored letter case
    bool directory = false;
    std::string content;
    uint64_t size = 0;
    unsigned attributes = 0;  // read-only, hidden, system
    Node* parent = nullptr;
    std::map<std::string, std::unique_ptr<Node>> children;  // by folded name
};

struct Injection {
    Operation operation;
    std::string path;  // empty: by count instead
    int countdown;     // calls still to pass before the failing one
    unsigned error;
};

struct OpenReader {
    std::string content;
    size_t position;
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

struct Machine {
    std::string commandLine;
    std::string commandLineAsRead;  // empty until the program first asks for it
    bool commandLineRead = false;
    std::string currentDirectory;
    std::vector<MessageBoxRecord> boxes;
    std::map<std::string, std::unique_ptr<Node>> roots;  // "c:", ... by folded name
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
    unsigned lastError = 0;  // of the last copy or folder creation that failed
};

Machine& State() {
    static Machine machine;
    return machine;
}

const unsigned KeptAttributes = FileAttributeReadOnly | FileAttributeHidden | FileAttributeSystem;

bool IsLead(unsigned char byte) { return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC); }

// Upper- and lower-case double-byte letters of code page 932 that NTFS takes as
// one: full-width Latin, Greek and Cyrillic. Folded to the lower-case form.
unsigned FoldDoubleByte(unsigned code) {
    if (code >= 0x8260 && code <= 0x8279) return code + 0x21;  // Ａ-Ｚ
    if (code >= 0x839F && code <= 0x83B6) return code + 0x20;  // Α-Ω
    if (code >= 0x8440 && code <= 0x8460) {                    // А-Я; 0x847F is no character
        unsigned lower = 0x8470 + (code - 0x8440);
        return lower >= 0x847F ? lower + 1 : lower;
    }
    return code;
}

std::string Fold(const std::string& name) {
    std::string folded = name;
    for (size_t i = 0; i < folded.size(); ++i) {
        unsigned char byte = (unsigned char)folded[i];
        if (IsLead(byte) && i + 1 < folded.size()) {
            unsigned code = FoldDoubleByte((unsigned)byte << 8 | (unsigned char)folded[i + 1]);
            folded[i] = (char)(code >> 8);
            folded[i + 1] = (char)(code & 0xFF);
            ++i;
        } else if (byte >= 'A' && byte <= 'Z') {
            folded[i] = (char)(byte - 'A' + 'a');
        }
    }
    return folded;
}

// The ASCII folding of the registry, which compares key names byte by byte.
std::string LowerAscii(const std::string& text) {
    std::string folded = text;
    for (char& c : folded)
        if (c >= 'A' && c <= 'Z') c = (char)(c - 'A' + 'a');
    return folded;
}

bool IsDriveName(const std::string& name) {
    return name.size() == 2 && name[1] == ':' && ((name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= 'a' && name[0] <= 'z'));
}

// A parsed path: the root ("C:", or whatever the text starts with) and the
// names below it, resolved as Win32 resolves them before the file system sees them.
struct ParsedPath {
    std::string root;
    std::vector<std::string> names;
    bool endsInSeparator = false;
};

std::string TrimTrailingDotsAndSpaces(const std::string& name) {
    size_t end = name.size();
    while (end > 0 && (name[end - 1] == '.' || name[end - 1] == ' ')) --end;
    return name.substr(0, end);
}

ParsedPath Parse(const std::string& path) {
    ParsedPath parsed;
    std::vector<std::string> raw;
    std::string part;
    bool rootDone = false;
    for (size_t i = 0; i <= path.size(); ++i) {
        unsigned char byte = i < path.size() ? (unsigned char)path[i] : 0;
        if (i < path.size() && IsLead(byte) && i + 1 < path.size()) {
            part += path[i];
            part += path[++i];
            continue;
        }
        if (byte == '\\' || byte == '/' || i == path.size()) {
            // The second byte of a double-byte character never gets here.
            if (i + 1 == path.size()) parsed.endsInSeparator = true;
            if (!rootDone) {
                parsed.root = part;
                rootDone = true;
            } else if (!part.empty()) {
                raw.push_back(part);
            }
            part.clear();
            continue;
        }
        part += (char)byte;
    }
    for (const std::string& name : raw) {
        if (name == ".") continue;
        if (name == "..") {
            if (!parsed.names.empty()) parsed.names.pop_back();
            continue;
        }
        std::string trimmed = TrimTrailingDotsAndSpaces(name);
        if (!trimmed.empty()) parsed.names.push_back(trimmed);
    }
    return parsed;
}

// The root node; drive roots come into being when first named.
Node* RootOf(const std::string& root, bool create) {
    auto& roots = State().roots;
    std::string key = Fold(root);
    auto found = roots.find(key);
    if (found != roots.end()) return found->second.get();
    if (!create && !IsDriveName(root)) return nullptr;
    auto node = std::make_unique<Node>();
    node->name = root;
    node->directory = true;
    Node* raw = node.get();
    roots[key] = std::move(node);
    return raw;
}

Node* Child(Node* folder, const std::string& name) {
    auto found = folder->children.find(Fold(name));
    return found == folder->children.end() ? nullptr : found->second.get();
}

// The node a path names, or none. The first `drop` names at the end are left
// off (1: the parent).
Node* Resolve(const ParsedPath& parsed, size_t drop = 0) {
    if (parsed.names.size() < drop) return nullptr;
    Node* node = RootOf(parsed.root, false);
    for (size_t i = 0; node && i + drop < parsed.names.size(); ++i) {
        if (!node->directory) return nullptr;
        node = Child(node, parsed.names[i]);
    }
    return node;
}

// A file named with a separator after it is not found, as on Windows.
Node* Find(const std::string& path) {
    ParsedPath parsed = Parse(path);
    Node* node = Resolve(parsed);
    return node && parsed.endsInSeparator && !node->directory ? nullptr : node;
}

bool IsRoot(const Node* node) { return node && !node->parent; }

std::string FullPath(const Node* node) {
    if (!node->parent) return node->name;
    return FullPath(node->parent) + "\\" + node->name;
}

// Counts the call and tells whether an injected failure hits it.
bool Injected(Operation operation, const std::string& path, unsigned* error) {
    State().requests[operation].push_back(path);
    auto& injections = State().injections;
    // Every count-based injection of the operation counts this call, whichever fires.
    bool fails = false;
    for (auto it = injections.begin(); it != injections.end();) {
        if (it->operation == operation && it->path.empty() && --it->countdown <= 0) {
            if (!fails && error) *error = it->error;
            fails = true;
            it = injections.erase(it);
        } else {
            ++it;
        }
    }
    for (const Injection& injection : injections) {
        if (fails) break;
        if (injection.operation == operation && !injection.path.empty() &&
            LowerAscii(injection.path) == LowerAscii(path)) {
            if (error) *error = injection.error;
            fails = true;
        }
    }
    return fails;
}

// A new entry of folder, or the existing one under any letter case, which keeps
// its stored name.
Node* Place(Node* folder, const std::string& name) {
    auto& slot = folder->children[Fold(name)];
    if (!slot) {
        slot = std::make_unique<Node>();
        slot->name = name;
        slot->parent = folder;
    }
    return slot.get();
}

// The folder of a path's parent, created with every missing folder above it.
Node* EnsureParent(const ParsedPath& parsed) {
    Node* node = RootOf(parsed.root, true);
    for (size_t i = 0; i + 1 < parsed.names.size(); ++i) {
        node = Place(node, parsed.names[i]);
        node->directory = true;
    }
    return node;
}

void PutFile(Node* node, const std::string& content, uint64_t size, unsigned attributes) {
    node->directory = false;
    node->children.clear();
    node->content = content;
    node->size = size;
    node->attributes = attributes & KeptAttributes;
}

FoundFile EntryFor(const Node& node, const std::string& name) {
    FoundFile entry = {};
    name.copy(entry.name, sizeof entry.name - 1);
    entry.isDirectory = node.directory ? 1 : 0;
    entry.size = node.directory ? 0 : node.size;
    return entry;
}

// Space is counted only where a figure was given.
void Consume(uint64_t bytes) {
    if (State().freeBytes != UnlimitedSpace) State().freeBytes -= std::min(bytes, State().freeBytes);
}
void Release(uint64_t bytes) {
    if (State().freeBytes != UnlimitedSpace) State().freeBytes += bytes;
}

void Journal(ChangeKind kind, const Node* node, uint64_t size) {
    State().journal.push_back(JournalEntry{kind, FullPath(node), size});
}

// Characters no Windows name holds, and names Windows reserves for devices.
bool IsValidWindowsName(const std::string& name) {
    if (name.empty() || name == "." || name == ".." || TrimTrailingDotsAndSpaces(name) != name) return false;
    for (size_t i = 0; i < name.size(); ++i) {
        unsigned char byte = (unsigned char)name[i];
        if (IsLead(byte) && i + 1 < name.size()) {
            ++i;
            continue;
        }
        if (byte < 0x20 || strchr("<>:\"/\\|?*", byte)) return false;
    }
    std::string stem = LowerAscii(name.substr(0, name.find('.')));
    static const std::set<std::string> devices = {"con", "prn", "aux", "nul", "com1", "com2", "com3", "com4",
                                                  "com5", "com6", "com7", "com8", "com9", "lpt1", "lpt2",
                                                  "lpt3", "lpt4", "lpt5", "lpt6", "lpt7", "lpt8", "lpt9"};
    return devices.count(stem) == 0;
}

}  // namespace

void Reset() { State() = Machine(); }

void SetCommandLine(const std::string& commandLine) {
    State().commandLine = commandLine;
    State().commandLineRead = false;
}
const std::string& CurrentDirectory() { return State().currentDirectory; }
const std::vector<MessageBoxRecord>& MessageBoxes() { return State().boxes; }

void AddDirectory(const std::string& path) {
    ParsedPath parsed = Parse(path);
    if (parsed.names.empty()) {
        RootOf(parsed.root, true);
        return;
    }
    Node* node = Place(EnsureParent(parsed), parsed.names.back());
    if (node->directory) return;
    PutFile(node, "", 0, 0);
    node->directory = true;
}

void AddFile(const std::string& path, const std::string& content, unsigned attributes) {
    ParsedPath parsed = Parse(path);
    if (parsed.names.empty()) return;
    PutFile(Place(EnsureParent(parsed), parsed.names.back()), content, content.size(), attributes);
}

bool IsFile(const std::string& path) {
    Node* node = Find(path);
    return node && !node->directory;
}

bool IsDirectory(const std::string& path) {
    Node* node = Find(path);
    return node && node->directory;
}

std::string FileContent(const std::string& path) {
    Node* node = Find(path);
    return node ? node->content : std::string();
}

uint64_t FileSize(const std::string& path) {
    Node* node = Find(path);
    return node && !node->directory ? node->size : 0;
}

unsigned Attributes(const std::string& path) {
    Node* node = Find(path);
    return node ? node->attributes : 0;
}

void MarkFile(const std::string& path, const std::string& mark) {
    Node* node = Find(path);
    if (node && !node->directory) node->content = mark;
}

std::string StoredName(const std::string& path) {
    Node* node = Find(path);
    return node ? node->name : std::string();
}

std::vector<std::string> ListTree(const std::string& root) {
    std::vector<std::string> listed;
    for (const TreeEntry& entry : DescribeTree(root)) listed.push_back(entry.relativePath + (entry.directory ? "\\" : ""));
    // Sorted as listed, a folder's separator included.
    std::sort(listed.begin(), listed.end(),
              [](const std::string& a, const std::string& b) { return Fold(a) < Fold(b); });
    return listed;
}

std::vector<TreeEntry> DescribeTree(const std::string& root) {
    std::vector<std::pair<std::string, TreeEntry>> keyed;  // by folded path
    Node* folder = Find(root);
    if (folder && folder->directory) {
        std::vector<std::pair<const Node*, std::string>> pending = {{folder, ""}};
        while (!pending.empty()) {
            auto [node, prefix] = pending.back();
            pending.pop_back();
            for (const auto& [key, child] : node->children) {
                std::string relative = prefix + child->name;
                keyed.push_back({Fold(relative), TreeEntry{relative, child->directory, child->size, child->attributes}});
                if (child->directory) pending.push_back({child.get(), relative + "\\"});
            }
        }
    }
    std::sort(keyed.begin(), keyed.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<TreeEntry> described;
    for (auto& [key, entry] : keyed) described.push_back(std::move(entry));
    return described;
}

bool SameName(const std::string& left, const std::string& right) { return Fold(left) == Fold(right); }

bool IsSameOrBelow(const std::string& path, const std::string& folder) {
    ParsedPath inner = Parse(path), outer = Parse(folder);
    if (!SameName(inner.root, outer.root) || outer.names.size() > inner.names.size()) return false;
    for (size_t i = 0; i < outer.names.size(); ++i)
        if (!SameName(inner.names[i], outer.names[i])) return false;
    return true;
}

bool SamePath(const std::string& left, const std::string& right) {
    return IsSameOrBelow(left, right) && IsSameOrBelow(right, left);
}

int LoadTree(const std::string& root, const std::vector<TreeEntry>& entries, std::string* problem) {
    AddDirectory(root);
    Node* top = Find(root);
    for (const TreeEntry& entry : entries) {
        // Every name must reach the file system as it stands: no name that Win32
        // would trim, resolve or refuse.
        ParsedPath relative = Parse("X:\\" + entry.relativePath);
        std::string rebuilt;
        bool valid = !relative.names.empty() && !relative.endsInSeparator;
        for (const std::string& name : relative.names) {
            rebuilt += (rebuilt.empty() ? "" : "\\") + name;
            valid = valid && IsValidWindowsName(name);
        }
        if (!valid || rebuilt != entry.relativePath) {
            if (problem) *problem = entry.relativePath + ": the name cannot exist on Windows";
            return 1;
        }
        Node* folder = top;
        for (size_t i = 0; folder && i + 1 < relative.names.size(); ++i) {
            Node* next = Child(folder, relative.names[i]);
            if (!next) {
                next = Place(folder, relative.names[i]);
                next->directory = true;
            }
            folder = next->directory ? next : nullptr;
        }
        if (!folder || Child(folder, relative.names.back())) {
            if (problem) *problem = entry.relativePath + ": another name of its folder differs from it only in letter case";
            return 1;
        }
        Node* node = Place(folder, relative.names.back());
        if (entry.directory) {
            node->directory = true;
            node->attributes = entry.attributes & KeptAttributes;
        } else {
            PutFile(node, "", entry.size, entry.attributes);
        }
    }
    return 0;
}

std::vector<Change> ChangesBelow(const std::string& root) {
    Node* top = Find(root);
    std::string prefix = top ? Fold(FullPath(top)) + "\\" : Fold(root) + "\\";
    std::vector<Change> changes;
    std::set<std::string> copied;  // folded paths written by a copy
    std::set<std::pair<int, std::string>> seen;
    for (const JournalEntry& entry : State().journal) {
        std::string key = Fold(entry.path);
        bool isCopy = IsCopy(entry.kind);
        bool alreadyCopied = copied.count(key) != 0;
        if (isCopy) copied.insert(key);
        if (entry.kind == ChangeKind::Delete) copied.erase(key);
        if (key.compare(0, prefix.size(), prefix) != 0) continue;
        if ((isCopy && alreadyCopied) || (entry.kind == ChangeKind::ClearReadOnly && alreadyCopied)) continue;
        if (!seen.insert({(int)entry.kind, key}).second) continue;
        changes.push_back(Change{entry.kind, entry.path.substr(prefix.size()), entry.size});
    }
    return changes;
}

uint64_t BytesCopied() {
    uint64_t total = 0;
    for (const JournalEntry& entry : State().journal)
        if (IsCopy(entry.kind)) total += entry.size;
    return total;
}

const std::vector<DeleteRequest>& DeleteRequests() { return State().deleteRequests; }

void SetFreeSpace(uint64_t bytes) { State().freeBytes = bytes; }
uint64_t FreeSpace() { return State().freeBytes; }

void FailOperation(Operation op, const std::string& path, unsigned error) {
    State().injections.push_back(Injection{op, path, 0, error});
}

void FailNthOperation(Operation op, int n, unsigned error) {
    State().injections.push_back(Injection{op, "", n, error});
}

int OperationCount(Operation op) { return (int)State().requests[op].size(); }

const std::vector<std::string>& RequestedPaths(Operation op) { return State().requests[op]; }

void AddRegistryKey(const std::string& keyPath) { State().registry[LowerAscii(keyPath)]; }

void SetRegistryValue(const std::string& keyPath, const std::string& name, unsigned type,
                      const std::string& bytes) {
    State().registry[LowerAscii(keyPath)][LowerAscii(name)] = RegistryValue{type, bytes};
}

void SetRegistryString(const std::string& keyPath, const std::string& name, const std::string& text) {
    SetRegistryValue(keyPath, name, RegistryString, text + std::string(1, '\0'));
}

int OpenKeyCount() { return State().openKeys; }
int FlushCount() { return State().flushes; }

const std::vector<WindowCall>& WindowCalls() { return State().windowCalls; }

const std::vector<FontDescription>& CreatedFonts() { return State().fonts; }
int LiveFontCount() { return State().liveFonts; }
void FailFontCreation(bool fail) { State().failFonts = fail; }

}  // namespace memory_platform

using namespace memory_platform;

// ---- The boundary ----

// As the Win32 boundary hands it over: the program path as it stands, then /S,
// the game folder and the log file written anew in quotes, a relative one
// resolved against the folder the program was started in (before start-up
// changes the current folder), then the arguments not understood as they stand.
const char* PlatformCommandLine() {
    Machine& machine = State();
    if (machine.commandLineRead) return machine.commandLineAsRead.c_str();
    machine.commandLineRead = true;
    std::string line = machine.commandLine.c_str();  // the program sees it up to its first NUL
    CommandLineSpans spans;
    SplitCommandLine(line.c_str(), &spans);
    auto resolved = [&](const ArgumentSpan& span) {
        std::vector<char> value(line.size() + 1);
        ArgumentValue(line.c_str(), span, value.data(), (int)value.size());
        std::string path = value.data();
        const std::string& current = machine.currentDirectory;
        if (current.empty()) return path;
        // Wine takes a path in forward slashes from the root for a Linux path:
        // Z:, the Linux root. A backslash from the root stays on the current drive.
        bool linuxPath = path.size() > 1 && path[0] == '/' && path[1] != '/';
        for (char& unit : path)
            if (unit == '/') unit = '\\';  // as the system's full form has it
        bool fromRoot = !path.empty() && path[0] == '\\' && !(path.size() > 1 && path[1] == '\\');
        if (path.size() > 1 && path[1] == ':') return path;
        if (linuxPath) return "Z:" + path;
        if (fromRoot) return current.substr(0, 2) + path;
        if (path.empty() || path[0] == '\\') return path;
        return current + "\\" + path;
    };
    size_t programEnd = (size_t)spans.programEnd + (line[0] == '"' && line[(size_t)spans.programEnd] ? 1 : 0);
    std::string read = line.substr(0, programEnd);
    auto append = [&](const char* name, const std::string& value) {
        std::vector<char> text(value.size() * 2 + 16);
        int used = 0;
        AppendQuotedArgument(text.data(), (int)text.size(), &used, name, value.c_str());
        read += text.data();
    };
    if (spans.silent) read += " /S";
    if (spans.folder.start >= 0) append("/D=", resolved(spans.folder));
    if (spans.log.start >= 0) append("/LOG=", resolved(spans.log));
    for (int k = 0; k < spans.unknownCount && k < UnknownArgumentCapacity; ++k)
        read += " " + line.substr((size_t)spans.unknown[k].start, (size_t)(spans.unknown[k].end - spans.unknown[k].start));
    machine.commandLineAsRead = read;
    return machine.commandLineAsRead.c_str();
}

int PlatformSetCurrentDirectory(const char* path) {
    if (!IsDirectory(path)) return 1;
    State().currentDirectory = path;
    return 0;
}

void PlatformMessageBox(WindowHandle owner, const char* text, const char* title, unsigned type) {
    State().boxes.push_back(MessageBoxRecord{owner, text, title, type});
}

int PlatformOpenFileForReading(const char* path, FileReader* reader) {
    if (Injected(Operation::OpenFile, path, nullptr)) return 1;
    Node* node = Find(path);
    if (!node || node->directory) return 1;
    *reader = new OpenReader{node->content, 0};
    return 0;
}

size_t PlatformReadFile(FileReader reader, void* buffer, size_t size) {
    OpenReader* open = (OpenReader*)reader;
    size_t count = std::min(size, open->content.size() - open->position);
    open->content.copy((char*)buffer, count, open->position);
    open->position += count;
    return count;
}

void PlatformCloseFile(FileReader reader) { delete (OpenReader*)reader; }

int PlatformOpenFileForAppending(const char* path, FileWriter* writer) {
    ParsedPath target = Parse(path);
    Node* folder = Resolve(target, 1);
    if (target.names.empty() || target.endsInSeparator || !folder || !folder->directory) return 1;
    Node* node = Child(folder, target.names.back());
    if (node && (node->directory || (node->attributes & FileAttributeReadOnly))) return 1;
    if (!node) {
        node = Place(folder, target.names.back());
        PutFile(node, "", 0, 0);
    }
    *writer = node;
    return 0;
}

int PlatformAppendText(FileWriter writer, const char* text) {
    Node* node = (Node*)writer;
    node->content += text;
    node->size = node->content.size();
    return 0;
}

void PlatformCloseFileWriter(FileWriter) {}

int PlatformFindFirstFile(const char* pattern, FileSearch* search, FoundFile* entry) {
    std::string text = pattern;
    if (Injected(Operation::FindFirst, text, nullptr)) return 1;
    std::vector<FoundFile> found;
    ParsedPath parsed = Parse(text);
    if (!parsed.names.empty() && parsed.names.back() == "*" && !parsed.endsInSeparator) {
        Node* folder = Resolve(parsed, 1);
        if (!folder || !folder->directory) return 1;
        if (!IsRoot(folder)) {
            found.push_back(EntryFor(*folder, "."));
            found.push_back(EntryFor(*folder->parent, ".."));
        }
        for (const auto& [key, child] : folder->children) found.push_back(EntryFor(*child, child->name));
    } else {
        // A name ending in a separator is no name to search for.
        Node* node = parsed.endsInSeparator ? nullptr : Resolve(parsed);
        if (!node || IsRoot(node)) return 1;
        found.push_back(EntryFor(*node, node->name));
    }
    if (found.empty()) return 1;
    *entry = found.front();
    int id = State().nextSearch++;
    State().searches[id] = Search{std::move(found), 1};
    *search = (FileSearch)(intptr_t)id;
    return 0;
}

int PlatformFindNextFile(FileSearch search, FoundFile* entry) {
    Search& pending = State().searches.at((int)(intptr_t)search);
    if (pending.next >= pending.entries.size()) return 1;
    *entry = pending.entries[pending.next++];
    return 0;
}

void PlatformFindClose(FileSearch search) { State().searches.erase((int)(intptr_t)search); }

int PlatformFindFile(const char* path, int* isDirectory) {
    FileSearch search;
    FoundFile entry;
    if (PlatformFindFirstFile(path, &search, &entry) != 0) return 1;
    PlatformFindClose(search);
    *isDirectory = entry.isDirectory;
    return 0;
}

// Whole or not at all, as the Win32 backend copies: the new bytes first take
// room of their own beside the old ones (the temporary file), then replace them
// in one step. Every failure leaves the destination and the free space as they were.
int PlatformCopyFile(const char* source, const char* destination) {
    unsigned& error = State().lastError;
    if (Injected(Operation::CopyFile, source, &error)) return 1;
    Node* from = Find(source);
    error = 2;  // ERROR_FILE_NOT_FOUND
    if (!from || from->directory) return 1;
    ParsedPath target = Parse(destination);
    Node* folder = Resolve(target, 1);
    error = ErrorPathNotFound;
    if (target.names.empty() || target.endsInSeparator || !folder || !folder->directory) return 1;
    Node* to = Child(folder, target.names.back());
    const unsigned refusing = FileAttributeReadOnly | FileAttributeHidden | FileAttributeSystem;
    error = ErrorAccessDenied;
    if (to && (to->directory || (to->attributes & refusing))) return 1;
    error = ErrorDiskFull;
    if (from->size > State().freeBytes) return 1;  // while writing the temporary file
    if (Injected(Operation::ReplaceStep, destination, &error)) return 1;
    error = 0;
    bool replacing = to != nullptr;
    uint64_t replacedSize = replacing ? to->size : 0;
    // The source may be the destination's own node; keep what is copied first.
    std::string content = from->content;
    uint64_t size = from->size;
    unsigned attributes = from->attributes;
    to = Place(folder, target.names.back());
    // As on Windows, the copy takes the source's attributes.
    PutFile(to, content, size, attributes);
    Consume(size);
    Release(replacedSize);
    Journal(replacing ? ChangeKind::Replace : ChangeKind::Add, to, size);
    return 0;
}

int PlatformDeleteFile(const char* path) {
    State().deleteRequests.push_back(DeleteRequest{path, false});
    if (Injected(Operation::DeleteFile, path, nullptr)) return 1;
    Node* node = Find(path);
    if (!node || IsRoot(node) || node->directory || (node->attributes & FileAttributeReadOnly)) return 1;
    Journal(ChangeKind::Delete, node, node->size);
    Release(node->size);
    node->parent->children.erase(Fold(node->name));
    State().deleteRequests.back().deleted = true;
    return 0;
}

int PlatformGetFileAttributes(const char* path, unsigned* attributes) {
    Node* node = Find(path);
    if (!node) return 1;
    *attributes = node->attributes | (node->directory ? FileAttributeDirectory : FileAttributeArchive);
    return 0;
}

int PlatformGetFileSize(const char* path, uint64_t* size) {
    Node* node = Find(path);
    if (!node || node->directory) return 1;
    *size = node->size;
    return 0;
}

int PlatformGetFreeSpace(const char* folder, uint64_t* freeBytes) {
    if (Injected(Operation::GetFreeSpace, folder, nullptr)) return 1;
    Node* node = Find(folder);
    if (!node || !node->directory) return 1;
    *freeBytes = State().freeBytes;
    return 0;
}

int PlatformSetFileAttributes(const char* path, unsigned attributes) {
    if (Injected(Operation::SetAttributes, path, nullptr)) return 1;
    Node* node = Find(path);
    if (!node || IsRoot(node)) return 1;
    unsigned before = node->attributes;
    node->attributes = attributes & KeptAttributes;
    if ((before & FileAttributeReadOnly) && !(node->attributes & FileAttributeReadOnly))
        Journal(ChangeKind::ClearReadOnly, node, node->size);
    return 0;
}

int PlatformCreateDirectory(const char* path, unsigned* error) {
    std::string text = path;
    if (Injected(Operation::CreateDirectory, text, error)) return State().lastError = *error, 1;
    ParsedPath parsed = Parse(text);
    // Anything of that name exists, a file named with a separator after it included.
    if (parsed.names.empty() || Resolve(parsed)) {
        *error = ErrorAlreadyExists;
        return 1;
    }
    if (text.find_first_of("*?<>|\"") != std::string::npos) {
        *error = State().lastError = 123;  // ERROR_INVALID_NAME
        return 1;
    }
    Node* folder = Resolve(parsed, 1);
    if (!folder || !folder->directory) {
        *error = State().lastError = ErrorPathNotFound;
        return 1;
    }
    Node* created = Place(folder, parsed.names.back());
    created->directory = true;
    Journal(ChangeKind::CreateFolder, created, 0);
    return 0;
}

unsigned PlatformLastError() { return State().lastError; }

// The machine knows no texts of the system: the log gives the number alone.
int PlatformErrorText(unsigned, char*, size_t) { return 1; }

int PlatformIsLeadByte(unsigned char byte) { return IsLead(byte) ? 1 : 0; }

int PlatformOpenUserKey(const char* keyPath, RegistryKey* key) {
    std::string wanted = LowerAscii(keyPath);
    bool exists = wanted.empty();
    for (const auto& [path, values] : State().registry)
        if (path == wanted || path.compare(0, wanted.size() + 1, wanted + "\\") == 0) exists = true;
    if (!exists) return 1;
    ++State().openKeys;
    *key = new std::string(wanted);
    return 0;
}

int PlatformQueryValue(RegistryKey key, const char* valueName, unsigned* type, void* buffer,
                       unsigned* size) {
    auto keyFound = State().registry.find(*(std::string*)key);
    if (keyFound == State().registry.end()) return 1;
    auto valueFound = keyFound->second.find(LowerAscii(valueName));
    if (valueFound == keyFound->second.end()) return 1;
    const RegistryValue& value = valueFound->second;
    if (value.bytes.size() > *size) return 1;  // ERROR_MORE_DATA; the buffer stays untouched
    value.bytes.copy((char*)buffer, value.bytes.size());
    *type = value.type;
    *size = (unsigned)value.bytes.size();
    return 0;
}

void PlatformFlushKey(RegistryKey) { ++State().flushes; }

void PlatformCloseKey(RegistryKey key) {
    delete (std::string*)key;
    --State().openKeys;
}

void PlatformShowWindow(WindowHandle window, int command) {
    State().windowCalls.push_back(WindowCall{"show", window, command, ""});
}

void PlatformSetWindowText(WindowHandle window, const char* text) {
    State().windowCalls.push_back(WindowCall{"text", window, 0, text});
}

void PlatformSetFocus(WindowHandle window) {
    State().windowCalls.push_back(WindowCall{"focus", window, 0, ""});
}

void PlatformDestroyWindow(WindowHandle window) {
    State().windowCalls.push_back(WindowCall{"destroy", window, 0, ""});
}

FontHandle PlatformCreateFont(const FontDescription* description) {
    State().fonts.push_back(*description);
    if (State().failFonts) return 0;
    ++State().liveFonts;
    return (FontHandle)(intptr_t)State().fonts.size();
}

void PlatformDeleteFont(FontHandle) { --State().liveFonts; }
