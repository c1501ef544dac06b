// delta_files.h on Linux: pread, posix_spawn, PATH searched as a shell does.
#include <errno.h>
#include <fcntl.h>
#include <spawn.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <vector>

#include "author_tools/update_make/delta_files.h"
#include "author_tools/host/local_files.h"

extern char** environ;

namespace {

std::string Reason(const std::string& path, int error) { return path + ": " + strerror(error); }

}  // namespace

LocalReader::~LocalReader() {
    if (handle_ >= 0) close((int)handle_);
}

int LocalReader::Open(const std::string& path, std::string* problem) {
    path_ = path;
    int descriptor = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat status;
    if (descriptor < 0 || fstat(descriptor, &status) != 0) {
        *problem = Reason(path, errno);
        if (descriptor >= 0) close(descriptor);
        return 1;
    }
    handle_ = descriptor;
    size_ = (uint64_t)status.st_size;
    return 0;
}

int LocalReader::ReadAt(uint64_t offset, void* buffer, size_t size, size_t* count, std::string* problem) {
    *count = 0;
    while (*count < size) {
        ssize_t got = pread((int)handle_, (char*)buffer + *count, size - *count, (off_t)(offset + *count));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return *problem = Reason(path_, errno), 1;
        if (got == 0) break;
        *count += (size_t)got;
    }
    return 0;
}

int RenameLocalFile(const std::string& from, const std::string& to, std::string* problem) {
    if (rename(from.c_str(), to.c_str()) != 0) return *problem = Reason(to, errno), 1;
    return 0;
}

uint64_t LocalFileSize(const std::string& path) {
    struct stat status;
    return stat(path.c_str(), &status) == 0 ? (uint64_t)status.st_size : 0;
}

std::string FindDeltaEncoder() {
    const char* path = getenv("PATH");
    std::string folders = path ? path : "";
    for (size_t start = 0; start <= folders.size();) {
        size_t end = folders.find(':', start);
        if (end == std::string::npos) end = folders.size();
        std::string folder = folders.substr(start, end - start);
        start = end + 1;
        std::string candidate = (folder.empty() ? std::string(".") : folder) + "/xdelta3";
        struct stat status;
        if (stat(candidate.c_str(), &status) == 0 && S_ISREG(status.st_mode) && access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return "";
}

const char* DeltaEncoderAdvice() { return "no xdelta3 program on PATH: install the package xdelta3 (apt-get install xdelta3)"; }

int StartEncoding(const std::string& encoder, uint64_t sourceWindow, const std::string& oldPath,
                  const std::string& newPath, const std::string& out, EncodingProcess* process, std::string* problem) {
    std::vector<std::string> words = EncoderArguments(sourceWindow, oldPath, newPath, out);
    words.insert(words.begin(), encoder);
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(&word[0]);
    argv.push_back(nullptr);
    int ends[2];
    if (pipe(ends) != 0) return *problem = Reason("a pipe for xdelta3", errno), 1;
    fcntl(ends[0], F_SETFD, FD_CLOEXEC);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ends[1], 1);
    posix_spawn_file_actions_adddup2(&actions, ends[1], 2);
    posix_spawn_file_actions_addclose(&actions, ends[1]);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    pid_t child = 0;
    int error = posix_spawn(&child, encoder.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(ends[1]);
    if (error != 0) {
        close(ends[0]);
        return *problem = Reason(encoder, error), 1;
    }
    process->id = child;
    process->output = ends[0];
    return 0;
}

int FinishEncoding(EncodingProcess* process, std::string* problem) {
    std::string output;
    char chunk[4096];
    for (;;) {
        ssize_t got = read((int)process->output, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        output.append(chunk, (size_t)got);
    }
    close((int)process->output);
    int status = 0;
    while (waitpid((pid_t)process->id, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return 0;
    std::string line = output.substr(0, output.find('\n'));
    *problem = "xdelta3 " + (WIFEXITED(status) ? "ended with status " + std::to_string(WEXITSTATUS(status))
                                                 : "was stopped by signal " + std::to_string(WTERMSIG(status))) +
               (line.empty() ? "" : ": " + line);
    return 1;
}
