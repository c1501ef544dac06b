// How the program's one run ended: start-up, then the update behind Start.
// The numbers are the exit status of a run without a window, part of the
// program's interface: they never change, and a new outcome takes the next one.
#ifndef UPDATE_STATE_RUN_OUTCOME_H
#define UPDATE_STATE_RUN_OUTCOME_H

enum RunOutcome {
    OutcomeCompleted = 0,       // the update completed
    OutcomeStartupStopped = 1,  // start-up stopped (an update.ini box)
    OutcomeNotInstalled = 2,    // the game is not installed
    OutcomeFileMissing = 3,     // a file to replace is missing (the verification box)
    OutcomeCopyFailed = 4,      // a copy failed
    OutcomeNoRoom = 5,          // the game folder's volume has no room for the patch
    OutcomeWrongVersion = 6,    // a game file a delta patches is not the version it was made from
    OutcomeDamagedDelta = 7,    // a delta or the list of deltas is damaged
};

// Set by start-up and by the update run as each ends; OutcomeCompleted before.
extern RunOutcome LastRunOutcome;

#endif
