// The program's functions from USER32 and GDI32, bound at run time instead of
// through the import table: a library in the import table, with everything it
// imports in turn, is loaded before the program's first line runs, before the
// library search is restricted (under Wine, USER32 brings VERSION along).
//
// The pointers carry the names the import libraries give their import slots
// (__imp_...), so the code calls these functions as it always does; only
// update.exe links this file, the test programs keep the import libraries.
#include <windows.h>

#include "shell/procedure_of.h"
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
    X(User32, CallWindowProcW, 20)          \
    X(User32, CreateWindowExW, 48)          \
    X(User32, DefWindowProcW, 16)           \
    X(User32, DestroyWindow, 4)             \
    X(User32, DispatchMessageW, 4)          \
    X(User32, GetFocus, 0)                  \
    X(User32, GetMessageW, 16)              \
    X(User32, GetParent, 4)                 \
    X(User32, GetPropW, 8)                  \
    X(User32, GetSystemMetrics, 4)          \
    X(User32, GetWindowLongW, 8)            \
    X(User32, IsWindow, 4)                  \
    X(User32, LoadCursorW, 8)               \
    X(User32, LoadIconW, 8)                 \
    X(User32, MessageBoxW, 16)              \
    X(User32, PeekMessageW, 20)             \
    X(User32, PostMessageW, 16)             \
    X(User32, PostQuitMessage, 4)           \
    X(User32, RegisterClassW, 4)            \
    X(User32, RemovePropW, 8)               \
    X(User32, SendMessageW, 16)             \
    X(User32, SetFocus, 4)                  \
    X(User32, SetPropW, 12)                 \
    X(User32, SetRect, 20)                  \
    WINDOW_LONG_PTR_IMPORT(X)               \
    X(User32, SetWindowTextW, 8)            \
    X(User32, ShowWindow, 8)                \
    X(User32, TranslateMessage, 4)          \
    X(User32, UpdateWindow, 4)              \
    X(Gdi32, CreateFontIndirectW, 4)        \
    X(Gdi32, DeleteObject, 4)


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

int BindRuntimeImports() {
    HMODULE User32 = LoadLibraryW(L"user32.dll");
    HMODULE Gdi32 = LoadLibraryW(L"gdi32.dll");
    if (!User32 || !Gdi32) return 1;
    int missing = 0;
#define BIND_SLOT(library, function, argumentBytes)                          \
    RuntimeImport##function = ProcedureOf<decltype(&function)>(library, #function); \
    if (!RuntimeImport##function) missing = 1;
    RUNTIME_IMPORTS(BIND_SLOT)
    return missing;
}
