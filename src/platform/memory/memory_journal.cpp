// What the program changed on the in-memory machine, and the free space its
// copies take and its deletions give back.
#include <algorithm>
#include <set>

#include "platform/memory/memory_machine.h"

namespace memory_platform {

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

}  // namespace memory_platform
