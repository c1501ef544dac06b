#include "controls/window_subclass.h"

namespace {
const wchar_t SubclassPropertyName[] = L"" SUBCLASS_PROPERTY_NAME;
}

WindowSubclass::WindowSubclass() : attachedWindow(0), previousProc(0) {}

WindowSubclass::~WindowSubclass() { Detach(); }

int WindowSubclass::Attach(HWND window) {
    Detach();
    attachedWindow = window;
    if (SetPropW(window, SubclassPropertyName, this)) {
        // SetWindowLongPtrW is SetWindowLongW with GWL_WNDPROC on 32-bit builds.
        previousProc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&SubclassThunk)));
        if (previousProc != 0) return 0;
    }
    Detach();
    return 1;
}

int WindowSubclass::Detach() {
    if (attachedWindow == 0) return 0;
    int failed = 0;
    // The procedure goes back before the property goes, so that SubclassThunk
    // never runs for this window without finding its object.
    if (previousProc != 0) {
        if (SetWindowLongPtrW(attachedWindow, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previousProc)) == 0)
            failed = 1;
        previousProc = 0;
    }
    if (GetPropW(attachedWindow, SubclassPropertyName) != 0) {
        if (RemovePropW(attachedWindow, SubclassPropertyName) == 0) failed = 1;
    }
    attachedWindow = 0;
    return failed;
}

LRESULT CALLBACK WindowSubclass::SubclassThunk(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    WindowSubclass* object = static_cast<WindowSubclass*>(GetPropW(window, SubclassPropertyName));
    // Only a failed put-back in Detach leaves this procedure on a window
    // without its object; such a window gets the default handling.
    if (object == 0) return DefWindowProcW(window, message, wParam, lParam);
    return object->WindowProc(window, message, wParam, lParam);
}

LRESULT WindowSubclass::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    WNDPROC previous = previousProc;
    if (message == WM_DESTROY) Detach();
    return PassOn(previous, window, message, wParam, lParam);
}

LRESULT WindowSubclass::PassOn(WNDPROC previous, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (previous == 0) return DefWindowProcW(window, message, wParam, lParam);
    return CallWindowProcW(previous, window, message, wParam, lParam);
}
