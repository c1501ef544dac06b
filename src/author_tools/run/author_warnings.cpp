// The warnings ask the program's own pieces (the [AddFile] comparison and the
// verify step of the walk) and the machine's record of the run; they apply no
// rule of their own to the folders, and look for a reason only once the
// program's own step has failed.
#include "author_tools/run/author_warnings.h"

#include <algorithm>

#include "author_tools/host/encoding_guess.h"

#include "text/text.h"
#include "description/update_description.h"
#include "update/delta_manifest.h"
#include "update/game_folder.h"
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

// The names of a path as the machine resolves them ("." dropped, ".." going
// up, trailing dots and spaces trimmed), the root first, each folded as the
// machine compares names: two paths whose shapes differ never name the same object.
struct PathShape {
    std::vector<std::string> folded;
};

PathShape ShapeOf(const std::string& path) {
    std::vector<std::string> names;  // the root first
    std::string part;
    for (size_t i = 0; i <= path.size();) {
        size_t length = i < path.size() ? CharacterLength(path.c_str() + i) : 1;
        if (i == path.size() || (length == 1 && (path[i] == '\\' || path[i] == '/'))) {
            if (names.empty()) {
                names.push_back(part);
            } else if (part == "..") {
                if (names.size() > 1) names.pop_back();
            } else if (part != ".") {
                while (!part.empty() && (part.back() == '.' || part.back() == ' ')) part.pop_back();
                if (!part.empty()) names.push_back(part);
            }
            part.clear();
        } else {
            part.append(path, i, length);
        }
        i += length;
    }
    PathShape shape;
    // Any two names the machine takes as one fold to the same text: SameName compares the folded texts.
    for (const std::string& name : names) shape.folded.push_back(mp::FoldedName(name));
    return shape;
}

// The last names first: they differ most often.
bool MayBeSamePath(const PathShape& left, const PathShape& right) {
    return left.folded.size() == right.folded.size() &&
           std::equal(left.folded.rbegin(), left.folded.rend(), right.folded.rbegin());
}

