// delta_files.h on Windows: positioned ReadFile, CreateProcessW with its output
// in a file, xdelta3.exe looked for beside the tool first.
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

int StartEncoding(const std::string& encoder, uint64_t sourceWindow, const std::string& oldPath,
                  const std::string& newPath, const std::string& out, const std::string& messages,
                  EncodingProcess* process, std::string* problem) {
    std::vector<std::string> words = EncoderArguments(sourceWindow, oldPath, newPath, out);
    words.insert(words.begin(), encoder);
    std::wstring command;
    for (const std::string& word : words) {
        std::wstring wide;
        Utf8ToWide(word, &wide);
        command += (command.empty() ? L"" : L" ") + Quoted(wide);
    }
    SECURITY_ATTRIBUTES inherited = {sizeof inherited, nullptr, TRUE};
    HANDLE output = CreateFileW(FullWidePath(messages).c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherited, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (output == INVALID_HANDLE_VALUE) return *problem = PathAndLastError(messages), 1;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = INVALID_HANDLE_VALUE;
    startup.hStdOutput = output;
    startup.hStdError = output;
    PROCESS_INFORMATION started = {};
    std::wstring program;
    Utf8ToWide(encoder, &program);
    BOOL made = CreateProcessW(program.c_str(), &command[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr,
                               &startup, &started);
    DWORD error = GetLastError();
    CloseHandle(output);
    if (!made) {
        SetLastError(error);
        return *problem = PathAndLastError(encoder), 1;
    }
    CloseHandle(started.hThread);
    process->id = (intptr_t)started.hProcess;
    process->messages = messages;
    return 0;
}

int FinishEncoding(EncodingProcess* process, std::string* problem) {
    HANDLE child = (HANDLE)process->id;
    WaitForSingleObject(child, INFINITE);
    DWORD status = 1;
    GetExitCodeProcess(child, &status);
    CloseHandle(child);
    std::string output, reason;
    ReadLocalFile(process->messages, &output, &reason);
    DeleteFileW(FullWidePath(process->messages).c_str());
    if (status == 0) return 0;
    std::string line = output.substr(0, output.find_first_of("\r\n"));
    *problem = "xdelta3 ended with status " + std::to_string(status) + (line.empty() ? "" : ": " + line);
    return 1;
}
