// local_files.h on Linux: plain POSIX calls, 1 MiB reads.
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "author_tools/host/local_files.h"
#include "author_tools/host/text_conversion.h"

namespace {

const size_t ChunkSize = 1 << 20;

std::string Reason(const std::string& path, int error) { return path + ": " + strerror(error); }

// Reads up to size bytes, less only at the end of the file.
ssize_t ReadFully(int descriptor, char* buffer, size_t size) {
    size_t done = 0;
    while (done < size) {
        ssize_t count = read(descriptor, buffer + done, size - done);
        if (count < 0 && errno == EINTR) continue;
        if (count < 0) return -1;
        if (count == 0) break;
        done += (size_t)count;
    }
    return (ssize_t)done;
}

// Reads until at least need bytes are in or the file ends, room at most: one
// read() on a regular file that holds them (even when need is 0).
ssize_t ReadAtLeast(int descriptor, char* buffer, size_t need, size_t room) {
    size_t done = 0;
    for (;;) {
        ssize_t count = read(descriptor, buffer + done, room - done);
        if (count < 0 && errno == EINTR) continue;
        if (count < 0) return -1;
        done += (size_t)count;
        if (count == 0 || done >= need) return (ssize_t)done;
    }
}

int WriteFully(int descriptor, const char* data, size_t size) {
    while (size > 0) {
        ssize_t count = write(descriptor, data, size);
        if (count < 0 && errno == EINTR) continue;
        if (count <= 0) return 1;
        data += count;
        size -= (size_t)count;
    }
    return 0;
}

struct Descriptor {
    int value;
    explicit Descriptor(int v) : value(v) {}
    ~Descriptor() {
        if (value >= 0) close(value);
    }
};

}  // namespace

std::string LocalPath(const std::string& folder, const std::string& relativeShiftJis) {
    std::string relative = ShiftJisToUtf8(relativeShiftJis);
    // UTF-8 holds no 0x5C inside a character: every backslash is a separator.
    std::replace(relative.begin(), relative.end(), '\\', '/');
    return folder + "/" + relative;
}

int CompareLocalFiles(const std::string& left, const std::string& right, std::string* problem) {
    struct stat status;
    if (stat(left.c_str(), &status) != 0) return *problem = Reason(left, errno), 2;
    return CompareLocalFiles(left, right, (uint64_t)status.st_size, problem);
}

int CompareLocalFiles(const std::string& left, const std::string& right, uint64_t size, std::string* problem) {
    Descriptor a(open(left.c_str(), O_RDONLY | O_CLOEXEC));
    if (a.value < 0) return *problem = Reason(left, errno), 2;
    Descriptor b(open(right.c_str(), O_RDONLY | O_CLOEXEC));
    if (b.value < 0) return *problem = Reason(right, errno), 2;
    // Most game files are small: the advice would cost a call each for nothing.
    if (size > ChunkSize) {
        posix_fadvise(a.value, 0, 0, POSIX_FADV_SEQUENTIAL);
        posix_fadvise(b.value, 0, 0, POSIX_FADV_SEQUENTIAL);
    }
    // One pair a thread: update-make compares on two.
    thread_local std::vector<char> bufferA(ChunkSize + 1), bufferB(ChunkSize + 1);
    for (uint64_t remaining = size;;) {
        // The last piece asks for one byte more, which only a longer file gives.
        size_t need = remaining < ChunkSize ? (size_t)remaining : ChunkSize;
        size_t room = remaining < ChunkSize ? need + 1 : need;
        ssize_t countA = ReadAtLeast(a.value, bufferA.data(), need, room);
        if (countA < 0) return *problem = Reason(left, errno), 2;
        ssize_t countB = ReadAtLeast(b.value, bufferB.data(), need, room);
        if (countB < 0) return *problem = Reason(right, errno), 2;
        if ((size_t)countA != need || (size_t)countB != need || memcmp(bufferA.data(), bufferB.data(), need) != 0) return 1;
        remaining -= need;
        if (room > need) return 0;
        if (Interrupted()) return *problem = "interrupted", 2;
    }
}

