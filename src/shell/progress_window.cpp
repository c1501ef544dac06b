// The progress window is made only once the run has worked for ShowAfterMs, so
// that a short run shows its box alone as before. It is made on a report, so
// the run reports throughout every long step (a hashed file every 64 KB). It is redrawn at most
// every RedrawEveryMs: a report per file costs a clock reading and nothing more.
// The run has the thread to itself, so the window's messages are fetched here,
// and only its own: a posted Start, a key or a click meant for the (hidden) main
// window waits in the queue for the box that ends the run, where the run's
// guard ignores a second Start.
#include "shell/progress_window.h"

#include <windows.h>
#include <commctrl.h>
#include <string.h>

#include "description/update_description.h"
#include "shell/font_holder.h"
#include "shell/main_window.h"
#include "state/progress.h"
#include "state/progress_texts.h"
#include "platform/windows_text.h"

namespace {

const DWORD ShowAfterMs = 500;
const DWORD RedrawEveryMs = 40;  // 25 times a second at most

// Client area: a line for the stage, one for the file, the bar and the amount.
const int ClientWidth = 420;
const int ClientHeight = 112;
const int Margin = 12;
// Caption and border, no system menu: the run cannot be closed half-way.
const DWORD WindowStyle = WS_POPUP | WS_CAPTION;

enum { PathTextSize = 512, AmountTextSize = 128 };

struct ProgressView {
    bool active;          // between the beginning and the end of the run's work
    DWORD startedAt;
    DWORD drawnAt;
    uint64_t total;
    uint64_t done;
    ProgressStage stage;
    bool stageChanged;
    char path[PathTextSize];  // cut where a path does not fit: it is only shown
    HWND window;
    HWND stageText;
    HWND fileText;
    HWND bar;
    HWND amountText;
};
ProgressView View;
bool ClassRegistered = false;

// Window texts are converted from Shift-JIS here, whatever the system's code page.
void SetText(HWND control, const char* text) {
    WideChar wide[WideTextUnits];
    if (ToWide(text, wide, WideTextUnits) != 0) wide[0] = 0;
    SetWindowTextW(control, wide);
}

LRESULT CALLBACK ProgressWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    // Nothing closes the window but the run: not Alt+F4, not the taskbar.
    if (message == WM_CLOSE) return 0;
    if (message == WM_SYSCOMMAND && (wParam & 0xFFF0) == SC_CLOSE) return 0;
    return DefWindowProcW(window, message, wParam, lParam);
}

HWND CreateChild(const wchar_t* className, DWORD style, int y, int height, int id) {
    HWND child = CreateWindowExW(0, className, L"", WS_CHILD | WS_VISIBLE | style, Margin, y,
                                 ClientWidth - 2 * Margin, height, View.window,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ProgramInstance, 0);
    SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(ControlFont.font), 0);
    return child;
}

void CreateProgressWindow() {
    if (!ClassRegistered) {
        WNDCLASSW windowClass = {};
        windowClass.lpfnWndProc = ProgressWindowProc;
        windowClass.hInstance = ProgramInstance;
        windowClass.hIcon = LoadIconW(ProgramInstance, L"" PROGRAM_ICON_NAME);
        windowClass.hCursor = LoadCursorW(0, MAKEINTRESOURCEW(32650));  // IDC_APPSTARTING: working, not frozen
        windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
        windowClass.lpszClassName = L"" PROGRESS_WINDOW_CLASS_NAME;
        ClassRegistered = RegisterClassW(&windowClass) != 0;
    }
    RECT outer;
    SetRect(&outer, 0, 0, ClientWidth, ClientHeight);
    AdjustWindowRect(&outer, WindowStyle, FALSE);
    const int width = outer.right - outer.left, height = outer.bottom - outer.top;
    WideChar caption[sizeof UpdateDescription.Caption];
    ToWide(UpdateDescription.Caption, caption, sizeof UpdateDescription.Caption);
    // No owner: the main window is hidden, and the window gets a taskbar button of its own.
    View.window = CreateWindowExW(0, L"" PROGRESS_WINDOW_CLASS_NAME, caption, WindowStyle,
                                  (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                                  (GetSystemMetrics(SM_CYSCREEN) - height) / 2, width, height, 0, 0,
                                  ProgramInstance, 0);
    if (!View.window) return;
    View.stageText = CreateChild(L"STATIC", SS_LEFT | SS_NOPREFIX, 10, 18, ProgressStageTextId);
    View.fileText = CreateChild(L"STATIC", SS_LEFT | SS_NOPREFIX | SS_PATHELLIPSIS, 32, 18, ProgressFileTextId);
    View.bar = CreateChild(L"" "msctls_progress32", 0, 56, 18, ProgressBarId);
    SendMessageW(View.bar, PBM_SETRANGE32, 0, 1000);
    View.amountText = CreateChild(L"STATIC", SS_LEFT | SS_NOPREFIX, 84, 18, ProgressAmountTextId);
    View.stageChanged = true;
}

// Takes what is waiting for the progress window and its controls, and
// nothing else. Keys are dropped: the window has nothing to press.
void PumpOwnMessages() {
    MSG message;
    while (View.window && PeekMessageW(&message, View.window, 0, 0, PM_REMOVE)) {
        if (message.message >= WM_KEYFIRST && message.message <= WM_KEYLAST) continue;
        DispatchMessageW(&message);
    }
}

void Draw() {
    if (View.stageChanged) SetText(View.stageText, ProgressStageText(View.stage));
    View.stageChanged = false;
    SetText(View.fileText, View.path);
    SendMessageW(View.bar, PBM_SETPOS, ProgressPermille(View.done, View.total), 0);
    char amount[AmountTextSize];
    if (FormatProgressAmount(amount, sizeof amount, View.done, View.total) != 0) amount[0] = '\0';
    SetText(View.amountText, amount);
}

void Refresh() {
    if (!View.active) return;
    DWORD now = GetTickCount();
    if (!View.window) {
        if (now - View.startedAt < ShowAfterMs) return;
        CreateProgressWindow();
        if (!View.window) {
            View.active = false;  // no window to be had: the run goes on without one
            return;
        }
        Draw();
        ShowWindow(View.window, SW_SHOW);
        UpdateWindow(View.window);
        View.drawnAt = now;
        PumpOwnMessages();
        return;
    }
    if (now - View.drawnAt < RedrawEveryMs) return;
    View.drawnAt = now;
    Draw();
    PumpOwnMessages();
}

void Begin(uint64_t totalBytes) {
    View.active = true;
    View.startedAt = GetTickCount();
    View.total = totalBytes;
    View.done = 0;
    View.path[0] = '\0';
}

void File(ProgressStage stage, const char* path) {
    if (!View.active) return;
    if (stage != View.stage) View.stageChanged = true;
    View.stage = stage;
    size_t length = 0;
    while (path[length] && length + 1 < sizeof View.path) ++length;
    memcpy(View.path, path, length);
    View.path[length] = '\0';
    Refresh();
}

void Advance(uint64_t bytes) {
    if (!View.active) return;
    View.done += bytes;
    Refresh();
}

// Gone before the box that follows is made.
void End() {
    View.active = false;
    if (View.window) DestroyWindow(View.window);
    View.window = 0;
}

const ProgressSink WindowSink = {Begin, File, Advance, End};

}  // namespace

void InstallProgressWindow() { SetProgressSink(&WindowSink); }
