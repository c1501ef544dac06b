#include "shell/system_libraries.h"

#include <windows.h>
#include <commctrl.h>

void RestrictLibrarySearch() {
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    if (!kernel) return;
    auto restrict = reinterpret_cast<decltype(&SetDefaultDllDirectories)>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
    if (restrict) restrict(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

void InitCommonControlsLibrary() {
    // Found through the manifest's side-by-side assembly or in the system
    // folder, the only places the restricted search looks.
    HMODULE library = LoadLibraryW(L"comctl32.dll");
    if (!library) return;
    auto initialise = reinterpret_cast<decltype(&InitCommonControls)>(
        reinterpret_cast<void*>(GetProcAddress(library, MAKEINTRESOURCEA(17))));
    if (initialise) initialise();
}
