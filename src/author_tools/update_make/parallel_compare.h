// update-make compares the files OLD and NEW both have with one size on two
// threads before the plan asks for them: the comparisons are mostly system
// calls, and the plan, on the in-memory machine, can only ask one at a time.
#ifndef UPDATE_CHECK_PARALLEL_COMPARE_H
#define UPDATE_CHECK_PARALLEL_COMPARE_H

#include <string>
#include <vector>

#include "author_tools/host/folder_reader.h"

class ComparedBeforehand {
public:
    // The files under the same path in both (byte for byte; a name whose
    // letter case changed is left to the plan) with the same size.
    void Compare(const std::string& oldFolder, const std::string& newFolder, const FolderRead& oldRead,
                 const FolderRead& newRead);
    // 0, 1 or 2 as CompareLocalFiles gives them, or -1 when that pair was not compared.
    int Verdict(size_t oldIndex, size_t newIndex, std::string* problem) const;

private:
    std::vector<long> oldOf_;       // per NEW entry: the OLD entry compared with it, or -1
    std::vector<signed char> verdict_;
    std::vector<std::string> problem_;
};

#endif
