// The program's functions from USER32 and GDI32, bound at run time instead of
// through the import table: a library in the import table, with everything it
// imports in turn, is loaded before the program's first line runs, before the
// library search is restricted (under Wine, USER32 brings VERSION along).
//
// The pointers carry the names the import libraries give their import slots
// (__imp_...), so the code calls these functions as it always does; only
// update.exe links this file, the test programs keep the import libraries.
#include <windows.h>

#include <string.h>

#include "shell/runtime_imports.h"

namespace {

#ifdef _WIN64
#define IMPORT_SLOT_NAME(function, argumentBytes) "__imp_" #function
#else
// 32-bit stdcall names carry the byte count of their arguments.
#define IMPORT_SLOT_NAME(function, argumentBytes) "__imp__" #function "@" #argumentBytes

template <typename Result, typename... Arguments>
constexpr int ArgumentBytes(Result(WINAPI*)(Arguments...)) {
    return (0 + ... + (int)((sizeof(Arguments) + 3) / 4 * 4));
}
#endif

}  // namespace

// SetWindowLongPtrW is SetWindowLongW on 32-bit Windows.
#ifdef _WIN64
#define WINDOW_LONG_PTR_IMPORT(X) X(User32, SetWindowLongPtrW, 12)
#else
#define WINDOW_LONG_PTR_IMPORT(X) X(User32, SetWindowLongW, 12)
#endif

// (library, function, bytes of its arguments on 32-bit Windows)
#define RUNTIME_IMPORTS(X)                  \
    X(User32, AdjustWindowRect, 12)         \
    X(User32, CallNextHookEx, 16)           \
    X(User32, CallWindowProcW, 20)          \
    X(User32, CreateWindowExW, 48)          \
    X(User32, DefWindowProcW, 16)           \
    X(User32, DestroyWindow, 4)             \
    X(User32, DispatchMessageW, 4)          \
    X(User32, DrawTextW, 20)                \
    X(User32, GetDC, 4)                     \
    X(User32, GetDlgItem, 8)                \
    X(User32, GetFocus, 0)                  \
    X(User32, GetMessageW, 16)              \
    X(User32, GetParent, 4)                 \
    X(User32, GetPropW, 8)                  \
    X(User32, GetSystemMetrics, 4)          \
    X(User32, GetWindowLongW, 8)            \
    X(User32, GetWindowRect, 8)             \
    X(User32, IsWindow, 4)                  \
    X(User32, LoadCursorW, 8)               \
    X(User32, LoadIconW, 8)                 \
    X(User32, MapWindowPoints, 16)          \
    X(User32, MessageBoxW, 16)              \
    X(User32, PeekMessageW, 20)             \
    X(User32, PostMessageW, 16)             \
    X(User32, PostQuitMessage, 4)           \
    X(User32, RegisterClassW, 4)            \
    X(User32, ReleaseDC, 8)                 \
    X(User32, RemovePropW, 8)               \
    X(User32, SendMessageW, 16)             \
    X(User32, SetFocus, 4)                  \
    X(User32, SetPropW, 12)                 \
    X(User32, SetRect, 20)                  \
    WINDOW_LONG_PTR_IMPORT(X)               \
    X(User32, SetWindowPos, 28)             \
    X(User32, SetWindowsHookExW, 16)        \
    X(User32, SetWindowTextW, 8)            \
    X(User32, ShowWindow, 8)                \
    X(User32, TranslateMessage, 4)          \
    X(User32, UnhookWindowsHookEx, 4)       \
    X(User32, UpdateWindow, 4)              \
    X(Gdi32, CreateFontIndirectW, 4)        \
    X(Gdi32, DeleteObject, 4)               \
    X(Gdi32, GetGlyphIndicesW, 20)          \
    X(Gdi32, GetObjectW, 12)                \
    X(Gdi32, SelectObject, 8)


#define DEFINE_SLOT(library, function, argumentBytes)                                        \
    extern "C" decltype(&function) RuntimeImport##function asm(                               \
        IMPORT_SLOT_NAME(function, argumentBytes));                                          \
    decltype(&function) RuntimeImport##function = 0;
