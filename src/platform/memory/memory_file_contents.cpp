// The bytes of the in-memory machine's files: kept content, or a loaded file's
// bytes on disk; reading, appending, and the program's temporary files.
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <memory>

#include "platform/memory/memory_machine.h"

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <sys/stat.h>
#endif

namespace memory_platform {
namespace {

struct OpenReader {
    std::string path;       // as the program named it
    std::string content;    // a copy of a kept content
    FILE* disk = nullptr;   // or the loaded file's bytes on disk
    std::shared_ptr<LateFile> late;  // which another program may still be writing
    uint64_t size = 0;
    uint64_t position = 0;  // of PlatformReadFile
};

// A written file keeps its bytes up to this size; a larger one keeps its size
// only (the program hashes what it writes, and reads none of it back).
const size_t KeptContentLimit = 16u << 20;

FILE* OpenDiskFile(const std::string& utf8) {
#ifdef _WIN32
    wchar_t wide[4096];
    if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.c_str(), -1, wide, 4096) == 0) return nullptr;
    return _wfopen(wide, L"rb");
#else
    return fopen(utf8.c_str(), "rb");
#endif
}

int SeekDiskFile(FILE* file, uint64_t offset) {
#ifdef _WIN32
    return _fseeki64(file, (__int64)offset, SEEK_SET) == 0 ? 0 : 1;
#else
    return fseeko(file, (off_t)offset, SEEK_SET) == 0 ? 0 : 1;
#endif
}

// Where the file ends now, asked of the file itself: a seek of the stream to
// its end would leave the stream's buffer and its file's position apart.
uint64_t DiskFileSize(FILE* file) {
#ifdef _WIN32
    __int64 end = _filelengthi64(_fileno(file));
    return end < 0 ? 0 : (uint64_t)end;
#else
    struct stat status;
    return fstat(fileno(file), &status) == 0 ? (uint64_t)status.st_size : 0;
#endif
}

// The late files by disk path: registered by the thread that starts their
// writers, looked up by the one that runs the program.
std::mutex lateFilesLock;
std::map<std::string, std::shared_ptr<LateFile>> lateFiles;

std::shared_ptr<LateFile> FindLateFile(const std::string& diskPath) {
    if (diskPath.empty()) return nullptr;
    std::lock_guard<std::mutex> hold(lateFilesLock);
    auto found = lateFiles.find(diskPath);
    return found == lateFiles.end() ? nullptr : found->second;
}

}  // namespace

void LateFile::Ended(bool complete) {
    {
        std::lock_guard<std::mutex> hold(lock_);
        state_ = complete ? Complete : Refused;
    }
    changed_.notify_all();
}

int LateFile::WaitToOpen(const std::string& diskPath, FILE** file) {
    std::unique_lock<std::mutex> hold(lock_);
    for (;;) {
        State state = state_;
        if (state == Refused) return 1;
        if ((*file = OpenDiskFile(diskPath)) != nullptr) return 0;
        if (state == Complete) return 1;
        changed_.wait_for(hold, std::chrono::milliseconds(2));
    }
}

int LateFile::WaitBeyond(FILE* file, uint64_t offset, uint64_t* size) {
    std::unique_lock<std::mutex> hold(lock_);
    for (;;) {
        State state = state_;  // before the size: a file that has ended has all its bytes
        if (state == Refused) return 1;
        *size = DiskFileSize(file);
        if (*size > offset || state == Complete) return 0;
        // The writer says nothing as it writes: a look every 2 ms.
        changed_.wait_for(hold, std::chrono::milliseconds(2));
    }
}

int LateFile::WaitForEnd(FILE* file, uint64_t* size) {
    std::unique_lock<std::mutex> hold(lock_);
    changed_.wait(hold, [&] { return state_ != Writing; });
    if (state_ == Refused) return 1;
    *size = DiskFileSize(file);
    return 0;
}

void SetLateFile(const std::string& diskPath, std::shared_ptr<LateFile> late) {
    std::lock_guard<std::mutex> hold(lateFilesLock);
    if (late)
        lateFiles[diskPath] = std::move(late);
    else
        lateFiles.erase(diskPath);
}

