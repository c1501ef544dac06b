#include "shell/main_window.h"

#include "description/update_description.h"
#include "shell/font_holder.h"
#include "shell/system_libraries.h"
#include "state/window_handles.h"
#include "update/update_run.h"
#include "platform/windows_text.h"

HINSTANCE ProgramInstance = 0;
HWND FocusMemory = 0;
HWND MinimizeFocus = 0;

namespace {

const char StartText[] = "開始";
const char CancelText[] = "キャンセル";
const char FinishText[] = "終了";

// Each Shift-JIS byte of the caption gives at most one UTF-16 unit.
const int CaptionUnits = sizeof UpdateDescription.Caption;

const DWORD TextStyle = WS_CHILD | WS_VISIBLE | SS_LEFT;
const DWORD ButtonStyle = WS_CHILD | WS_VISIBLE | BS_MULTILINE;

// Creates one control with the main window as parent and gives it the control font.
void CreateControl(ChildControl& control, const char* className, const char* text, DWORD style,
                   int x, int y, int width, int height, HWND parent, int id) {
    // A control that cannot be created is simply missing; its handle stays none.
    control.Create(WS_EX_NOPARENTNOTIFY, className, text, style, x, y, width, height, parent, id,
                   ProgramInstance, 0);
    SendMessageW(control.OwnWindow(), WM_SETFONT, reinterpret_cast<WPARAM>(ControlFont.font), 0);
}

void CreateControls(HWND parent) {
    const int width = UpdateDescription.Width;
    const int height = UpdateDescription.Height;

    // The upper text reaches 4 pixels into the lower one.
    CreateControl(TopText, "STATIC", UpdateDescription.Comment0, TextStyle,
                  8, 8, width - 16, 36, parent, TopTextId);
    WindowHandles.TopText = TopText.OwnWindow();
    CreateControl(BodyText, "STATIC", UpdateDescription.Comment1, TextStyle,
                  8, 40, width - 16, height - 70, parent, BodyTextId);
    WindowHandles.BodyText = BodyText.OwnWindow();
    CreateControl(StartButton, "BUTTON", StartText, ButtonStyle,
                  width - 180, height - 26, 80, 20, parent, StartButtonId);
    WindowHandles.StartButton = StartButton.OwnWindow();
    CreateControl(CancelButton, "BUTTON", CancelText, ButtonStyle,
                  width - 88, height - 26, 80, 20, parent, CancelButtonId);
    WindowHandles.CancelButton = CancelButton.OwnWindow();
    // Finish lies over Cancel and stays hidden until an update has completed.
    CreateControl(FinishButton, "BUTTON", FinishText, ButtonStyle,
                  width - 88, height - 26, 80, 20, parent, FinishButtonId);
    WindowHandles.FinishButton = FinishButton.OwnWindow();
    ShowWindow(FinishButton.OwnWindow(), SW_HIDE);
}

// The main window is no dialog: Tab and the arrow keys move between the
// buttons, and Enter presses the focused one, through the controls' own tables.
void SetKeyboardNavigation() {
    HWND start = StartButton.OwnWindow();
    HWND cancel = CancelButton.OwnWindow();
    HWND finish = FinishButton.OwnWindow();
    for (int slot = KeySlotTab; slot <= KeySlotRight; ++slot) {
        StartButton.SetFocusTarget(slot, cancel);
        CancelButton.SetFocusTarget(slot, start);
        FinishButton.SetFocusTarget(slot, finish);
    }
    StartButton.SetNotify(KeySlotEnter, 1, BM_CLICK);
    CancelButton.SetNotify(KeySlotEnter, 1, BM_CLICK);
    FinishButton.SetNotify(KeySlotEnter, 1, BM_CLICK);
}

void OnCommand(HWND window, WORD id, WORD code) {
    ChildControl* button;
    switch (id) {
    case StartButtonId: button = &StartButton; break;
    case CancelButtonId: button = &CancelButton; break;
    case FinishButtonId: button = &FinishButton; break;
    default: return;
    }
    // Enter arrives as BM_CLICK from the control; the click then comes back
    // as the button's own notification.
    if (code == BM_CLICK) {
        SendMessageW(button->OwnWindow(), BM_CLICK, 0, 0);
        return;
    }
    if (id == StartButtonId) {
        RunUpdate();
        return;
    }
    DestroyWindow(window);
}

}  // namespace

void RegisterMainWindowClass() {
    WNDCLASSW windowClass;
    windowClass.style = CS_OWNDC;
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.cbClsExtra = 0;
    windowClass.cbWndExtra = 0;
    windowClass.hInstance = ProgramInstance;
    windowClass.hIcon = LoadIconW(ProgramInstance, L"" PROGRAM_ICON_NAME);
    windowClass.hCursor = LoadCursorW(0, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    windowClass.lpszMenuName = 0;
    windowClass.lpszClassName = L"" MAIN_WINDOW_CLASS_NAME;
    RegisterClassW(&windowClass);
}

int BuildMainWindow() {
    RECT outer;
    SetRect(&outer, 0, 0, UpdateDescription.Width, UpdateDescription.Height);
    AdjustWindowRect(&outer, MainWindowStyle, FALSE);
    const int outerWidth = outer.right - outer.left;
    const int outerHeight = outer.bottom - outer.top;
    // Centred on the primary screen; a window larger than the screen starts
    // off its top left corner.
    const int x = (GetSystemMetrics(SM_CXSCREEN) - outerWidth) / 2;
    const int y = (GetSystemMetrics(SM_CYSCREEN) - outerHeight) / 2;

    // The caption holds at most 511 bytes, so it always fits.
    WideChar caption[CaptionUnits];
    ToWide(UpdateDescription.Caption, caption, CaptionUnits);
    HWND window = CreateWindowExW(0, L"" MAIN_WINDOW_CLASS_NAME, caption, MainWindowStyle, x, y, outerWidth,
                                  outerHeight, 0, 0, ProgramInstance, 0);
    WindowHandles.MainWindow = window;
    if (window == 0) return 1;

    InitCommonControlsLibrary();
    CreateControls(window);
    SetKeyboardNavigation();
    FocusMemory = StartButton.OwnWindow();
    return 0;
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_SETFOCUS:
        // With no remembered window the focus is taken away.
        SetFocus(FocusMemory);
        return 0;
    case WM_ACTIVATEAPP:
        if (wParam == 0) FocusMemory = GetFocus();
        return 0;
    case WM_COMMAND:
        OnCommand(window, LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_SYSCOMMAND:
        // The whole low word is compared, as it arrives from the system menu
        // and the minimise box.
        if (LOWORD(wParam) == SC_MINIMIZE) MinimizeFocus = GetFocus();
        else if (LOWORD(wParam) == SC_RESTORE) FocusMemory = MinimizeFocus;
        return DefWindowProcW(window, message, wParam, lParam);
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

void RunMessageLoop() {
    MSG message;
    while (GetMessageW(&message, 0, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}
