#include "text/relative_path.h"

#include "text/text.h"

namespace {

bool IsSeparator(unsigned char byte) { return byte == '\\' || byte == '/'; }

// One component's bytes as they are looked at.
struct Component {
    unsigned length = 0;
    unsigned dots = 0;
    bool onlyDotsAndSpaces = true;

    void Add(unsigned char byte) {
        ++length;
        if (byte == '.') ++dots;
        else if (byte != ' ') onlyDotsAndSpaces = false;
    }
    bool LeadsOut() const { return onlyDotsAndSpaces && dots >= 2; }
};

}  // namespace

bool IsPlainRelativePath(const char* path) {
    if (IsSeparator((unsigned char)path[0])) return false;
    Component component;
    for (const char* p = path;; p += CharacterLength(p)) {
        unsigned char byte = (unsigned char)*p;
        if (IsSeparator(byte) || byte == '\0') {
            if (component.length == 0 || component.onlyDotsAndSpaces) return false;
            if (byte == '\0') return true;
            component = Component();
            continue;
        }
        if (byte == ':' || byte < 0x20) return false;
        component.Add(byte);
    }
}

bool MayLeaveGameFolder(const char* entry) {
    Component component;
    for (const char* p = entry;; ++p) {
        unsigned char byte = (unsigned char)*p;
        if (IsSeparator(byte) || byte == '\0') {
            if (component.LeadsOut()) return true;
            if (byte == '\0') return false;
            component = Component();
            continue;
        }
        component.Add(byte);
    }
}
