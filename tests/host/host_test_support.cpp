#include "host_test_support.h"

#include <string.h>

#include "codec/sha256.h"
#include "description/update_description.h"
#include "platform/memory/platform_memory.h"
#include "shell/font_holder.h"
#include "state/folders.h"
#include "state/window_handles.h"
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

namespace {
char MakerMainWindow;
}

void PrepareMakerGame(const char* caption) {
    strcpy(ProgramFolder, "C:\\Patch");
    strcpy(UpdateDescription.Caption, caption);
    strcpy(UpdateDescription.RegistryKeyPath, "Software\\Maker\\Game");
    WindowHandles = {&MakerMainWindow, 0, 0, 0, 0, 0};
    memory_platform::SetRegistryString("Software\\Maker\\Game", "SAV_FOLDER", "C:\\Game");
}

std::string GameFile(const std::string& relative) { return "C:\\Game\\" + relative; }
std::string PatchFile(const std::string& relative) { return "C:\\Patch\\update\\" + relative; }

std::string Hex(const std::string& bytes) {
    Sha256State state;
    Sha256Begin(&state);
    Sha256Add(&state, bytes.data(), bytes.size());
    unsigned char digest[32];
    Sha256Finish(&state, digest);
    char text[65];
    Sha256ToHex(digest, text);
    return text;
}
