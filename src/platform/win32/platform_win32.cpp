// The platform boundary on the real Win32 interfaces, in their UTF-16 forms.
// The program's texts are Shift-JIS whatever the system's ANSI code page is:
// they are converted with code page 932 on the way to Windows, and names and
// texts coming back are converted the same way (windows_text.h).
#include <windows.h>

#include <stddef.h>
#include <string.h>
#include <wchar.h>

#include "platform/win32/folder_listing_win32.h"
#include "platform/win32/readable_message_box_win32.h"
#include "platform/platform.h"
#include "platform/windows_text.h"

namespace {

// A command line in Shift-JIS: the program path (at most 511 bytes), the options
// and the game folder.
enum { CommandLineSize = 2048 };
// A registry value's UTF-16 form: room for any string whose Shift-JIS form
// fits a 1024-byte buffer, and for a terminator added after it.
enum { RegistryUnits = 1024 };

struct WideText {
    WideChar text[WideTextUnits];
};
static_assert(sizeof(WideChar) == sizeof(wchar_t), "the W interfaces take UTF-16 units");

// The short (8.3) form of an existing file or folder; empty when there is none.
// shortForm holds WideTextUnits units.
void ShortFormOf(const wchar_t* path, wchar_t* shortForm) {
    DWORD length = GetShortPathNameW(path, shortForm, WideTextUnits);
    if (length == 0 || length >= WideTextUnits) shortForm[0] = 0;
}

// Resolved while the current folder is still the one the program was started
// in: the command line is read once, before start-up changes it.
void LookUpCommandLinePath(const wchar_t* path, int length, bool resolve, PathForms* forms) {
    WideText given;
    if (length >= WideTextUnits) return;
    memcpy(given.text, path, (size_t)length * sizeof(wchar_t));
    given.text[length] = 0;
    const wchar_t* known = given.text;
    if (resolve) {
        DWORD units = GetFullPathNameW(given.text, WideTextUnits, forms->full, NULL);
        if (units == 0 || units >= WideTextUnits) forms->full[0] = 0;
        if (forms->full[0]) known = forms->full;
    }
    ShortFormOf(known, forms->shortForm);
}

}  // namespace

const char* PlatformCommandLine() {
    static char line[CommandLineSize];
    static bool read = false;
    if (read) return line;
    read = true;
    if (CommandLineFromWide(GetCommandLineW(), LookUpCommandLinePath, line, sizeof line) != 0) line[0] = '\0';
    return line;
}

int PlatformSetCurrentDirectory(const char* path) {
    WideText wide;
    if (ToWide(path, wide.text, WideTextUnits) != 0) return 1;
    return SetCurrentDirectoryW(wide.text) ? 0 : 1;
}

void PlatformMessageBox(WindowHandle owner, const char* text, const char* title, unsigned type) {
    WideText wideText, wideTitle;
    ToWide(text, wideText.text, WideTextUnits);
    ToWide(title, wideTitle.text, WideTextUnits);
    ReadableMessageBox((HWND)owner, wideText.text, wideTitle.text, type);
}

