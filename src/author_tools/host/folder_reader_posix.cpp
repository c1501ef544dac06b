// A Linux folder as Windows (through Wine) would show it: a file without write
// permission for its owner is read-only; a name beginning with a dot, or the
// hidden bit of Wine's user.DOSATTRIB attribute, makes it hidden.
#include "author_tools/host/folder_reader.h"

#include <dirent.h>
#include <errno.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/xattr.h>

#include <algorithm>
#include <memory>
#include <set>
#include <utility>

#include "author_tools/host/local_files.h"
#include "author_tools/host/text_conversion.h"

namespace {

// Wine keeps the DOS attributes it cannot map to permissions as "0x22" text.
unsigned DosAttributes(const std::string& path) {
    char value[64] = {};
    ssize_t length = getxattr(path.c_str(), "user.DOSATTRIB", value, sizeof value - 1);
    if (length <= 2 || value[0] != '0' || (value[1] != 'x' && value[1] != 'X')) return 0;
    return (unsigned)strtoul(value + 2, nullptr, 16) & (FileAttributeHidden | FileAttributeSystem);
}

std::string Shown(const std::string& relative) {
    std::string shown = relative;
    std::replace(shown.begin(), shown.end(), '/', '\\');
    return shown.empty() ? "." : shown;
}

// Folders reached so far, by device and inode: a link back up the tree would
// otherwise be walked without end.
using FolderIdentity = std::pair<dev_t, ino_t>;

int Walk(const std::string& disk, const std::string& relativeUtf8, const std::string& relativeSjis,
         const std::string& keptName, bool dosAttributes, FolderRead* read, std::set<FolderIdentity>* seen,
         std::string* problem) {
    DIR* directory = opendir(disk.c_str());
    if (!directory) {
        *problem = Shown(relativeUtf8) + ": cannot be read (" + strerror(errno) + ")";
        return 1;
    }
    // Kept open while its entries are read: each is looked up in it alone, not
    // along its whole path again.
    std::unique_ptr<DIR, int (*)(DIR*)> open(directory, closedir);
    std::vector<std::string> names;
    while (dirent* found = readdir(directory))
        if (strcmp(found->d_name, ".") != 0 && strcmp(found->d_name, "..") != 0) names.push_back(found->d_name);
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        std::string path = disk + "/" + name;
        std::string utf8 = relativeUtf8.empty() ? name : relativeUtf8 + "/" + name;
        std::string sjisName;
        if (name.find('\\') != std::string::npos) {
            *problem = Shown(utf8) + ": a backslash in a name cannot exist on Windows";
            read->nameRefused = true;
            return 1;
        }
        if (Utf8ToShiftJis(name, &sjisName) != 0) {
            *problem = Shown(utf8) + ": the name's " + WhyNoShiftJisForm(name);
            read->nameRefused = true;
            return 1;
        }
        struct stat status;
        if (fstatat(dirfd(directory), name.c_str(), &status, 0) != 0) {
            *problem = Shown(utf8) + ": cannot be read (" + strerror(errno) + ")";
            return 1;
        }
        std::string sjis = relativeSjis.empty() ? sjisName : relativeSjis + "\\" + sjisName;
        bool folder = S_ISDIR(status.st_mode);
        unsigned attributes = dosAttributes ? DosAttributes(path) : 0;
        if (name[0] == '.') attributes |= FileAttributeHidden;
        if (!folder && !(status.st_mode & S_IWUSR)) attributes |= FileAttributeReadOnly;
        read->entries.push_back(memory_platform::TreeEntry{sjis, folder, folder ? 0 : (uint64_t)status.st_size, attributes,
                                                                      folder ? "" : path});
        if (folder) {
            if (!seen->insert({status.st_dev, status.st_ino}).second) {
                *problem = Shown(utf8) + ": a link leads back to a folder already read";
                return 1;
            }
            if (Walk(path, utf8, sjis, keptName, dosAttributes, read, seen, problem) != 0) return 1;
        } else if (relativeSjis.empty() && memory_platform::SameName(sjisName, keptName)) {
            std::string reason;
            if (ReadLocalFile(path, &read->keptContent, &reason) != 0) {
                *problem = Shown(utf8) + ": cannot be read (" + reason + ")";
                return 1;
            }
            read->keptFound = true;
        }
    }
    return 0;
}

}  // namespace

int ReadFolder(const std::string& folder, const std::string& keptName, FolderRead* read, std::string* problem,
               bool dosAttributes) {
    struct stat status;
    if (stat(folder.c_str(), &status) != 0 || !S_ISDIR(status.st_mode)) {
        *problem = "is not a folder";
        return 1;
    }
    std::set<FolderIdentity> seen = {{status.st_dev, status.st_ino}};
    return Walk(folder, "", "", keptName, dosAttributes, read, &seen, problem);
}
