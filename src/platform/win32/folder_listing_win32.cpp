#include "platform/win32/folder_listing_win32.h"

#include <windows.h>

#include "platform/windows_text.h"

namespace {

// Each entry: its kind (FileMark or FolderMark), its long name and its short
// name (empty when it has none), each NUL-terminated.
enum { ListingUnits = 65536 };
const wchar_t FileMark = L'F', FolderMark = L'D';
struct FolderListing {
    wchar_t folder[WideTextUnits];  // the folder part of a path, its separator included
    int folderLength;
    bool listed;
    bool complete;  // every name of the folder fitted
    wchar_t entries[ListingUnits];
    int used;
};
// Zero-filled, so that it takes no room in the program file.
FolderListing Listing;

// In any letter case, as the system finds a folder (the walk creates folders in upper case).
bool IsListedFolder(const wchar_t* path, int folder) {
    return Listing.listed && folder == Listing.folderLength &&
           CompareStringOrdinal(Listing.folder, folder, path, folder, TRUE) == CSTR_EQUAL;
}

bool Append(const wchar_t* text) {
    size_t length = wcslen(text);
    if (Listing.used + (int)length + 1 > ListingUnits) return false;
    wmemcpy(Listing.entries + Listing.used, text, length + 1);
    Listing.used += (int)length + 1;
    return true;
}

bool AppendEntry(const WIN32_FIND_DATAW& data) {
    int start = Listing.used;
    const wchar_t kind[2] = {(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? FolderMark : FileMark, 0};
    if (Append(kind) && Append(data.cFileName) && Append(data.cAlternateFileName)) return true;
    Listing.used = start;
    return false;
}

// Lists the folder of path unless it is the one listed; false when it cannot be listed.
bool ListFolderOf(const wchar_t* path) {
    int folder = FolderLength(path);
    if (folder == 0) return false;
    if (IsListedFolder(path, folder)) return true;
    Listing.listed = false;
    Listing.used = 0;
    wchar_t pattern[WideTextUnits];
    if (WithLastComponent(path, L"*", pattern) != 0) return false;
    WIN32_FIND_DATAW data;
    HANDLE search = FindFirstFileW(pattern, &data);
    if (search == INVALID_HANDLE_VALUE) return false;
    Listing.complete = true;
    do {
        if (!AppendEntry(data)) {
            Listing.complete = false;
            break;
        }
    } while (FindNextFileW(search, &data));
    FindClose(search);
    wmemcpy(Listing.folder, path, (size_t)folder);
    Listing.folderLength = folder;
    Listing.listed = true;
    return true;
}

bool SameName(const wchar_t* a, const wchar_t* b) {
    return a[0] != 0 && CompareStringOrdinal(a, -1, b, -1, TRUE) == CSTR_EQUAL;
}

// Calls visit(kind, long name, short name) for each entry until it returns true;
// whether one did.
template <typename Visit>
bool VisitEntries(Visit visit) {
    for (int at = 0; at < Listing.used;) {
        ListedAnswer kind = Listing.entries[at] == FolderMark ? ListedFolder : ListedFile;
        const wchar_t* longName = Listing.entries + at + 2;
        const wchar_t* shortName = longName + wcslen(longName) + 1;
        if (visit(kind, longName, shortName)) return true;
        at = (int)(shortName + wcslen(shortName) + 1 - Listing.entries);
    }
    return false;
}

// A name the search takes as it stands: no wildcard, nothing the system trims.
bool IsPlainName(const wchar_t* name) {
    if (name[0] == 0) return false;
    for (const wchar_t* p = name; *p; ++p)
        if (wcschr(L"*?<>\":", *p)) return false;
    wchar_t last = name[wcslen(name) - 1];
    return last != L'.' && last != L' ';
}

}  // namespace

int FolderLength(const wchar_t* path) {
    int length = 0;
    for (int i = 0; path[i] != 0; ++i)
        if (path[i] == L'\\' || path[i] == L'/') length = i + 1;
    return length;
}

int WithLastComponent(const wchar_t* path, const wchar_t* name, wchar_t* result) {
    int folder = FolderLength(path);
    size_t nameLength = wcslen(name);
    if ((size_t)folder + nameLength + 1 > WideTextUnits) return 1;
    wmemcpy(result, path, (size_t)folder);
    wmemcpy(result + folder, name, nameLength + 1);
    return 0;
}

ListedAnswer LookUpListed(const wchar_t* path) {
    const wchar_t* asked = path + FolderLength(path);
    if (!IsPlainName(asked) || !ListFolderOf(path)) return CannotTell;
    ListedAnswer answer = NotListed;
    VisitEntries([&](ListedAnswer kind, const wchar_t* longName, const wchar_t* shortName) {
        if (!SameName(longName, asked) && !SameName(shortName, asked)) return false;
        answer = kind;
        return true;
    });
    if (answer == NotListed && !Listing.complete) return CannotTell;
    return answer;
}

const wchar_t* ListedSpelling(const wchar_t* path) {
    if (!ListFolderOf(path)) return 0;
    const wchar_t* asked = path + FolderLength(path);
    const wchar_t* spelling = 0;
    VisitEntries([&](ListedAnswer, const wchar_t* longName, const wchar_t*) {
        if (!SameName(longName, asked)) return false;
        spelling = longName;
        return true;
    });
    return spelling;
}

void ForgetListingOf(const wchar_t* path) {
    if (IsListedFolder(path, FolderLength(path))) Listing.listed = false;
}
