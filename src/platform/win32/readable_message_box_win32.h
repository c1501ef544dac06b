// Message boxes whose text the box's own font may not draw. The system lays a
// box out in its message font; on a system without Japanese fonts linked to
// that font (a plain Wine prefix under an English locale) every Japanese
// character of the text comes out as a missing-glyph box. Such a box gets its
// text drawn in a Japanese font instead, and grows to hold it.
#ifndef UPDATE_READABLE_MESSAGE_BOX_WIN32_H
#define UPDATE_READABLE_MESSAGE_BOX_WIN32_H

#include <windows.h>

// MessageBoxW, with the same owner, text, title, style and answer. Where the
// box's font has a glyph for every character of the text, the box is left as
// the system made it. One box at a time per program: the boxes are shown by
// the thread of the program's windows.
int ReadableMessageBox(HWND owner, const wchar_t* text, const wchar_t* title, UINT type);

#endif
