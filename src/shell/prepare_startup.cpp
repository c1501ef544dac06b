#include "shell/prepare_startup.h"

#include "description/update_description.h"
#include "platform/platform.h"
#include "shell/command_line_choices_reader.h"
#include "shell/font_holder.h"
#include "shell/program_folder.h"
#include "state/run_outcome.h"

int PrepareStartup() {
    // First: a run without a window reports even the boxes of start-up to its log.
    ReadCommandLineChoices();
    if (LocateProgramFolder() != 0) {
        // Without its own folder the program cannot know which update.ini is its own.
        ReportDescriptionOpenFailure();
        LastRunOutcome = OutcomeStartupStopped;
        return 1;
    }
    PlatformSetCurrentDirectory(ProgramFolder);  // a failure is not fatal

    // The constructor's 23 pixels are the class default; the window uses 13.
    ControlFont.description.height = 13;
    ControlFont.description.width = 0;
    ControlFont.MakeFont();

    if (LoadUpdateDescription() != 0) {
        LastRunOutcome = OutcomeStartupStopped;
        return 1;
    }
    return 0;
}
