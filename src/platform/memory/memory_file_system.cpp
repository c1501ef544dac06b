// The file-system calls of the boundary on the in-memory machine: searches,
// copies, deletions, attributes, folders and the free space.
#include "platform/memory/memory_machine.h"

using namespace memory_platform;

namespace {

bool HasWildcard(const std::string& name) { return name.find_first_of("*?") != std::string::npos; }

// A search's last component against a folded name: '*' any run of bytes, '?'
// one byte, the rest as it stands. (Windows' further rules for dots and short
// names are not modelled: the program checks every name a search gives.)
bool MatchesMask(const char* mask, const char* name) {
    if (*mask == '\0') return *name == '\0';
    if (*mask == '*') return MatchesMask(mask + 1, name) || (*name != '\0' && MatchesMask(mask, name + 1));
    if (*name == '\0') return false;
    return (*mask == '?' || *mask == *name) && MatchesMask(mask + 1, name + 1);
}

}  // namespace

int PlatformFindFirstFile(const char* pattern, FileSearch* search, FoundFile* entry) {
    std::string text = pattern;
    if (Injected(Operation::FindFirst, text, nullptr)) return 1;
    std::vector<FoundFile> found;
    ParsedPath parsed = Parse(text);
    if (!parsed.names.empty() && HasWildcard(parsed.names.back()) && !parsed.endsInSeparator) {
        Node* folder = Resolve(parsed, 1);
        if (!folder || !folder->directory) return 1;
        const std::string mask = Fold(parsed.names.back());
        if (!IsRoot(folder) && mask == "*") {
            found.push_back(EntryFor(*folder, "."));
            found.push_back(EntryFor(*folder->parent, ".."));
        }
        for (const auto& [key, child] : folder->children)
            if (MatchesMask(mask.c_str(), key.c_str())) found.push_back(EntryFor(*child, child->name));
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
    error = ErrorFileNotFound;
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
    to = Place(folder, target.names.back());
    // As on Windows, the copy takes the source's attributes.
    CopyNodeContent(to, *from);
    uint64_t size = to->size;
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
    RemoveNode(node);
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
    if (!node || node->directory || SettleLateSize(node) != 0) return 1;
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
