// The names of one folder, listed once and kept for the Win32 backend. The walk
// visits the files of a folder one after another; one listing of the folder
// answers what a search for each name, or a query of each file's stored name,
// would cost a call each (under Wine, the dearest calls of a file).
//
// The backend forgets the listing when it adds or removes a name in that folder
// itself; the program runs once, so nothing older than the run is ever kept.
#ifndef UPDATE_FOLDER_LISTING_WIN32_H
#define UPDATE_FOLDER_LISTING_WIN32_H

#include <wchar.h>

// How many leading units of path are its folder, the last separator included.
int FolderLength(const wchar_t* path);
// path with its last component replaced by name, in result (WideTextUnits
// units); 1 when that does not fit.
int WithLastComponent(const wchar_t* path, const wchar_t* name, wchar_t* result);

enum ListedAnswer {
    ListedFile,    // a search for the path finds a file first
    ListedFolder,  // ... a folder first
    NotListed,     // ... nothing
    CannotTell,    // the listing cannot stand in for the search: ask the system
};
// What FindFirstFile on path finds first. A name with wildcards, or one the
// system trims (a trailing dot or space), a name not among those listed when
// the folder had more names than the listing holds, and a folder that cannot
// be listed cannot be told.
ListedAnswer LookUpListed(const wchar_t* path);

// The stored spelling of the file path names, matched by its long name in any
// letter case; null when the listing does not hold it.
const wchar_t* ListedSpelling(const wchar_t* path);

// To be called after a name was added to or removed from path's folder.
void ForgetListingOf(const wchar_t* path);

#endif
