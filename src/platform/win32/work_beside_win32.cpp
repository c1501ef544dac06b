// Work beside the caller: one worker thread, started at the first piece of work
// and kept for the rest of the process (starting a thread for each piece costs
// more than hashing a window under some systems).
#include "platform/platform.h"

#include <windows.h>

namespace {

HANDLE worker;
HANDLE workGiven;  // set by the caller with besideWork and besideContext filled in
HANDLE workDone;   // set by the worker when that work has ended
bool working;      // work given and not yet waited for
void (*besideWork)(void* context);
void* besideContext;

DWORD WINAPI Work(LPVOID) {
    for (;;) {
        if (WaitForSingleObject(workGiven, INFINITE) != WAIT_OBJECT_0) return 1;
        besideWork(besideContext);
        SetEvent(workDone);
    }
}

// 0 when the worker runs; 1 when it cannot be had, and then never is.
int StartWorker() {
    static bool failed;
    if (worker != NULL) return 0;
    if (failed) return 1;
    workGiven = CreateEventW(NULL, FALSE, FALSE, NULL);
    workDone = CreateEventW(NULL, FALSE, FALSE, NULL);
    // A small stack: the work is a loop over the caller's buffers.
    if (workGiven != NULL && workDone != NULL)
        worker = CreateThread(NULL, 64 * 1024, Work, NULL, STACK_SIZE_PARAM_IS_A_RESERVATION, NULL);
    if (worker != NULL) return 0;
    failed = true;
    return 1;
}

}  // namespace

int PlatformStartBeside(void (*work)(void* context), void* context) {
    PlatformWaitBeside();
    if (StartWorker() != 0) return 1;
    besideWork = work;
    besideContext = context;
    working = true;
    SetEvent(workGiven);
    return 0;
}

void PlatformWaitBeside() {
    if (!working) return;
    WaitForSingleObject(workDone, INFINITE);
    working = false;
}
