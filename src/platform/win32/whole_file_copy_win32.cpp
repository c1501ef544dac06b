// The file copy of the Win32 backend, and the program's other temporary files
// beside game files. CopyFileW writes over the destination in place, so a full
// disk, a removed drive or a lost share part-way leaves a cut file where the
// game's own was. Here the new bytes go to a temporary file in the
// destination's folder, which then takes the destination's place with one
// rename (MoveFileExW): a failure before the rename leaves the destination as it
// was, and the temporary file is deleted.
#include <windows.h>

#include <string.h>
#include <wchar.h>

#include "platform/win32/folder_listing_win32.h"
#include "platform/platform.h"
#include "platform/windows_text.h"

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

// "~upd<process id>-<number>.tmp": no game ships such a name, and two programs
// running at once never share one. The number has 1 to 4 hex digits.
void TemporaryName(unsigned number, wchar_t name[24]) {
    const wchar_t digits[] = L"0123456789abcdef";
    int length = 0;
    for (const wchar_t* p = L"~upd"; *p; ++p) name[length++] = *p;
    for (int shift = 28; shift >= 0; shift -= 4) name[length++] = digits[(GetCurrentProcessId() >> shift) & 0xF];
    name[length++] = L'-';
    int shift = 12;
    while (shift > 0 && ((number >> shift) & 0xF) == 0) shift -= 4;
    for (; shift >= 0; shift -= 4) name[length++] = digits[(number >> shift) & 0xF];
    wmemcpy(name + length, L".tmp", 5);
}

int TemporaryBeside(const wchar_t* destination, unsigned number, WidePath* temporary) {
    wchar_t name[24];
    TemporaryName(number & 0xFFFF, name);
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

// Whether destination may be replaced: 1 on a folder or a marked file, which
// CopyFile refuses; else 0, whether it exists and, where it does, the stored
// spelling its replacement keeps.
int PrepareReplacement(const wchar_t* destination, bool* exists, WidePath* target) {
    DWORD existing = GetFileAttributesW(destination);
    *exists = existing != INVALID_FILE_ATTRIBUTES;
    target->text[0] = 0;
    if (*exists && (existing & RefusingMarks)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return 1;
    }
    if (*exists) StoredSpelling(destination, target);
    return 0;
}

// The one step: the complete temporary takes destination's place, under its
// stored spelling. On failure both stay as they were.
int TakePlace(const wchar_t* temporary, const wchar_t* destination, bool exists, const WidePath& target) {
    const wchar_t* name = exists && target.text[0] != 0 ? target.text : destination;
    if (!MoveFileExW(temporary, name, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return 1;
    if (!exists) ForgetListingOf(destination);
    return 0;
}

}  // namespace

int PlatformCopyFile(const char* source, const char* destination) {
    WidePath wideSource, wideDestination;
    if (ToWide(source, wideSource.text, WideTextUnits) != 0 ||
        ToWide(destination, wideDestination.text, WideTextUnits) != 0)
        return 1;
    // Looked up before the temporary file is made, so that no listing holds its name.
    bool exists;
    WidePath target;
    if (PrepareReplacement(wideDestination.text, &exists, &target) != 0) return 1;
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
    if (TakePlace(temporary.text, wideDestination.text, exists, target) == 0) return 0;
    error = GetLastError();
    Discard(temporary.text);
    SetLastError(error);
    return 1;
}

// ---- Temporary files written by the program itself ----

int PlatformCreateTemporary(const char* destination, unsigned number, char* path, size_t pathSize,
                            TemporaryWriter* writer, unsigned* error) {
    *error = ERROR_FILENAME_EXCED_RANGE;
    WidePath wideDestination, temporary;
    if (number >= TemporaryNumberLimit || ToWide(destination, wideDestination.text, WideTextUnits) != 0 ||
        TemporaryBeside(wideDestination.text, number, &temporary) != 0)
        return 1;
    // The Shift-JIS path: the destination's folder (every byte up to its last
    // separator, lead bytes skipped) and the ASCII name.
    size_t folderLength = 0;
    for (size_t i = 0; destination[i] != '\0'; ++i) {
        if (PlatformIsLeadByte((unsigned char)destination[i]) && destination[i + 1] != '\0') {
            ++i;
            continue;
        }
        if (destination[i] == '\\' || destination[i] == '/') folderLength = i + 1;
    }
    const wchar_t* name = temporary.text + FolderLength(temporary.text);
    size_t nameLength = wcslen(name);
    if (folderLength + nameLength + 1 > pathSize) return 1;
    memcpy(path, destination, folderLength);
    for (size_t i = 0; i <= nameLength; ++i) path[folderLength + i] = (char)name[i];
    // A name already taken is never opened: the file is not the program's.
    HANDLE file = CreateFileW(temporary.text, GENERIC_WRITE, 0, NULL, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        DWORD failure = GetLastError();
        *error = failure == ERROR_FILE_EXISTS ? (unsigned)ErrorAlreadyExists : (unsigned)failure;
        return 1;
    }
    ForgetListingOf(temporary.text);
    *writer = (TemporaryWriter)file;
    return 0;
}

int PlatformWriteTemporary(TemporaryWriter writer, const void* data, size_t size) {
    const char* bytes = (const char*)data;
    while (size > 0) {
        DWORD chunk = size > 0x40000000u ? 0x40000000u : (DWORD)size;
        DWORD written = 0;
        if (!WriteFile((HANDLE)writer, bytes, chunk, &written, NULL) || written == 0) return 1;
        bytes += written;
        size -= written;
    }
    return 0;
}

int PlatformCloseTemporary(TemporaryWriter writer) { return CloseHandle((HANDLE)writer) ? 0 : 1; }

int PlatformReplaceWithTemporary(const char* temporary, const char* destination) {
    WidePath wideTemporary, wideDestination;
    if (ToWide(temporary, wideTemporary.text, WideTextUnits) != 0 ||
        ToWide(destination, wideDestination.text, WideTextUnits) != 0)
        return 1;
    bool exists;
    WidePath target;
    if (PrepareReplacement(wideDestination.text, &exists, &target) != 0) return 1;
    if (TakePlace(wideTemporary.text, wideDestination.text, exists, target) != 0) return 1;
    ForgetListingOf(wideTemporary.text);
    return 0;
}

void PlatformDiscardTemporary(const char* temporary) {
    WidePath wide;
    if (ToWide(temporary, wide.text, WideTextUnits) != 0) return;
    Discard(wide.text);
    ForgetListingOf(wide.text);
}
