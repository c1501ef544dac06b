// Whether a relative path joined to a folder stays below it. Windows trims a
// component of dots and spaces alone (".. " becomes "..", "..." becomes ".."),
// and both slashes separate, so such a component with two dots or more leads
// out of the folder. The rule has two uses, one strict and one lenient.
#ifndef UPDATE_TEXT_RELATIVE_PATH_H
#define UPDATE_TEXT_RELATIVE_PATH_H

// The strict use, for names the patch itself lists (deltas.txt): every
// component is a real name. Refused: an empty path or component, a leading
// slash, a ':' or a control character, and a component of dots and spaces alone
// (one dot included). A double-byte character (表 is 0x95 0x5C) is one
// character, as the system reads the name.
bool IsPlainRelativePath(const char* path);

// The lenient use, for update.ini's files to delete, whose entries are kept as
// the game's patches wrote them: only a component that leads out counts.
// Every byte is looked at: a 0x5C second byte of a double-byte character then
// only splits a name more finely, which can skip an entry but never miss a
// real "..".
bool MayLeaveGameFolder(const char* entry);

#endif
