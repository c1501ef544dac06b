// Code page 932 through glibc's iconv "CP932", which follows the Windows table
// (0x8160 is U+FF5E, 0x817C U+FF0D, 0x8161 U+2225, 0x81CA U+FFE2). Its encoder
// also takes a few other characters one way (U+301C to 0x8160, U+2212 to
// 0x817C), which Windows only does as a best fit; only a form that decodes back
// to the same character counts.
#include "author_tools/host/text_conversion.h"

#include <errno.h>
#include <iconv.h>

namespace {

enum Direction { ToShiftJis, ToUtf8 };

// One converter per direction for the whole run: opening one costs more than
// converting a name. One per thread: a converter keeps its state.
struct Converters {
    iconv_t toShiftJis = iconv_open("CP932", "UTF-8");
    iconv_t toUtf8 = iconv_open("UTF-8", "CP932");
    ~Converters() {
        for (iconv_t converter : {toShiftJis, toUtf8})
            if (converter != (iconv_t)-1) iconv_close(converter);
    }
};

iconv_t Converter(Direction direction) {
    thread_local Converters converters;
    return direction == ToShiftJis ? converters.toShiftJis : converters.toUtf8;
}

// ASCII is the same bytes in both (code page 932 keeps 0x5C a backslash and
// 0x7E a tilde), and most names are ASCII alone.
bool IsAscii(const std::string& text) {
    for (char c : text)
        if ((unsigned char)c >= 0x80) return false;
    return true;
}

// Every byte sequence the source cannot hold is either refused (1) or replaced
// by replacement when that is not empty.
int Convert(Direction direction, const std::string& input, const std::string& replacement, std::string* output) {
    iconv_t converter = Converter(direction);
    if (converter == (iconv_t)-1) return 1;
    iconv(converter, nullptr, nullptr, nullptr, nullptr);
    output->clear();
    char* in = const_cast<char*>(input.data());
    size_t inLeft = input.size();
    char buffer[4096];
    while (inLeft > 0) {
        char* out = buffer;
        size_t outLeft = sizeof buffer;
        size_t done = iconv(converter, &in, &inLeft, &out, &outLeft);
        output->append(buffer, (size_t)(out - buffer));
        if (done != (size_t)-1 || errno == E2BIG) continue;
        if (replacement.empty()) return 1;
        output->append(replacement);
        ++in;
        --inLeft;
        iconv(converter, nullptr, nullptr, nullptr, nullptr);
    }
    return 0;
}

}  // namespace

int Utf8ToShiftJis(const std::string& utf8, std::string* shiftJis) {
    if (IsAscii(utf8)) return *shiftJis = utf8, 0;
    std::string back;
    if (Convert(ToShiftJis, utf8, "", shiftJis) != 0) return 1;
    if (Convert(ToUtf8, *shiftJis, "", &back) != 0 || back != utf8) return 1;
    return 0;
}

std::string ShiftJisToUtf8(const std::string& shiftJis) {
    if (IsAscii(shiftJis)) return shiftJis;
    std::string utf8;
    Convert(ToUtf8, shiftJis, "\xEF\xBF\xBD", &utf8);
    return utf8;
}
