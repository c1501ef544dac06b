// Texts between the encodings the driver meets: case files and the report are
// UTF-8, the program's windows, boxes, file names and registry values are read
// as UTF-16, file contents are shown as the Shift-JIS a patch author writes,
// and a console wants UTF-16. Nothing here depends on the ANSI code page.
#ifndef E2E_REPORT_TEXT_H
#define E2E_REPORT_TEXT_H

#include <string>

std::wstring Utf8ToWide(const std::string& utf8);
std::string WideToUtf8(const std::wstring& wide);
// Bytes in Shift-JIS (code page 932) as UTF-8, for showing file contents.
std::string ShiftJisToUtf8(const std::string& bytes);

// Writes UTF-8 text to standard output, whether that is a console, a pipe or a file.
void Print(const std::string& utf8);
void Printf(const char* format, ...) __attribute__((format(printf, 1, 2)));

// A UTF-8 text with line feeds and tabs shown as \n and \t, for one-line report entries.
std::string Visible(const std::string& utf8);

// Expands the case-file escapes: \n line feed, \r carriage return, \t tab,
// \\ backslash, and {C*N} for N copies of the character C.
std::string Unescape(const std::string& text);

#endif
