// The program's one channel to the user: every box goes through here. With a
// window it is a message box; in a run without one (/S) it is an entry of the
// log file, when the command line names one, and nothing otherwise.
#ifndef UPDATE_STATE_USER_MESSAGES_H
#define UPDATE_STATE_USER_MESSAGES_H

#include "platform/platform.h"

// A modal box with an OK button, or its log entry: the title, a tab, the text
// and CR LF, where a backslash, line feed, carriage return or tab of either
// text is written as \\, \n, \r or \t, so that each box is one line.
void ShowUserMessage(WindowHandle owner, const char* text, const char* title, unsigned type);

#endif
