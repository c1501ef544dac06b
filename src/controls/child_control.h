// A child control with keyboard navigation and WM_COMMAND notifications added
// through its replaced window procedure.
#ifndef UPDATE_CHILD_CONTROL_H
#define UPDATE_CHILD_CONTROL_H

#include "controls/window_subclass.h"

// The events the focus-target and notify tables are indexed by.
enum KeySlot {
    KeySlotEnter = 0,
    KeySlotEscape = 1,
    KeySlotTab = 2,
    KeySlotUp = 3,
    KeySlotDown = 4,
    KeySlotLeft = 5,
    KeySlotRight = 6,
    KeySlotDropFiles = 7,  // WM_DROPFILES; notify only
};

enum {
    FocusTargetCount = 7,  // Enter to Right
    NotifySlotCount = 8,   // Enter to file drop
};

class ChildControl : public WindowSubclass {
public:
    ChildControl();   // detached, no own window, empty tables
    ~ChildControl();  // DestroyOwnWindow, reset, then detach

    // CreateWindowExW with these arguments, the class name and text given in
    // Shift-JIS (id as the menu argument, which makes it the control's
    // identifier), then Attach. 0 on success, 1 when creation or attachment
    // failed (no own window is left then).
    int Create(DWORD exStyle, const char* className, const char* text, DWORD style,
               int x, int y, int width, int height, HWND parent, int id,
               HINSTANCE instance, void* createParam);
    // Destroys the own window if it still exists and forgets it. 0 always.
    int DestroyOwnWindow();

    // The window that receives the focus when the slot's key is pressed. 1 and no
    // change for a slot outside 0..6.
    int SetFocusTarget(int slot, HWND window);
    // With flag 1 the slot's event posts WM_COMMAND (code in the high word) to the
    // parent. 1 and no change for a slot outside 0..7.
    int SetNotify(int slot, int flag, unsigned short code);

    // None before Create and after DestroyOwnWindow; kept after the window's
    // own WM_DESTROY.
    HWND OwnWindow() const { return ownWindow; }

    LRESULT WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

private:
    void Reset();
    void PostNotify(int slot, LPARAM lParam);

    HWND ownWindow;
    HWND focusTargets[FocusTargetCount];
    int notifyFlags[NotifySlotCount];       // only 1 means on
    unsigned short notifyCodes[NotifySlotCount];
};

#endif
