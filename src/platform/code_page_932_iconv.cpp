// Code page 932 through iconv, for host tests of the conversions built on it.
#include <errno.h>
#include <iconv.h>

#include "platform/code_page_932.h"

namespace {

// Converts as far as it can; returns bytes written or -1 when the output is full.
// Input iconv cannot convert is stepped over by the caller's rule.
int Convert(const char* from, const char* to, const char* input, size_t inputSize, char* output,
            size_t outputSize, size_t unitSize, int* inexact, const char* replacement, size_t replacementSize) {
    iconv_t converter = iconv_open(to, from);
    if (converter == (iconv_t)-1) return -1;
    char* in = const_cast<char*>(input);
    char* out = output;
    size_t inLeft = inputSize;
    size_t outLeft = outputSize;
    int result = 0;
    while (inLeft > 0) {
        if (iconv(converter, &in, &inLeft, &out, &outLeft) != (size_t)-1) break;
        if (errno == E2BIG) {
            result = -1;
            break;
        }
        // Unconvertible or invalid input: one unit becomes the replacement.
        if (outLeft < replacementSize) {
            result = -1;
            break;
        }
        for (size_t i = 0; i < replacementSize; ++i) *out++ = replacement[i];
        outLeft -= replacementSize;
        size_t skip = unitSize;
        // A surrogate pair is one character.
        if (unitSize == 2 && inLeft >= 4) {
            unsigned short unit;
            __builtin_memcpy(&unit, in, 2);
            if (unit >= 0xD800 && unit < 0xDC00) skip = 4;
        }
        if (skip > inLeft) skip = inLeft;
        in += skip;
        inLeft -= skip;
        if (inexact) *inexact = 1;
    }
    iconv_close(converter);
    return result < 0 ? -1 : (int)(outputSize - outLeft);
}

}  // namespace

int ShiftJisToUtf16(const char* text, int length, WideChar* wide, int wideSize) {
    const char16_t middleDot = u'\x30FB';
    int bytes = Convert("CP932", "UTF-16LE", text, (size_t)length, (char*)wide, (size_t)wideSize * 2, 1, nullptr,
                        (const char*)&middleDot, 2);
    return bytes < 0 ? -1 : bytes / 2;
}

int Utf16ToShiftJis(const WideChar* wide, int length, char* text, int size, int* inexact) {
    *inexact = 0;
    return Convert("UTF-16LE", "CP932", (const char*)wide, (size_t)length * 2, text, (size_t)size, 2, inexact,
                   "?", 1);
}
