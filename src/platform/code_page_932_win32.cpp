// Code page 932 through the Win32 conversion calls, named explicitly so that
// the system's ANSI code page never takes part.
#include <windows.h>

#include "platform/code_page_932.h"

namespace {
const UINT ShiftJis = 932;
}

int ShiftJisToUtf16(const char* text, int length, WideChar* wide, int wideSize) {
    if (length == 0) return 0;
    int count = MultiByteToWideChar(ShiftJis, 0, text, length, wide, wideSize);
    return count > 0 ? count : -1;
}

int Utf16ToShiftJis(const WideChar* wide, int length, char* text, int size, int* inexact) {
    *inexact = 0;
    if (length == 0) return 0;
    // No best fit: a character without its own Shift-JIS form must not turn
    // into a look-alike that names another file.
    BOOL usedDefault = FALSE;
    int count = WideCharToMultiByte(ShiftJis, WC_NO_BEST_FIT_CHARS, wide, length, text, size, "?", &usedDefault);
    if (count <= 0) return -1;
    *inexact = usedDefault ? 1 : 0;
    return count;
}
