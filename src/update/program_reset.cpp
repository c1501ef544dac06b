#include "update/program_reset.h"

#include <string.h>

#include "description/update_description.h"
#include "state/command_line_choices.h"
#include "state/folders.h"
#include "state/scratch_buffers.h"
#include "state/window_handles.h"
#include "update/update_run.h"

void ResetProgramGlobals() {
    ResetUpdateDescription();
    ResetUpdateRunForTests();
    memset(ProgramFolder, 0, sizeof ProgramFolder);
    memset(MessageBuffer, 0, sizeof MessageBuffer);
    memset(TargetBuffer, 0, sizeof TargetBuffer);
    memset(&WindowHandles, 0, sizeof WindowHandles);
    memset(&CommandLineChoices, 0, sizeof CommandLineChoices);
}
