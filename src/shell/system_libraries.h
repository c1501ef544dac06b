// Libraries come only from the system folder: the program may run elevated
// from a folder where anyone could have placed a DLL beside it.
#ifndef UPDATE_SYSTEM_LIBRARIES_H
#define UPDATE_SYSTEM_LIBRARIES_H

// Restricts every later library load to the system folder. Looked up at run
// time: where the call does not exist the program starts all the same.
void RestrictLibrarySearch();

// Loads the common-controls library (after the restriction, which a static
// import would escape) and runs its initialisation, export ordinal 17.
void InitCommonControlsLibrary();

#endif