int PlatformOpenFileForReading(const char* path, FileReader* reader) {
    WideText wide;
    if (ToWide(path, wide.text, WideTextUnits) != 0) return 1;
    HANDLE file = CreateFileW(wide.text, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return 1;
    *reader = (FileReader)file;
    return 0;
}

size_t PlatformReadFile(FileReader reader, void* buffer, size_t size) {
    DWORD count = 0;
    if (!ReadFile((HANDLE)reader, buffer, (DWORD)size, &count, NULL)) return 0;
    return count;
}

void PlatformCloseFile(FileReader reader) { CloseHandle((HANDLE)reader); }

// The offset goes with each read (the handle is synchronous: it moves the file
// pointer too, which PlatformReadFile then continues from).
int PlatformReadFileAt(FileReader reader, uint64_t offset, void* buffer, size_t size, size_t* count) {
    *count = 0;
    char* bytes = (char*)buffer;
    while (size > 0) {
        OVERLAPPED at = {};
        at.Offset = (DWORD)offset;
        at.OffsetHigh = (DWORD)(offset >> 32);
        DWORD chunk = size > 0x40000000u ? 0x40000000u : (DWORD)size;
        DWORD read = 0;
        if (!ReadFile((HANDLE)reader, bytes, chunk, &read, &at)) return GetLastError() == ERROR_HANDLE_EOF ? 0 : 1;
        if (read == 0) return 0;
        bytes += read;
        size -= read;
        offset += read;
        *count += read;
    }
    return 0;
}

int PlatformOpenFileForAppending(const char* path, FileWriter* writer) {
    WideText wide;
    if (ToWide(path, wide.text, WideTextUnits) != 0) return 1;
    HANDLE file = CreateFileW(wide.text, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return 1;
    *writer = (FileWriter)file;
    return 0;
}

int PlatformAppendText(FileWriter writer, const char* text) {
    WideText wide;
    if (ToWide(text, wide.text, WideTextUnits) != 0) return 1;
    // Each UTF-16 unit takes at most three bytes of UTF-8.
    static char utf8[WideTextUnits * 3];
    int count = WideCharToMultiByte(CP_UTF8, 0, wide.text, -1, utf8, sizeof utf8, NULL, NULL);
    if (count <= 0) return 1;
    DWORD written = 0;
    return WriteFile((HANDLE)writer, utf8, (DWORD)(count - 1), &written, NULL) && written == (DWORD)(count - 1) ? 0 : 1;
}

void PlatformCloseFileWriter(FileWriter writer) { CloseHandle((HANDLE)writer); }

static void TakeFoundFile(const WIN32_FIND_DATAW& data, FoundFile* entry) {
    // A name that fits in no form becomes one that is no valid file name, so
    // that nothing is verified, copied or deleted under it.
    if (NameFromWide(data.cFileName, data.cAlternateFileName, entry->name, sizeof entry->name) != 0)
        strcpy(entry->name, "|");
    entry->isDirectory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? 1 : 0;
    entry->size = (uint64_t)data.nFileSizeHigh << 32 | data.nFileSizeLow;
}

int PlatformFindFirstFile(const char* pattern, FileSearch* search, FoundFile* entry) {
    WideText wide;
    if (ToWide(pattern, wide.text, WideTextUnits) != 0) return 1;
    WIN32_FIND_DATAW data;
    HANDLE handle = FindFirstFileW(wide.text, &data);
    if (handle == INVALID_HANDLE_VALUE) return 1;
    *search = (FileSearch)handle;
    TakeFoundFile(data, entry);
    return 0;
}

int PlatformFindNextFile(FileSearch search, FoundFile* entry) {
    WIN32_FIND_DATAW data;
    if (!FindNextFileW((HANDLE)search, &data)) return 1;
    TakeFoundFile(data, entry);
    return 0;
}

void PlatformFindClose(FileSearch search) { FindClose((HANDLE)search); }

int PlatformFindFile(const char* path, int* isDirectory) {
    WideText wide;
    if (ToWide(path, wide.text, WideTextUnits) != 0) return 1;
    ListedAnswer listed = LookUpListed(wide.text);
    if (listed != CannotTell) {
        *isDirectory = listed == ListedFolder;
        return listed == NotListed ? 1 : 0;
    }
    WIN32_FIND_DATAW data;
    HANDLE handle = FindFirstFileW(wide.text, &data);
    if (handle == INVALID_HANDLE_VALUE) return 1;
    FindClose(handle);
    *isDirectory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? 1 : 0;
    return 0;
}

int PlatformDeleteFile(const char* path) {
    WideText wide;
    if (ToWide(path, wide.text, WideTextUnits) != 0) return 1;
    if (!DeleteFileW(wide.text)) return 1;
    ForgetListingOf(wide.text);
    return 0;
}

int PlatformGetFileAttributes(const char* path, unsigned* attributes) {
    WideText wide;
    if (ToWide(path, wide.text, WideTextUnits) != 0) return 1;
    DWORD bits = GetFileAttributesW(wide.text);
    if (bits == INVALID_FILE_ATTRIBUTES) return 1;
    *attributes = bits;
    return 0;
}

int PlatformSetFileAttributes(const char* path, unsigned attributes) {
    WideText wide;
    if (ToWide(path, wide.text, WideTextUnits) != 0) return 1;
    return SetFileAttributesW(wide.text, attributes) ? 0 : 1;
}

int PlatformGetFileSize(const char* path, uint64_t* size) {
    WideText wide;
    if (ToWide(path, wide.text, WideTextUnits) != 0) return 1;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(wide.text, GetFileExInfoStandard, &data)) return 1;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return 1;
    *size = (uint64_t)data.nFileSizeHigh << 32 | data.nFileSizeLow;
    return 0;
}

// The caller's share: what a disk quota leaves this user, not the volume's total.
int PlatformGetFreeSpace(const char* folder, uint64_t* freeBytes) {
    WideText wide;
    if (ToWide(folder, wide.text, WideTextUnits - 1) != 0) return 1;
    // A network share is named with a trailing backslash.
    size_t length = wcslen(wide.text);
    if (length == 0 || wide.text[length - 1] != L'\\') wcscat(wide.text, L"\\");
    ULARGE_INTEGER available;
    if (!GetDiskFreeSpaceExW(wide.text, &available, NULL, NULL)) return 1;
    *freeBytes = available.QuadPart;
    return 0;
}

int PlatformCreateDirectory(const char* path, unsigned* error) {
    WideText wide;
    if (ToWide(path, wide.text, WideTextUnits) != 0) {
        *error = ERROR_FILENAME_EXCED_RANGE;
        return 1;
    }
    if (CreateDirectoryW(wide.text, NULL)) {
        ForgetListingOf(wide.text);
        return 0;
    }
    *error = GetLastError();
    return 1;
}

unsigned PlatformLastError() { return GetLastError(); }

// Asked for in Japanese only: the system then gives no text in another language.
int PlatformErrorText(unsigned error, char* text, size_t size) {
    WideText wide;
    DWORD units = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, NULL, error,
                                 MAKELANGID(LANG_JAPANESE, SUBLANG_JAPANESE_JAPAN), wide.text, WideTextUnits, NULL);
    while (units > 0 && (wide.text[units - 1] == L'\r' || wide.text[units - 1] == L'\n' || wide.text[units - 1] == L' '))
        --units;
    if (units == 0 || size < 1) return 1;
    int inexact = 0;
    int count = Utf16ToShiftJis(wide.text, (int)units, text, (int)size - 1, &inexact);
    if (count <= 0 || inexact) return 1;
    text[count] = '\0';
    return 0;
}

