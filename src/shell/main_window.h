// The program's one top-level window, its five controls and the message loop.
#ifndef UPDATE_MAIN_WINDOW_H
#define UPDATE_MAIN_WINDOW_H

#include <windows.h>

#include "controls/child_control.h"

// The controls, defined with the control font in control_objects.cpp.
extern ChildControl TopText;
extern ChildControl BodyText;
extern ChildControl StartButton;
extern ChildControl CancelButton;
extern ChildControl FinishButton;

enum {
    TopTextId = 1000,
    BodyTextId = 1001,
    StartButtonId = 2000,
    CancelButtonId = 2001,
    FinishButtonId = 2002,
};

// Caption, system menu and minimise box; sized from the client area.
enum { MainWindowStyle = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX };

#define MAIN_WINDOW_CLASS_NAME "update"
#define PROGRAM_ICON_NAME "ICON00"

// The instance handle the window class, icon and windows are made with.
extern HINSTANCE ProgramInstance;
// The window that gets the keyboard focus whenever the main window gets it.
extern HWND FocusMemory;
// The window that had the focus when the main window was last minimised.
extern HWND MinimizeFocus;

// Registers the window class "update" for ProgramInstance; the result is not
// needed, since a failed registration makes BuildMainWindow fail.
void RegisterMainWindowClass();

// Creates the main window (hidden) centred on the primary screen from the
// description's size and caption, then its five controls, and records every
// handle in WindowHandles. 0 when the main window exists, 1 when it could not
// be created.
int BuildMainWindow();

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Fetches, translates and dispatches messages until the quit message.
void RunMessageLoop();

#endif
