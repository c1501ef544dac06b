// The program's entry point: start-up, the main window and the message loop.
#include <windows.h>

#include "shell/main_window.h"
#include "shell/prepare_startup.h"
#include "shell/progress_window.h"
#include "shell/runtime_imports.h"
#include "shell/system_libraries.h"
#include "state/command_line_choices.h"
#include "state/run_outcome.h"
#include "state/window_handles.h"
#include "update/update_run.h"

// The UTF-16 entry (linked with -municode): the start-up code then reads the
// command line and start-up information through the W calls as well.
int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
    // Before anything else can load a library.
    RestrictLibrarySearch();
    if (BindRuntimeImports() != 0) return 0;
    ProgramInstance = instance;
    // A missing or faulty update.ini has been reported already.
    if (PrepareStartup() == 1) return CommandLineChoices.Silent ? LastRunOutcome : 0;
    // Without a window the run starts at once, as if Start had been pressed,
    // and the exit status tells how it ended.
    if (CommandLineChoices.Silent) {
        RunUpdate();
        return LastRunOutcome;
    }
    RegisterMainWindowClass();
    if (BuildMainWindow() != 0) return 0;
    // Only a run with a window shows its progress.
    InstallProgressWindow();
    HWND window = static_cast<HWND>(WindowHandles.MainWindow);
    // The show command passed in is not used: the window always appears.
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
    RunMessageLoop();
    return 0;
}
