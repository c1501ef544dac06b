// A function of a loaded library, typed after its declaration, so that the
// calling convention (which differs on 32-bit Windows) comes from there.
#ifndef UPDATE_PROCEDURE_OF_H
#define UPDATE_PROCEDURE_OF_H

#include <windows.h>

template <typename Function>
Function ProcedureOf(HMODULE library, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

#endif
