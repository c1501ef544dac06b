// The program's thin boundary to the operating system.
//
// The update logic and the update.ini reader call only these functions and never
// include <windows.h>. Two backends implement them, chosen at link time:
// platform_win32.cpp (the real Win32 calls in their UTF-16 forms, every text
// converted from and to Shift-JIS with code page 932, for the product) and
// platform_memory.cpp (an in-memory machine, for host tests and update-check).
//
// Status results follow the program's convention: 0 success, 1 failure.
#ifndef UPDATE_PLATFORM_H
#define UPDATE_PLATFORM_H

#include <stddef.h>
#include <stdint.h>

// A window handle; 0 is "none". Every window operation on none has no effect.
typedef void* WindowHandle;

// ---- Process --------------------------------------------------------------
// The process command line as one text (never null).
const char* PlatformCommandLine();
int PlatformSetCurrentDirectory(const char* path);

// ---- Message boxes --------------------------------------------------------
enum {
    BoxOk = 0x00000000,           // MB_OK
    BoxIconWarning = 0x00000030,  // MB_ICONWARNING
};
// Modal box with an OK button; the answer is not used. owner may be none.
void PlatformMessageBox(WindowHandle owner, const char* text, const char* title, unsigned type);

// ---- Reading a file -------------------------------------------------------
// Opened for reading with no sharing restriction; bytes arrive untranslated.
typedef void* FileReader;
int PlatformOpenFileForReading(const char* path, FileReader* reader);
// Reads up to size bytes; returns the count read, 0 at end of file or on error.
size_t PlatformReadFile(FileReader reader, void* buffer, size_t size);
void PlatformCloseFile(FileReader reader);
// Reads size bytes at offset: 0 and how many were read, fewer only at the end
// of the file; 1 on an error. A reader is read either this way or in order.
int PlatformReadFileAt(FileReader reader, uint64_t offset, void* buffer, size_t size, size_t* count);

// ---- Temporary files beside a game file -----------------------------------
// The program's temporary files are named "~upd" + its process id in 8
// lowercase hex digits + "-" + number in 1 to 4 lowercase hex digits + ".tmp",
// in the folder of the file they are to replace.
typedef void* TemporaryWriter;
enum { TemporaryNumberLimit = 0x10000 };
// Creates the temporary of that number beside destination, which must not
// exist yet, opened for writing; its path goes to path (pathSize bytes). 0 on
// success; else 1 and the system error (ErrorAlreadyExists when the name is taken).
int PlatformCreateTemporary(const char* destination, unsigned number, char* path, size_t pathSize,
                            TemporaryWriter* writer, unsigned* error);
// Appends size bytes: 0, or 1 (a full disk).
int PlatformWriteTemporary(TemporaryWriter writer, const void* data, size_t size);
// Closes it: 0 when everything written reached the file, else 1.
int PlatformCloseTemporary(TemporaryWriter writer);
// The closed temporary takes destination's place in one step, with the same
// refusals and the same care for the stored spelling of its name as
// PlatformCopyFile; the temporary keeps no mark. On failure both stay as they were.
int PlatformReplaceWithTemporary(const char* temporary, const char* destination);
// Removes a temporary of the program (closed), whatever happened to it.
void PlatformDiscardTemporary(const char* temporary);

// ---- Work beside the caller -------------------------------------------------
// Starts work(context) on a thread of its own, to run while the caller goes on
// (hashing what the caller writes): 0, or 1 when it cannot be started, and then
// has not run. One at a time: PlatformWaitBeside returns when it has ended (at
// once when none runs). The in-memory machine starts a thread too.
int PlatformStartBeside(void (*work)(void* context), void* context);
void PlatformWaitBeside();

// ---- Appending to a text file ----------------------------------------------
// Opened for appending, created when missing; others may read it meanwhile.
typedef void* FileWriter;
int PlatformOpenFileForAppending(const char* path, FileWriter* writer);
// Appends a text of the program (Shift-JIS, under 1024 bytes), written in
// UTF-8 by the Win32 backend and kept as given by the in-memory machine.
int PlatformAppendText(FileWriter writer, const char* text);
void PlatformCloseFileWriter(FileWriter writer);

// ---- File system ----------------------------------------------------------
enum {
    FileAttributeReadOnly = 0x01,
    FileAttributeHidden = 0x02,
    FileAttributeSystem = 0x04,
    FileAttributeDirectory = 0x10,
    FileAttributeArchive = 0x20,
    FileAttributeNormal = 0x80,
};
enum {
    ErrorFileNotFound = 2,
    ErrorPathNotFound = 3,
    ErrorAccessDenied = 5,
    ErrorDiskFull = 112,
    ErrorFilenameTooLong = 206,
    ErrorAlreadyExists = 183,
};

