// Texts between the three encodings the driver meets: case files and the
// report are UTF-8, the program's texts are ANSI (Shift-JIS under a Japanese
// locale), and a console wants UTF-16.
#ifndef E2E_REPORT_TEXT_H
#define E2E_REPORT_TEXT_H

#include <string>

std::string Utf8ToAnsi(const std::string& text);
std::string AnsiToUtf8(const std::string& text);

// Writes UTF-8 text to standard output, whether that is a console, a pipe or a file.
void Print(const std::string& utf8);
void Printf(const char* format, ...) __attribute__((format(printf, 1, 2)));

// A UTF-8 text with line feeds and tabs shown as \n and \t, for one-line report entries.
std::string Visible(const std::string& utf8);

// Expands the case-file escapes: \n line feed, \r carriage return, \t tab,
// \\ backslash, and {C*N} for N copies of the character C.
std::string Unescape(const std::string& text);

#endif
