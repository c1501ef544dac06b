#ifndef UPDATE_RUNTIME_IMPORTS_H
#define UPDATE_RUNTIME_IMPORTS_H

// Loads USER32 and GDI32 (after the library search has been restricted) and
// binds every function of theirs that the program calls. 0 when all were
// found, 1 otherwise; no window or font call may be made before it.
int BindRuntimeImports();

#endif
