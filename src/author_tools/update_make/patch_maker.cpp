// The plan and the proof load OLD, NEW and the patch onto the in-memory machine
// and ask it, so names are matched as the program's file system matches them.
#include "author_tools/update_make/patch_maker.h"

#include <stdlib.h>

#include <map>
#include <set>

#include "author_tools/run/author_warnings.h"
#include "author_tools/run/patch_check.h"
#include "author_tools/update_make/left_out_files.h"
#include "author_tools/host/text_conversion.h"
#include "text/text.h"
#include "description/update_description.h"
#include "platform/memory/platform_memory.h"
#include "shell/font_holder.h"
#include "state/scratch_buffers.h"
#include "update/game_folder.h"
#include "update/program_reset.h"
#include "update/update_tree.h"

namespace mp = memory_platform;

namespace {

// Roots no Windows path can name: OLD and NEW beside the game folder.
const std::string OldRoot = "old:";
const std::string NewRoot = "new:";

std::string Utf8(const std::string& shiftJis) { return ShiftJisToUtf8(shiftJis); }

std::string Below(const std::string& root, const std::string& relative) { return root + "\\" + relative; }

std::string LastComponent(const std::string& path) {
    size_t start = 0;
    for (size_t i = 0; i < path.size(); i += CharacterLength(path.c_str() + i))
        if (path[i] == '\\') start = i + 1;  // never a second byte: the steps are whole characters
    return path.substr(start);
}

std::string Mark(char kind, size_t index) { return std::string(1, kind) + std::to_string(index); }

// The index a mark of this kind carries, or -1.
long MarkIndex(const std::string& mark, char kind) {
    if (mark.size() < 2 || mark[0] != kind) return -1;
    return strtol(mark.c_str() + 1, nullptr, 10);
}

void Warn(PatchPlan* plan, const char* kind, const std::string& path, const std::string& message) {
    plan->warnings.push_back(AuthorWarning{kind, path, message});
}

// The path as the program leaves it: folders OLD has keep its spelling, the
// ones the patch creates are upper-cased.
std::string CreatedSpelling(const std::string& relative) {
    std::string prefix, created;
    for (const std::string& name : PathComponents(relative)) {
        prefix += (prefix.empty() ? "" : "\\") + name;
        std::string spelled = mp::IsDirectory(Below(OldRoot, prefix)) ? mp::StoredName(Below(OldRoot, prefix))
                                                                        : UpperCaseAscii(name);
        created += (created.empty() ? "" : "\\") + spelled;
    }
    return created;
}

void WarnAboutCase(const std::string& relative, const std::string& oldPath, PatchPlan* plan) {
    if (mp::StoredName(oldPath) != LastComponent(relative))
        Warn(plan, "case-kept", relative,
             "differs from OLD's name only in letter case; the game keeps OLD's spelling " + mp::StoredName(oldPath));
}

std::string Bytes(size_t count) { return std::to_string(count) + " bytes"; }

// The refusals of lengths and counts, on the whole plan.
int CheckLimits(const PatchPlan& plan, const MakeSettings& settings, std::string* problem) {
    auto refuse = [&](const std::string& path, const std::string& reason) {
        *problem = Utf8(path) + ": " + reason;
        return 1;
    };
    const size_t lists = FileListCapacity;
    if (plan.added.size() > lists)
        return refuse(plan.added[lists].path,
                      std::to_string(plan.added.size()) + " files are new in NEW, and update.ini holds at most " +
                          std::to_string(lists) + " [AddFile] lines (the reader's limit): split the patch in two");
    if (plan.deleted.size() > lists)
        return refuse(plan.deleted[lists].path,
                      std::to_string(plan.deleted.size()) + " files are gone from NEW, and update.ini holds at most " +
                          std::to_string(lists) + " [DelFile] lines (the reader's limit): split the patch in two");
    const size_t entryLimit = NameFieldSize - 1;
    for (const PlannedFile& file : plan.added)
        if (file.path.size() > entryLimit)
            return refuse(file.path, "its [AddFile] entry has " + Bytes(file.path.size()) + ", more than the reader's " +
                                         std::to_string(entryLimit));
    for (const PlannedFile& file : plan.deleted) {
        if (file.path.size() > entryLimit)
            return refuse(file.path, "its [DelFile] entry has " + Bytes(file.path.size()) + ", more than the reader's " +
                                         std::to_string(entryLimit));
        std::string path = Below(settings.gamePath, file.path);
        if (path.size() >= ScratchBufferSize)
            return refuse(file.path, "its path in the game folder (--game-path) has " + Bytes(path.size()) +
                                         ", more than the program's " + std::to_string(ScratchBufferSize - 1));
    }
    const size_t pathLimit = LevelTextSize - 1;
    std::set<std::string> folders(plan.newFolders.begin(), plan.newFolders.end());
    for (const auto* list : {&plan.added, &plan.replaced})
        for (const PlannedFile& file : *list) {
            std::string destination = Below(settings.gamePath, file.path);
            if (destination.size() > pathLimit)
                return refuse(file.path, "its path in the game folder (--game-path) has " + Bytes(destination.size()) +
                                             ", more than the program's " + std::to_string(pathLimit));
            std::string source = Below(settings.patchPath, "update\\" + file.path);
            if (source.size() > pathLimit)
                return refuse(file.path, "its path in the patch (--patch-path) has " + Bytes(source.size()) +
                                             ", more than the program's " + std::to_string(pathLimit));
            std::vector<std::string> names = PathComponents(file.path);
            std::string prefix;
            for (size_t i = 0; i + 1 < names.size(); ++i) folders.insert(prefix += (prefix.empty() ? "" : "\\") + names[i]);
        }
    // The walk searches each folder of update\ with "folder\*".
    for (const std::string& folder : folders) {
        std::string pattern = Below(settings.patchPath, "update\\" + folder + "\\*");
        if (pattern.size() > pathLimit)
            return refuse(folder, "the search of this folder in the patch (--patch-path) has " + Bytes(pattern.size()) +
                                      ", more than the program's " + std::to_string(pathLimit));
    }
    return 0;
}

bool ValidUtf8(const std::string& text) {
    for (size_t i = 0; i < text.size();) {
        unsigned char byte = (unsigned char)text[i];
        size_t length = byte < 0x80 ? 1 : (byte >> 5) == 6 ? 2 : (byte >> 4) == 14 ? 3 : (byte >> 3) == 30 ? 4 : 0;
        if (length == 0 || i + length > text.size()) return false;
        for (size_t k = 1; k < length; ++k)
            if (((unsigned char)text[i + k] >> 6) != 2) return false;
        i += length;
    }
    return true;
}

// The option that gives a key of update.ini: [GameName] is --game-name.
std::string OptionOf(const std::string& key) {
    std::string option = "-";
    for (char c : key.substr(1, key.size() - 2)) option += c >= 'A' && c <= 'Z' ? std::string("-") + (char)(c - 'A' + 'a') : std::string(1, c);
    return option;
}

bool HasKey(const std::string& line, const std::string& key) {
    size_t equals = line.find('=');
    return equals != std::string::npos && EqualIgnoringAsciiCase(line.substr(0, equals).c_str(), key.c_str());
}

bool IsEngineExecutable(const std::string& relative) {
    for (const char* name : EngineExecutables)
        if (mp::SameName(relative, name)) return true;
    return false;
}

}  // namespace

