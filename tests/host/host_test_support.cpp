#include "host_test_support.h"

#include "platform/platform_memory.h"
#include "shell/font_holder.h"
#include "update/program_reset.h"

// The executable defines the control font beside the controls; the tests need one too.
FontHolder ControlFont;

void ResetProgramState() {
    memory_platform::Reset();
    ResetProgramGlobals();
    ControlFont.font = 0;
}

void InstallDescription(const std::string& content) {
    memory_platform::SetCommandLine("\"C:\\Patch\\setup.exe\"");
    memory_platform::AddFile("C:\\Patch\\update.ini", content);
}