// One entry of a directory search: its name, whether it is a directory, and a
// file's size in bytes.
struct FoundFile {
    char name[260];
    int isDirectory;
    uint64_t size;
};
typedef void* FileSearch;
// Starts a search for a pattern such as "C:\\x\\*"; 0 and the first entry when found.
int PlatformFindFirstFile(const char* pattern, FileSearch* search, FoundFile* entry);
// 0 and the next entry; 1 when there is none.
int PlatformFindNextFile(FileSearch search, FoundFile* entry);
void PlatformFindClose(FileSearch search);
// What a search for path finds first, the search closed again: 0 and whether it
// is a folder, or 1 when it finds nothing. The Win32 backend answers a name
// without wildcards from one listing of its folder, which a walk over the files
// of a folder needs only once.
int PlatformFindFile(const char* path, int* isDirectory);

// Copies source over destination, whole or not at all: the new bytes go to a
// temporary file beside the destination, which then takes the destination's
// place in one step. It fails, as CopyFile does on Windows, on a destination
// that is a folder or carries the read-only, hidden or system mark. A new file
// gets the source's attributes; an existing one keeps the spelling of its name.
// On every failure the destination is as it was and no temporary file remains.
int PlatformCopyFile(const char* source, const char* destination);
int PlatformDeleteFile(const char* path);
// 0 and the attribute bits, or 1 when the path names nothing.
int PlatformGetFileAttributes(const char* path, unsigned* attributes);
int PlatformSetFileAttributes(const char* path, unsigned attributes);
// 0 and the size of the file path names; 1 when it names nothing or a folder.
int PlatformGetFileSize(const char* path, uint64_t* size);
// 0 and the bytes this user may still write on the volume that holds folder.
int PlatformGetFreeSpace(const char* folder, uint64_t* freeBytes);
// 0 when created; else 1 and the system error code (ErrorAlreadyExists, ...).
int PlatformCreateDirectory(const char* path, unsigned* error);

// ---- The system's reasons --------------------------------------------------
// The error of the last call above that failed, as the system numbers it
// (GetLastError); 0 when none is known.
unsigned PlatformLastError();
// The system's own text for error in Japanese (Shift-JIS, without its line
// break): 0 and the text, or 1 when the system has no Japanese text for it.
int PlatformErrorText(unsigned error, char* text, size_t size);

// ---- Text -----------------------------------------------------------------
// Whether a byte is a double-byte lead byte of Shift-JIS (code page 932).
int PlatformIsLeadByte(unsigned char byte);

// ---- Registry (below HKEY_CURRENT_USER, read only) ------------------------
enum {
    RegistryString = 1,          // REG_SZ
    RegistryExpandString = 2,    // REG_EXPAND_SZ
    RegistryDword = 4,           // REG_DWORD
};
typedef void* RegistryKey;
int PlatformOpenUserKey(const char* keyPath, RegistryKey* key);
// Reads a value into buffer; size is the buffer size in, the byte count out.
// Fails (1) when the value is missing or larger than the buffer.
int PlatformQueryValue(RegistryKey key, const char* valueName, unsigned* type,
                       void* buffer, unsigned* size);
void PlatformFlushKey(RegistryKey key);
void PlatformCloseKey(RegistryKey key);

// ---- Windows --------------------------------------------------------------
enum { ShowHide = 0, ShowShow = 5 };  // SW_HIDE, SW_SHOW
void PlatformShowWindow(WindowHandle window, int command);
void PlatformSetWindowText(WindowHandle window, const char* text);
void PlatformSetFocus(WindowHandle window);
void PlatformDestroyWindow(WindowHandle window);

// ---- Fonts ----------------------------------------------------------------
// The fields of a LOGFONTA, in its order.
struct FontDescription {
    int height;
    int width;
    int escapement;
    int orientation;
    int weight;
    unsigned char italic;
    unsigned char underline;
    unsigned char strikeOut;
    unsigned char charSet;
    unsigned char outPrecision;
    unsigned char clipPrecision;
    unsigned char quality;
    unsigned char pitchAndFamily;
    char faceName[32];
};
typedef void* FontHandle;
// The face the program's texts ask for (Shift-JIS), with the Shift-JIS
// character set: the system maps it to a Japanese font wherever it runs.
const char ProgramFontFace[] = "ＭＳ ゴシック";
// The created font, or none (0) when creation failed.
FontHandle PlatformCreateFont(const FontDescription* description);
void PlatformDeleteFont(FontHandle font);

#endif
