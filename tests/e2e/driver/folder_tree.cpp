#include "folder_tree.h"

#include <windows.h>

#include <algorithm>
#include <map>

#include "program_driver.h"
#include "report_text.h"

namespace {

struct FoundName {
    std::wstring name;
    bool folder;
    bool readOnly;
};

// Ordinal order without regard to case: the same on every system and in every language.
int CompareIgnoringCase(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), (int)a.size(), b.c_str(), (int)b.size(), TRUE) - CSTR_EQUAL;
}

std::wstring Lowered(std::wstring text) {
    if (!text.empty()) CharLowerBuffW(&text[0], (DWORD)text.size());
    return text;
}

std::vector<FoundName> FolderEntries(const std::wstring& folder) {
    std::vector<FoundName> names;
    WIN32_FIND_DATAW data;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        names.push_back({name, (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0,
                         (data.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0});
    } while (FindNextFileW(search, &data));
    FindClose(search);
    std::sort(names.begin(), names.end(), [](const FoundName& a, const FoundName& b) {
        int order = CompareIgnoringCase(a.name, b.name);
        return order != 0 ? order < 0 : a.name < b.name;
    });
    return names;
}

void ListInto(const std::wstring& root, const std::wstring& relative, std::vector<TreeEntry>* entries) {
    std::wstring folder = relative.empty() ? root : root + L"\\" + relative;
    for (const FoundName& found : FolderEntries(folder)) {
        TreeEntry entry;
        entry.path = relative.empty() ? found.name : relative + L"\\" + found.name;
        entry.folder = found.folder;
        // Wine keeps no read-only mark on folders; only files carry it here.
        entry.readOnly = found.readOnly && !found.folder;
        if (!found.folder) ReadFileBytes(root + L"\\" + entry.path, &entry.content);
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
    std::string shown = Visible(ShiftJisToUtf8(content));
    if (shown.size() > 60) shown = shown.substr(0, 60) + "...";
    return "\"" + shown + "\"";
}

}  // namespace

bool MakeFolders(const std::wstring& path) {
    if (CreateDirectoryW(path.c_str(), NULL) || GetLastError() == ERROR_ALREADY_EXISTS) return true;
    size_t slash = path.find_last_of(L'\\');
    if (slash == std::wstring::npos || slash < 3) return false;
    return MakeFolders(path.substr(0, slash)) && CreateDirectoryW(path.c_str(), NULL);
}

bool CopyTree(const std::wstring& from, const std::wstring& to) {
    if (!IsFolder(from))
        return CopyFileW(from.c_str(), to.c_str(), TRUE) && SetFileAttributesW(to.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!MakeFolders(to)) return false;
    for (const FoundName& found : FolderEntries(from))
        if (!CopyTree(from + L"\\" + found.name, to + L"\\" + found.name)) return false;
    return true;
}

bool ListTree(const std::wstring& root, std::vector<TreeEntry>* entries) {
    entries->clear();
    if (!IsFolder(root)) return false;
    ListInto(root, L"", entries);
    return true;
}

void PrintTree(const std::string& heading, bool exists, const std::vector<TreeEntry>& entries) {
    Print(heading + (exists ? "" : " (does not exist)") + "\n");
    if (exists && entries.empty()) Print("    (empty)\n");
    for (const TreeEntry& entry : entries) {
        int depth = (int)std::count(entry.path.begin(), entry.path.end(), L'\\');
        std::string name = WideToUtf8(entry.path.substr(entry.path.find_last_of(L'\\') + 1));
        Print(std::string(4 + 2 * depth, ' ') + name + (entry.folder ? "\\" : "") + "  (" + Describe(entry) + ")\n");
    }
}

std::vector<std::string> CompareTrees(const std::vector<TreeEntry>& expected, const std::vector<TreeEntry>& actual) {
    std::vector<std::string> differences;
    // Paths without regard to case, so that a wrongly cased name shows as such.
    std::map<std::wstring, const TreeEntry*> found;
    for (const TreeEntry& entry : actual) found[Lowered(entry.path)] = &entry;
    for (const TreeEntry& want : expected) {
        std::string name = WideToUtf8(want.path);
        auto match = found.find(Lowered(want.path));
        if (match == found.end()) {
            differences.push_back("missing: " + name + " (" + Describe(want) + ")");
            continue;
        }
        const TreeEntry& have = *match->second;
        found.erase(match);
        if (have.path != want.path)
            differences.push_back("name: expected " + name + ", found " + WideToUtf8(have.path));
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
        differences.push_back("unexpected: " + WideToUtf8(extra.second->path) + " (" + Describe(*extra.second) + ")");
    return differences;
}
