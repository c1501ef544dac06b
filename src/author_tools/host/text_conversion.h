// Names and texts between the program's Shift-JIS (code page 932, as Windows
// maps it) and the UTF-8 the checker reads and prints.
#ifndef UPDATE_CHECK_TEXT_CONVERSION_H
#define UPDATE_CHECK_TEXT_CONVERSION_H

#include <stdint.h>

#include <string>

// 0 and the Shift-JIS form; 1 when a character has no exact form in code page
// 932 (no best-fit substitutes such as U+301C for U+FF5E).
int Utf8ToShiftJis(const std::string& utf8, std::string* shiftJis);

// Bytes that are no Shift-JIS character become U+FFFD.
std::string ShiftJisToUtf8(const std::string& shiftJis);

// The first character of a UTF-8 text that has no Shift-JIS form, for a
// message (UTF-8): its position (1 for the first character), the character,
// its code point, and the look-alike to write where code page 932 has one,
// e.g. "character 5, <wave dash> U+301C, has no Shift-JIS form: write <fullwidth
// tilde> U+FF5E, which looks the same, instead". Empty when every character has
// a form.
std::string WhyNoShiftJisForm(const std::string& utf8);

// The character code page 932 has for one that looks the same, or 0.
uint32_t ShiftJisLookAlike(uint32_t code);

#endif