std::string UpperCaseAscii(const std::string& shiftJis) {
    std::string upper = shiftJis;
    for (size_t i = 0; i < upper.size(); i += CharacterLength(upper.c_str() + i))
        if (upper[i] >= 'a' && upper[i] <= 'z') upper[i] = (char)(upper[i] - 'a' + 'A');
    return upper;
}

PlanResult PlanPatch(const FolderRead& oldRead, const FolderRead& newRead, const MakeSettings& settings,
                     const FileComparer& compare, PatchPlan* plan, std::string* problem) {
    *plan = PatchPlan();
    plan->oldTwin.assign(oldRead.entries.size(), -1);
    mp::Reset();
    std::string refused;
    if (mp::LoadTree(OldRoot, oldRead.entries, &refused) != 0) {
        *problem = settings.oldShown + ": " + Utf8(refused);
        return PlanResult::Refused;
    }
    if (mp::LoadTree(NewRoot, newRead.entries, &refused) != 0) {
        *problem = settings.newShown + ": " + Utf8(refused);
        return PlanResult::Refused;
    }
    for (size_t i = 0; i < oldRead.entries.size(); ++i)
        if (!oldRead.entries[i].directory) mp::MarkFile(Below(OldRoot, oldRead.entries[i].relativePath), Mark('o', i));
    auto refuse = [&](const std::string& path, const std::string& reason) {
        *problem = settings.newShown + ": " + Utf8(path) + ": " + reason;
        return PlanResult::Refused;
    };

    for (size_t j = 0; j < newRead.entries.size(); ++j) {
        const mp::TreeEntry& entry = newRead.entries[j];
        const std::string oldPath = Below(OldRoot, entry.relativePath);
        if (entry.directory) {
            if (mp::IsFile(oldPath))
                return refuse(entry.relativePath, "a file in OLD is a folder in NEW, which a patch cannot do "
                                                  "(the copy never removes a file)");
            if (mp::IsDirectory(oldPath)) {
                WarnAboutCase(entry.relativePath, oldPath, plan);
                continue;
            }
            plan->newFolders.push_back(entry.relativePath);
            std::string created = CreatedSpelling(entry.relativePath);
            if (LastComponent(created) != LastComponent(entry.relativePath))
                Warn(plan, "folder-upper-cased", entry.relativePath,
                     "the program creates new folders in upper case: it becomes " + created);
            continue;
        }
        if (mp::IsDirectory(oldPath))
            return refuse(entry.relativePath, "a folder in OLD is a file in NEW, which a patch cannot do "
                                              "([DelFile] deletes files only)");
        // Every file of OLD carries its mark; a name OLD lacks has no content.
        long oldIndex = MarkIndex(mp::FileContent(oldPath), 'o');
        if (oldIndex < 0) {
            plan->added.push_back(PlannedFile{entry.relativePath, entry.size, j});
            continue;
        }
        const mp::TreeEntry& old = oldRead.entries[(size_t)oldIndex];
        WarnAboutCase(entry.relativePath, oldPath, plan);
        int verdict = 1;
        if (old.size == entry.size) {
            verdict = compare((size_t)oldIndex, j, problem);
            if (verdict == 2) return PlanResult::ReadError;
        }
        if (verdict == 0) {
            plan->oldTwin[(size_t)oldIndex] = (long)j;
            ++plan->unchanged;
            continue;
        }
        // An engine executable is judged below, once it is known which one the program copies first.
        std::string what, pattern;
        if ((old.attributes & FileAttributeHidden) && !IsEngineExecutable(entry.relativePath))
            return refuse(entry.relativePath, "the file to replace is hidden in OLD, and the program's copy over a "
                                              "hidden file fails" +
                                                  (IsNoGameFile(entry.relativePath, &what, &pattern)
                                                       ? "; it is " + what + ", no game's file: leave it out with "
                                                                             "--exclude " + pattern
                                                       : std::string()));
        plan->replaced.push_back(PlannedFile{entry.relativePath, entry.size, j, (size_t)oldIndex});
    }

    // The first engine executable the patch carries is copied over OLD's
    // before anything else, without clearing marks; the tree copy that
    // follows fails over a hidden one.
    bool first = true;
    for (const char* name : EngineExecutables) {
        for (const auto* list : {&plan->added, &plan->replaced})
            for (const PlannedFile& file : *list) {
                if (!mp::SameName(file.path, name)) continue;
                const unsigned marks = list == &plan->replaced ? oldRead.entries[file.oldSource].attributes &
                                                                     (FileAttributeReadOnly | FileAttributeHidden |
                                                                      FileAttributeSystem)
                                                               : 0;
                if (first && marks) Warn(plan, "engine-marked", file.path, EngineMarkMessage(marks, "in OLD"));
                else if (marks & FileAttributeHidden)
                    return refuse(file.path, "the file to replace is hidden in OLD, and the program's copy over a "
                                             "hidden file fails");
                first = false;
            }
    }
    for (AuthorWarning& warning : NoGameFileWarnings(*plan)) plan->warnings.push_back(std::move(warning));

    for (size_t i = 0; i < oldRead.entries.size(); ++i) {
        const mp::TreeEntry& old = oldRead.entries[i];
        const std::string newPath = Below(NewRoot, old.relativePath);
        if (mp::IsFile(newPath) || mp::IsDirectory(newPath)) continue;
        if (old.directory) {
            Warn(plan, "folder-stays", old.relativePath,
                 "the folder is gone from NEW, but stays: [DelFile] deletes files only");
            continue;
        }
        plan->deleted.push_back(PlannedFile{old.relativePath, old.size, i});
        if (old.attributes & FileAttributeReadOnly)
            Warn(plan, "delete-read-only", old.relativePath,
                 "the file is gone from NEW, but read-only in OLD: the program leaves it where it is");
    }
    if (CheckLimits(*plan, settings, problem) != 0) {
        *problem = settings.newShown + ": " + *problem;
        return PlanResult::Refused;
    }
    return PlanResult::Planned;
}

