// The platform boundary on the real Win32 ANSI interfaces.
#include <windows.h>

#include <string.h>

#include "platform.h"

const char* PlatformCommandLine() { return GetCommandLineA(); }

int PlatformSetCurrentDirectory(const char* path) { return SetCurrentDirectoryA(path) ? 0 : 1; }

void PlatformMessageBox(WindowHandle owner, const char* text, const char* title, unsigned type) {
    MessageBoxA((HWND)owner, text, title, type);
}

int PlatformOpenFileForReading(const char* path, FileReader* reader) {
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
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

static void TakeFoundFile(const WIN32_FIND_DATAA& data, FoundFile* entry) {
    strncpy(entry->name, data.cFileName, sizeof entry->name - 1);
    entry->name[sizeof entry->name - 1] = '\0';
    entry->isDirectory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? 1 : 0;
}

int PlatformFindFirstFile(const char* pattern, FileSearch* search, FoundFile* entry) {
    WIN32_FIND_DATAA data;
    HANDLE handle = FindFirstFileA(pattern, &data);
    if (handle == INVALID_HANDLE_VALUE) return 1;
    *search = (FileSearch)handle;
    TakeFoundFile(data, entry);
    return 0;
}

int PlatformFindNextFile(FileSearch search, FoundFile* entry) {
    WIN32_FIND_DATAA data;
    if (!FindNextFileA((HANDLE)search, &data)) return 1;
    TakeFoundFile(data, entry);
    return 0;
}

void PlatformFindClose(FileSearch search) { FindClose((HANDLE)search); }

int PlatformCopyFile(const char* source, const char* destination) {
    return CopyFileA(source, destination, FALSE) ? 0 : 1;
}

int PlatformDeleteFile(const char* path) { return DeleteFileA(path) ? 0 : 1; }

int PlatformGetFileAttributes(const char* path, unsigned* attributes) {
    DWORD bits = GetFileAttributesA(path);
    if (bits == INVALID_FILE_ATTRIBUTES) return 1;
    *attributes = bits;
    return 0;
}

int PlatformSetFileAttributes(const char* path, unsigned attributes) {
    return SetFileAttributesA(path, attributes) ? 0 : 1;
}

int PlatformCreateDirectory(const char* path, unsigned* error) {
    if (CreateDirectoryA(path, NULL)) return 0;
    *error = GetLastError();
    return 1;
}

int PlatformIsLeadByte(unsigned char byte) { return IsDBCSLeadByteEx(CP_ACP, byte) ? 1 : 0; }

int PlatformOpenUserKey(const char* keyPath, RegistryKey* key) {
    HKEY handle;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, keyPath, 0, KEY_READ, &handle) != ERROR_SUCCESS) return 1;
    *key = (RegistryKey)handle;
    return 0;
}

int PlatformQueryValue(RegistryKey key, const char* valueName, unsigned* type, void* buffer,
                       unsigned* size) {
    DWORD valueType = 0;
    DWORD byteCount = *size;
    if (RegQueryValueExA((HKEY)key, valueName, NULL, &valueType, (BYTE*)buffer, &byteCount) !=
        ERROR_SUCCESS)
        return 1;
    *type = valueType;
    *size = byteCount;
    return 0;
}

void PlatformFlushKey(RegistryKey key) { RegFlushKey((HKEY)key); }

void PlatformCloseKey(RegistryKey key) { RegCloseKey((HKEY)key); }

void PlatformShowWindow(WindowHandle window, int command) {
    if (window) ShowWindow((HWND)window, command);
}

void PlatformSetWindowText(WindowHandle window, const char* text) {
    if (window) SetWindowTextA((HWND)window, text);
}

void PlatformSetFocus(WindowHandle window) {
    if (window) SetFocus((HWND)window);
}

void PlatformDestroyWindow(WindowHandle window) {
    if (window) DestroyWindow((HWND)window);
}

FontHandle PlatformCreateFont(const FontDescription* description) {
    LOGFONTA font;
    memset(&font, 0, sizeof font);
    font.lfHeight = description->height;
    font.lfWidth = description->width;
    font.lfEscapement = description->escapement;
    font.lfOrientation = description->orientation;
    font.lfWeight = description->weight;
    font.lfItalic = description->italic;
    font.lfUnderline = description->underline;
    font.lfStrikeOut = description->strikeOut;
    font.lfCharSet = description->charSet;
    font.lfOutPrecision = description->outPrecision;
    font.lfClipPrecision = description->clipPrecision;
    font.lfQuality = description->quality;
    font.lfPitchAndFamily = description->pitchAndFamily;
    memcpy(font.lfFaceName, description->faceName, sizeof font.lfFaceName);
    return (FontHandle)CreateFontIndirectA(&font);
}

void PlatformDeleteFont(FontHandle font) { DeleteObject((HGDIOBJ)font); }
