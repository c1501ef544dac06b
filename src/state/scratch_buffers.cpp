#include "state/scratch_buffers.h"

char MessageBuffer[ScratchBufferSize];
char TargetBuffer[ScratchBufferSize];