void WarnAboutDeletions(const CheckReport& report, std::vector<AuthorWarning>* warnings) {
    const auto& requests = mp::DeleteRequests();
    // The copies, each shaped once: a patch may copy thousands of files and
    // delete hundreds.
    std::vector<std::pair<std::string, PathShape>> copies;
    for (const GameChange& change : report.changes)
        if (mp::IsCopy(change.kind)) {
            std::string path = std::string(GameFolder) + "\\" + change.path;
            copies.emplace_back(path, ShapeOf(path));
        }
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
            const PathShape deleted = ShapeOf(request.path);
            for (const auto& [copy, shape] : copies)
                if (MayBeSamePath(shape, deleted) && mp::SamePath(copy, request.path)) {
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

bool IsHiveName(std::string name) {
    if (!name.empty() && name.back() == ':') name.pop_back();  // PowerShell's HKCU:
    if (EqualIgnoringAsciiCase(name.substr(0, 5).c_str(), "HKEY_")) return true;
    for (const char* shortName : {"HKCU", "HKLM", "HKCR", "HKU", "HKCC"})
        if (EqualIgnoringAsciiCase(name.c_str(), shortName)) return true;
    return false;
}

// The first name of a Shift-JIS path: up to its first backslash.
size_t FirstNameLength(const std::string& path) {
    size_t i = 0;
    while (i < path.size() && path[i] != '\\') i += CharacterLength(path.c_str() + i);
    return i;
}

bool EndsWithBackslash(const std::string& path) {
    size_t last = std::string::npos;
    for (size_t i = 0; i < path.size(); i += CharacterLength(path.c_str() + i)) last = i;
    return last != std::string::npos && path[last] == '\\';
}

// A file both in update\ and in deltas.txt: the copy writes update\'s file, then
// the delta's result replaces it; a second run finds the result already in
// place, makes none, and keeps update\'s copy.
void WarnAboutFilesAlsoWhole(const std::vector<std::string>& updateFiles, std::vector<AuthorWarning>* warnings) {
    for (int i = 0; i < DeltaCount; ++i)
        for (const std::string& file : updateFiles)
            if (EqualIgnoringAsciiCase(DeltaList[i].gameFile, file.c_str())) {
                Warn(warnings, "delta-also-whole", file,
                     "is both in update\\ and in deltas.txt: the delta's result replaces the copied file, and a "
                     "second run keeps the copy instead; leave it in one of the two");
                break;
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
    // The first one the patch carries is copied over the game's own, marks and all.
    for (const char* name : EngineExecutables) {
        if (!mp::IsFile(updateFolder + "\\" + name)) continue;
        const std::string game = gameFolder + "\\" + name;
        const unsigned marks = FileAttributeReadOnly | FileAttributeHidden | FileAttributeSystem;
        if (mp::IsFile(game) && (mp::Attributes(game) & marks))
            Warn(warnings, "engine-marked", name, EngineMarkMessage(mp::Attributes(game) & marks, "in the game folder"));
        break;
    }
}

void WarnAboutEncoding(const std::string& description, std::vector<AuthorWarning>* warnings) {
    if (LooksLikeUtf8(description))
        Warn(warnings, "ini-not-shift-jis", "update.ini",
             "saved in UTF-8, but the program reads it as Shift-JIS, so its texts show garbled: save it as Shift-JIS "
             "(code page 932), or have update-make write it (--texts takes a UTF-8 update.ini)");
}

void WarnAboutEmptyTexts(bool windowShown, std::vector<AuthorWarning>* warnings) {
    struct Text {
        const char* value;
        const char* key;
        const char* message;
    };
    const Text texts[] = {
        {UpdateDescription.Caption, "[Caption]", "empty: the window's title is blank; give it (update-make: --caption, "
                                                  "or --game-name, which it defaults to)"},
        {UpdateDescription.Comment0, "[Comment0]", "empty: the window's upper text is blank; give it (update-make: "
                                                    "--comment0)"},
        {UpdateDescription.Comment1, "[Comment1]", "empty: the window's lower text is blank; give it (update-make: "
                                                    "--comment1)"},
    };
    if (windowShown)
        for (const Text& text : texts)
            if (text.value[0] == '\0') Warn(warnings, "text-empty", text.key, text.message);
    if (UpdateDescription.GameName[0] == '\0')
        Warn(warnings, "text-empty", "[GameName]",
             "empty: the box for a game that is not installed names no game; give it (update-make: --game-name)");
}

std::string RegistryPathMistake(const std::string& value) {
    // The key as the program composes it (description_reader.cpp): Software\ and
    // the value, one trailing backslash removed.
    std::string key = "Software\\" + value;
    RemoveTrailingBackslash(&key[0]);
    const std::string read = "HKEY_CURRENT_USER\\" + std::string(key.c_str());

    std::string rest = value, wrong;
    bool otherHive = false;
    auto dropLeadingBackslashes = [&] {
        while (!rest.empty() && rest[0] == '\\') rest.erase(0, 1);
    };
    if (!rest.empty() && rest[0] == '\\') wrong = "starts with a backslash";
    dropLeadingBackslashes();
    size_t first = FirstNameLength(rest);
    if (IsHiveName(rest.substr(0, first))) {
        std::string hive = rest.substr(0, first);
        otherHive = !EqualIgnoringAsciiCase(hive.c_str(), "HKCU") && !EqualIgnoringAsciiCase(hive.c_str(), "HKCU:") &&
                    !EqualIgnoringAsciiCase(hive.c_str(), "HKEY_CURRENT_USER");
        if (wrong.empty()) wrong = "starts with the hive name " + hive;
        rest.erase(0, first);
        dropLeadingBackslashes();
        first = FirstNameLength(rest);
    }
    if (first < rest.size() && EqualIgnoringAsciiCase(rest.substr(0, first).c_str(), "Software")) {
        if (wrong.empty()) wrong = "starts with Software\\";
        rest.erase(0, first);
        dropLeadingBackslashes();
    }
    if (EndsWithBackslash(rest) && wrong.empty()) wrong = "ends with a backslash";
    while (EndsWithBackslash(rest)) rest.pop_back();
    if (wrong.empty()) return "";
    std::string message = wrong + ": update.exe reads the value SAV_FOLDER of the key "
                          "HKEY_CURRENT_USER\\Software\\<[RegPath]>, here " + read;
    const std::string meant = "HKEY_CURRENT_USER\\Software\\" + rest;
    const bool same = EqualIgnoringAsciiCase(read.c_str(), meant.c_str());
    if (same)
        message += " (it drops one trailing backslash)";
    else
        message += ", a key no installer writes, so every player would get the box "
                   "\"...がインストールされていません。\"";
    if (rest.empty()) return message + "; write the game's key below HKEY_CURRENT_USER\\Software, such as Maker\\Game";
    message += "; write [RegPath]=" + rest + " (--reg-path '" + rest + "')" +
               (same ? ", which names the same key as it stands" : ", and it reads " + meant);
    if (otherHive)
        message += " (it reads below HKEY_CURRENT_USER only: the game must record its folder there)";
    return message;
}

void WarnAboutRegistryPath(const std::string& description, std::vector<AuthorWarning>* warnings) {
    // Lines as the program's reader takes them: CR LF ends a line, a key is
    // compared without regard to ASCII case, the last line of a key wins.
    std::string value;
    bool found = false;
    for (size_t start = 0; start < description.size();) {
        size_t end = description.find('\n', start);
        if (end == std::string::npos) end = description.size();
        std::string line = description.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r' && end < description.size()) line.pop_back();
        size_t equals = line.find('=');
        if (equals == std::string::npos || !EqualIgnoringAsciiCase(line.substr(0, equals).c_str(), "[RegPath]"))
            continue;
        value = line.substr(equals + 1);
        found = true;
    }
    if (!found) return;
    std::string mistake = RegistryPathMistake(value);
    if (!mistake.empty()) Warn(warnings, "reg-path", "[RegPath]", value + " " + mistake);
}

std::string EngineMarkMessage(unsigned attributes, const std::string& where) {
    std::string marks;
    for (auto [mark, name] : {std::pair{FileAttributeReadOnly, "read-only"}, std::pair{FileAttributeHidden, "hidden"},
                              std::pair{FileAttributeSystem, "system"}})
        if (attributes & mark) marks += (marks.empty() ? "" : " and ") + std::string(name);
    return marks + " " + where +
           ": update.exe copies the engine executable over it before anything else, without clearing its marks, so "
           "the copy fails and players see the box ファイルのコピーに失敗しました。; if only your copy has the mark, "
           "clear it (Windows: attrib -r -h -s; Linux: chmod u+w, and the hidden and system bits of Wine's "
           "user.DOSATTRIB attribute) and run again; players whose copy has it get that box";
}

void WarnAfterRun(const std::string& updateFolder, const std::vector<std::string>& updateFiles, const CheckReport& report,
                  std::vector<AuthorWarning>* warnings) {
    // A completed run passed verification; one that failed after it (a copy)
    // passes it again on what it left.
    if (!report.completes && GameFolder[0] != '\0' &&
        WalkUpdateTree(updateFolder.c_str(), "", Verify) != 0)
        WarnAboutVerification(updateFiles, warnings);
    if (report.completes) WarnAboutDeletions(report, warnings);
    WarnAboutFilesAlsoWhole(updateFiles, warnings);
}
