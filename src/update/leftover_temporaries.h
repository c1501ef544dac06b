// Temporary files that an interrupted run left behind. A copy writes its new
// bytes to "~upd<8 hex digits>-<1 to 4 hex digits>.tmp" beside the file it
// replaces and renames it over that file; a run killed between the two leaves
// the temporary file. A later run removes such files, and only them, in the
// folders it writes to, before it asks the volume for room.
#ifndef UPDATE_LEFTOVER_TEMPORARIES_H
#define UPDATE_LEFTOVER_TEMPORARIES_H

// Whether name (one component) has exactly the temporary files' form: "~upd",
// eight lowercase hex digits, "-", one to four lowercase hex digits, ".tmp".
bool IsTemporaryFileName(const char* name);

// Removes every file of the temporary form directly in folder (not below it),
// whatever its marks; names of any other form, and folders, stay. A folder
// that does not exist holds none. How many were removed.
int RemoveLeftoverTemporaries(const char* folder);

#endif
