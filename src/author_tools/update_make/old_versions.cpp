#include "author_tools/update_make/old_versions.h"

#include <algorithm>
#include <set>

#include "author_tools/host/text_conversion.h"
#include "platform/memory/platform_memory.h"
#include "text/text.h"

namespace mp = memory_platform;

namespace {

std::string FolderName(std::string folder) {
    while (folder.size() > 1 && (folder.back() == '/' || folder.back() == '\\')) folder.pop_back();
    size_t slash = folder.find_last_of("/\\");
    return slash == std::string::npos ? folder : folder.substr(slash + 1);
}

bool Listed(const std::vector<PlannedFile>& files, size_t source) {
    for (const PlannedFile& file : files)
        if (file.source == source) return true;
    return false;
}

}  // namespace

int VersionLabel(const std::string& given, const std::string& folder, std::string* label, std::string* problem) {
    const std::string name = given.empty() ? FolderName(folder) : given;
    const std::string where = given.empty() ? "the old game folder's name " + name : "--label " + name;
    if (Utf8ToShiftJis(name, label) != 0) return *problem = where + ": its " + WhyNoShiftJisForm(name), 1;
    if (label->empty() || label->find_first_of("\t\r\n") != std::string::npos)
        return *problem = where + ": a version's name must be a line of text (give --label)", 1;
    // A long folder name is cut at a whole character; a label given is refused.
    size_t end = 0;
    for (size_t i = 0; i < label->size() && i + CharacterLength(label->c_str() + i) <= VersionLabelLimit;)
        end = i += CharacterLength(label->c_str() + i);
    if (end < label->size()) {
        if (!given.empty())
            return *problem = where + ": longer than " + std::to_string(VersionLabelLimit) + " bytes in Shift-JIS", 1;
        label->resize(end);
    }
    return 0;
}

bool FirstHasNew(const PatchPlan& plan, const PlannedFile& file) {
    return file.oldSource < plan.oldTwin.size() && plan.oldTwin[file.oldSource] == (long)file.source;
}

void MergeVersionPlan(const PatchPlan& other, PatchPlan* plan) {
    for (const PlannedFile& file : other.added) {
        if (Listed(plan->added, file.source)) continue;
        auto replaced = std::find_if(plan->replaced.begin(), plan->replaced.end(),
                                     [&](const PlannedFile& entry) { return entry.source == file.source; });
        if (replaced != plan->replaced.end()) plan->replaced.erase(replaced);
        plan->added.push_back(PlannedFile{file.path, file.size, file.source});
    }
    for (const PlannedFile& file : other.replaced) {
        if (Listed(plan->added, file.source) || Listed(plan->replaced, file.source)) continue;
        // The first version has it with NEW's bytes: its twin.
        auto twin = std::find(plan->oldTwin.begin(), plan->oldTwin.end(), (long)file.source);
        if (twin == plan->oldTwin.end()) continue;  // cannot happen: neither added nor replaced nor kept
        plan->replaced.push_back(PlannedFile{file.path, file.size, file.source, (size_t)(twin - plan->oldTwin.begin())});
        --plan->unchanged;
    }
    for (const PlannedFile& file : other.deleted) {
        bool listed = false;
        for (const PlannedFile& deleted : plan->deleted) listed = listed || mp::SameName(deleted.path, file.path);
        if (!listed) plan->deleted.push_back(file);
    }
    for (const std::string& folder : other.newFolders) {
        bool listed = false;
        for (const std::string& known : plan->newFolders) listed = listed || mp::SameName(known, folder);
        if (!listed) plan->newFolders.push_back(folder);
    }
    std::set<std::pair<std::string, std::string>> warned;
    for (const AuthorWarning& warning : plan->warnings) warned.insert({warning.kind, warning.path});
    for (const AuthorWarning& warning : other.warnings)
        if (warned.insert({warning.kind, warning.path}).second) plan->warnings.push_back(warning);
    // NEW's order, as a plan of one version lists them.
    auto byNew = [](const PlannedFile& a, const PlannedFile& b) { return a.source < b.source; };
    std::stable_sort(plan->added.begin(), plan->added.end(), byNew);
    std::stable_sort(plan->replaced.begin(), plan->replaced.end(), byNew);
}
