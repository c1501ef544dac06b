// The platform boundary on an in-memory machine, for host tests. It mirrors the
// Win32 behaviour the program relies on and nothing more.
#include "platform_memory.h"

#include <algorithm>
#include <map>
#include <memory>

namespace memory_platform {
namespace {

struct Node {
    std::string path;  // full path in its stored letter case
    bool directory;
    std::string content;
    unsigned attributes;  // read-only, hidden, system
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

struct RegistryValue {
    unsigned type;
    std::string bytes;
};

struct Machine {
    std::string commandLine;
    std::string currentDirectory;
    std::vector<MessageBoxRecord> boxes;
    std::map<std::string, Node> nodes;  // by lower-cased path
    std::vector<Injection> injections;
    std::map<Operation, int> counts;
    std::map<Operation, std::vector<std::string>> requests;
    std::map<int, std::vector<FoundFile>> searches;
    int nextSearch = 1;
    std::map<std::string, std::map<std::string, RegistryValue>> registry;
    int openKeys = 0;
    int flushes = 0;
    std::vector<WindowCall> windowCalls;
    std::vector<FontDescription> fonts;
    int liveFonts = 0;
    bool failFonts = false;
};

Machine& State() {
    static Machine machine;
    return machine;
}

const unsigned KeptAttributes = FileAttributeReadOnly | FileAttributeHidden | FileAttributeSystem;

bool IsLead(unsigned char byte) { return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC); }

std::string Lower(const std::string& text) {
    std::string folded = text;
    for (char& c : folded)
        if (c >= 'A' && c <= 'Z') c = (char)(c - 'A' + 'a');
    return folded;
}

// Position of the last separator, stepping over double-byte characters.
size_t LastSeparator(const std::string& path) {
    size_t last = std::string::npos;
    for (size_t i = 0; i < path.size(); ++i) {
        if (IsLead((unsigned char)path[i])) ++i;
        else if (path[i] == '\\') last = i;
    }
    return last;
}

std::string ParentOf(const std::string& path) {
    size_t separator = LastSeparator(path);
    return separator == std::string::npos ? std::string() : path.substr(0, separator);
}

bool IsDriveRoot(const std::string& path) {
    return (path.size() == 2 && path[1] == ':') || (path.size() == 3 && path[1] == ':' && path[2] == '\\');
}

Node* Find(const std::string& path) {
    auto found = State().nodes.find(Lower(path));
    return found == State().nodes.end() ? nullptr : &found->second;
}

bool DirectoryExists(const std::string& path) {
    if (IsDriveRoot(path)) return true;
    Node* node = Find(path);
    return node && node->directory;
}

// Counts the call and tells whether an injected failure hits it.
bool Injected(Operation operation, const std::string& path, unsigned* error) {
    ++State().counts[operation];
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
        if (injection.operation == operation && !injection.path.empty() && Lower(injection.path) == Lower(path)) {
            if (error) *error = injection.error;
            fails = true;
        }
    }
    return fails;
}

void Put(const std::string& path, bool directory, const std::string& content, unsigned attributes) {
    Node* existing = Find(path);
    std::string stored = existing ? existing->path : path;
    State().nodes[Lower(path)] = Node{stored, directory, content, attributes};
}

void EnsureDirectoryChain(const std::string& path) {
    if (path.empty() || IsDriveRoot(path) || DirectoryExists(path)) return;
    EnsureDirectoryChain(ParentOf(path));
    Put(path, true, "", 0);
}

FoundFile EntryFor(const std::string& name, bool directory) {
    FoundFile entry = {};
    name.copy(entry.name, sizeof entry.name - 1);
    entry.isDirectory = directory ? 1 : 0;
    return entry;
}

std::string LastComponent(const std::string& path) {
    size_t separator = LastSeparator(path);
    return separator == std::string::npos ? path : path.substr(separator + 1);
}

}  // namespace

void Reset() { State() = Machine(); }

void SetCommandLine(const std::string& commandLine) { State().commandLine = commandLine; }
const std::string& CurrentDirectory() { return State().currentDirectory; }
const std::vector<MessageBoxRecord>& MessageBoxes() { return State().boxes; }

void AddDirectory(const std::string& path) { EnsureDirectoryChain(path); }

void AddFile(const std::string& path, const std::string& content, unsigned attributes) {
    EnsureDirectoryChain(ParentOf(path));
    Put(path, false, content, attributes & KeptAttributes);
}

bool IsFile(const std::string& path) {
    Node* node = Find(path);
    return node && !node->directory;
}

bool IsDirectory(const std::string& path) { return DirectoryExists(path); }

std::string FileContent(const std::string& path) {
    Node* node = Find(path);
    return node ? node->content : std::string();
}

unsigned Attributes(const std::string& path) {
    Node* node = Find(path);
    return node ? node->attributes : 0;
}

std::string StoredName(const std::string& path) {
    Node* node = Find(path);
    return node ? LastComponent(node->path) : std::string();
}

std::vector<std::string> ListTree(const std::string& root) {
    std::string prefix = Lower(root) + "\\";
    std::vector<std::string> listed;
    for (const auto& [key, node] : State().nodes) {
        if (key.compare(0, prefix.size(), prefix) != 0) continue;
        listed.push_back(node.path.substr(prefix.size()) + (node.directory ? "\\" : ""));
    }
    std::sort(listed.begin(), listed.end(),
              [](const std::string& a, const std::string& b) { return Lower(a) < Lower(b); });
    return listed;
}

