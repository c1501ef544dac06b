// Two global scratch texts for composing messages and source/destination paths.
#ifndef UPDATE_STATE_SCRATCH_BUFFERS_H
#define UPDATE_STATE_SCRATCH_BUFFERS_H

enum { ScratchBufferSize = 1024 };

extern char MessageBuffer[ScratchBufferSize];
extern char TargetBuffer[ScratchBufferSize];

#endif
