// Work beside the caller, on the in-memory machine: done at once, in the caller,
// so that a run gives the same results in the same order every time.
#include "platform.h"

int PlatformStartBeside(void (*work)(void* context), void* context) {
    work(context);
    return 0;
}

void PlatformWaitBeside() {}
