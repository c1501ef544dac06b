// Texts and paths at the boundary to the UTF-16 interfaces of Windows. The
// program's own texts stay Shift-JIS bytes; these turn them into UTF-16 on the
// way out and back into Shift-JIS on the way in, in fixed buffers.
//
// Status results: 0 success, 1 failure (the result does not fit).
#ifndef UPDATE_WINDOWS_TEXT_H
#define UPDATE_WINDOWS_TEXT_H

#include "platform/code_page_932.h"

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

// A command line in Shift-JIS, read as command_line_syntax.h reads it: the
// program path as it stands (in its short form where only that converts
// exactly), then /S, the game folder as /D="..." and the log file as
// /LOG="..." (each in its full form, a relative one resolved, and in its short
// form where only that converts exactly), then the arguments not understood,
// converted one character at a time, each whole or not at all. Read again,
// the line gives the same choices. A game folder or log file that does not
// fit becomes "|", which names nothing, so that a cut path can never name
// another folder. 1 when the program path, /S or the game folder's "|" does
// not fit.
int CommandLineFromWide(const WideChar* line, LookUpPathForms lookUp, char* text, int size);

#endif
