#include "description/text.h"

#include <stdarg.h>
#include <stdio.h>

#include "platform/platform.h"

int FormatText(char* buffer, size_t size, const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    int length = vsnprintf(buffer, size, format, arguments);
    va_end(arguments);
    return (length < 0 || (size_t)length >= size) ? 1 : 0;
}

static unsigned char FoldAsciiLetter(unsigned char byte) {
    return (byte >= 'A' && byte <= 'Z') ? (unsigned char)(byte - 'A' + 'a') : byte;
}

bool EqualIgnoringAsciiCase(const char* left, const char* right) {
    const unsigned char* a = (const unsigned char*)left;
    const unsigned char* b = (const unsigned char*)right;
    for (;; ++a, ++b) {
        if (FoldAsciiLetter(*a) != FoldAsciiLetter(*b)) return false;
        if (*a == 0) return true;
    }
}

size_t CharacterLength(const char* text) {
    return (PlatformIsLeadByte((unsigned char)text[0]) && text[1] != '\0') ? 2 : 1;
}

void RemoveTrailingBackslash(char* path) {
    char* last = 0;
    for (char* p = path; *p; p += CharacterLength(p)) last = p;
    if (last && *last == '\\') *last = '\0';
}
