// Which character of a text has no Shift-JIS form, described for the author.
// The literals here are ASCII: the compiler writes other characters in code
// page 932, so the characters named are built from their code points.
#include "author_tools/host/text_conversion.h"

#include <stdint.h>
#include <stdio.h>

namespace {

// Characters whose code page 932 look-alike has another code point: what
// Shift-JIS editors and other code pages write for the same glyph.
const uint32_t LookAlikes[][2] = {
    {0x301C, 0xFF5E},  // WAVE DASH: FULLWIDTH TILDE
    {0x2212, 0xFF0D},  // MINUS SIGN: FULLWIDTH HYPHEN-MINUS
    {0x2016, 0x2225},  // DOUBLE VERTICAL LINE: PARALLEL TO
    {0x00AC, 0xFFE2},  // NOT SIGN: FULLWIDTH NOT SIGN
    {0x2014, 0x2015},  // EM DASH: HORIZONTAL BAR
    {0x00A2, 0xFFE0},  // CENT SIGN: FULLWIDTH CENT SIGN
    {0x00A3, 0xFFE1},  // POUND SIGN: FULLWIDTH POUND SIGN
    {0x00A6, 0xFFE4},  // BROKEN BAR: FULLWIDTH BROKEN BAR
    {0x00A5, 0xFFE5},  // YEN SIGN (code page 932's 0x5C is the backslash): FULLWIDTH YEN SIGN
    {0x203E, 0xFFE3},  // OVERLINE: FULLWIDTH MACRON
};

std::string Utf8Of(uint32_t code) {
    std::string text;
    if (code < 0x80) {
        text += (char)code;
    } else if (code < 0x800) {
        text += (char)(0xC0 | (code >> 6));
        text += (char)(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        text += (char)(0xE0 | (code >> 12));
        text += (char)(0x80 | ((code >> 6) & 0x3F));
        text += (char)(0x80 | (code & 0x3F));
    } else {
        text += (char)(0xF0 | (code >> 18));
        text += (char)(0x80 | ((code >> 12) & 0x3F));
        text += (char)(0x80 | ((code >> 6) & 0x3F));
        text += (char)(0x80 | (code & 0x3F));
    }
    return text;
}

std::string CodePoint(uint32_t code) {
    char text[16];
    snprintf(text, sizeof text, "U+%04X", (unsigned)code);
    return text;
}

// The length of the UTF-8 character at i and its code point; 0 when none starts there.
size_t DecodeUtf8(const std::string& text, size_t i, uint32_t* code) {
    unsigned char byte = (unsigned char)text[i];
    size_t length = byte < 0x80 ? 1 : (byte >> 5) == 6 ? 2 : (byte >> 4) == 14 ? 3 : (byte >> 3) == 30 ? 4 : 0;
    if (length == 0 || i + length > text.size()) return 0;
    *code = length == 1 ? byte : length == 2 ? byte & 0x1F : length == 3 ? byte & 0x0F : byte & 0x07;
    for (size_t k = 1; k < length; ++k) {
        unsigned char next = (unsigned char)text[i + k];
        if ((next >> 6) != 2) return 0;
        *code = (*code << 6) | (next & 0x3F);
    }
    return length;
}

}  // namespace

uint32_t ShiftJisLookAlike(uint32_t code) {
    for (const auto& pair : LookAlikes)
        if (pair[0] == code) return pair[1];
    return 0;
}

std::string WhyNoShiftJisForm(const std::string& utf8) {
    size_t position = 1;
    for (size_t i = 0; i < utf8.size(); ++position) {
        uint32_t code = 0;
        size_t length = DecodeUtf8(utf8, i, &code);
        if (length == 0) return "byte " + std::to_string(i + 1) + " is no UTF-8";
        std::string character = utf8.substr(i, length), ignored;
        i += length;
        if (Utf8ToShiftJis(character, &ignored) == 0) continue;
        std::string why = "character " + std::to_string(position) + ", " + character + " " + CodePoint(code) +
                          ", has no Shift-JIS form";
        if (uint32_t alike = ShiftJisLookAlike(code))
            return why + ": write " + Utf8Of(alike) + " " + CodePoint(alike) + ", which looks the same, instead";
        return why + ": leave it out or write another character";
    }
    return "";
}
