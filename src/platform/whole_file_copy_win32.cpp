// The file copy of the Win32 backend. CopyFileW writes over the destination in
// place, so a full disk, a removed drive or a lost share part-way leaves a cut
// file where the game's own was. Here the new bytes go to a temporary file in
// the destination's folder, which then takes the destination's place with one
// rename (MoveFileExW): a failure before the rename leaves the destination as it
// was, and the temporary file is deleted.
#include <windows.h>

#include <wchar.h>

#include "folder_listing_win32.h"
#include "platform.h"
#include "windows_text.h"

namespace {

struct WidePath {
    wchar_t text[WideTextUnits];
};

// The marks with which CopyFile refuses to overwrite a file on Windows. Wine
// overwrites hidden and system files (and read-only ones as root), and a rename
// would replace all of them: they are refused here so that every system behaves
// as Windows does.
const DWORD RefusingMarks =
    FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

// "~upd<process id>-<try>.tmp" beside destination: no game ships such a name,
// and two copies running at once never share one.
int TemporaryBeside(const wchar_t* destination, unsigned attempt, WidePath* temporary) {
    wchar_t name[40] = L"~upd";
    int length = 4;
    const wchar_t digits[] = L"0123456789abcdef";
    for (int shift = 28; shift >= 0; shift -= 4) name[length++] = digits[(GetCurrentProcessId() >> shift) & 0xF];
    name[length++] = L'-';
    name[length++] = digits[attempt & 0xF];
    wmemcpy(name + length, L".tmp", 5);
    return WithLastComponent(destination, name, temporary->text);
}

// Renaming onto an existing name spelled in another letter case gives the file
// that spelling on Windows; the rename is therefore given the stored one. A
// handle without access rights is granted even while another program holds the
// file open. Where the stored name cannot be read, or is another name (the file
// is a link), the name asked for stands.
void StoredSpelling(const wchar_t* path, WidePath* stored) {
    const wchar_t* listed = ListedSpelling(path);
    if (listed && WithLastComponent(path, listed, stored->text) == 0) return;
    const wchar_t* asked = path + FolderLength(path);
    if (WithLastComponent(path, asked, stored->text) != 0) stored->text[0] = 0;
    HANDLE file = CreateFileW(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, NULL);
    if (file == INVALID_HANDLE_VALUE) return;
    WidePath final;
    DWORD length = GetFinalPathNameByHandleW(file, final.text, WideTextUnits, FILE_NAME_NORMALIZED);
    CloseHandle(file);
    if (length == 0 || length >= WideTextUnits) return;
    const wchar_t* spelling = final.text + FolderLength(final.text);
    if (CompareStringOrdinal(spelling, -1, asked, -1, TRUE) != CSTR_EQUAL) return;
    WidePath spelled;
    if (WithLastComponent(path, spelling, spelled.text) == 0) *stored = spelled;
}

// A temporary file of this copy goes, whatever mark the source gave it.
void Discard(const wchar_t* temporary) {
    SetFileAttributesW(temporary, FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(temporary);
}

// Writes source to a temporary file of a free name beside destination. 0 on
// success; else 1 and the error, with nothing left behind.
int CopyToTemporary(const wchar_t* source, const wchar_t* destination, WidePath* temporary, DWORD* error) {
    for (unsigned attempt = 0; attempt < 16; ++attempt) {
        if (TemporaryBeside(destination, attempt, temporary) != 0) {
            *error = ERROR_FILENAME_EXCED_RANGE;
            return 1;
        }
        // Fails on a name already taken: a file that is not this copy's is never touched.
        if (CopyFileW(source, temporary->text, TRUE)) return 0;
        *error = GetLastError();
        if (*error == ERROR_FILE_EXISTS || *error == ERROR_ALREADY_EXISTS) continue;
        // A copy cut short (a full disk) may leave its part behind.
        Discard(temporary->text);
        return 1;
    }
    *error = ERROR_FILE_EXISTS;
    return 1;
}

}  // namespace

int PlatformCopyFile(const char* source, const char* destination) {
    WidePath wideSource, wideDestination;
    if (ToWide(source, wideSource.text, WideTextUnits) != 0 ||
        ToWide(destination, wideDestination.text, WideTextUnits) != 0)
        return 1;
    DWORD existing = GetFileAttributesW(wideDestination.text);
    bool exists = existing != INVALID_FILE_ATTRIBUTES;
    if (exists && (existing & RefusingMarks)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return 1;
    }
    // Looked up before the temporary file is made, so that no listing holds its name.
    WidePath target;
    if (exists) StoredSpelling(wideDestination.text, &target);
    WidePath temporary;
    DWORD error = 0;
    if (CopyToTemporary(wideSource.text, wideDestination.text, &temporary, &error) != 0) {
        // A folder that refuses new files while its file may be written (Windows
        // permissions, a folder the player may not write under Wine), or a
        // temporary name past the path limit: the file is written in place, as
        // a plain copy does, rather than failing a patch that works that way.
        if (exists && (error == ERROR_ACCESS_DENIED || error == ERROR_FILENAME_EXCED_RANGE))
            return CopyFileW(wideSource.text, wideDestination.text, FALSE) ? 0 : 1;
        SetLastError(error);
        return 1;
    }
    const wchar_t* name = exists && target.text[0] != 0 ? target.text : wideDestination.text;
    if (MoveFileExW(temporary.text, name, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        if (!exists) ForgetListingOf(wideDestination.text);
        return 0;
    }
    error = GetLastError();
    Discard(temporary.text);
    SetLastError(error);
    return 1;
}
