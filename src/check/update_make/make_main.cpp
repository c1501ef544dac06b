// update-make OLD_GAME NEW_GAME PATCH_FOLDER: a complete patch from the old and
// the new game folder, proven by update.exe's own run on the in-memory machine.
#include <string>

#include "check/host/console_io.h"
#include "check/update_make/make_tool.h"

int main(int argc, char** argv) {
    std::string out, err;
    int status = RunUpdateMake(Utf8Arguments(argc, argv), &out, &err);
    if (!out.empty()) WriteUtf8(stdout, out);
    if (!err.empty()) WriteUtf8(stderr, err);
    return status;
}
