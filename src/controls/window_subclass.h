// Replaces a window's procedure so that a C++ object sees its messages first.
#ifndef UPDATE_WINDOW_SUBCLASS_H
#define UPDATE_WINDOW_SUBCLASS_H

#include <windows.h>

// Name of the window property that holds the attached object's address.
#define SUBCLASS_PROPERTY_NAME "CWSUBCLASS"

class WindowSubclass {
public:
    WindowSubclass();  // detached
    ~WindowSubclass(); // Detach

    // Detaches from any earlier window, then routes window's messages through
    // this object. 0 on success, 1 when the property or the procedure could not
    // be set (the object is then detached again).
    int Attach(HWND window);
    // Puts the earlier procedure back and removes the property. 0 on success or
    // when nothing is attached, 1 when either step failed.
    int Detach();

    // The one procedure installed on every attached window: hands the message
    // to the object named by the window's property.
    static LRESULT CALLBACK SubclassThunk(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    // Passes every message on to the earlier procedure and detaches on WM_DESTROY.
    virtual LRESULT WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    HWND AttachedWindow() const { return attachedWindow; }

protected:
    // The earlier procedure, or DefWindowProcW when there is none.
    static LRESULT PassOn(WNDPROC previous, HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    HWND attachedWindow;     // 0 when detached
    WNDPROC previousProc;    // the procedure in place before Attach; 0 when detached

private:
    // The window's property points at this object: it must not be copied.
    WindowSubclass(const WindowSubclass&) = delete;
    WindowSubclass& operator=(const WindowSubclass&) = delete;
};

#endif
