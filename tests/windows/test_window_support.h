// Helpers for the tests of real windows in the test's own process: pumping
// messages with a time limit, pressing keys through the system's input queue,
// and a window on a second thread to take the activation away.
#ifndef UPDATE_TEST_WINDOW_SUPPORT_H
#define UPDATE_TEST_WINDOW_SUPPORT_H

#include <windows.h>

#include <functional>
#include <vector>

// A message taken from the queue by Pump.
struct PumpedMessage {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

// Dispatches this thread's messages until done() holds or timeoutMs has passed;
// true when done() held. Every message taken is recorded when record is given;
// a message for which hold() is true is recorded but not dispatched. WM_QUIT is
// recorded and ends the pump.
inline bool Pump(DWORD timeoutMs, const std::function<bool()>& done = nullptr,
                 std::vector<PumpedMessage>* record = nullptr,
                 const std::function<bool(const MSG&)>& hold = nullptr) {
    DWORD start = GetTickCount();
    for (;;) {
        MSG message;
        while (PeekMessageW(&message, NULL, 0, 0, PM_REMOVE)) {
            if (record) record->push_back({message.hwnd, message.message, message.wParam, message.lParam});
            if (message.message == WM_QUIT) return done ? done() : false;
            if (hold && hold(message)) continue;
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        if (done && done()) return true;
        DWORD elapsed = GetTickCount() - start;
        if (elapsed >= timeoutMs) return false;
        MsgWaitForMultipleObjects(0, NULL, FALSE, timeoutMs - elapsed > 10 ? 10 : timeoutMs - elapsed,
                                  QS_ALLINPUT);
    }
}

// Presses and releases a key through the input queue, optionally with a
// modifier held, as the keyboard would.
inline void PressKey(WORD key, WORD modifier = 0) {
    std::vector<INPUT> inputs;
    auto add = [&inputs](WORD vk, DWORD flags) {
        INPUT input = {};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = vk;
        input.ki.wScan = (WORD)MapVirtualKeyA(vk, MAPVK_VK_TO_VSC);
        input.ki.dwFlags = flags;
        inputs.push_back(input);
    };
    if (modifier) add(modifier, 0);
    add(key, 0);
    add(key, KEYEVENTF_KEYUP);
    if (modifier) add(modifier, KEYEVENTF_KEYUP);
    SendInput((UINT)inputs.size(), inputs.data(), sizeof(INPUT));
}

// Makes window the foreground window and waits until it is the active one.
inline bool Activate(HWND window) {
    SetForegroundWindow(window);
    return Pump(3000, [window] { return GetForegroundWindow() == window && GetActiveWindow() == window; });
}

// Takes the focus of window's thread; waits until GetFocus reports it.
inline bool WaitForFocus(HWND window, DWORD timeoutMs = 3000) {
    return Pump(timeoutMs, [window] { return GetFocus() == window; });
}

// A visible top-level window owned by a second thread, so that activating it
// deactivates this thread's windows as another program would.
class OtherThreadWindow {
public:
    OtherThreadWindow() : window_(NULL), ready_(CreateEventA(NULL, TRUE, FALSE, NULL)) {
        thread_ = CreateThread(NULL, 0, &OtherThreadWindow::Run, this, 0, &threadId_);
        WaitForSingleObject(ready_, 5000);
    }
    ~OtherThreadWindow() {
        if (window_) PostMessageW(window_, WM_CLOSE, 0, 0);
        if (WaitForSingleObject(thread_, 5000) != WAIT_OBJECT_0) TerminateThread(thread_, 1);
        CloseHandle(thread_);
        CloseHandle(ready_);
    }
    HWND Window() const { return window_; }

private:
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_DESTROY) PostQuitMessage(0);
        return DefWindowProcA(window, message, wParam, lParam);
    }
    static DWORD WINAPI Run(void* parameter) {
        OtherThreadWindow* self = static_cast<OtherThreadWindow*>(parameter);
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = Proc;
        windowClass.hInstance = GetModuleHandleA(NULL);
        windowClass.lpszClassName = "OtherThreadWindow";
        RegisterClassA(&windowClass);
        self->window_ = CreateWindowExA(0, "OtherThreadWindow", "other", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                        0, 0, 200, 100, NULL, NULL, GetModuleHandleA(NULL), NULL);
        SetEvent(self->ready_);
        MSG message;
        DWORD start = GetTickCount();
        // Ends with its window, or after a minute whatever happens.
        while (GetTickCount() - start < 60000) {
            if (MsgWaitForMultipleObjects(0, NULL, FALSE, 50, QS_ALLINPUT) == WAIT_TIMEOUT) continue;
            while (PeekMessageW(&message, NULL, 0, 0, PM_REMOVE)) {
                if (message.message == WM_QUIT) return 0;
                DispatchMessageW(&message);
            }
        }
        return 0;
    }

    HWND window_;
    HANDLE ready_;
    HANDLE thread_;
    DWORD threadId_;
};

#endif
