#include "fuzz_support.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "description/update_description.h"
#include "platform/platform_memory.h"
#include "shell/font_holder.h"
#include "shell/program_folder.h"
#include "shell/scratch_buffers.h"
#include "shell/window_handles.h"
#include "update/update_run.h"

// The executable defines the control font beside the controls; the targets need one too.
FontHolder ControlFont;

void ResetForInput() {
    memory_platform::Reset();
    ResetUpdateDescription();
    ResetUpdateRunForTests();
    memset(ProgramFolder, 0, sizeof ProgramFolder);
    memset(MessageBuffer, 0, sizeof MessageBuffer);
    memset(TargetBuffer, 0, sizeof TargetBuffer);
    memset(&WindowHandles, 0, sizeof WindowHandles);
    ControlFont.font = 0;
}

void Require(bool condition, const char* what, const std::string& detail) {
    if (condition) return;
    fprintf(stderr, "fuzz check failed: %s\n%s\n", what, detail.c_str());
    abort();
}

bool IsTerminatedWithin(const char* field, size_t size) { return memchr(field, '\0', size) != nullptr; }

std::string LowerAscii(const std::string& text) {
    std::string folded = text;
    for (char& c : folded)
        if (c >= 'A' && c <= 'Z') c = (char)(c - 'A' + 'a');
    return folded;
}