RUNTIME_IMPORTS(DEFINE_SLOT)

#ifndef _WIN64
#define CHECK_BYTES(library, function, argumentBytes) \
    static_assert(ArgumentBytes(&function) == argumentBytes, #function ": argument bytes");
RUNTIME_IMPORTS(CHECK_BYTES)
#endif

#ifndef _WIN64
// The 32-bit runtime's start-up code looks for its shared library by an
// ASCII name through GetModuleHandleA and LoadLibraryA, before WinMain. These
// take those calls to the W forms, so that no ANSI call is imported at all.
namespace {

const int AsciiNameUnits = 64;

// 0 when the name is ASCII and fits.
int WidenAsciiName(const char* name, wchar_t* wide) {
    int i = 0;
    for (; name[i]; ++i) {
        if ((unsigned char)name[i] >= 0x80 || i + 1 >= AsciiNameUnits) return 1;
        wide[i] = (wchar_t)name[i];
    }
    wide[i] = 0;
    return 0;
}

HMODULE WINAPI ModuleHandleOfAsciiName(LPCSTR name) {
    wchar_t wide[AsciiNameUnits];
    if (!name) return GetModuleHandleW(NULL);
    return WidenAsciiName(name, wide) == 0 ? GetModuleHandleW(wide) : NULL;
}

HMODULE WINAPI LoadLibraryOfAsciiName(LPCSTR name) {
    wchar_t wide[AsciiNameUnits];
    return name && WidenAsciiName(name, wide) == 0 ? LoadLibraryW(wide) : NULL;
}

}  // namespace

// Set before the program starts: the start-up code calls them first of all.
extern "C" decltype(&GetModuleHandleA) StartupGetModuleHandleA asm("__imp__GetModuleHandleA@4");
decltype(&GetModuleHandleA) StartupGetModuleHandleA = &ModuleHandleOfAsciiName;
extern "C" decltype(&LoadLibraryA) StartupLoadLibraryA asm("__imp__LoadLibraryA@4");
decltype(&LoadLibraryA) StartupLoadLibraryA = &LoadLibraryOfAsciiName;
#endif

namespace {

enum RuntimeLibrary { User32, Gdi32 };

// The slots, their names one after another ("\0" after each) and their
// libraries, in one order: one loop binds them all.
#define SLOT_ADDRESS(library, function, argumentBytes) &RuntimeImport##function,
#define SLOT_NAME(library, function, argumentBytes) #function "\0"
#define SLOT_LIBRARY(library, function, argumentBytes) library,
#define SLOT_POINTER_TYPE(library, function, argumentBytes) \
    static_assert(sizeof RuntimeImport##function == sizeof(FARPROC), #function ": a procedure pointer");
RUNTIME_IMPORTS(SLOT_POINTER_TYPE)
// Not const, so that it lies in .data, whose 512 bytes of the file have room
// to spare, while .rdata's last 512 are nearly full (update.exe stays below
// 64 KiB). Nothing writes it.
void* Slots[] = {RUNTIME_IMPORTS(SLOT_ADDRESS)};
const char Names[] = RUNTIME_IMPORTS(SLOT_NAME);
const unsigned char Libraries[] = {RUNTIME_IMPORTS(SLOT_LIBRARY)};

}  // namespace

int BindRuntimeImports() {
    HMODULE libraries[] = {LoadLibraryW(L"user32.dll"), LoadLibraryW(L"gdi32.dll")};
    if (!libraries[User32] || !libraries[Gdi32]) return 1;
    int missing = 0;
    const char* name = Names;
    for (unsigned k = 0; k < sizeof Slots / sizeof Slots[0]; ++k) {
        FARPROC procedure = GetProcAddress(libraries[Libraries[k]], name);
        // Copied as it stands: each slot is a pointer to a procedure, typed after its function.
        memcpy(Slots[k], &procedure, sizeof procedure);
        if (!procedure) missing = 1;
        name += strlen(name) + 1;
    }
    return missing;
}
