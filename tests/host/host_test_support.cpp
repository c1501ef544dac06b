#include "host_test_support.h"

#include <string.h>

#include "description/update_description.h"
#include "platform/platform_memory.h"
#include "shell/font_holder.h"
#include "shell/program_folder.h"
#include "state/command_line_choices.h"
#include "state/scratch_buffers.h"
#include "state/window_handles.h"
#include "update/update_run.h"

// The executable defines the control font beside the controls; the tests need one too.
FontHolder ControlFont;

void ResetProgramState() {
    memory_platform::Reset();
    ResetUpdateDescription();
    ResetUpdateRunForTests();
    memset(ProgramFolder, 0, sizeof ProgramFolder);
    memset(MessageBuffer, 0, sizeof MessageBuffer);
    memset(TargetBuffer, 0, sizeof TargetBuffer);
    memset(&WindowHandles, 0, sizeof WindowHandles);
    memset(&CommandLineChoices, 0, sizeof CommandLineChoices);
    ControlFont.font = 0;
}

void InstallDescription(const std::string& content) {
    memory_platform::SetCommandLine("\"C:\\Patch\\setup.exe\"");
    memory_platform::AddFile("C:\\Patch\\update.ini", content);
}
