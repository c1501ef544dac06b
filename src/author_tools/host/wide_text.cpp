#include "author_tools/host/wide_text.h"

#include <windows.h>

#include "platform/code_page_932.h"

int Utf8ToWide(const std::string& utf8, std::wstring* wide) {
    wide->clear();
    if (utf8.empty()) return 0;
    int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), (int)utf8.size(), nullptr, 0);
    if (length <= 0) return 1;
    wide->resize((size_t)length);
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), (int)utf8.size(), &(*wide)[0], length);
    return 0;
}

std::string WideToUtf8(const std::wstring& wide) {
    std::string utf8;
    if (wide.empty()) return utf8;
    int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), (int)wide.size(), nullptr, 0, nullptr, nullptr);
    utf8.resize((size_t)length);
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), (int)wide.size(), &utf8[0], length, nullptr, nullptr);
    return utf8;
}

std::string SystemErrorText(unsigned long error) {
    wchar_t* message = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                   nullptr, error, 0, (wchar_t*)&message, 0, nullptr);
    std::wstring text = message ? message : L"";
    if (message) LocalFree(message);
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L'.')) text.pop_back();
    return text.empty() ? "error " + std::to_string(error) : WideToUtf8(text);
}

int WideToShiftJis(const std::wstring& wide, std::string* shiftJis) {
    // At most two bytes a unit; no best-fit substitutes (code_page_932.h).
    shiftJis->assign(wide.size() * 2, '\0');
    int inexact = 0;
    int count = Utf16ToShiftJis(wide.data(), (int)wide.size(), &(*shiftJis)[0], (int)shiftJis->size(), &inexact);
    shiftJis->resize(count < 0 ? 0 : (size_t)count);
    return count < 0 || inexact ? 1 : 0;
}

std::wstring FullWidePath(const std::string& path) {
    std::wstring wide;
    Utf8ToWide(path, &wide);
    for (wchar_t& c : wide)
        if (c == L'/') c = L'\\';
    DWORD length = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (length == 0) return wide;
    std::wstring full(length, L'\0');
    length = GetFullPathNameW(wide.c_str(), length, &full[0], nullptr);
    full.resize(length);
    if (full.size() >= 3 && full[1] == L':') return L"\\\\?\\" + full;
    return full;
}

std::string PathAndLastError(const std::string& path) { return path + ": " + SystemErrorText(GetLastError()); }
