// What the progress window says, in Shift-JIS: a line for each stage of the
// run and the amount done. update-check prints the same texts.
#ifndef UPDATE_STATE_PROGRESS_TEXTS_H
#define UPDATE_STATE_PROGRESS_TEXTS_H

#include <stddef.h>
#include <stdint.h>

#include "state/progress.h"

// The line above the file's name while stage runs.
const char* ProgressStageText(ProgressStage stage);

// "進行状況：12.5MB / 209.0MB（5%）", or in KB where the total is under a
// megabyte. 0 when it fitted size bytes, 1 when not.
int FormatProgressAmount(char* text, size_t size, uint64_t done, uint64_t total);

// done of total in thousandths, for the bar: 0 to 1000.
unsigned ProgressPermille(uint64_t done, uint64_t total);

#endif
