// Work beside the caller, on the in-memory machine: on a thread of its own, as
// on Windows, so that the author tools' runs of the program take no longer than
// they must. The work never calls the machine, so its results and their order
// are the same as if it ran in the caller.
//
// As on Windows, one worker is kept from the first piece of work on, and each
// side first watches a flag for a short while before it sleeps: a delta hands
// over a window every millisecond or so, and a thread started for each one, or
// a sleep for each hand-over, left the worker idle a third of the proof's time.
// The worker is detached and its objects are never destroyed, so a process may
// end while it waits.
#include "platform/platform.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

namespace {

struct Worker {
    std::mutex lock;
    std::condition_variable changed;
    std::atomic<bool> given{false};  // from the work's giving until the worker takes it
    std::atomic<bool> ended{false};  // from the work's end until the caller takes it
    void (*work)(void* context) = nullptr;
    void* context = nullptr;
};

Worker* worker;
bool working;  // work given and not yet waited for

// Longer than a hand-over between the two threads, far shorter than the work.
const int LooksBeforeSleeping = 4000;

void Pause() {
#if defined(__i386__) || defined(__x86_64__)
    __builtin_ia32_pause();
#endif
}

void Take(std::atomic<bool>& flag) {
    for (int look = 0; look < LooksBeforeSleeping; ++look) {
        if (flag.load(std::memory_order_relaxed) && flag.exchange(false)) return;
        Pause();
    }
    std::unique_lock<std::mutex> hold(worker->lock);
    worker->changed.wait(hold, [&] { return flag.exchange(false); });
}

void Give(std::atomic<bool>& flag) {
    {
        std::lock_guard<std::mutex> hold(worker->lock);
        flag = true;
    }
    worker->changed.notify_all();
}

void Work() {
    for (;;) {
        Take(worker->given);
        worker->work(worker->context);
        Give(worker->ended);
    }
}

// 0 when the worker runs; 1 when no thread can be had.
int StartWorker() {
    if (worker) return 0;
    Worker* made = new Worker;
    worker = made;
    try {
        std::thread(Work).detach();
    } catch (const std::system_error&) {
        worker = nullptr;
        delete made;
        return 1;
    }
    return 0;
}

}  // namespace

int PlatformStartBeside(void (*work)(void* context), void* context) {
    PlatformWaitBeside();
    if (StartWorker() != 0) return 1;  // the caller does the work itself
    worker->work = work;
    worker->context = context;
    working = true;
    Give(worker->given);
    return 0;
}

void PlatformWaitBeside() {
    if (!working) return;
    Take(worker->ended);
    working = false;
}