// The program's texts are Shift-JIS, whatever the ANSI code page is.
int PlatformIsLeadByte(unsigned char byte) { return IsDBCSLeadByteEx(932, byte) ? 1 : 0; }

int PlatformOpenUserKey(const char* keyPath, RegistryKey* key) {
    WideText wide;
    if (ToWide(keyPath, wide.text, WideTextUnits) != 0) return 1;
    HKEY handle;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, wide.text, 0, KEY_READ, &handle) != ERROR_SUCCESS) return 1;
    *key = (RegistryKey)handle;
    return 0;
}

int PlatformQueryValue(RegistryKey key, const char* valueName, unsigned* type, void* buffer,
                       unsigned* size) {
    WideText wideName;
    if (ToWide(valueName, wideName.text, WideTextUnits) != 0) return 1;
    static WideChar data[RegistryUnits + 1];
    DWORD valueType = 0;
    DWORD byteCount = RegistryUnits * sizeof(WideChar);
    if (RegQueryValueExW((HKEY)key, wideName.text, NULL, &valueType, (BYTE*)data, &byteCount) != ERROR_SUCCESS)
        return 1;
    if (valueType == REG_SZ || valueType == REG_EXPAND_SZ) {
        // The size limit applies to the Shift-JIS form, as the program sees it.
        int units = (int)(byteCount / sizeof(WideChar));
        int inexact = 0;
        int count = Utf16ToShiftJis(data, units, (char*)buffer, (int)*size, &inexact);
        // Larger than the buffer in Shift-JIS: the query fails, as an ANSI one does.
        if (count < 0) return 1;
        if (inexact) {
            // A value that names an existing file or folder is taken in its
            // short form when that converts exactly, terminated as the stored
            // value is: a value without a terminator keeps none.
            data[units] = 0;
            WideText shortForm;
            ShortFormOf(data, shortForm.text);
            bool terminated = units > 0 && data[units - 1] == 0;
            int shortUnits = shortForm.text[0] ? (int)wcslen(shortForm.text) + (terminated ? 1 : 0) : 0;
            // The form with '?' fits, so one of the forms always does.
            count = ConvertNamingForm(data, units, shortForm.text, shortUnits, (char*)buffer, (int)*size);
        }
        *size = (unsigned)count;
    } else {
        if (byteCount > *size) return 1;
        memcpy(buffer, data, byteCount);
        *size = byteCount;
    }
    *type = valueType;
    return 0;
}

void PlatformFlushKey(RegistryKey key) { RegFlushKey((HKEY)key); }

void PlatformCloseKey(RegistryKey key) { RegCloseKey((HKEY)key); }

void PlatformShowWindow(WindowHandle window, int command) {
    if (window) ShowWindow((HWND)window, command);
}

void PlatformSetWindowText(WindowHandle window, const char* text) {
    if (!window) return;
    WideText wide;
    ToWide(text, wide.text, WideTextUnits);
    SetWindowTextW((HWND)window, wide.text);
}

void PlatformSetFocus(WindowHandle window) {
    if (window) SetFocus((HWND)window);
}

void PlatformDestroyWindow(WindowHandle window) {
    if (window) DestroyWindow((HWND)window);
}

// A FontDescription is laid out as the LOGFONT before its face name.
static_assert(sizeof(int) == sizeof(LONG), "the sizes of a font description and a LOGFONT");
static_assert(offsetof(FontDescription, pitchAndFamily) == offsetof(LOGFONTW, lfPitchAndFamily) &&
                  offsetof(FontDescription, faceName) == offsetof(LOGFONTW, lfFaceName),
              "a font description has the fields of a LOGFONT in its order");

FontHandle PlatformCreateFont(const FontDescription* description) {
    LOGFONTW font;
    memcpy(&font, description, offsetof(LOGFONTW, lfFaceName));
    // The face name field need not be terminated; a name too long for the
    // wide field is left empty, and the system picks a face by the rest.
    char face[sizeof description->faceName + 1];
    memcpy(face, description->faceName, sizeof description->faceName);
    face[sizeof description->faceName] = '\0';
    ToWide(face, font.lfFaceName, LF_FACESIZE);
    return (FontHandle)CreateFontIndirectW(&font);
}

void PlatformDeleteFont(FontHandle font) { DeleteObject((HGDIOBJ)font); }
