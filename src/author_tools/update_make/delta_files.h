// What update-make's deltas need of this machine beyond local_files.h: a file
// read at any offset (the decoder seeks in the old file), a file renamed, and
// the xdelta3 program found and run in the background. Paths are UTF-8; every
// call that can fail returns 0, or 1 and a one-line reason (UTF-8).
#ifndef UPDATE_CHECK_DELTA_FILES_H
#define UPDATE_CHECK_DELTA_FILES_H

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

class LocalReader {
public:
    LocalReader() = default;
    LocalReader(const LocalReader&) = delete;
    LocalReader& operator=(const LocalReader&) = delete;
    ~LocalReader();
    int Open(const std::string& path, std::string* problem);
    uint64_t Size() const { return size_; }
    // Up to size bytes at offset: 0 and count (less than size only at the end).
    int ReadAt(uint64_t offset, void* buffer, size_t size, size_t* count, std::string* problem);

private:
    intptr_t handle_ = -1;
    uint64_t size_ = 0;
    std::string path_;
};

int RenameLocalFile(const std::string& from, const std::string& to, std::string* problem);
uint64_t LocalFileSize(const std::string& path);

// The xdelta3 program: on Linux the first on PATH; on Windows xdelta3.exe
// beside the tool, then on PATH. "" when there is none.
std::string FindDeltaEncoder();
// What to tell an author who has none.
const char* DeltaEncoderAdvice();

struct EncodingProcess {
    intptr_t id = 0;
    intptr_t output = -1;  // where its messages are read from, to their end
};

// The target windows asked of the encoder (its own default is 8 MiB): update.exe
// decodes a window while it hashes the one before, and windows this small stay
// in the processor's caches through reading, hashing and writing (a 512 MB
// archive applies in three quarters of the time, for a delta 0.2% larger).
const uint64_t EncoderTargetWindow = 2u << 20;

// The encoder's arguments after its name: plain VCDIFF without secondary
// compression or application header, the files' bytes as they are (-D: the
// encoder would otherwise decompress a gzip, bzip2 or xz file itself and
// encode what it holds, which does not decode to the file), sourceWindow bytes
// of OLD held (524,288 at least), EncoderTargetWindow bytes a window.
inline std::vector<std::string> EncoderArguments(uint64_t sourceWindow, const std::string& oldPath,
                                                 const std::string& newPath, const std::string& out) {
    return {"-e", "-9", "-D", "-S", "none", "-A=", "-B", std::to_string(sourceWindow), "-W",
            std::to_string(EncoderTargetWindow), "-f", "-s", oldPath, newPath, out};
}

// Starts `encoder` with EncoderArguments, its messages going to a pipe. On
// Windows the paths are given in a form the encoder's ANSI calls can open.
int StartEncoding(const std::string& encoder, uint64_t sourceWindow, const std::string& oldPath,
                  const std::string& newPath, const std::string& out, EncodingProcess* process, std::string* problem);
// Reads its messages to their end and waits for it: 0 when it ended with
// status 0; 1 and its first message line.
int FinishEncoding(EncodingProcess* process, std::string* problem);

#endif
