#include "report_text.h"

#include <windows.h>

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>

#include "program_driver.h"

std::wstring Utf8ToWide(const std::string& utf8) { return CodePageToWide(utf8, CP_UTF8); }

std::string WideToUtf8(const std::wstring& wide) { return WideToCodePage(wide, CP_UTF8); }

std::string ShiftJisToUtf8(const std::string& bytes) { return WideToUtf8(ShiftJisToWide(bytes)); }

void Print(const std::string& utf8) {
    HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    DWORD written = 0;
    if (GetConsoleMode(output, &mode)) {
        // A console takes UTF-16 and shows it in the terminal's own encoding.
        std::wstring wide = Utf8ToWide(utf8);
        WriteConsoleW(output, wide.data(), (DWORD)wide.size(), &written, NULL);
    } else {
        WriteFile(output, utf8.data(), (DWORD)utf8.size(), &written, NULL);
    }
}

void Printf(const char* format, ...) {
    char buffer[8192];
    va_list arguments;
    va_start(arguments, format);
    int length = vsnprintf(buffer, sizeof buffer, format, arguments);
    va_end(arguments);
    if (length < 0) return;
    if ((size_t)length >= sizeof buffer) length = sizeof buffer - 1;
    Print(std::string(buffer, length));
}

std::string Visible(const std::string& utf8) {
    std::string shown;
    for (char c : utf8) {
        if (c == '\n') shown += "\\n";
        else if (c == '\r') shown += "\\r";
        else if (c == '\t') shown += "\\t";
        else shown += c;
    }
    return shown;
}

std::string Unescape(const std::string& text) {
    std::string result;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\\' && i + 1 < text.size()) {
            char next = text[i + 1];
            if (next == 'n') { result += '\n'; ++i; continue; }
            if (next == 'r') { result += '\r'; ++i; continue; }
            if (next == 't') { result += '\t'; ++i; continue; }
            if (next == '\\') { result += '\\'; ++i; continue; }
        }
        // {x*600}: a long run of one character (one UTF-8 sequence) without writing it out.
        if (c == '{' && i + 1 < text.size()) {
            unsigned char lead = (unsigned char)text[i + 1];
            size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
            size_t star = i + 1 + length;
            size_t close = star < text.size() && text[star] == '*' ? text.find('}', star) : std::string::npos;
            if (close != std::string::npos) {
                std::string digits = text.substr(star + 1, close - star - 1);
                if (!digits.empty() && digits.find_first_not_of("0123456789") == std::string::npos) {
                    std::string character = text.substr(i + 1, length);
                    for (int n = atoi(digits.c_str()); n > 0; --n) result += character;
                    i = close;
                    continue;
                }
            }
        }
        result += c;
    }
    return result;
}