void FailOperation(Operation op, const std::string& path, unsigned error) {
    State().injections.push_back(Injection{op, path, 0, error});
}

void FailNthOperation(Operation op, int n, unsigned error) {
    State().injections.push_back(Injection{op, "", n, error});
}

int OperationCount(Operation op) { return State().counts[op]; }

const std::vector<std::string>& RequestedPaths(Operation op) { return State().requests[op]; }

void AddRegistryKey(const std::string& keyPath) { State().registry[Lower(keyPath)]; }

void SetRegistryValue(const std::string& keyPath, const std::string& name, unsigned type,
                      const std::string& bytes) {
    State().registry[Lower(keyPath)][Lower(name)] = RegistryValue{type, bytes};
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

const char* PlatformCommandLine() { return State().commandLine.c_str(); }

int PlatformSetCurrentDirectory(const char* path) {
    if (!DirectoryExists(path)) return 1;
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

int PlatformFindFirstFile(const char* pattern, FileSearch* search, FoundFile* entry) {
    std::string text = pattern;
    if (Injected(Operation::FindFirst, text, nullptr)) return 1;
    std::vector<FoundFile> found;
    if (text.size() >= 2 && text.compare(text.size() - 2, 2, "\\*") == 0) {
        std::string directory = text.substr(0, text.size() - 2);
        if (!DirectoryExists(directory)) return 1;
        if (!IsDriveRoot(directory)) {
            found.push_back(EntryFor(".", true));
            found.push_back(EntryFor("..", true));
        }
        std::vector<const Node*> children;
        for (const auto& [key, node] : State().nodes)
            if (Lower(ParentOf(node.path)) == Lower(directory)) children.push_back(&node);
        std::sort(children.begin(), children.end(),
                  [](const Node* a, const Node* b) { return Lower(a->path) < Lower(b->path); });
        for (const Node* child : children) found.push_back(EntryFor(LastComponent(child->path), child->directory));
    } else {
        Node* node = Find(text);
        if (!node) return 1;
        found.push_back(EntryFor(LastComponent(node->path), node->directory));
    }
    if (found.empty()) return 1;
    *entry = found.front();
    found.erase(found.begin());
    int id = State().nextSearch++;
    State().searches[id] = found;
    *search = (FileSearch)(intptr_t)id;
    return 0;
}

int PlatformFindNextFile(FileSearch search, FoundFile* entry) {
    auto& pending = State().searches.at((int)(intptr_t)search);
    if (pending.empty()) return 1;
    *entry = pending.front();
    pending.erase(pending.begin());
    return 0;
}

void PlatformFindClose(FileSearch search) { State().searches.erase((int)(intptr_t)search); }

int PlatformCopyFile(const char* source, const char* destination) {
    if (Injected(Operation::CopyFile, source, nullptr)) return 1;
    Node* from = Find(source);
    if (!from || from->directory) return 1;
    if (!DirectoryExists(ParentOf(destination))) return 1;
    Node* to = Find(destination);
    if (to && (to->directory || (to->attributes & (FileAttributeReadOnly | FileAttributeHidden)))) return 1;
    // As on Windows, the copy takes the source's attributes.
    Put(destination, false, from->content, from->attributes);
    return 0;
}

int PlatformDeleteFile(const char* path) {
    if (Injected(Operation::DeleteFile, path, nullptr)) return 1;
    Node* node = Find(path);
    if (!node || node->directory || (node->attributes & FileAttributeReadOnly)) return 1;
    State().nodes.erase(Lower(path));
    return 0;
}

int PlatformGetFileAttributes(const char* path, unsigned* attributes) {
    if (IsDriveRoot(path)) {
        *attributes = FileAttributeDirectory;
        return 0;
    }
    Node* node = Find(path);
    if (!node) return 1;
    unsigned bits = node->attributes | (node->directory ? FileAttributeDirectory : FileAttributeArchive);
    *attributes = bits;
    return 0;
}

int PlatformSetFileAttributes(const char* path, unsigned attributes) {
    if (Injected(Operation::SetAttributes, path, nullptr)) return 1;
    Node* node = Find(path);
    if (!node) return 1;
    node->attributes = attributes & KeptAttributes;
    return 0;
}

int PlatformCreateDirectory(const char* path, unsigned* error) {
    std::string text = path;
    if (Injected(Operation::CreateDirectory, text, error)) return 1;
    if (IsDriveRoot(text) || Find(text)) {
        *error = ErrorAlreadyExists;
        return 1;
    }
    if (text.find_first_of("*?<>|\"") != std::string::npos) {
        *error = 123;  // ERROR_INVALID_NAME
        return 1;
    }
    if (!DirectoryExists(ParentOf(text))) {
        *error = ErrorPathNotFound;
        return 1;
    }
    Put(text, true, "", 0);
    return 0;
}

int PlatformIsLeadByte(unsigned char byte) { return IsLead(byte) ? 1 : 0; }

int PlatformOpenUserKey(const char* keyPath, RegistryKey* key) {
    std::string wanted = Lower(keyPath);
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
    auto valueFound = keyFound->second.find(Lower(valueName));
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
