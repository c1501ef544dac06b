// Code page 932 through the program's own conversions at the boundary to
// Windows (code_page_932.h): the system's tables, without best-fit substitutes.
#include "author_tools/host/text_conversion.h"

#include "author_tools/host/wide_text.h"
#include "platform/code_page_932.h"

int Utf8ToShiftJis(const std::string& utf8, std::string* shiftJis) {
    std::wstring wide;
    if (Utf8ToWide(utf8, &wide) != 0) return 1;
    return WideToShiftJis(wide, shiftJis);
}

std::string ShiftJisToUtf8(const std::string& shiftJis) {
    // At most one unit a byte.
    std::wstring wide(shiftJis.size(), L'\0');
    int count = ShiftJisToUtf16(shiftJis.data(), (int)shiftJis.size(), &wide[0], (int)wide.size());
    wide.resize(count < 0 ? 0 : (size_t)count);
    return WideToUtf8(wide);
}
