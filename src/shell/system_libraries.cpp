#include "shell/system_libraries.h"

#include <windows.h>
#include <commctrl.h>

#include "shell/procedure_of.h"

void RestrictLibrarySearch() {
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    if (!kernel) return;
    auto restrict = ProcedureOf<decltype(&SetDefaultDllDirectories)>(kernel, "SetDefaultDllDirectories");
    if (restrict) restrict(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

void InitCommonControlsLibrary() {
    // Found through the manifest's side-by-side assembly or in the system
    // folder, the only places the restricted search looks.
    HMODULE library = LoadLibraryW(L"comctl32.dll");
    if (!library) return;
    auto initialise = ProcedureOf<decltype(&InitCommonControls)>(library, MAKEINTRESOURCEA(17));
    if (initialise) initialise();
}
