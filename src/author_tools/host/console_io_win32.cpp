#include "author_tools/host/console_io.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>
#include <shellapi.h>

#include "author_tools/host/wide_text.h"

// The ANSI argv holds the arguments in the system code page, which loses names
// outside it; the wide command line has them all.
std::vector<std::string> Utf8Arguments(int, char**) {
    std::vector<std::string> arguments;
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!wide) return arguments;
    for (int i = 1; i < count; ++i) arguments.push_back(WideToUtf8(wide[i]));
    LocalFree(wide);
    return arguments;
}

void WriteUtf8(FILE* stream, const std::string& text) {
    HANDLE handle = GetStdHandle(stream == stderr ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
    DWORD mode;
    std::wstring wide;
    if (GetConsoleMode(handle, &mode) && Utf8ToWide(text, &wide) == 0) {
        fflush(stream);
        DWORD written;
        WriteConsoleW(handle, wide.data(), (DWORD)wide.size(), &written, nullptr);
        return;
    }
    // A pipe or a file gets the UTF-8 bytes, line ends untranslated.
    _setmode(_fileno(stream), _O_BINARY);
    fwrite(text.data(), 1, text.size(), stream);
}
