// Conversion between Shift-JIS (code page 932) and UTF-16, whatever the
// system's ANSI code page is. The program links the Win32 conversion calls;
// host tests link iconv's CP932 to test the code built on these two.
#ifndef UPDATE_CODE_PAGE_932_H
#define UPDATE_CODE_PAGE_932_H

#ifdef _WIN32
typedef wchar_t WideChar;  // what the W interfaces take
#else
typedef char16_t WideChar;
#endif
static_assert(sizeof(WideChar) == 2, "a UTF-16 unit");

// Converts length bytes of Shift-JIS into wide; the count of units written,
// or -1 when they do not fit wideSize units.
int ShiftJisToUtf16(const char* text, int length, WideChar* wide, int wideSize);

// Converts length UTF-16 units into text. A character without a Shift-JIS
// form becomes '?' (never a look-alike) and sets *inexact. The count of bytes
// written, or -1 when they do not fit size bytes.
int Utf16ToShiftJis(const WideChar* wide, int length, char* text, int size, int* inexact);

#endif