int CheckPlanLimits(const PatchPlan& plan, const MakeSettings& settings, std::string* problem) {
    return CheckLimits(plan, settings, problem);
}

int ComposeDescription(const DescriptionTexts& texts, const PatchPlan& plan, std::string* content, std::string* problem) {
    std::vector<std::string> lines;
    if (texts.haveTexts) {
        std::string bytes = texts.texts;
        bool utf8 = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0;
        if (utf8) bytes.erase(0, 3);
        else utf8 = ValidUtf8(bytes);  // Shift-JIS text with any double-byte character is no valid UTF-8
        size_t start = 0;
        for (int number = 1; start < bytes.size(); ++number) {
            size_t end = bytes.find('\n', start);
            if (end == std::string::npos) end = bytes.size();
            std::string line = bytes.substr(start, end - start);
            start = end + 1;
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (utf8) {
                std::string shiftJis;
                if (Utf8ToShiftJis(line, &shiftJis) != 0) {
                    size_t equals = line.find('=');
                    *problem = "--texts: line " + std::to_string(number) +
                               (equals == std::string::npos ? "" : " (" + line.substr(0, equals) + ")") + ": its " +
                               WhyNoShiftJisForm(line);
                    return 1;
                }
                line = shiftJis;
            }
            if (HasKey(line, "[AddFile]") || HasKey(line, "[DelFile]")) continue;
            lines.push_back(line);
        }
    }
    for (const auto& [key, value] : texts.values) {
        std::string shiftJis;
        if (Utf8ToShiftJis(value, &shiftJis) != 0) {
            *problem = OptionOf(key) + " " + value + " (" + key + "): its " + WhyNoShiftJisForm(value);
            return 1;
        }
        bool replaced = false;
        for (std::string& line : lines)
            if (HasKey(line, key)) {
                line = key + "=" + shiftJis;
                replaced = true;
            }
        if (!replaced) lines.push_back(key + "=" + shiftJis);
    }
    // The program reads the last [RegPath] line.
    const std::string* registry = nullptr;
    for (const std::string& line : lines)
        if (HasKey(line, "[RegPath]")) registry = &line;
    if (registry) {
        const std::string value = registry->substr(registry->find('=') + 1);
        std::string mistake = RegistryPathMistake(value);
        bool option = false;
        for (const auto& given : texts.values) option = option || given.first == "[RegPath]";
        if (!mistake.empty()) {
            *problem = ShiftJisToUtf8((option ? "--reg-path " : "--texts [RegPath]=") + value + ": " + mistake);
            return 1;
        }
    }
    if (!registry) {
        *problem = "update.ini needs [RegPath], where the game records its folder: give --texts with the previous "
                   "patch's update.ini, or --reg-path";
        return 1;
    }
    for (const PlannedFile& file : plan.added) lines.push_back("[AddFile]=" + file.path);
    for (const PlannedFile& file : plan.deleted) lines.push_back("[DelFile]=" + file.path);
    content->clear();
    for (const std::string& line : lines) *content += line + "\r\n";
    return 0;
}

