// Work beside the caller: one worker thread, started at the first piece of work
// and kept for the rest of the process (starting a thread for each piece costs
// more than hashing a window under some systems).
//
// A delta hands the worker a window every millisecond or two, and each side
// mostly finds the other just done. A thread that sleeps on an event for that
// long pays the system's wake-up each time (under Wine a server round trip, in
// a virtual machine the waking of an idle processor): with it, half of the
// worker's time went idle. So each side first watches a flag for a short while
// and sleeps on the event only when nothing comes; the flag, not the event,
// says whether there is something, so an event set while nobody slept only
// costs one more look.
#include "platform/platform.h"

#include <windows.h>

namespace {

HANDLE worker;
HANDLE workGiven;  // set by the caller with besideWork and besideContext filled in
HANDLE workDone;   // set by the worker when that work has ended
volatile LONG workWaiting;  // 1 from the work's giving until the worker takes it
volatile LONG workEnded;    // 1 from the work's end until the caller takes it
bool working;               // work given and not yet waited for
void (*besideWork)(void* context);
void* besideContext;

// About 50 to 200 microseconds of looking, depending on the processor: longer
// than a hand-over between the two threads, far shorter than the work. On a
// machine of one processor the looking only puts the sleep off by that much.
const int LooksBeforeSleeping = 4000;

// Waits until *flag is 1 and sets it back to 0.
void Take(volatile LONG* flag, HANDLE event) {
    for (;;) {
        for (int look = 0; look < LooksBeforeSleeping; ++look) {
            if (*flag != 0 && InterlockedExchange(flag, 0) != 0) return;
            YieldProcessor();
        }
        if (InterlockedExchange(flag, 0) != 0) return;
        WaitForSingleObject(event, INFINITE);
    }
}

void Give(volatile LONG* flag, HANDLE event) {
    InterlockedExchange(flag, 1);
    SetEvent(event);
}

DWORD WINAPI Work(LPVOID) {
    for (;;) {
        Take(&workWaiting, workGiven);
        besideWork(besideContext);
        Give(&workEnded, workDone);
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
    Give(&workWaiting, workGiven);
    return 0;
}

void PlatformWaitBeside() {
    if (!working) return;
    Take(&workEnded, workDone);
    working = false;
}
