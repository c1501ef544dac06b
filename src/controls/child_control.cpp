#include "controls/child_control.h"

#include "platform/windows_text.h"

namespace {

const int ClassNameUnits = 256;

// The key slot of a virtual key, or -1 for a key without one.
int SlotOfKey(WPARAM key) {
    switch (key) {
    case VK_RETURN: return KeySlotEnter;
    case VK_ESCAPE: return KeySlotEscape;
    case VK_TAB: return KeySlotTab;
    case VK_UP: return KeySlotUp;
    case VK_DOWN: return KeySlotDown;
    case VK_LEFT: return KeySlotLeft;
    case VK_RIGHT: return KeySlotRight;
    default: return -1;
    }
}

}  // namespace

ChildControl::ChildControl() { Reset(); }

ChildControl::~ChildControl() {
    DestroyOwnWindow();
    Reset();
}

void ChildControl::Reset() {
    ownWindow = 0;
    for (int i = 0; i < FocusTargetCount; ++i) focusTargets[i] = 0;
    for (int i = 0; i < NotifySlotCount; ++i) {
        notifyFlags[i] = 0;
        notifyCodes[i] = 0;
    }
}

int ChildControl::Create(DWORD exStyle, const char* className, const char* text, DWORD style,
                         int x, int y, int width, int height, HWND parent, int id,
                         HINSTANCE instance, void* createParam) {
    DestroyOwnWindow();
    // Class names and texts are Shift-JIS; a text of the program holds at
    // most 1023 bytes.
    WideChar wideClass[ClassNameUnits];
    WideChar wideText[WideTextUnits];
    if (ToWide(className, wideClass, ClassNameUnits) != 0 || ToWide(text ? text : "", wideText, WideTextUnits) != 0)
        return 1;
    ownWindow = CreateWindowExW(exStyle, wideClass, text ? wideText : NULL, style, x, y, width, height, parent,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, createParam);
    if (ownWindow == 0) return 1;
    if (Attach(ownWindow) == 0) return 0;
    DestroyOwnWindow();
    return 1;
}

int ChildControl::DestroyOwnWindow() {
    // At exit the window is normally gone with its parent already; a stale
    // handle is only forgotten.
    if (ownWindow != 0 && IsWindow(ownWindow)) DestroyWindow(ownWindow);
    ownWindow = 0;
    return 0;
}

int ChildControl::SetFocusTarget(int slot, HWND window) {
    if (slot < 0 || slot >= FocusTargetCount) return 1;
    focusTargets[slot] = window;
    return 0;
}

int ChildControl::SetNotify(int slot, int flag, unsigned short code) {
    if (slot < 0 || slot >= NotifySlotCount) return 1;
    notifyFlags[slot] = flag;
    notifyCodes[slot] = code;
    return 0;
}

void ChildControl::PostNotify(int slot, LPARAM lParam) {
    WORD id = LOWORD(GetWindowLongW(ownWindow, GWL_ID));
    PostMessageW(GetParent(ownWindow), WM_COMMAND, MAKEWPARAM(id, notifyCodes[slot]), lParam);
}

LRESULT ChildControl::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    // Detach forgets the earlier procedure, so it is taken first.
    WNDPROC previous = previousProc;
    switch (message) {
    case WM_DESTROY:
        Detach();
        break;
    case WM_KEYDOWN: {
        // Modifier keys are not looked at: Shift+Tab acts as Tab.
        int slot = SlotOfKey(wParam);
        if (slot < 0) break;
        if (focusTargets[slot] != 0) SetFocus(focusTargets[slot]);
        // Posted, not sent: the parent acts after the key has been handled here.
        if (notifyFlags[slot] == 1) PostNotify(slot, reinterpret_cast<LPARAM>(ownWindow));
        break;
    }
    case WM_DROPFILES:
        if (notifyFlags[KeySlotDropFiles] == 1) PostNotify(KeySlotDropFiles, static_cast<LPARAM>(wParam));
        break;
    default:
        break;
    }
    return PassOn(previous, window, message, wParam, lParam);
}
