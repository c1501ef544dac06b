// Code page 932 through the system's own tables, without best-fit substitutes.
#include "check/text_conversion.h"

#include <windows.h>

#include "check/wide_text.h"

int Utf8ToShiftJis(const std::string& utf8, std::string* shiftJis) {
    std::wstring wide;
    if (Utf8ToWide(utf8, &wide) != 0) return 1;
    return WideToShiftJis(wide, shiftJis);
}

std::string ShiftJisToUtf8(const std::string& shiftJis) {
    std::wstring wide;
    if (!shiftJis.empty()) {
        int length = MultiByteToWideChar(932, 0, shiftJis.data(), (int)shiftJis.size(), nullptr, 0);
        wide.resize((size_t)length);
        MultiByteToWideChar(932, 0, shiftJis.data(), (int)shiftJis.size(), &wide[0], length);
    }
    return WideToUtf8(wide);
}
