#include "author_tools/host/encoding_guess.h"
#include "text/shift_jis.h"

namespace {

// The length of the UTF-8 character at i, or 0 when none starts there.
size_t Utf8Length(const std::string& text, size_t i) {
    unsigned char byte = (unsigned char)text[i];
    size_t length = byte < 0x80 ? 1 : (byte >> 5) == 6 ? 2 : (byte >> 4) == 14 ? 3 : (byte >> 3) == 30 ? 4 : 0;
    if (length == 0 || i + length > text.size()) return 0;
    for (size_t k = 1; k < length; ++k)
        if (((unsigned char)text[i + k] >> 6) != 2) return 0;
    return length;
}

// Lead and trail bytes as code page 932 forms its double-byte characters.
bool ValidShiftJis(const std::string& text) {
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned char byte = (unsigned char)text[i];
        if (byte < 0x80 || (byte >= 0xA1 && byte <= 0xDF)) continue;
        bool lead = IsShiftJisLeadByte(byte);
        if (!lead || i + 1 >= text.size()) return false;
        unsigned char trail = (unsigned char)text[++i];
        if (trail < 0x40 || trail == 0x7F || trail > 0xFC) return false;
    }
    return true;
}

}  // namespace

bool LooksLikeUtf8(const std::string& bytes) {
    if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) return true;
    bool wide = false, beyondAscii = false;
    for (size_t i = 0; i < bytes.size();) {
        size_t length = Utf8Length(bytes, i);
        if (length == 0) return false;
        beyondAscii = beyondAscii || length > 1;
        wide = wide || length > 2;
        i += length;
    }
    return beyondAscii && (wide || !ValidShiftJis(bytes));
}
