// A stand-in for xdelta3.exe, beside update-make.exe in its Windows road. It
// takes the encoder's command line (-e ... -s OLD NEW OUT), writes the
// arguments as it received them, one per line in UTF-8, to
// encoder-arguments.txt beside itself, and writes OUT: a plain delta of one
// window that copies the part OLD and NEW share at their start and at their
// end from OLD and adds the rest, with the window's Adler-32. Exit 0, or 2.
#include <windows.h>

#include <string>

#include "codec/adler32.h"
#include "../../codec/vcdiff_integer.h"

namespace {

bool ReadWhole(const char* path, std::string* bytes) {
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE) return false;
    char chunk[65536];
    DWORD got = 0;
    while (ReadFile(file, chunk, sizeof chunk, &got, NULL) && got > 0) bytes->append(chunk, got);
    CloseHandle(file);
    return true;
}

bool WriteAndClose(HANDLE file, const std::string& bytes) {
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool whole = WriteFile(file, bytes.data(), (DWORD)bytes.size(), &written, NULL) && written == bytes.size();
    return CloseHandle(file) && whole;
}

std::string Utf8(const wchar_t* text) {
    int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, NULL, 0, NULL, NULL);
    std::string bytes(size > 0 ? size - 1 : 0, '\0');
    if (size > 1) WideCharToMultiByte(CP_UTF8, 0, text, -1, &bytes[0], size, NULL, NULL);
    return bytes;
}

// Opcodes of the default code table: ADD and COPY (mode 0, an address from the
// window's start) with their sizes following.
const char AddSized = 1, CopySized = 19;

std::string Delta(const std::string& old, const std::string& made) {
    size_t prefix = 0, suffix = 0;
    while (prefix < old.size() && prefix < made.size() && old[prefix] == made[prefix]) ++prefix;
    while (suffix < old.size() - prefix && suffix < made.size() - prefix &&
           old[old.size() - 1 - suffix] == made[made.size() - 1 - suffix])
        ++suffix;
    std::string data = made.substr(prefix, made.size() - prefix - suffix), instructions, addresses;
    if (prefix > 0) {
        instructions += CopySized;
        PutInteger(&instructions, prefix);
        PutInteger(&addresses, 0);
    }
    if (!data.empty()) {
        instructions += AddSized;
        PutInteger(&instructions, data.size());
    }
    if (suffix > 0) {
        instructions += CopySized;
        PutInteger(&instructions, suffix);
        PutInteger(&addresses, old.size() - suffix);
    }
    std::string encoding;
    PutInteger(&encoding, made.size());
    encoding += '\0';
    PutInteger(&encoding, data.size());
    PutInteger(&encoding, instructions.size());
    PutInteger(&encoding, addresses.size());
    uint32_t sum = Adler32(made.data(), made.size());
    for (int shift = 24; shift >= 0; shift -= 8) encoding += (char)(sum >> shift);
    encoding += data + instructions + addresses;
    std::string delta("\xD6\xC3\xC4\x00\x00\x05", 6);  // the header; a window from the source, with its checksum
    PutInteger(&delta, old.size());
    PutInteger(&delta, 0);
    PutInteger(&delta, encoding.size());
    return delta + encoding;
}

}  // namespace

// As xdelta3.exe does, it takes its arguments in the ANSI code page and opens
// its files by them: a path update-make gives it must be one that code page
// spells, its own or a short form. The arguments are written in their long
// form, the files' names as they are.
int main(int argc, char** argv) {
    std::wstring log(MAX_PATH * 4, L'\0');
    log.resize(GetModuleFileNameW(NULL, &log[0], (DWORD)log.size()));
    log = log.substr(0, log.find_last_of(L'\\') + 1) + L"encoder-arguments.txt";
    std::string arguments;
    for (int i = 1; i < argc; ++i) {
        std::wstring wide(MAX_PATH * 4, L'\0');
        wide.resize(MultiByteToWideChar(CP_ACP, 0, argv[i], -1, &wide[0], (int)wide.size()) - 1);
        std::wstring longer(MAX_PATH * 4, L'\0');
        DWORD length = GetLongPathNameW(wide.c_str(), &longer[0], (DWORD)longer.size());
        arguments += Utf8((length > 0 && length < longer.size() ? longer.substr(0, length) : wide).c_str()) + "\n";
    }
    if (!WriteAndClose(CreateFileW(log.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL), arguments)) return 2;
    if (argc < 6 || strcmp(argv[1], "-e") != 0 || strcmp(argv[argc - 4], "-s") != 0) return 2;
    std::string old, made;
    if (!ReadWhole(argv[argc - 3], &old) || !ReadWhole(argv[argc - 2], &made) || made.size() > (16u << 20)) return 2;
    HANDLE out = CreateFileA(argv[argc - 1], GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    return WriteAndClose(out, Delta(old, made)) ? 0 : 2;
}