int SettleLateSize(Node* node) {
    std::shared_ptr<LateFile> late = FindLateFile(node->diskPath);
    if (!late) return 0;
    FILE* file = OpenDiskFile(node->diskPath);
    if (!file) return 1;
    uint64_t size = 0;
    int status = late->WaitForEnd(file, &size);
    fclose(file);
    if (status == 0) node->size = size;
    return status;
}

std::string FileContent(const std::string& path) {
    Node* node = Find(path);
    return node ? node->content : std::string();
}

// Read past the program's accounting: no injected failure, no record.
std::string FileBytes(const std::string& path) {
    Node* node = Find(path);
    if (!node || node->directory || node->contentDropped) return "?unreadable";
    if (node->diskPath.empty()) return node->content;
    FILE* file = OpenDiskFile(node->diskPath);
    if (!file) return "?unreadable";
    std::string bytes;
    char buffer[65536];
    while (size_t count = fread(buffer, 1, sizeof buffer, file)) bytes.append(buffer, count);
    fclose(file);
    return bytes;
}

int OpenFileCount() { return State().openReaders + State().openTemporaries; }

void MarkFile(const std::string& path, const std::string& mark) {
    Node* node = Find(path);
    if (node && !node->directory) node->content = mark;
}

}  // namespace memory_platform

using namespace memory_platform;

int PlatformOpenFileForReading(const char* path, FileReader* reader) {
    if (Injected(Operation::OpenFile, path, nullptr)) return 1;
    Node* node = Find(path);
    if (!node || node->directory || node->contentDropped) return 1;
    auto open = std::make_unique<OpenReader>();
    open->path = path;
    open->size = node->size;
    if (!node->diskPath.empty()) {
        open->late = FindLateFile(node->diskPath);
        if (open->late ? open->late->WaitToOpen(node->diskPath, &open->disk) != 0
                       : (open->disk = OpenDiskFile(node->diskPath)) == nullptr)
            return 1;
    } else {
        open->content = node->content;
        open->size = node->content.size();
    }
    ++State().openReaders;
    *reader = open.release();
    return 0;
}

size_t PlatformReadFile(FileReader reader, void* buffer, size_t size) {
    OpenReader* open = (OpenReader*)reader;
    size_t count = 0;
    if (PlatformReadFileAt(reader, open->position, buffer, size, &count) != 0) return 0;
    open->position += count;
    return count;
}

int PlatformReadFileAt(FileReader reader, uint64_t offset, void* buffer, size_t size, size_t* count) {
    OpenReader* open = (OpenReader*)reader;
    *count = 0;
    if (Injected(Operation::ReadFile, open->path, nullptr)) return 1;
    if (open->late && open->late->WaitBeyond(open->disk, offset, &open->size) != 0) return 1;
    if (offset >= open->size) return 0;
    size_t wanted = (size_t)std::min<uint64_t>(size, open->size - offset);
    if (!open->disk) {
        open->content.copy((char*)buffer, wanted, (size_t)offset);
        *count = wanted;
        return 0;
    }
    if (SeekDiskFile(open->disk, offset) != 0) return 1;
    *count = fread(buffer, 1, wanted, open->disk);
    return *count == wanted || !ferror(open->disk) ? 0 : 1;
}

void PlatformCloseFile(FileReader reader) {
    OpenReader* open = (OpenReader*)reader;
    if (open->disk) fclose(open->disk);
    --State().openReaders;
    delete open;
}

