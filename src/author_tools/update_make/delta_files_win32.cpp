// delta_files.h on Windows: positioned ReadFile, CreateProcessW with its output
// through a pipe, xdelta3.exe looked for beside the tool first.
#include <windows.h>

#include <vector>

#include "author_tools/update_make/delta_files.h"
#include "author_tools/host/local_files.h"
#include "author_tools/host/wide_text.h"

namespace {

// One argument of a command line as CommandLineToArgvW splits it back.
std::wstring Quoted(const std::wstring& word) {
    std::wstring quoted = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : word) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, L'\\');
    return quoted + L"\"";
}

}  // namespace

LocalReader::~LocalReader() {
    if (handle_ != -1) CloseHandle((HANDLE)handle_);
}

int LocalReader::Open(const std::string& path, std::string* problem) {
    path_ = path;
    HANDLE file = CreateFileW(FullWidePath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    LARGE_INTEGER size;
    if (file == INVALID_HANDLE_VALUE || !GetFileSizeEx(file, &size)) {
        *problem = PathAndLastError(path);
        if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
        return 1;
    }
    handle_ = (intptr_t)file;
    size_ = (uint64_t)size.QuadPart;
    return 0;
}

int LocalReader::ReadAt(uint64_t offset, void* buffer, size_t size, size_t* count, std::string* problem) {
    *count = 0;
    while (*count < size) {
        OVERLAPPED at = {};
        uint64_t position = offset + *count;
        at.Offset = (DWORD)position;
        at.OffsetHigh = (DWORD)(position >> 32);
        size_t left = size - *count;
        DWORD chunk = left > (1u << 30) ? (1u << 30) : (DWORD)left, got = 0;
        if (!ReadFile((HANDLE)handle_, (char*)buffer + *count, chunk, &got, &at)) {
            if (GetLastError() == ERROR_HANDLE_EOF) break;
            return *problem = PathAndLastError(path_), 1;
        }
        if (got == 0) break;
        *count += got;
    }
    return 0;
}

int RenameLocalFile(const std::string& from, const std::string& to, std::string* problem) {
    if (!MoveFileExW(FullWidePath(from).c_str(), FullWidePath(to).c_str(), MOVEFILE_REPLACE_EXISTING)) return *problem = PathAndLastError(to), 1;
    return 0;
}

uint64_t LocalFileSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(FullWidePath(path).c_str(), GetFileExInfoStandard, &data)) return 0;
    return ((uint64_t)data.nFileSizeHigh << 32) | data.nFileSizeLow;
}

std::string FindDeltaEncoder() {
    std::string beside = ToolFolder() + "\\xdelta3.exe";
    if (LocalFileExists(beside)) return beside;
    std::vector<wchar_t> found(32768);
    DWORD length = SearchPathW(nullptr, L"xdelta3.exe", nullptr, (DWORD)found.size(), found.data(), nullptr);
    if (length == 0 || length >= found.size()) return "";
    return WideToUtf8(std::wstring(found.data(), length));
}

const char* DeltaEncoderAdvice() {
    return "no xdelta3.exe beside update-make.exe or on PATH: put the xdelta3 program (3.0 or later) beside update-make.exe";
}

namespace {

// xdelta3.exe takes its arguments in the system's ANSI code page and opens
// its files with the ANSI CreateFile: a path it is given must be spelled
// exactly in that code page (a UTF-8 system code page spells everything).
bool SpelledInAnsi(const std::wstring& path) {
    if (GetACP() == CP_UTF8) return true;
    BOOL usedDefault = FALSE;
    int size = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, path.c_str(), (int)path.size(), nullptr, 0, nullptr,
                                   &usedDefault);
    return size > 0 && !usedDefault;
}

