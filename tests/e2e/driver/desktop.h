// What a person does and sees on the desktop, done from the driver in the same
// Wine session: keys and mouse clicks through the system's input queue, the
// keyboard focus of another program, pictures of the screen, and which
// standard icon a message box shows.
#ifndef E2E_DESKTOP_H
#define E2E_DESKTOP_H

#include <windows.h>

#include <string>

// Makes the window the foreground window; false if it did not become it within the limit.
bool BringToFront(HWND window, DWORD timeoutMs = 3000);

// Presses a key combination such as "Enter", "Tab", "Shift+Tab" or "Alt+F4".
// False for an unknown key name.
bool PressKeys(const std::string& combination);

// Clicks the left mouse button at a screen point.
void ClickAt(POINT point);

// The screen point of a caption button (HTCLOSE, HTMINBUTTON) of a window,
// found by asking the window itself.
bool FindCaptionButton(HWND window, LRESULT hitCode, POINT* point);

// A visible top-level window of the driver's own, standing for another program
// the person switches to. It lives until the object goes.
class OtherProgramWindow {
public:
    OtherProgramWindow();
    ~OtherProgramWindow();
    HWND Window() const { return window_; }
    // Dispatches the driver's own messages for a while, so that its window answers.
    static void Pump(DWORD milliseconds);

private:
    HWND window_;
};

// The window with the keyboard focus in the thread that owns window.
HWND FocusOfThread(HWND window);

// Saves a picture of a window's screen rectangle as a PNG (a Unix path), with
// ImageMagick's import started as a Unix program. False when no picture appeared.
bool SaveScreenshot(HWND window, const std::string& unixFile);

// The standard icon shown in a message box, told from its pixels on the screen:
// "warning", "error", "information", "question", "none", or "unknown icon".
std::string BoxIconKind(HWND box);

#endif
