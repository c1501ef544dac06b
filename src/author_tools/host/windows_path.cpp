#include "author_tools/host/windows_path.h"

#include "author_tools/host/text_conversion.h"

namespace {

bool IsDrivePath(const std::string& path) {
    return path.size() >= 3 && ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z')) &&
           path[1] == ':' && path[2] == '\\';
}

}  // namespace

int WindowsPath(const char* option, const std::string& utf8, std::string* path, std::string* problem) {
    if (!IsDrivePath(utf8)) {
        *problem = std::string(option) + " " + utf8 + ": not a Windows path such as C:\\Game";
        return 1;
    }
    if (Utf8ToShiftJis(utf8, path) != 0) {
        *problem = std::string(option) + " " + utf8 + ": its " + WhyNoShiftJisForm(utf8);
        return 1;
    }
    return 0;
}