// The form of an existing file's path that the encoder can open: the full
// path in backslashes, else its short (8.3) form where the system has one.
// The \\?\ prefix only where the path is too long without it.
int EncoderPath(const std::string& path, std::wstring* form, std::string* problem) {
    const std::wstring full = FullWidePath(path);
    auto plain = [](const std::wstring& text) {
        return text.compare(0, 4, L"\\\\?\\") == 0 && text.size() - 4 < MAX_PATH ? text.substr(4) : text;
    };
    *form = plain(full);
    if (SpelledInAnsi(*form)) return 0;
    std::vector<wchar_t> shortened(full.size() + 1);
    DWORD length = GetShortPathNameW(full.c_str(), shortened.data(), (DWORD)shortened.size());
    if (length > 0 && length < shortened.size()) {
        *form = plain(std::wstring(shortened.data(), length));
        if (SpelledInAnsi(*form)) return 0;
    }
    *problem = path + ": xdelta3.exe cannot open it: its name has characters the system's code page (" +
               std::to_string(GetACP()) + ") cannot spell and it has no short name; make the patch on a system whose " +
               "language is the game's, or from folders named in plain letters";
    return 1;
}

}  // namespace

int StartEncoding(const std::string& encoder, uint64_t sourceWindow, const std::string& oldPath,
                  const std::string& newPath, const std::string& out, EncodingProcess* process, std::string* problem) {
    // The delta's file is made here, so that it has a short name to give.
    HANDLE made = CreateFileW(FullWidePath(out).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (made == INVALID_HANDLE_VALUE) return *problem = PathAndLastError(out), 1;
    CloseHandle(made);
    std::wstring oldForm, newForm, outForm;
    if (EncoderPath(oldPath, &oldForm, problem) != 0 || EncoderPath(newPath, &newForm, problem) != 0 ||
        EncoderPath(out, &outForm, problem) != 0)
        return 1;
    std::wstring program;
    Utf8ToWide(encoder, &program);
    std::wstring command = Quoted(program);
    for (const std::string& word :
         EncoderArguments(sourceWindow, WideToUtf8(oldForm), WideToUtf8(newForm), WideToUtf8(outForm))) {
        std::wstring wide;
        Utf8ToWide(word, &wide);
        command += L" " + Quoted(wide);
    }
    // Its messages come through a pipe, read to its end when it is finished:
    // no file is held open that another start or the clean-up must open.
    SECURITY_ATTRIBUTES inherited = {sizeof inherited, nullptr, TRUE};
    HANDLE reading = nullptr, writing = nullptr;
    if (!CreatePipe(&reading, &writing, &inherited, 0)) return *problem = "a pipe for xdelta3: " + SystemErrorText(GetLastError()), 1;
    SetHandleInformation(reading, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = INVALID_HANDLE_VALUE;
    startup.hStdOutput = writing;
    startup.hStdError = writing;
    PROCESS_INFORMATION started = {};
    BOOL ran = CreateProcessW(program.c_str(), &command[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr,
                              &startup, &started);
    DWORD error = GetLastError();
    CloseHandle(writing);
    if (!ran) {
        CloseHandle(reading);
        SetLastError(error);
        return *problem = PathAndLastError(encoder), 1;
    }
    CloseHandle(started.hThread);
    process->id = (intptr_t)started.hProcess;
    process->output = (intptr_t)reading;
    return 0;
}

int FinishEncoding(EncodingProcess* process, std::string* problem) {
    HANDLE reading = (HANDLE)process->output;
    std::string output;
    char chunk[4096];
    DWORD got = 0;
    while (ReadFile(reading, chunk, sizeof chunk, &got, nullptr) && got > 0) output.append(chunk, got);
    CloseHandle(reading);
    HANDLE child = (HANDLE)process->id;
    WaitForSingleObject(child, INFINITE);
    DWORD status = 1;
    GetExitCodeProcess(child, &status);
    CloseHandle(child);
    if (status == 0) return 0;
    // Its messages are in the ANSI code page, as its arguments are.
    std::string line = output.substr(0, output.find_first_of("\r\n"));
    std::wstring wide(line.size(), L'\0');
    wide.resize(line.empty() ? 0 : MultiByteToWideChar(CP_ACP, 0, line.data(), (int)line.size(), &wide[0], (int)wide.size()));
    *problem = "xdelta3 ended with status " + std::to_string(status) + (wide.empty() ? "" : ": " + WideToUtf8(wide));
    return 1;
}
