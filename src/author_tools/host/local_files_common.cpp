// What both systems share of local_files.h: the interruption flag.
#include <signal.h>

#include "author_tools/host/local_files.h"

namespace {

volatile sig_atomic_t InterruptionSeen = 0;

void OnInterruption(int) { InterruptionSeen = 1; }

}  // namespace

void WatchInterruptions() {
    signal(SIGINT, OnInterruption);
    signal(SIGTERM, OnInterruption);
}

bool Interrupted() { return InterruptionSeen != 0; }

void SetInterruption(bool seen) { InterruptionSeen = seen ? 1 : 0; }
