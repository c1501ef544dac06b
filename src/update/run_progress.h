// The total the run's progress reports start from, told before anything is
// written: the engine executable the patch carries (copied before the
// verification, and again with the tree) and every file of the update tree, as
// the room check measured them, the results the deltas make, and before them
// the game files the deltas patch that are hashed to tell their version.
#ifndef UPDATE_RUN_PROGRESS_H
#define UPDATE_RUN_PROGRESS_H

#include <stdint.h>

// The size of the engine executable the run replaces first; 0 when the patch carries none.
extern uint64_t EngineExecutableBytes;

// Finds EngineExecutableBytes and reports the beginning with the whole total.
// Called after the room check, which measured the tree.
void BeginRunProgress();

#endif
