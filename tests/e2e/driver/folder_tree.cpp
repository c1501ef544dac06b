#include "folder_tree.h"

#include <windows.h>

#include <algorithm>
#include <map>

#include "program_driver.h"
#include "report_text.h"

namespace {

struct FoundName {
    std::string name;
    bool folder;
    bool readOnly;
};

std::vector<FoundName> FolderEntries(const std::string& folder) {
    std::vector<FoundName> names;
    WIN32_FIND_DATAA data;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &data);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        std::string name = data.cFileName;
        if (name == "." || name == "..") continue;
        names.push_back({name, (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0,
                         (data.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0});
    } while (FindNextFileA(search, &data));
    FindClose(search);
    std::sort(names.begin(), names.end(), [](const FoundName& a, const FoundName& b) {
        int order = _stricmp(a.name.c_str(), b.name.c_str());
        return order != 0 ? order < 0 : a.name < b.name;
    });
    return names;
}

void ListInto(const std::string& root, const std::string& relative, std::vector<TreeEntry>* entries) {
    std::string folder = relative.empty() ? root : root + "\\" + relative;
    for (const FoundName& found : FolderEntries(folder)) {
        TreeEntry entry;
        entry.path = relative.empty() ? found.name : relative + "\\" + found.name;
        entry.folder = found.folder;
        // Wine keeps no read-only mark on folders; only files carry it here.
        entry.readOnly = found.readOnly && !found.folder;
        if (!found.folder) ReadFileBytes(root + "\\" + entry.path, &entry.content);
        entries->push_back(entry);
        if (found.folder) ListInto(root, entry.path, entries);
    }
}

std::string Describe(const TreeEntry& entry) {
    if (entry.folder) return "folder";
    std::string text = std::to_string(entry.content.size()) + " bytes";
    if (entry.readOnly) text += ", read-only";
    return text;
}

// A short sight of a content for a difference report.
std::string Glimpse(const std::string& content) {
    bool printable = std::all_of(content.begin(), content.end(),
                                 [](char c) { return (unsigned char)c >= 0x20 || c == '\n' || c == '\r' || c == '\t'; });
    if (!printable) return "(" + std::to_string(content.size()) + " bytes of binary data)";
    std::string shown = Visible(AnsiToUtf8(content));
    if (shown.size() > 60) shown = shown.substr(0, 60) + "...";
    return "\"" + shown + "\"";
}

}  // namespace

bool MakeFolders(const std::string& path) {
    if (CreateDirectoryA(path.c_str(), NULL) || GetLastError() == ERROR_ALREADY_EXISTS) return true;
    size_t slash = path.find_last_of('\\');
    if (slash == std::string::npos || slash < 3) return false;
    return MakeFolders(path.substr(0, slash)) && CreateDirectoryA(path.c_str(), NULL);
}

bool CopyTree(const std::string& from, const std::string& to) {
    if (!MakeFolders(to)) return false;
    for (const FoundName& found : FolderEntries(from)) {
        std::string source = from + "\\" + found.name;
        std::string target = to + "\\" + found.name;
        if (found.folder) {
            if (!CopyTree(source, target)) return false;
        } else {
            if (!CopyFileA(source.c_str(), target.c_str(), TRUE)) return false;
            SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_NORMAL);
        }
    }
    return true;
}

bool ListTree(const std::string& root, std::vector<TreeEntry>* entries) {
    entries->clear();
    DWORD attributes = GetFileAttributesA(root.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
    ListInto(root, "", entries);
    return true;
}

void PrintTree(const std::string& heading, bool exists, const std::vector<TreeEntry>& entries) {
    Print(heading + (exists ? "" : " (does not exist)") + "\n");
    if (exists && entries.empty()) Print("    (empty)\n");
    for (const TreeEntry& entry : entries) {
        int depth = (int)std::count(entry.path.begin(), entry.path.end(), '\\');
        std::string name = AnsiToUtf8(entry.path.substr(entry.path.find_last_of('\\') + 1));
        Print(std::string(4 + 2 * depth, ' ') + name + (entry.folder ? "\\" : "") + "  (" + Describe(entry) + ")\n");
    }
}

std::vector<std::string> CompareTrees(const std::vector<TreeEntry>& expected, const std::vector<TreeEntry>& actual) {
    std::vector<std::string> differences;
    // Paths without regard to case, so that a wrongly cased name shows as such.
    std::map<std::string, const TreeEntry*> found;
    for (const TreeEntry& entry : actual) {
        std::string key = entry.path;
        CharLowerBuffA(&key[0], (DWORD)key.size());
        found[key] = &entry;
    }
    for (const TreeEntry& want : expected) {
        std::string key = want.path;
        CharLowerBuffA(&key[0], (DWORD)key.size());
        std::string name = AnsiToUtf8(want.path);
        auto match = found.find(key);
        if (match == found.end()) {
            differences.push_back("missing: " + name + " (" + Describe(want) + ")");
            continue;
        }
        const TreeEntry& have = *match->second;
        found.erase(match);
        if (have.path != want.path)
            differences.push_back("name: expected " + name + ", found " + AnsiToUtf8(have.path));
        if (have.folder != want.folder) {
            differences.push_back(name + ": expected a " + (want.folder ? "folder" : "file") + ", found a " +
                                  (have.folder ? "folder" : "file"));
            continue;
        }
        if (have.content != want.content)
            differences.push_back(name + ": expected content " + Glimpse(want.content) + ", found " +
                                  Glimpse(have.content));
        if (have.readOnly != want.readOnly)
            differences.push_back(name + ": expected " + (want.readOnly ? "read-only" : "no read-only mark") +
                                  ", found " + (have.readOnly ? "read-only" : "no read-only mark"));
    }
    for (const auto& extra : found)
        differences.push_back("unexpected: " + AnsiToUtf8(extra.second->path) + " (" + Describe(*extra.second) + ")");
    return differences;
}
