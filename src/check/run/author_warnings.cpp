// The warnings ask the program's own pieces (the [AddFile] comparison and the
// verify step of the walk) and the machine's record of the run; they apply no
// rule of their own to the folders, and look for a reason only once the
// program's own step has failed.
#include "check/run/author_warnings.h"

#include "description/text.h"
#include "description/update_description.h"
#include "update/update_run.h"
#include "update/update_tree.h"

namespace mp = memory_platform;

namespace {

void ListFilesBelow(const std::string& root, const std::string& relative, std::vector<std::string>* files) {
    std::string pattern = relative.empty() ? root + "\\*" : root + "\\" + relative + "\\*";
    FileSearch search;
    FoundFile entry;
    if (PlatformFindFirstFile(pattern.c_str(), &search, &entry) != 0) return;
    do {
        if (IsDotEntry(entry.name)) continue;
        std::string child = relative.empty() ? entry.name : relative + "\\" + entry.name;
        if (entry.isDirectory) ListFilesBelow(root, child, files);
        else files->push_back(child);
    } while (PlatformFindNextFile(search, &entry) == 0);
    PlatformFindClose(search);
}

void Warn(std::vector<AuthorWarning>* warnings, const char* kind, const std::string& path, const std::string& message) {
    warnings->push_back(AuthorWarning{kind, path, message});
}

void WarnAboutNewFiles(const std::string& updateFolder, const std::string& gameFolder,
                       const std::vector<std::string>& files, std::vector<AuthorWarning>* warnings) {
    for (int i = 0; i < UpdateDescription.AddFileCount && i < FileListCapacity; ++i) {
        const char* entry = UpdateDescription.AddFiles[i];
        const std::string* match = nullptr;
        for (const std::string& file : files)
            if (EqualIgnoringAsciiCase(entry, file.c_str())) {
                match = &file;
                break;
            }
        std::string named = updateFolder + "\\" + entry;
        if (match && mp::IsFile(gameFolder + "\\" + *match))
            Warn(warnings, "addfile-exists", entry, "the game already has this file; the entry excuses nothing");
        else if (match)
            continue;
        else if (mp::IsDirectory(named))
            Warn(warnings, "addfile-unmatched", entry,
                 "names a folder of update\\; a folder entry does not cover the files in it, list each file");
        else if (mp::IsFile(named))
            Warn(warnings, "addfile-unmatched", entry,
                 "names a file of update\\ in a form that never matches: write its path relative to update\\ "
                 "with backslashes, without a leading backslash, . or ..");
        else
            Warn(warnings, "addfile-unmatched", entry, "matches no file of update\\");
    }
}

void WarnAboutVerification(const std::vector<std::string>& files, std::vector<AuthorWarning>* warnings) {
    for (const std::string& file : files) {
        if (VerifyFile("", file.c_str()) == 0) continue;
        // Why it failed, once it has.
        std::string destination = std::string(GameFolder) + "\\" + file;
        if (destination.size() >= LevelTextSize)
            Warn(warnings, "verify-fails", file,
                 "its path in the game folder has " + std::to_string(destination.size()) +
                     " bytes, more than the program's " + std::to_string(LevelTextSize - 1));
        else if (mp::IsDirectory(destination))
            Warn(warnings, "verify-fails", file, "the game folder has a folder of this name");
        else
            Warn(warnings, "verify-fails", file, "the game folder has no such file and no [AddFile] entry names it");
    }
}

void WarnAboutDeletions(const CheckReport& report, std::vector<AuthorWarning>* warnings) {
    const auto& requests = mp::DeleteRequests();
    size_t next = 0;
    for (int i = 0; i < UpdateDescription.DelFileCount && i < FileListCapacity; ++i) {
        const char* entry = UpdateDescription.DelFiles[i];
        std::string path = std::string(GameFolder) + "\\" + entry;
        if (next >= requests.size() || requests[next].path != path) {
            Warn(warnings, "delfile-outside", entry, "may lead out of the game folder (a .. component); the program skips it");
            continue;
        }
        const mp::DeleteRequest& request = requests[next++];
        if (request.deleted) {
            for (const GameChange& change : report.changes)
                if (mp::IsCopy(change.kind) && mp::SamePath(std::string(GameFolder) + "\\" + change.path, request.path)) {
                    Warn(warnings, "delfile-copied", entry, "the patch copies this file, and this entry deletes it right after");
                    break;
                }
        } else if (mp::IsDirectory(path)) {
            Warn(warnings, "delfile-folder", entry, "names a folder; folders are left alone");
        } else if (mp::IsFile(path) && (mp::Attributes(path) & FileAttributeReadOnly)) {
            Warn(warnings, "delfile-read-only", entry, "the file is read-only; it is left alone");
        } else {
            Warn(warnings, "delfile-missing", entry, "names nothing in the game folder");
        }
    }
}

}  // namespace

std::vector<std::string> ListUpdateFiles(const std::string& updateFolder) {
    std::vector<std::string> files;
    ListFilesBelow(updateFolder, "", &files);
    return files;
}

void WarnBeforeRun(const std::string& updateFolder, const std::string& gameFolder,
                   const std::vector<std::string>& updateFiles, std::vector<AuthorWarning>* warnings) {
    WarnAboutNewFiles(updateFolder, gameFolder, updateFiles, warnings);
    for (const char* name : EngineExecutables)
        if (mp::IsFile(updateFolder + "\\" + name) && !mp::IsFile(gameFolder + "\\" + name))
            Warn(warnings, "engine-not-in-game", name, "the patch carries this engine executable, which the game does not have");
}

void WarnAfterRun(const std::string& updateFolder, const std::vector<std::string>& updateFiles, const CheckReport& report,
                  std::vector<AuthorWarning>* warnings) {
    // A completed run passed verification; one that failed after it (a copy)
    // passes it again on what it left.
    if (!report.completes && GameFolder[0] != '\0' &&
        WalkUpdateTree(updateFolder.c_str(), "", Verify) != 0)
        WarnAboutVerification(updateFiles, warnings);
    if (report.completes) WarnAboutDeletions(report, warnings);
}
