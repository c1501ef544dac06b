// Work beside the caller, on the in-memory machine: on a thread of its own, as
// on Windows, so that the author tools' runs of the program take no longer than
// they must. The work never calls the machine, so its results and their order
// are the same as if it ran in the caller.
#include "platform/platform.h"

#include <system_error>
#include <thread>

namespace {

std::thread beside;

}  // namespace

int PlatformStartBeside(void (*work)(void* context), void* context) {
    PlatformWaitBeside();
    try {
        beside = std::thread(work, context);
    } catch (const std::system_error&) {
        return 1;  // no thread to be had: the caller does the work itself
    }
    return 0;
}

void PlatformWaitBeside() {
    if (beside.joinable()) beside.join();
}
