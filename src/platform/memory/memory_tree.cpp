// The file tree of the in-memory machine: folders index their entries by
// folded name, so a lookup costs one map search per path component whatever
// the size of the tree.
#include <algorithm>

#include "platform/memory/memory_machine.h"

namespace memory_platform {

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
Node* Resolve(const ParsedPath& parsed, size_t drop) {
    if (parsed.names.size() < drop) return nullptr;
    Node* node = RootOf(parsed.root, false);
    for (size_t i = 0; node && i + drop < parsed.names.size(); ++i) {
        if (!node->directory) return nullptr;
        node = Child(node, parsed.names[i]);
    }
    return node;
}

namespace {

const size_t NoSeparator = std::string::npos;

// The last separator of a path, as Parse finds it, or NoSeparator.
size_t LastSeparator(const std::string& path) {
    size_t last = NoSeparator;
    for (size_t i = 0; i < path.size(); ++i) {
        unsigned char byte = (unsigned char)path[i];
        if (IsShiftJisLeadByte(byte) && i + 1 < path.size()) ++i;
        else if (byte == '\\' || byte == '/') last = i;
    }
    return last;
}

// The folder the path up to split names (whatever the node, or none), from the
// memo or resolved and remembered. The path's last name follows split and
// needs no resolving, so Parse gives it as the last of its names.
Node* FolderBefore(const std::string& path, size_t split) {
    Machine& machine = State();
    for (const FolderMemo& memo : machine.folderMemo)
        if (memo.folder && memo.text.size() == split && path.compare(0, split, memo.text) == 0) return memo.folder;
    Node* folder = Resolve(Parse(path), 1);
    if (folder) {
        FolderMemo& memo = machine.folderMemo[machine.nextMemo++ % FolderMemoSlots];
        memo.text.assign(path, 0, split);
        memo.folder = folder;
    }
    return folder;
}

}  // namespace

void ForgetFolders() {
    for (FolderMemo& memo : State().folderMemo) memo.folder = nullptr;
}

// A file named with a separator after it is not found, as on Windows.
Node* Find(const std::string& path) {
    size_t split = LastSeparator(path);
    // A last name Win32 takes as it stands: not ".", "..", or one with trailing
    // dots or spaces; and no separator after it.
    bool plainLast = split != NoSeparator && split + 1 < path.size() && path.back() != '.' && path.back() != ' ';
    if (plainLast) {
        Node* folder = FolderBefore(path, split);
        if (!folder || !folder->directory) return nullptr;
        auto found = folder->children.find(Fold(path.substr(split + 1)));
        return found == folder->children.end() ? nullptr : found->second.get();
    }
    ParsedPath parsed = Parse(path);
    Node* node = Resolve(parsed);
    return node && parsed.endsInSeparator && !node->directory ? nullptr : node;
}

bool IsRoot(const Node* node) { return node && !node->parent; }

std::string FullPath(const Node* node) {
    if (!node->parent) return node->name;
    return FullPath(node->parent) + "\\" + node->name;
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
    if (node->directory || !node->children.empty()) ForgetFolders();
    node->directory = false;
    node->children.clear();
    node->diskPath.clear();
    node->contentDropped = false;
    node->content = content;
    node->size = size;
    node->attributes = attributes & KeptAttributes;
}

void CopyNodeContent(Node* to, const Node& from) {
    // from may be to itself: what is copied is taken first.
    std::string content = from.content, diskPath = from.diskPath;
    bool dropped = from.contentDropped;
    uint64_t size = from.size;
    unsigned attributes = from.attributes;
    PutFile(to, content, size, attributes);
    to->diskPath = diskPath;
    to->contentDropped = dropped;
}

void RemoveNode(Node* node) {
    ForgetFolders();
    node->parent->children.erase(Fold(node->name));
}

FoundFile EntryFor(const Node& node, const std::string& name) {
    FoundFile entry = {};
    name.copy(entry.name, sizeof entry.name - 1);
    entry.isDirectory = node.directory ? 1 : 0;
    entry.size = node.directory ? 0 : node.size;
    return entry;
}

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

uint64_t FileSize(const std::string& path) {
    Node* node = Find(path);
    return node && !node->directory && SettleLateSize(node) == 0 ? node->size : 0;
}

unsigned Attributes(const std::string& path) {
    Node* node = Find(path);
    return node ? node->attributes : 0;
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

namespace {

size_t CountBelow(const Node& folder) {
    size_t count = folder.children.size();
    for (const auto& [key, child] : folder.children)
        if (child->directory) count += CountBelow(*child);
    return count;
}

}  // namespace

std::vector<TreeEntry> DescribeTree(const std::string& root) {
    std::vector<TreeEntry> found;
    std::vector<std::string> keys;  // per entry found: its folded path, the order it is listed in
    Node* folder = Find(root);
    if (folder && folder->directory) {
        found.reserve(CountBelow(*folder));
        keys.reserve(found.capacity());
        std::vector<std::pair<const Node*, std::string>> pending = {{folder, ""}};
        while (!pending.empty()) {
            auto [node, prefix] = std::move(pending.back());
            pending.pop_back();
            for (const auto& [key, child] : node->children) {
                std::string relative = prefix + child->name;
                keys.push_back(Fold(relative));
                if (child->directory) pending.push_back({child.get(), relative + "\\"});
                found.push_back(TreeEntry{std::move(relative), child->directory, child->size, child->attributes, child->diskPath});
            }
        }
    }
    std::vector<size_t> order(found.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return keys[a] < keys[b]; });
    std::vector<TreeEntry> described;
    described.reserve(found.size());
    for (size_t i : order) described.push_back(std::move(found[i]));
    return described;
}

int LoadTree(const std::string& root, const std::vector<TreeEntry>& entries, std::string* problem) {
    AddDirectory(root);
    Node* top = Find(root);
    // The folder of the entry before, by the text of its path up to its last
    // name: entries come folder by folder, and a folder already placed needs
    // neither its names checked nor its path walked again.
    std::string lastFolderText;
    Node* lastFolder = nullptr;
    for (const TreeEntry& entry : entries) {
        const std::string& path = entry.relativePath;
        size_t split = LastSeparator(path);
        Node* folder = nullptr;
        std::string name;
        bool sameFolder = lastFolder && split != NoSeparator && split == lastFolderText.size() &&
            path.compare(0, split, lastFolderText) == 0;
        if (sameFolder) {
            name = path.substr(split + 1);
            folder = lastFolder;
        } else {
            // Every name must reach the file system as it stands: no name that
            // Win32 would trim, resolve or refuse.
            ParsedPath relative = Parse("X:\\" + path);
            std::string rebuilt;
            bool valid = !relative.names.empty() && !relative.endsInSeparator;
            for (const std::string& part : relative.names) {
                rebuilt += (rebuilt.empty() ? "" : "\\") + part;
                valid = valid && IsValidWindowsName(part);
            }
            if (!valid || rebuilt != path) {
                if (problem) *problem = path + ": the name cannot exist on Windows";
                return 1;
            }
            folder = top;
            for (size_t i = 0; folder && i + 1 < relative.names.size(); ++i) {
                Node* next = Child(folder, relative.names[i]);
                if (!next) {
                    next = Place(folder, relative.names[i]);
                    next->directory = true;
                }
                folder = next->directory ? next : nullptr;
            }
            name = relative.names.back();
        }
        if (sameFolder && !IsValidWindowsName(name)) {
            if (problem) *problem = path + ": the name cannot exist on Windows";
            return 1;
        }
        auto refuseTaken = [&] {
            if (problem) *problem = path + ": another name of its folder differs from it only in letter case";
            return 1;
        };
        if (!folder) return refuseTaken();
        std::string key = Fold(name);
        auto slot = folder->children.lower_bound(key);
        if (slot != folder->children.end() && slot->first == key) return refuseTaken();
        auto node = std::make_unique<Node>();
        node->name = name;
        node->parent = folder;
        if (entry.directory) {
            node->directory = true;
            node->attributes = entry.attributes & KeptAttributes;
        } else {
            node->size = entry.size;
            node->attributes = entry.attributes & KeptAttributes;
            node->diskPath = entry.diskPath;
        }
        folder->children.emplace_hint(slot, std::move(key), std::move(node));
        if (split != NoSeparator) {
            lastFolderText.assign(path, 0, split);
            lastFolder = folder;
        } else {
            lastFolder = nullptr;
        }
    }
    return 0;
}

}  // namespace memory_platform
