// update-make's command line: its usage and help, the options, and the texts
// a first patch takes from them.
#ifndef UPDATE_MAKE_MAKE_OPTIONS_H
#define UPDATE_MAKE_MAKE_OPTIONS_H

#include <string>
#include <utility>
#include <vector>

#include "author_tools/update_make/delta_maker.h"

extern const char MakeUsage[];
extern const char MakeHelp[];

struct MakeOptions {
    std::string oldFolder, newFolder, patchFolder;  // on this machine, UTF-8
    std::vector<std::string> laterOldFolders;       // more old versions, after oldFolder
    std::vector<std::string> labels;                // --label, UTF-8
    std::string patchPath = "C:\\Patch", gamePath = "C:\\Game";
    std::string texts, exe;
    std::vector<std::string> excludes;  // UTF-8
    std::vector<std::pair<std::string, std::string>> values;  // key, UTF-8 value, in TextOptions order
    bool json = false;
    bool alsoWhole = false;  // --also-whole
    DeltaMode deltas = DeltaMode::Wanted;
};

// The arguments after the program's name: 0, or 1 and a one-line reason.
int ParseOptions(const std::vector<std::string>& arguments, MakeOptions* options, std::string* problem);

// The first patch's texts that the author did not give.
void AddDefaults(std::vector<std::pair<std::string, std::string>>* values);

#endif
