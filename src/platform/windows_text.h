// Texts and paths at the boundary to the UTF-16 interfaces of Windows. The
// program's own texts stay Shift-JIS bytes; these turn them into UTF-16 on the
// way out and back into Shift-JIS on the way in, in fixed buffers.
//
// Status results: 0 success, 1 failure (the result does not fit).
#ifndef UPDATE_WINDOWS_TEXT_H
#define UPDATE_WINDOWS_TEXT_H

#include "code_page_932.h"

// UTF-16 room for any text of the program: every text it hands over fits its
// 1024-byte buffers, and each Shift-JIS byte gives at most one UTF-16 unit.
enum { WideTextUnits = 1024 };

// A NUL-terminated Shift-JIS text to NUL-terminated UTF-16; empty when it
// does not fit.
int ToWide(const char* text, WideChar* wide, int wideSize);

// length units of the name of an existing file or folder, or of a path naming
// one, in Shift-JIS: exactly when it converts exactly, else its short form
// (shortLength units; none when 0) when that does, else with '?' for the
// characters Shift-JIS cannot spell, which names nothing. The count of bytes
// written, unterminated, or -1 when they do not fit size bytes.
int ConvertNamingForm(const WideChar* wide, int length, const WideChar* shortForm, int shortLength, char* text,
                      int size);

// The same for a NUL-terminated name, into a NUL-terminated text: exactly when
// it converts exactly, else its short form when that does, else with '?' for
// the characters Shift-JIS cannot spell, which names nothing. shortForm may be
// null or empty (no short form known).
int NameFromWide(const WideChar* name, const WideChar* shortForm, char* text, int size);

// What the system knows of a path on the command line: its full form (a
// relative path resolved against the folder the program was started in) and
// its short (8.3) form. Empty when unknown, or not asked for.
struct PathForms {
    WideChar full[WideTextUnits];
    WideChar shortForm[WideTextUnits];
};
// Fills forms for the length units of path (not terminated); the full form
// only when resolve is true.
typedef void (*LookUpPathForms)(const WideChar* path, int length, bool resolve, PathForms* forms);

// A command line in Shift-JIS, read as command_line_syntax.h reads it. The
// program path, the /LOG= file and the game folder are converted as names:
// each in its full form, and in its short form where only that converts
// exactly (the program path is taken as it stands, only its short form is
// looked up). A log file or game folder that does not fit becomes "|", which
// names nothing, so that a cut path can never name another folder. The rest
// is converted one character at a time, as much as fits. 1 when even the
// program path does not fit.
int CommandLineFromWide(const WideChar* line, LookUpPathForms lookUp, char* text, int size);

#endif
