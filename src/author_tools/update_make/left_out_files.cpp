// What update-make leaves out of a patch: the files --exclude names, and the
// files no game has, which it warns about.
#include "author_tools/update_make/left_out_files.h"

#include <map>

#include "author_tools/host/text_conversion.h"
#include "text/text.h"

namespace mp = memory_platform;

// The components of a Shift-JIS path; a 0x5C second byte never separates.
std::vector<std::string> PathComponents(const std::string& path) {
    std::vector<std::string> names(1);
    for (size_t i = 0; i < path.size();) {
        size_t length = CharacterLength(path.c_str() + i);
        if (length == 1 && path[i] == '\\') names.emplace_back();
        else names.back().append(path, i, length);
        i += length;
    }
    return names;
}

namespace {

// An ASCII letter in lower case; any other byte as it is.
char FoldAscii(char c) { return c >= 'A' && c <= 'Z' ? (char)(c - 'A' + 'a') : c; }

// Whether a glob (* any run of characters, ? one) matches a Shift-JIS text,
// character by character, ASCII letters without regard to case.
bool GlobMatches(const std::string& pattern, const std::string& text) {
    auto characters = [](const std::string& shiftJis) {
        std::vector<std::string> list;
        for (size_t i = 0; i < shiftJis.size();) {
            size_t length = CharacterLength(shiftJis.c_str() + i);
            std::string character = shiftJis.substr(i, length);
            if (length == 1) character[0] = FoldAscii(character[0]);
            list.push_back(character);
            i += length;
        }
        return list;
    };
    const std::vector<std::string> glob = characters(pattern), name = characters(text);
    // The classic walk: on a mismatch, let the last * take one more character.
    size_t g = 0, n = 0, star = std::string::npos, resume = 0;
    while (n < name.size()) {
        if (g < glob.size() && glob[g] == "*") {
            star = g++;
            resume = n;
        } else if (g < glob.size() && (glob[g] == "?" || glob[g] == name[n])) {
            ++g;
            ++n;
        } else if (star != std::string::npos) {
            g = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (g < glob.size() && glob[g] == "*") ++g;
    return g == glob.size();
}

bool Excluded(const std::vector<std::string>& patterns, const std::string& relative) {
    // The path itself and every folder above it, each by its path and by its name.
    std::string prefix;
    for (const std::string& name : PathComponents(relative)) {
        prefix += (prefix.empty() ? "" : "\\") + name;
        for (const std::string& pattern : patterns)
            if (GlobMatches(pattern, prefix) || GlobMatches(pattern, name)) return true;
    }
    return false;
}

}  // namespace

int ExcludePatterns(const std::vector<std::string>& utf8, std::vector<std::string>* patterns, std::string* problem) {
    patterns->clear();
    for (const std::string& pattern : utf8) {
        std::string shiftJis;
        if (Utf8ToShiftJis(pattern, &shiftJis) != 0) {
            *problem = "--exclude " + pattern + ": its " + WhyNoShiftJisForm(pattern);
            return 1;
        }
        for (size_t i = 0; i < shiftJis.size(); i += CharacterLength(shiftJis.c_str() + i))
            if (shiftJis[i] == '/') shiftJis[i] = '\\';
        while (!shiftJis.empty() && shiftJis.back() == '\\') shiftJis.pop_back();  // "save\" names the folder
        if (shiftJis.empty()) {
            *problem = "--exclude needs a name or a path such as Thumbs.db or save\\*";
            return 1;
        }
        patterns->push_back(shiftJis);
    }
    return 0;
}

std::vector<std::string> ExcludeEntries(const std::vector<std::string>& patterns, FolderRead* read) {
    std::vector<std::string> files;
    if (patterns.empty()) return files;
    std::vector<mp::TreeEntry> kept;
    kept.reserve(read->entries.size());
    for (mp::TreeEntry& entry : read->entries) {
        if (!Excluded(patterns, entry.relativePath)) kept.push_back(std::move(entry));
        else if (!entry.directory) files.push_back(entry.relativePath);
    }
    read->entries = std::move(kept);
    return files;
}

bool IsNoGameFile(const std::string& relative, std::string* what, std::string* pattern) {
    const std::vector<std::string> names = PathComponents(relative);
    for (size_t i = 0; i + 1 < names.size(); ++i)
        if (EqualIgnoringAsciiCase(names[i].c_str(), ".git")) {
            *what = "a file of a Git repository";
            *pattern = ".git";
            return true;
        }
    const std::string& name = names.back();
    const char* const known[][2] = {{"Thumbs.db", "Windows Explorer's thumbnail cache"},
                                    {"desktop.ini", "Windows Explorer's folder settings"},
                                    {".DS_Store", "macOS Finder's folder settings"}};
    for (const auto& file : known)
        if (EqualIgnoringAsciiCase(name.c_str(), file[0])) {
            *what = file[1];
            *pattern = file[0];
            return true;
        }
    // The tilde must be a character of its own: 0x7E is also a second byte.
    size_t last = 0;
    for (size_t i = 0; i < name.size(); i += CharacterLength(name.c_str() + i)) last = i;
    if (!name.empty() && last == name.size() - 1 && name[last] == '~') {
        *what = "an editor's backup copy";
        *pattern = "'*~'";  // quoted for the shell
        return true;
    }
    return false;
}

// Files of NEW the patch would carry that are no game's: one warning a file,
// one for each .git folder.
std::vector<AuthorWarning> NoGameFileWarnings(const PatchPlan& plan) {
    std::vector<AuthorWarning> warnings;
    std::map<std::string, size_t> repositories;  // .git folder: files carried
    for (const auto* list : {&plan.added, &plan.replaced})
        for (const PlannedFile& file : *list) {
            std::string what, pattern;
            if (!IsNoGameFile(file.path, &what, &pattern)) continue;
            if (pattern != ".git") {
                warnings.push_back(AuthorWarning{"not-game-file", file.path,
                     what + ", no game's file: the patch would carry it to every player; leave it out with --exclude " +
                         pattern});
                continue;
            }
            std::string folder;
            for (const std::string& name : PathComponents(file.path)) {
                folder += (folder.empty() ? "" : "\\") + name;
                if (EqualIgnoringAsciiCase(name.c_str(), ".git")) break;
            }
            ++repositories[folder];
        }
    for (const auto& [folder, count] : repositories)
        warnings.push_back(AuthorWarning{"not-game-file", folder,
             "a Git repository's folder (" + std::to_string(count) + (count == 1 ? " file" : " files") +
                 " in the patch), no game's: the patch would carry it to every player; leave it out with "
                 "--exclude .git"});
    return warnings;
}

