// The progress window: while the update run works, a small window with the
// caption of update.ini, the stage, the file being written, a progress bar and
// the amount done. It is the run's progress sink (state/progress.h).
#ifndef UPDATE_PROGRESS_WINDOW_H
#define UPDATE_PROGRESS_WINDOW_H

#define PROGRESS_WINDOW_CLASS_NAME "updateProgress"

enum {
    ProgressStageTextId = 3000,
    ProgressFileTextId = 3001,
    ProgressBarId = 3002,
    ProgressAmountTextId = 3003,
};

// Makes the progress window the run's sink. Only a run with a window installs
// it: without one (/S) nothing is shown.
void InstallProgressWindow();

#endif