int ProvePatch(FolderRead oldRead, const FolderRead& newRead, FolderRead patchRead,
               const PatchPlan& plan, const std::set<size_t>& byDelta, const MakeSettings& settings,
               ProofResult* proof, std::string* problem) {
    // Which file of NEW each file of update\ was written from.
    std::map<std::string, size_t> written;
    for (const auto* list : {&plan.added, &plan.replaced})
        for (const PlannedFile& file : *list) written["update\\" + file.path] = file.source;
    std::string game;
    CheckInput input;
    input.patchPath = settings.patchPath;
    input.gamePath = settings.gamePath;
    input.patch = std::move(patchRead);
    input.game = std::move(oldRead);
    input.patchShown = "the patch";
    input.gameShown = settings.oldShown;
    input.listAfter = true;
    input.afterLoading = [&](const std::string& patchFolder, const std::string& gameFolder) {
        game = gameFolder;
        const std::vector<mp::TreeEntry>& oldEntries = input.game.entries;
        for (size_t i = 0; i < oldEntries.size(); ++i)
            if (!oldEntries[i].directory) mp::MarkFile(Below(gameFolder, oldEntries[i].relativePath), Mark('o', i));
        for (const mp::TreeEntry& entry : input.patch.entries) {
            // update.ini keeps its content: the program reads it.
            if (entry.directory || entry.relativePath.compare(0, 7, "update\\") != 0) continue;
            auto found = written.find(entry.relativePath);
            mp::MarkFile(Below(patchFolder, entry.relativePath), found == written.end() ? "p?" : Mark('p', found->second));
        }
    };
    *proof = ProofResult();
    // The program's globals as at its start, whatever ran before in this process.
    ResetProgramGlobals();
    ControlFont.font = 0;
    if (CheckPatch(input, &proof->check, problem) != 0) return 1;

    std::string refused;
    if (mp::LoadTree(NewRoot, newRead.entries, &refused) != 0) {
        *problem = settings.newShown + ": " + Utf8(refused);
        return 1;
    }
    for (size_t j = 0; j < newRead.entries.size(); ++j)
        if (!newRead.entries[j].directory) mp::MarkFile(Below(NewRoot, newRead.entries[j].relativePath), Mark('n', j));
    auto differ = [&](const std::string& path, const std::string& message) {
        proof->differences.push_back(ProofDifference{path, message});
    };
    auto warned = [&](const char* kind, const std::string& path) {
        for (const AuthorWarning& warning : plan.warnings)
            if (warning.kind == kind && mp::SameName(warning.path, path)) return true;
        return false;
    };
    if (!proof->check.completes) differ("", "the program's run does not complete (its boxes are above)");
    for (const ObjectAfter& object : proof->check.after) {
        std::string relative = object.folder ? object.path.substr(0, object.path.size() - 1) : object.path;
        std::string newPath = Below(NewRoot, relative);
        bool newFolder = mp::IsDirectory(newPath), newFile = mp::IsFile(newPath);
        if (object.folder) {
            if (newFile) differ(relative, "the game has a folder here, NEW a file");
            else if (!newFolder && !warned("folder-stays", relative)) differ(relative, "a folder NEW does not have");
            continue;
        }
        if (newFolder) {
            differ(relative, "the game has a file here, NEW a folder");
            continue;
        }
        if (!newFile) {
            if (!warned("delete-read-only", relative)) differ(relative, "a file NEW does not have");
            continue;
        }
        long j = MarkIndex(mp::FileContent(newPath), 'n');
        if (j < 0) {
            differ(relative, "NEW's file is not known");
            continue;
        }
        std::string mark = mp::FileContent(Below(game, relative));
        long oldIndex = MarkIndex(mark, 'o'), copied = MarkIndex(mark, 'p');
        if (byDelta.count((size_t)j) != 0) {
            // The run checks each result's SHA-256 against NEW's before it takes the file's place.
            bool applied = false;
            for (const GameChange& change : proof->check.changes)
                applied = applied || (change.kind == mp::ChangeKind::Replace && mp::SameName(change.path, relative));
            if (!applied) differ(relative, "keeps OLD's bytes: the program's run did not apply its delta");
            else if (object.size != newRead.entries[(size_t)j].size)
                differ(relative, "its delta's result has " + std::to_string(object.size) + " bytes, NEW's file " +
                                     std::to_string(newRead.entries[(size_t)j].size));
            continue;
        }
        if (object.size != newRead.entries[(size_t)j].size)
            differ(relative, "has " + std::to_string(object.size) + " bytes, NEW's file " +
                                 std::to_string(newRead.entries[(size_t)j].size));
        if (oldIndex >= 0) {
            if (plan.oldTwin[(size_t)oldIndex] != j) differ(relative, "keeps OLD's bytes, which differ from NEW's");
        } else if (copied >= 0) {
            if (copied != j)
                differ(relative, "gets the patch's copy of NEW's " + newRead.entries[(size_t)copied].relativePath);
        } else {
            differ(relative, "its bytes come from neither OLD nor NEW");
        }
    }
    for (const mp::TreeEntry& entry : newRead.entries) {
        std::string path = Below(game, entry.relativePath);
        if (!mp::IsFile(path) && !mp::IsDirectory(path))
            differ(entry.relativePath, std::string("missing: NEW has this ") + (entry.directory ? "folder" : "file"));
    }
    proof->proven = proof->check.completes && proof->differences.empty();
    return 0;
}
