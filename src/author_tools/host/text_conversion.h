// Names and texts between the program's Shift-JIS (code page 932, as Windows
// maps it) and the UTF-8 the checker reads and prints.
#ifndef UPDATE_CHECK_TEXT_CONVERSION_H
#define UPDATE_CHECK_TEXT_CONVERSION_H

#include <string>

// 0 and the Shift-JIS form; 1 when a character has no exact form in code page
// 932 (no best-fit substitutes such as U+301C for U+FF5E).
int Utf8ToShiftJis(const std::string& utf8, std::string* shiftJis);

// Bytes that are no Shift-JIS character become U+FFFD.
std::string ShiftJisToUtf8(const std::string& shiftJis);

#endif
