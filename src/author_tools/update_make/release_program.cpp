#include "author_tools/update_make/release_program.h"

#include <stdint.h>
#include <stdio.h>

#include "author_tools/host/local_files.h"
#include "update_version.h"

namespace {

const char WhatToGive[] =
    ": give the release update.exe with --exe (cmake --preset win32 && cmake --build --preset win32 builds "
    "build/win32/src/shell/update.exe)";

// update.exe is about 64 KB; a wrong file may be large, and no build of
// update.exe is this long.
const size_t ProgramBytes = 1024 * 1024;

enum : uint16_t { MachineI386 = 0x14C, MachineAmd64 = 0x8664, SubsystemGui = 2, SubsystemConsole = 3, FlagDll = 0x2000 };

unsigned Read16(const std::string& bytes, size_t at) {
    return (unsigned char)bytes[at] | (unsigned)(unsigned char)bytes[at + 1] << 8;
}
uint32_t Read32(const std::string& bytes, size_t at) { return Read16(bytes, at) | (uint32_t)Read16(bytes, at + 2) << 16; }

// An ASCII text as UTF-16LE, with its terminator.
std::string Utf16Terminated(const char* text) {
    std::string units;
    for (const char* c = text; *c; ++c) units += std::string{*c, '\0'};
    return units + std::string(2, '\0');
}

// update.exe's version resource names the project as its InternalName: that
// tells it from another windowed program given by mistake, such as the game's
// own engine. A version resource string is UTF-16: the key, its terminator,
// up to two bytes of padding to a four-byte boundary, then the value.
bool NamesThisProject(const std::string& bytes) {
    const std::string key = Utf16Terminated("InternalName"), value = Utf16Terminated(UPDATE_PRODUCT_NAME);
    for (size_t at = bytes.find(key); at != std::string::npos; at = bytes.find(key, at + 1)) {
        size_t start = at + key.size();
        for (int padding = 0; padding < 2 && start < bytes.size() && bytes[start] == '\0'; ++padding) start += 2;
        if (bytes.compare(start, value.size(), value) == 0) return true;
    }
    return false;
}

}  // namespace

int CheckReleaseProgram(const std::string& path, std::vector<AuthorWarning>* warnings, std::string* problem) {
    std::string bytes, reason;
    if (ReadLocalFile(path, &bytes, &reason, ProgramBytes) != 0) return *problem = "--exe " + path + ": " + reason, 1;
    auto refuse = [&](const std::string& what) {
        *problem = "--exe " + path + ": " + what + WhatToGive;
        return 1;
    };
    if (bytes.size() < 64 || bytes.compare(0, 2, "MZ") != 0) {
        bool elf = bytes.compare(0, 4, "\x7F" "ELF") == 0;
        return refuse(elf ? "a Linux program, not a Windows one" : "not a Windows program (no MZ header)");
    }
    // The PE header: signature, file header (20 bytes), then the optional header,
    // whose subsystem field lies at 68 in both its 32- and 64-bit forms.
    uint32_t pe = Read32(bytes, 0x3C);
    if (pe > bytes.size() || bytes.size() - pe < 24 || bytes.compare(pe, 4, std::string("PE\0\0", 4)) != 0)
        return refuse("an MS-DOS program, not a Windows one (no PE header)");
    unsigned machine = Read16(bytes, pe + 4), optionalSize = Read16(bytes, pe + 20), flags = Read16(bytes, pe + 22);
    if (optionalSize < 70 || bytes.size() - pe - 24 < 70) return refuse("a damaged Windows program (its optional header is cut short)");
    unsigned subsystem = Read16(bytes, pe + 24 + 68);
    if (flags & FlagDll) return refuse("a DLL, not a program");
    if (machine != MachineI386 && machine != MachineAmd64) {
        char hex[8];
        snprintf(hex, sizeof hex, "0x%04X", machine);
        return refuse(std::string("a Windows program for another processor (machine ") + hex + ")");
    }
    if (subsystem == SubsystemConsole) return refuse("a console program, not update.exe (which has a window)");
    if (subsystem != SubsystemGui) return refuse("a Windows program of subsystem " + std::to_string(subsystem) + ", not update.exe");
    if (!NamesThisProject(bytes))
        return refuse(std::string("a windowed Windows program, but not this project's update.exe (its version resource "
                                  "names no InternalName ") + UPDATE_PRODUCT_NAME + "; the game's own engine, perhaps)");
    if (machine == MachineAmd64)
        warnings->push_back(AuthorWarning{"exe-64-bit", "update.exe",
                                          "the x86_64 build: it runs only on 64-bit Windows; the release is the i686 "
                                          "build (cmake --preset win32)"});
    return 0;
}
