#include "author_tools/update_make/parallel_compare.h"

#include <thread>
#include <unordered_map>

#include "author_tools/host/local_files.h"

void ComparedBeforehand::Compare(const std::string& oldFolder, const std::string& newFolder, const FolderRead& oldRead,
                                 const FolderRead& newRead) {
    std::unordered_map<std::string, size_t> oldFiles;
    for (size_t i = 0; i < oldRead.entries.size(); ++i)
        if (!oldRead.entries[i].directory) oldFiles.emplace(oldRead.entries[i].relativePath, i);
    oldOf_.assign(newRead.entries.size(), -1);
    verdict_.assign(newRead.entries.size(), -1);
    problem_.assign(newRead.entries.size(), std::string());
    std::vector<size_t> pairs;  // NEW entries with an OLD file of the same path and size
    for (size_t j = 0; j < newRead.entries.size(); ++j) {
        const memory_platform::TreeEntry& entry = newRead.entries[j];
        auto found = entry.directory ? oldFiles.end() : oldFiles.find(entry.relativePath);
        if (found == oldFiles.end() || oldRead.entries[found->second].size != entry.size) continue;
        oldOf_[j] = (long)found->second;
        pairs.push_back(j);
    }
    // Each thread writes only the slots of its own pairs.
    auto compareEvery = [&](size_t first, size_t step) {
        for (size_t k = first; k < pairs.size(); k += step) {
            size_t j = pairs[k];
            const memory_platform::TreeEntry& old = oldRead.entries[(size_t)oldOf_[j]];
            verdict_[j] = (signed char)CompareLocalFiles(LocalPath(oldFolder, old.relativePath),
                                                         LocalPath(newFolder, newRead.entries[j].relativePath),
                                                         old.size, &problem_[j]);
            if (verdict_[j] == 2) return;
        }
    };
    std::thread other(compareEvery, 1, 2);
    compareEvery(0, 2);
    other.join();
}

int ComparedBeforehand::Verdict(size_t oldIndex, size_t newIndex, std::string* problem) const {
    if (newIndex >= oldOf_.size() || oldOf_[newIndex] != (long)oldIndex || verdict_[newIndex] < 0) return -1;
    if (verdict_[newIndex] == 2) *problem = problem_[newIndex];
    return verdict_[newIndex];
}
