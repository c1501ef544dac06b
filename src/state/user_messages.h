// The program's one channel to the user: every box goes through here. With a
// window it is a message box; in a run without one (/S) it is an entry of the
// log file, when the command line names one, and nothing otherwise.
//
// Beside the boxes the log file gets notes: what the run looked at and where it
// stopped, which no box says. They are written with and without a window, the
// boxes staying boxes with one. A note is one line of "# ", the text and CR LF,
// with the escapes of a box's line, and never holds a tab: a box's line always
// holds exactly one.
#ifndef UPDATE_STATE_USER_MESSAGES_H
#define UPDATE_STATE_USER_MESSAGES_H

#include "platform/platform.h"

// A modal box with an OK button, or its log entry: the title, a tab, the text
// and CR LF, where a backslash, line feed, carriage return or tab of either
// text is written as \\, \n, \r or \t, so that each box is one line.
void ShowUserMessage(WindowHandle owner, const char* text, const char* title, unsigned type);

// A note of printf's form (Shift-JIS) in the log file, when there is one. A
// note longer than NoteSize bytes is cut at a character.
enum { NoteSize = 2048 };
void NoteInLog(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The note of the file or folder at which a stage stopped ("コピー", "確認"),
// with the system's reason: its Japanese text where it has one, and the error
// number.
void NoteStoppedAt(const char* stage, const char* path, unsigned error);

#endif
