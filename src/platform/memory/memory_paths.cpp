// Paths and names of the in-memory machine, as Win32 parses them and NTFS
// compares them.
#include <string.h>

#include <algorithm>
#include <set>

#include "platform/memory/memory_machine.h"

namespace memory_platform {

namespace {

// Upper- and lower-case double-byte letters of code page 932 that NTFS takes as
// one: full-width Latin, Greek and Cyrillic. Folded to the lower-case form.
unsigned FoldDoubleByte(unsigned code) {
    if (code >= 0x8260 && code <= 0x8279) return code + 0x21;  // Ａ-Ｚ
    if (code >= 0x839F && code <= 0x83B6) return code + 0x20;  // Α-Ω
    if (code >= 0x8440 && code <= 0x8460) {                    // А-Я; 0x847F is no character
        unsigned lower = 0x8470 + (code - 0x8440);
        return lower >= 0x847F ? lower + 1 : lower;
    }
    return code;
}

}  // namespace

std::string Fold(const std::string& name) {
    std::string folded = name;
    for (size_t i = 0; i < folded.size(); ++i) {
        unsigned char byte = (unsigned char)folded[i];
        if (IsShiftJisLeadByte(byte) && i + 1 < folded.size()) {
            unsigned code = FoldDoubleByte((unsigned)byte << 8 | (unsigned char)folded[i + 1]);
            folded[i] = (char)(code >> 8);
            folded[i + 1] = (char)(code & 0xFF);
            ++i;
        } else if (byte >= 'A' && byte <= 'Z') {
            folded[i] = (char)(byte - 'A' + 'a');
        }
    }
    return folded;
}

// The ASCII folding of the registry, which compares key names byte by byte.
std::string LowerAscii(const std::string& text) {
    std::string folded = text;
    for (char& c : folded)
        if (c >= 'A' && c <= 'Z') c = (char)(c - 'A' + 'a');
    return folded;
}

bool IsDriveName(const std::string& name) {
    return name.size() == 2 && name[1] == ':' && ((name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= 'a' && name[0] <= 'z'));
}

std::string TrimTrailingDotsAndSpaces(const std::string& name) {
    size_t end = name.size();
    while (end > 0 && (name[end - 1] == '.' || name[end - 1] == ' ')) --end;
    return name.substr(0, end);
}

namespace {

// One component of a path, as Win32 takes it: "." stays, ".." goes up, and
// trailing dots and spaces are dropped (a name of nothing but those is none).
void AddComponent(const std::string& path, size_t start, size_t length, std::vector<std::string>* names) {
    if (length == 1 && path[start] == '.') return;
    if (length == 2 && path[start] == '.' && path[start + 1] == '.') {
        if (!names->empty()) names->pop_back();
        return;
    }
    while (length > 0 && (path[start + length - 1] == '.' || path[start + length - 1] == ' ')) --length;
    if (length > 0) names->emplace_back(path, start, length);
}

}  // namespace

ParsedPath Parse(const std::string& path) {
    ParsedPath parsed;
    parsed.names.reserve(8);
    bool rootDone = false;
    size_t start = 0;  // of the component being read
    for (size_t i = 0; i <= path.size(); ++i) {
        if (i < path.size()) {
            unsigned char byte = (unsigned char)path[i];
            // The second byte of a double-byte character never separates.
            if (IsShiftJisLeadByte(byte) && i + 1 < path.size()) {
                ++i;
                continue;
            }
            if (byte != '\\' && byte != '/') continue;
            if (i + 1 == path.size()) parsed.endsInSeparator = true;
        }
        if (!rootDone) {
            parsed.root.assign(path, start, i - start);
            rootDone = true;
        } else if (i > start) {
            AddComponent(path, start, i - start, &parsed.names);
        }
        start = i + 1;
    }
    return parsed;
}

// Characters no Windows name holds, and names Windows reserves for devices.
bool IsValidWindowsName(const std::string& name) {
    // "." and ".." end in a dot too.
    if (name.empty() || name.back() == '.' || name.back() == ' ') return false;
    for (size_t i = 0; i < name.size(); ++i) {
        unsigned char byte = (unsigned char)name[i];
        if (IsShiftJisLeadByte(byte) && i + 1 < name.size()) {
            ++i;
            continue;
        }
        if (byte < 0x20 || strchr("<>:\"/\\|?*", byte)) return false;
    }
    // Every device name has three or four letters.
    size_t stemLength = std::min(name.find('.'), name.size());
    if (stemLength != 3 && stemLength != 4) return true;
    std::string stem = LowerAscii(name.substr(0, stemLength));
    static const std::set<std::string> devices = {"con", "prn", "aux", "nul", "com1", "com2", "com3", "com4",
                                                  "com5", "com6", "com7", "com8", "com9", "lpt1", "lpt2",
                                                  "lpt3", "lpt4", "lpt5", "lpt6", "lpt7", "lpt8", "lpt9"};
    return devices.count(stem) == 0;
}

bool SameName(const std::string& left, const std::string& right) { return Fold(left) == Fold(right); }

std::string FoldedName(const std::string& name) { return Fold(name); }

bool IsSameOrBelow(const std::string& path, const std::string& folder) {
    ParsedPath inner = Parse(path), outer = Parse(folder);
    if (!SameName(inner.root, outer.root) || outer.names.size() > inner.names.size()) return false;
    for (size_t i = 0; i < outer.names.size(); ++i)
        if (!SameName(inner.names[i], outer.names[i])) return false;
    return true;
}

bool SamePath(const std::string& left, const std::string& right) {
    return IsSameOrBelow(left, right) && IsSameOrBelow(right, left);
}

}  // namespace memory_platform
