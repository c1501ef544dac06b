// Small text helpers shared by the update.ini reader and the update engine.
#ifndef UPDATE_TEXT_H
#define UPDATE_TEXT_H

#include <stdarg.h>
#include <stddef.h>

// printf into a buffer of the given size. 0 when the whole text fitted, 1 when it
// did not (the buffer then holds a terminated but cut text that must not be used).
int FormatText(char* buffer, size_t size, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
// The same over an argument list.
int FormatTextList(char* buffer, size_t size, const char* format, va_list arguments)
    __attribute__((format(printf, 3, 0)));

// Byte-wise equality where every byte from A to Z counts as its lower-case
// letter, also the second byte of a double-byte character. Written here rather
// than taken from the C runtime, whose _stricmp differs between platforms.
bool EqualIgnoringAsciiCase(const char* left, const char* right);

// Length in bytes of the character that starts at text: 2 for a double-byte
// character of the ANSI code page, else 1.
size_t CharacterLength(const char* text);

// Removes one trailing backslash, but never the second byte of a double-byte
// character such as 表 (0x95 0x5C), which would leave half a character behind.
void RemoveTrailingBackslash(char* path);

#endif
