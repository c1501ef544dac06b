#include "text/text.h"

#include <stdarg.h>
#include <stdio.h>

#include "platform/platform.h"

int FormatTextList(char* buffer, size_t size, const char* format, va_list arguments) {
    if (size == 0) return 1;
#ifdef _WIN32
    // The C library's own call, which the C99 form wraps (with a second pass
    // over the arguments to count a cut text's length, never needed here): -1
    // when the text does not fit, size when it fits only without its
    // terminator, and a cut text is left unterminated.
    int length = _vsnprintf(buffer, size, format, arguments);
#else
    int length = vsnprintf(buffer, size, format, arguments);
#endif
    if (length >= 0 && (size_t)length < size) return 0;
    buffer[size - 1] = '\0';
    return 1;
}

int FormatText(char* buffer, size_t size, const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    int failed = FormatTextList(buffer, size, format, arguments);
    va_end(arguments);
    return failed;
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
