// update-make [options] OLD_GAME NEW_GAME PATCH_FOLDER: the whole tool but its
// console, so that tests can run it in-process.
#ifndef UPDATE_CHECK_MAKE_TOOL_H
#define UPDATE_CHECK_MAKE_TOOL_H

#include <string>
#include <vector>

enum MakeExitStatus { MadeAndProven = 0, MadeWithWarnings = 1, RefusedOrNotProven = 2, MakeUsageOrReadError = 3 };

// arguments as UTF-8, without the program's name; out and err receive what is
// to be printed on stdout and stderr (UTF-8).
int RunUpdateMake(const std::vector<std::string>& arguments, std::string* out, std::string* err);

#endif