int CopyLocalFile(const std::string& from, const std::string& to, uint64_t* bytes, std::string* problem) {
    Descriptor source(open(from.c_str(), O_RDONLY | O_CLOEXEC));
    if (source.value < 0) return *problem = Reason(from, errno), 1;
    Descriptor target(open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
    if (target.value < 0) return *problem = Reason(to, errno), 1;
    *bytes = 0;
    // The kernel copies without the bytes passing through here where it can.
    for (;;) {
        ssize_t count = copy_file_range(source.value, nullptr, target.value, nullptr, ChunkSize * 16, 0);
        if (count < 0 && errno == EINTR) continue;
        if (count < 0) break;
        if (count == 0) return 0;
        *bytes += (uint64_t)count;
        if (Interrupted()) return *problem = "interrupted", 1;
    }
    if (*bytes != 0) return *problem = Reason(to, errno), 1;
    static std::vector<char> buffer(ChunkSize);
    for (;;) {
        ssize_t count = ReadFully(source.value, buffer.data(), ChunkSize);
        if (count < 0) return *problem = Reason(from, errno), 1;
        if (count == 0) return 0;
        if (WriteFully(target.value, buffer.data(), (size_t)count) != 0) return *problem = Reason(to, errno), 1;
        *bytes += (uint64_t)count;
        if (Interrupted()) return *problem = "interrupted", 1;
    }
}

int WriteLocalFile(const std::string& path, const std::string& content, std::string* problem) {
    Descriptor target(open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
    if (target.value < 0 || WriteFully(target.value, content.data(), content.size()) != 0)
        return *problem = Reason(path, errno), 1;
    return 0;
}

int ReadLocalFile(const std::string& path, std::string* content, std::string* reason, size_t limit) {
    Descriptor source(open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (source.value < 0) return *reason = strerror(errno), 1;
    content->clear();
    char buffer[65536];
    for (;;) {
        size_t wanted = limit - content->size() < sizeof buffer ? limit - content->size() : sizeof buffer;
        if (wanted == 0) return 0;
        ssize_t count = ReadFully(source.value, buffer, wanted);
        if (count < 0) return *reason = strerror(errno), 1;
        if (count == 0) return 0;
        content->append(buffer, (size_t)count);
    }
}

int MakeLocalFolder(const std::string& path, std::string* problem) {
    if (mkdir(path.c_str(), 0755) != 0) return *problem = Reason(path, errno), 1;
    return 0;
}

FolderState LocalFolderState(const std::string& path) {
    struct stat status;
    if (lstat(path.c_str(), &status) != 0) return errno == ENOENT ? FolderState::Missing : FolderState::Other;
    if (!S_ISDIR(status.st_mode)) return FolderState::Other;
    DIR* directory = opendir(path.c_str());
    if (!directory) return FolderState::Other;
    FolderState state = FolderState::Empty;
    while (dirent* found = readdir(directory))
        if (strcmp(found->d_name, ".") != 0 && strcmp(found->d_name, "..") != 0) state = FolderState::Other;
    closedir(directory);
    return state;
}

int RenameLocalFolder(const std::string& from, const std::string& to, std::string* problem) {
    // rename() replaces an empty folder in one step.
    if (rename(from.c_str(), to.c_str()) != 0) return *problem = Reason(to, errno), 1;
    return 0;
}

void RemoveLocalTree(const std::string& path) {
    struct stat status;
    if (lstat(path.c_str(), &status) != 0) return;
    if (S_ISDIR(status.st_mode)) {
        chmod(path.c_str(), status.st_mode | S_IWUSR | S_IXUSR | S_IRUSR);
        if (DIR* directory = opendir(path.c_str())) {
            std::vector<std::string> names;
            while (dirent* found = readdir(directory))
                if (strcmp(found->d_name, ".") != 0 && strcmp(found->d_name, "..") != 0) names.push_back(found->d_name);
            closedir(directory);
            for (const std::string& name : names) RemoveLocalTree(path + "/" + name);
        }
        rmdir(path.c_str());
    } else {
        unlink(path.c_str());
    }
}

std::string ToolFolder() {
    char path[PATH_MAX];
    ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return ".";
    std::string text(path, (size_t)length);
    size_t slash = text.rfind('/');
    return slash == std::string::npos ? "." : text.substr(0, slash);
}

bool LocalFileExists(const std::string& path) {
    struct stat status;
    return stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

int LocalModifiedTime(const std::string& path, int64_t* time) {
    struct stat status;
    if (stat(path.c_str(), &status) != 0) return 1;
    *time = (int64_t)status.st_mtim.tv_sec * 1000000000 + status.st_mtim.tv_nsec;
    return 0;
}