// A temporary file lives in the tree from its creation, so the program's
// listings see it as the system's do; it is journalled only once it has taken
// a file's place. Its bytes take free space as they are written.
int PlatformCreateTemporary(const char* destination, unsigned number, char* path, size_t pathSize,
                            TemporaryWriter* writer, unsigned* error) {
    *error = ErrorPathNotFound;
    if (Injected(Operation::CreateTemporary, destination, error)) return 1;
    ParsedPath target = Parse(destination);
    Node* folder = Resolve(target, 1);
    if (number >= TemporaryNumberLimit || target.names.empty() || !folder || !folder->directory) return 1;
    char name[32];
    snprintf(name, sizeof name, "~upd%08x-%x.tmp", State().processId, number);
    if (Child(folder, name)) {
        *error = ErrorAlreadyExists;
        return 1;
    }
    std::string text = destination;
    size_t folderLength = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (IsShiftJisLeadByte((unsigned char)text[i]) && i + 1 < text.size()) {
            ++i;
            continue;
        }
        if (text[i] == '\\' || text[i] == '/') folderLength = i + 1;
    }
    std::string full = text.substr(0, folderLength) + name;
    if (full.size() + 1 > pathSize) {
        *error = 206;  // ERROR_FILENAME_EXCED_RANGE
        return 1;
    }
    memcpy(path, full.c_str(), full.size() + 1);
    PutFile(Place(folder, name), "", 0, 0);
    ++State().openTemporaries;
    *writer = new OpenTemporary{full, false};
    return 0;
}

int PlatformWriteTemporary(TemporaryWriter writer, const void* data, size_t size) {
    OpenTemporary* open = (OpenTemporary*)writer;
    Node* node = Find(open->path);
    if (!node || open->failed || Injected(Operation::WriteTemporary, open->path, nullptr) ||
        size > State().freeBytes) {
        open->failed = true;  // ERROR_DISK_FULL, or a drive gone
        return 1;
    }
    if (!node->contentDropped && node->content.size() + size <= KeptContentLimit) {
        node->content.append((const char*)data, size);
    } else {
        node->content.clear();
        node->content.shrink_to_fit();
        node->contentDropped = true;
    }
    node->size += size;
    Consume(size);
    return 0;
}

int PlatformCloseTemporary(TemporaryWriter writer) {
    OpenTemporary* open = (OpenTemporary*)writer;
    int status = open->failed ? 1 : 0;
    --State().openTemporaries;
    delete open;
    return status;
}

int PlatformReplaceWithTemporary(const char* temporary, const char* destination) {
    if (Injected(Operation::ReplaceStep, destination, nullptr)) return 1;
    Node* from = Find(temporary);
    if (!from || from->directory) return 1;
    ParsedPath target = Parse(destination);
    Node* folder = Resolve(target, 1);
    if (target.names.empty() || target.endsInSeparator || !folder || !folder->directory) return 1;
    Node* to = Child(folder, target.names.back());
    const unsigned refusing = FileAttributeReadOnly | FileAttributeHidden | FileAttributeSystem;
    if (to == from || (to && (to->directory || (to->attributes & refusing)))) return 1;
    bool replacing = to != nullptr;
    uint64_t replacedSize = replacing ? to->size : 0;
    to = Place(folder, target.names.back());
    CopyNodeContent(to, *from);
    to->attributes = 0;
    RemoveNode(from);
    Release(replacedSize);
    Journal(replacing ? ChangeKind::Replace : ChangeKind::Add, to, to->size);
    return 0;
}

void PlatformDiscardTemporary(const char* temporary) {
    State().requests[Operation::DiscardTemporary].push_back(temporary);
    Node* node = Find(temporary);
    if (!node || node->directory || IsRoot(node)) return;
    Release(node->size);
    RemoveNode(node);
}

int PlatformOpenFileForAppending(const char* path, FileWriter* writer) {
    ParsedPath target = Parse(path);
    Node* folder = Resolve(target, 1);
    if (target.names.empty() || target.endsInSeparator || !folder || !folder->directory) return 1;
    Node* node = Child(folder, target.names.back());
    if (node && (node->directory || (node->attributes & FileAttributeReadOnly))) return 1;
    if (!node) {
        node = Place(folder, target.names.back());
        PutFile(node, "", 0, 0);
    }
    *writer = node;
    return 0;
}

int PlatformAppendText(FileWriter writer, const char* text) {
    Node* node = (Node*)writer;
    node->content += text;
    node->size = node->content.size();
    return 0;
}

void PlatformCloseFileWriter(FileWriter) {}
