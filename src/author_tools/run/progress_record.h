// What the progress window would show during the checked run: the total, each
// stage in its order with the files and bytes reported in it, and the box it
// closes before. Recorded through the run's progress sink.
#ifndef UPDATE_CHECK_PROGRESS_RECORD_H
#define UPDATE_CHECK_PROGRESS_RECORD_H

#include <stdint.h>

#include <vector>

#include "state/progress.h"

struct ProgressStageSeen {
    ProgressStage stage;
    int files = 0;        // reports of a file in this stage ("" counts as none)
    uint64_t bytes = 0;   // bytes written (or hashed) in this stage
};

struct ProgressSeen {
    bool begun = false;   // the run got as far as writing (the window may show)
    uint64_t total = 0;
    uint64_t done = 0;    // when the window closed
    std::vector<ProgressStageSeen> stages;  // consecutive reports of one stage are one entry
    int closedBeforeBox = 0;  // the number of the box it closed before, 0: none followed
};

// Installs a recording sink that fills seen, and removes it again.
void StartRecordingProgress(ProgressSeen* seen);
void StopRecordingProgress();

// The stage as the JSON report names it: "hash", "deltas", "engine", "verify", "copy", ...
const char* ProgressStageName(ProgressStage stage);

#endif
