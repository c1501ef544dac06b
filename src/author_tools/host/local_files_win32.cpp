// local_files.h on Windows: the W functions on full \\?\ paths, so that names
// outside the ANSI code page and folders deeper than MAX_PATH are reached.
#include <string.h>
#include <windows.h>

#include <vector>

#include "author_tools/host/local_files.h"
#include "author_tools/host/text_conversion.h"
#include "author_tools/host/wide_text.h"

namespace {

const DWORD ChunkSize = 1 << 20;



struct Handle {
    HANDLE value;
    explicit Handle(HANDLE v) : value(v) {}
    ~Handle() {
        if (value != INVALID_HANDLE_VALUE) CloseHandle(value);
    }
};

HANDLE OpenForReading(const std::string& path) {
    return CreateFileW(FullWidePath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
}

HANDLE CreateNew(const std::string& path) {
    return CreateFileW(FullWidePath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Reads up to size bytes, less only at the end of the file; -1 on an error.
long long ReadFully(HANDLE file, char* buffer, DWORD size) {
    DWORD done = 0;
    while (done < size) {
        DWORD count = 0;
        if (!ReadFile(file, buffer + done, size - done, &count, nullptr)) return -1;
        if (count == 0) break;
        done += count;
    }
    return done;
}

// Reads until at least need bytes are in or the file ends, room at most: one
// ReadFile on a file that holds them (even when need is 0).
long long ReadAtLeast(HANDLE file, char* buffer, DWORD need, DWORD room) {
    DWORD done = 0;
    for (;;) {
        DWORD count = 0;
        if (!ReadFile(file, buffer + done, room - done, &count, nullptr)) return -1;
        done += count;
        if (count == 0 || done >= need) return done;
    }
}

int WriteFully(HANDLE file, const char* data, size_t size) {
    while (size > 0) {
        DWORD count = 0;
        DWORD chunk = size > ChunkSize ? ChunkSize : (DWORD)size;
        if (!WriteFile(file, data, chunk, &count, nullptr) || count == 0) return 1;
        data += count;
        size -= count;
    }
    return 0;
}

}  // namespace

std::string LocalPath(const std::string& folder, const std::string& relativeShiftJis) {
    return folder + "\\" + ShiftJisToUtf8(relativeShiftJis);
}

int CompareLocalFiles(const std::string& left, const std::string& right, std::string* problem) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(FullWidePath(left).c_str(), GetFileExInfoStandard, &data)) return *problem = PathAndLastError(left), 2;
    return CompareLocalFiles(left, right, ((uint64_t)data.nFileSizeHigh << 32) | data.nFileSizeLow, problem);
}

int CompareLocalFiles(const std::string& left, const std::string& right, uint64_t size, std::string* problem) {
    Handle a(OpenForReading(left));
    if (a.value == INVALID_HANDLE_VALUE) return *problem = PathAndLastError(left), 2;
    Handle b(OpenForReading(right));
    if (b.value == INVALID_HANDLE_VALUE) return *problem = PathAndLastError(right), 2;
    // One pair a thread: update-make compares on two.
    thread_local std::vector<char> bufferA(ChunkSize + 1), bufferB(ChunkSize + 1);
    for (uint64_t remaining = size;;) {
        // The last piece asks for one byte more, which only a longer file gives.
        DWORD need = remaining < ChunkSize ? (DWORD)remaining : ChunkSize;
        DWORD room = remaining < ChunkSize ? need + 1 : need;
        long long countA = ReadAtLeast(a.value, bufferA.data(), need, room);
        if (countA < 0) return *problem = PathAndLastError(left), 2;
        long long countB = ReadAtLeast(b.value, bufferB.data(), need, room);
        if (countB < 0) return *problem = PathAndLastError(right), 2;
        if (countA != need || countB != need || memcmp(bufferA.data(), bufferB.data(), need) != 0) return 1;
        remaining -= need;
        if (room > need) return 0;
        if (Interrupted()) return *problem = "interrupted", 2;
    }
}

int CopyLocalFile(const std::string& from, const std::string& to, uint64_t* bytes, std::string* problem) {
    Handle source(OpenForReading(from));
    if (source.value == INVALID_HANDLE_VALUE) return *problem = PathAndLastError(from), 1;
    Handle target(CreateNew(to));
    if (target.value == INVALID_HANDLE_VALUE) return *problem = PathAndLastError(to), 1;
    static std::vector<char> buffer(ChunkSize);
    *bytes = 0;
    for (;;) {
        long long count = ReadFully(source.value, buffer.data(), ChunkSize);
        if (count < 0) return *problem = PathAndLastError(from), 1;
        if (count == 0) return 0;
        if (WriteFully(target.value, buffer.data(), (size_t)count) != 0) return *problem = PathAndLastError(to), 1;
        *bytes += (uint64_t)count;
        if (Interrupted()) return *problem = "interrupted", 1;
    }
}

int WriteLocalFile(const std::string& path, const std::string& content, std::string* problem) {
    Handle target(CreateNew(path));
    if (target.value == INVALID_HANDLE_VALUE || WriteFully(target.value, content.data(), content.size()) != 0)
        return *problem = PathAndLastError(path), 1;
    return 0;
}

int ReadLocalFile(const std::string& path, std::string* content, std::string* reason, size_t limit) {
    Handle source(OpenForReading(path));
    if (source.value == INVALID_HANDLE_VALUE) return *reason = SystemErrorText(GetLastError()), 1;
    content->clear();
    char buffer[65536];
    for (;;) {
        size_t wanted = limit - content->size() < sizeof buffer ? limit - content->size() : sizeof buffer;
        if (wanted == 0) return 0;
        long long count = ReadFully(source.value, buffer, (DWORD)wanted);
        if (count < 0) return *reason = SystemErrorText(GetLastError()), 1;
        if (count == 0) return 0;
        content->append(buffer, (size_t)count);
    }
}

int MakeLocalFolder(const std::string& path, std::string* problem) {
    if (!CreateDirectoryW(FullWidePath(path).c_str(), nullptr)) return *problem = PathAndLastError(path), 1;
    return 0;
}

FolderState LocalFolderState(const std::string& path) {
    std::wstring wide = FullWidePath(path);
    DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? FolderState::Missing : FolderState::Other;
    }
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return FolderState::Other;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((wide + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return FolderState::Other;
    FolderState state = FolderState::Empty;
    do {
        if (wcscmp(found.cFileName, L".") != 0 && wcscmp(found.cFileName, L"..") != 0) state = FolderState::Other;
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return state;
}

int RenameLocalFolder(const std::string& from, const std::string& to, std::string* problem) {
    std::wstring target = FullWidePath(to);
    // A folder is never replaced by a move: an empty one in the way goes first.
    if (LocalFolderState(to) == FolderState::Empty) RemoveDirectoryW(target.c_str());
    if (!MoveFileExW(FullWidePath(from).c_str(), target.c_str(), 0)) return *problem = PathAndLastError(to), 1;
    return 0;
}

void RemoveLocalTree(const std::string& path) {
    std::wstring wide = FullWidePath(path);
    DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return;
    if (attributes & FILE_ATTRIBUTE_READONLY) SetFileAttributesW(wide.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        DeleteFileW(wide.c_str());
        return;
    }
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((wide + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        std::vector<std::wstring> names;
        do {
            if (wcscmp(found.cFileName, L".") != 0 && wcscmp(found.cFileName, L"..") != 0) names.push_back(found.cFileName);
        } while (FindNextFileW(search, &found));
        FindClose(search);
        for (const std::wstring& name : names) RemoveLocalTree(path + "\\" + WideToUtf8(name));
    }
    RemoveDirectoryW(wide.c_str());
}

std::string ToolFolder() {
    std::wstring path(32768, L'\0');
    DWORD length = GetModuleFileNameW(nullptr, &path[0], (DWORD)path.size());
    path.resize(length);
    size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? "." : WideToUtf8(path.substr(0, slash));
}

bool LocalFileExists(const std::string& path) {
    DWORD attributes = GetFileAttributesW(FullWidePath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

int LocalModifiedTime(const std::string& path, int64_t* time) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(FullWidePath(path).c_str(), GetFileExInfoStandard, &data)) return 1;
    // 100 ns units since 1601, as nanoseconds since 1970.
    uint64_t ticks = ((uint64_t)data.ftLastWriteTime.dwHighDateTime << 32) | data.ftLastWriteTime.dwLowDateTime;
    *time = ((int64_t)ticks - 116444736000000000LL) * 100;
    return 0;
}
