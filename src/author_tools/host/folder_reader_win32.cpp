// A Windows folder through the W functions, so that names outside the ANSI code
// page are seen as they are and converted (or refused) here.
#include "author_tools/host/folder_reader.h"

#include <windows.h>

#include <algorithm>

#include "author_tools/host/local_files.h"
#include "author_tools/host/text_conversion.h"
#include "author_tools/host/wide_text.h"

namespace {

const unsigned KeptMarks = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

// A \\?\ path is taken as it stands: no doubled separator after a drive root.
std::wstring Below(const std::wstring& folder, const std::wstring& name) {
    return folder + (!folder.empty() && folder.back() == L'\\' ? L"" : L"\\") + name;
}

std::string Shown(const std::wstring& relative) { return relative.empty() ? "." : WideToUtf8(relative); }

int Walk(const std::wstring& disk, const std::wstring& relativeWide, const std::string& relativeSjis,
         const std::string& keptName, FolderRead* read, std::string* problem) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(Below(disk, L"*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        *problem = Shown(relativeWide) + ": cannot be read (" + SystemErrorText(GetLastError()) + ")";
        return 1;
    }
    std::vector<WIN32_FIND_DATAW> entries;
    do {
        if (wcscmp(found.cFileName, L".") != 0 && wcscmp(found.cFileName, L"..") != 0) entries.push_back(found);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    std::sort(entries.begin(), entries.end(),
              [](const WIN32_FIND_DATAW& a, const WIN32_FIND_DATAW& b) { return wcscmp(a.cFileName, b.cFileName) < 0; });
    for (const WIN32_FIND_DATAW& entry : entries) {
        std::wstring name = entry.cFileName;
        std::wstring wide = relativeWide.empty() ? name : relativeWide + L"\\" + name;
        std::string sjisName;
        if (WideToShiftJis(name, &sjisName) != 0) {
            *problem = Shown(wide) + ": the name's " + WhyNoShiftJisForm(WideToUtf8(name));
            read->nameRefused = true;
            return 1;
        }
        std::string sjis = relativeSjis.empty() ? sjisName : relativeSjis + "\\" + sjisName;
        bool folder = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        uint64_t size = folder ? 0 : ((uint64_t)entry.nFileSizeHigh << 32 | entry.nFileSizeLow);
        unsigned attributes = entry.dwFileAttributes & KeptMarks;
        if (folder) attributes &= ~(unsigned)FILE_ATTRIBUTE_READONLY;
        std::wstring path = Below(disk, name);
        read->entries.push_back(memory_platform::TreeEntry{sjis, folder, size, attributes, folder ? "" : WideToUtf8(path)});
        if (folder) {
            if (Walk(path, wide, sjis, keptName, read, problem) != 0) return 1;
        } else if (relativeSjis.empty() && memory_platform::SameName(sjisName, keptName)) {
            std::string reason;
            if (ReadLocalFile(WideToUtf8(path), &read->keptContent, &reason) != 0) {
                *problem = Shown(wide) + ": cannot be read (" + reason + ")";
                return 1;
            }
            read->keptFound = true;
        }
    }
    return 0;
}

}  // namespace

// The search gives every mark with the name: dosAttributes costs nothing here.
int ReadFolder(const std::string& folder, const std::string& keptName, FolderRead* read, std::string* problem, bool) {
    std::wstring wide;
    if (Utf8ToWide(folder, &wide) != 0) {
        *problem = "the path is not valid text";
        return 1;
    }
    // A full path with the \\?\ prefix reaches folders deeper than MAX_PATH.
    DWORD length = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (length > 0) {
        std::wstring full(length, L'\0');
        length = GetFullPathNameW(wide.c_str(), length, &full[0], nullptr);
        full.resize(length);
        if (full.size() >= 3 && full[1] == L':') wide = L"\\\\?\\" + full;
    }
    while (wide.size() > 7 && wide.back() == L'\\') wide.pop_back();
    DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        *problem = "is not a folder";
        return 1;
    }
    return Walk(wide, L"", "", keptName, read, problem);
}
