// UTF-16 texts of the Windows build: names from the W functions, the command
// line and the console.
#ifndef UPDATE_CHECK_WIDE_TEXT_H
#define UPDATE_CHECK_WIDE_TEXT_H

#include <string>

// 0 and the text; 1 when utf8 is not valid UTF-8.
int Utf8ToWide(const std::string& utf8, std::wstring* wide);
std::string WideToUtf8(const std::wstring& wide);
// 0 and the Shift-JIS form; 1 when a character has none (no best-fit substitute).
int WideToShiftJis(const std::wstring& wide, std::string* shiftJis);
// The system's text for an error code, without its closing full stop.
std::string SystemErrorText(unsigned long error);
// A UTF-8 path as the W functions take it: backslashes, full, and in the form
// \\?\C:\... where it has a drive, so that deep folders are reached.
std::wstring FullWidePath(const std::string& path);
// "path: the system's text for the last error".
std::string PathAndLastError(const std::string& path);

#endif
