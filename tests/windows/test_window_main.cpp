// The real main window, built in the test's own process: layout, controls,
// keyboard navigation, Enter and Escape, and the focus memory across
// deactivation and minimising. The update run itself is left to the tests
// that drive update.exe.
#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "description/update_description.h"
#include "shell/font_holder.h"
#include "shell/main_window.h"
#include "state/window_handles.h"
#include "program_driver.h"
#include "test_window_support.h"

namespace {

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetUpdateDescription();
        strcpy(UpdateDescription.Caption, "テスト アップデート");
        strcpy(UpdateDescription.Comment0, "上の説明");
        strcpy(UpdateDescription.Comment1, "下の説明\n二行目");
        UpdateDescription.Width = 400;
        UpdateDescription.Height = 200;
        ControlFont.description.height = 13;
        ControlFont.description.width = 0;
        ControlFont.MakeFont();
        ProgramInstance = GetModuleHandleA(NULL);
    }
    void TearDown() override {
        if (IsWindow(Main())) DestroyWindow(Main());
        Pump(50);  // takes the quit message the destruction posts
        memset(&WindowHandles, 0, sizeof WindowHandles);
        ResetUpdateDescription();
        FocusMemory = NULL;
        MinimizeFocus = NULL;
    }

    // Builds and shows the window as the entry point does.
    void Open() {
        RegisterMainWindowClass();
        ASSERT_EQ(BuildMainWindow(), 0);
        ShowWindow(Main(), SW_SHOW);
        UpdateWindow(Main());
        ASSERT_TRUE(Activate(Main()));
        ASSERT_TRUE(WaitForFocus(Start()));
    }

    static HWND Main() { return (HWND)WindowHandles.MainWindow; }
    static HWND Start() { return (HWND)WindowHandles.StartButton; }
    static HWND Cancel() { return (HWND)WindowHandles.CancelButton; }
    static HWND Finish() { return (HWND)WindowHandles.FinishButton; }

    // The control's rectangle in the main window's client coordinates.
    static RECT ClientRectOf(HWND control) {
        RECT rect;
        GetWindowRect(control, &rect);
        MapWindowPoints(NULL, Main(), (POINT*)&rect, 2);
        return rect;
    }

    // Presses a key and dispatches until the focus is on expected (a while
    // longer for anything that follows), or for a while when nothing is
    // expected, recording what was taken.
    void Press(WORD key, HWND expected = NULL) {
        pumped_.clear();
        PressKey(key);
        if (expected) Pump(3000, [expected] { return GetFocus() == expected; }, &pumped_, hold_);
        Pump(expected ? 50 : 300, nullptr, &pumped_, hold_);
    }

    // The finished state as the update run leaves it: only Finish shown, with the focus.
    void ShowFinishedState() {
        ShowWindow(Start(), SW_HIDE);
        ShowWindow(Cancel(), SW_HIDE);
        ShowWindow(Finish(), SW_SHOW);
        SetFocus(Finish());
        ASSERT_TRUE(WaitForFocus(Finish()));
    }

    // Enter on the focused button ends the program: the quit message comes and
    // the main window is gone.
    void ExpectEnterEndsTheProgram() {
        pumped_.clear();
        PressKey(VK_RETURN);
        Pump(3000, [this] { return QuitSeen(); }, &pumped_);
        EXPECT_TRUE(QuitSeen());
        EXPECT_FALSE(IsWindow(Main()));
    }

    bool QuitSeen() const {
        for (const PumpedMessage& message : pumped_)
            if (message.message == WM_QUIT) return true;
        return false;
    }
    int CommandsTo(HWND window) const {
        int count = 0;
        for (const PumpedMessage& message : pumped_)
            if (message.message == WM_COMMAND && message.window == window) ++count;
        return count;
    }

    std::vector<PumpedMessage> pumped_;
    std::function<bool(const MSG&)> hold_;
};


std::string ClassOf(HWND window) {
    char name[64] = "";
    GetClassNameA(window, name, sizeof name);
    return name;
}

TEST_F(MainWindowTest, LayoutFollowsWidthAndHeight) {
    ASSERT_NO_FATAL_FAILURE(Open());
    RECT client;
    GetClientRect(Main(), &client);
    EXPECT_EQ(client.right, 400);
    EXPECT_EQ(client.bottom, 200);

    struct Expected {
        HWND window;
        LONG x, y, width, height;
    } expected[] = {
        {(HWND)WindowHandles.TopText, 8, 8, 384, 36},
        {(HWND)WindowHandles.BodyText, 8, 40, 384, 130},
        {Start(), 220, 174, 80, 20},
        {Cancel(), 312, 174, 80, 20},
        {Finish(), 312, 174, 80, 20},
    };
    for (const Expected& control : expected) {
        SCOPED_TRACE(control.x);
        RECT rect = ClientRectOf(control.window);
        EXPECT_EQ(rect.left, control.x);
        EXPECT_EQ(rect.top, control.y);
        EXPECT_EQ(rect.right - rect.left, control.width);
        EXPECT_EQ(rect.bottom - rect.top, control.height);
    }

    // The outer window is centred on the primary screen.
    RECT outer = {0, 0, 400, 200};
    AdjustWindowRect(&outer, WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, FALSE);
    RECT window;
    GetWindowRect(Main(), &window);
    EXPECT_EQ(window.right - window.left, outer.right - outer.left);
    EXPECT_EQ(window.bottom - window.top, outer.bottom - outer.top);
    EXPECT_EQ(window.left, (GetSystemMetrics(SM_CXSCREEN) - (outer.right - outer.left)) / 2);
    EXPECT_EQ(window.top, (GetSystemMetrics(SM_CYSCREEN) - (outer.bottom - outer.top)) / 2);
}

TEST_F(MainWindowTest, WindowAndClassAreAsRegistered) {
    ASSERT_NO_FATAL_FAILURE(Open());
    EXPECT_EQ(ClassOf(Main()), "update");
    EXPECT_EQ(WindowText(Main()), "テスト アップデート");
    // The system adds WS_CLIPSIBLINGS to every top-level window.
    EXPECT_EQ((DWORD)GetWindowLongW(Main(), GWL_STYLE) & ~(DWORD)WS_CLIPSIBLINGS, 0x00CA0000u | WS_VISIBLE);
    EXPECT_EQ(GetWindowLongW(Main(), GWL_EXSTYLE) & WS_EX_NOPARENTNOTIFY, 0);
    WNDCLASSW windowClass;
    ASSERT_TRUE(GetClassInfoW(ProgramInstance, L"update", &windowClass));
    EXPECT_EQ(windowClass.style, (UINT)CS_OWNDC);
    EXPECT_EQ(windowClass.lpfnWndProc, &MainWindowProc);
    EXPECT_EQ(windowClass.hbrBackground, (HBRUSH)(COLOR_BTNFACE + 1));
    EXPECT_EQ(windowClass.hCursor, LoadCursorW(NULL, MAKEINTRESOURCEW(32512)));
}

TEST_F(MainWindowTest, ControlsCarryTheirTable) {
    ASSERT_NO_FATAL_FAILURE(Open());
    struct Expected {
        HWND window;
        const char* className;
        const char* text;
        int id;
        bool visible;
    } expected[] = {
        {(HWND)WindowHandles.TopText, "Static", "上の説明", 1000, true},
        {(HWND)WindowHandles.BodyText, "Static", "下の説明\n二行目", 1001, true},
        {Start(), "Button", "開始", 2000, true},
        {Cancel(), "Button", "キャンセル", 2001, true},
        {Finish(), "Button", "終了", 2002, false},
    };
    for (const Expected& control : expected) {
        SCOPED_TRACE(control.id);
        ASSERT_TRUE(control.window != NULL);
        EXPECT_EQ(GetParent(control.window), Main());
        EXPECT_EQ(_stricmp(ClassOf(control.window).c_str(), control.className), 0);
        EXPECT_EQ(WindowText(control.window), control.text);
        EXPECT_EQ(GetDlgCtrlID(control.window), control.id);
        EXPECT_EQ(IsWindowVisible(control.window) != 0, control.visible);
        EXPECT_TRUE(GetWindowLongW(control.window, GWL_EXSTYLE) & WS_EX_NOPARENTNOTIFY);
        EXPECT_EQ((HFONT)SendMessageW(control.window, WM_GETFONT, 0, 0), (HFONT)ControlFont.font);
        EXPECT_TRUE(GetPropW(control.window, L"CWSUBCLASS") != NULL);
    }
    EXPECT_TRUE(ControlFont.font != NULL);
    EXPECT_EQ(GetWindowLongW(Start(), GWL_STYLE) & BS_MULTILINE, BS_MULTILINE);
    EXPECT_EQ(GetWindowLongW((HWND)WindowHandles.TopText, GWL_STYLE) & 0xFF, SS_LEFT);
    // The handles are those of the global controls.
    EXPECT_EQ(Start(), StartButton.OwnWindow());
    EXPECT_EQ((HWND)WindowHandles.TopText, TopText.OwnWindow());
    EXPECT_EQ(Finish(), FinishButton.OwnWindow());
}

// The sizes and positions as they are passed to the window creation, before
// the system adjusts them.
struct Creation {
    std::string className;
    int x, y, width, height;
};
std::vector<Creation> creations;
LRESULT CALLBACK RecordCreation(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND) {
        const CREATESTRUCTA* create = ((CBT_CREATEWNDA*)lParam)->lpcs;
        std::string name = HIWORD(create->lpszClass) ? create->lpszClass : "#atom";
        // The system may make windows of its own (such as for input methods).
        if (name == "update" || name == "STATIC" || name == "BUTTON")
            creations.push_back({name, create->x, create->y, create->cx, create->cy});
    }
    return CallNextHookEx(NULL, code, wParam, lParam);
}

TEST_F(MainWindowTest, ZeroSizeIsPassedOnAsItIs) {
    UpdateDescription.Width = 0;
    UpdateDescription.Height = 0;
    RegisterMainWindowClass();
    creations.clear();
    HHOOK hook = SetWindowsHookExA(WH_CBT, RecordCreation, NULL, GetCurrentThreadId());
    ASSERT_TRUE(hook != NULL);
    int built = BuildMainWindow();
    UnhookWindowsHookEx(hook);
    ASSERT_EQ(built, 0);
    ASSERT_EQ(creations.size(), 6u);

    RECT outer = {0, 0, 0, 0};
    AdjustWindowRect(&outer, WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, FALSE);
    EXPECT_EQ(creations[0].className, "update");
    EXPECT_EQ(creations[0].width, outer.right - outer.left);
    EXPECT_EQ(creations[0].height, outer.bottom - outer.top);

    const int expected[5][4] = {
        {8, 8, -16, 36}, {8, 40, -16, -70}, {-180, -26, 80, 20}, {-88, -26, 80, 20}, {-88, -26, 80, 20}};
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(creations[i + 1].x, expected[i][0]);
        EXPECT_EQ(creations[i + 1].y, expected[i][1]);
        EXPECT_EQ(creations[i + 1].width, expected[i][2]);
        EXPECT_EQ(creations[i + 1].height, expected[i][3]);
    }
    RECT start = ClientRectOf(Start());
    EXPECT_EQ(start.left, -180);
    EXPECT_EQ(start.top, -26);
}

TEST_F(MainWindowTest, FocusStartsOnStart) {
    ASSERT_NO_FATAL_FAILURE(Open());
    EXPECT_EQ(GetFocus(), Start());
    EXPECT_EQ(FocusMemory, Start());
}

TEST_F(MainWindowTest, TabAndArrowsMoveBetweenStartAndCancel) {
    ASSERT_NO_FATAL_FAILURE(Open());
    const WORD keys[] = {VK_TAB, VK_UP, VK_DOWN, VK_LEFT, VK_RIGHT};
    for (WORD key : keys) {
        SCOPED_TRACE(key);
        Press(key, Cancel());
        EXPECT_EQ(GetFocus(), Cancel());
        Press(key, Start());
        EXPECT_EQ(GetFocus(), Start());
    }
    EXPECT_FALSE(QuitSeen());
}

TEST_F(MainWindowTest, FocusStaysOnFinish) {
    ASSERT_NO_FATAL_FAILURE(Open());
    ASSERT_NO_FATAL_FAILURE(ShowFinishedState());
    const WORD keys[] = {VK_TAB, VK_UP, VK_DOWN, VK_LEFT, VK_RIGHT};
    for (WORD key : keys) {
        Press(key);
        EXPECT_EQ(GetFocus(), Finish());
    }
}

// A click on Start would run the update, which the tests of update.exe cover;
// here the way to it is followed up to the click.
WNDPROC startProcBefore = NULL;
int startClicks = 0;
LRESULT CALLBACK CountClicks(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == BM_CLICK) {
        ++startClicks;
        return 0;
    }
    return CallWindowProcW(startProcBefore, window, message, wParam, lParam);
}

TEST_F(MainWindowTest, EnterOnStartPostsTheClickCommand) {
    ASSERT_NO_FATAL_FAILURE(Open());
    // The command is held back so that no update runs.
    hold_ = [](const MSG& message) { return message.message == WM_COMMAND; };
    pumped_.clear();
    PressKey(VK_RETURN);
    Pump(3000, [this] { return CommandsTo(Main()) > 0; }, &pumped_, hold_);
    Pump(100, nullptr, &pumped_, hold_);
    ASSERT_EQ(CommandsTo(Main()), 1);
    for (const PumpedMessage& message : pumped_) {
        if (message.message != WM_COMMAND) continue;
        EXPECT_EQ(message.wParam, MAKEWPARAM(2000, 245));
        EXPECT_EQ(message.lParam, (LPARAM)Start());
    }

    // The window procedure turns that command into a click of Start.
    startClicks = 0;
    startProcBefore = (WNDPROC)SetWindowLongPtrW(Start(), GWLP_WNDPROC, (LONG_PTR)&CountClicks);
    SendMessageW(Main(), WM_COMMAND, MAKEWPARAM(2000, 245), (LPARAM)Start());
    SetWindowLongPtrW(Start(), GWLP_WNDPROC, (LONG_PTR)startProcBefore);
    EXPECT_EQ(startClicks, 1);
    EXPECT_TRUE(IsWindow(Main()));
}

TEST_F(MainWindowTest, EnterOnCancelEndsTheProgram) {
    ASSERT_NO_FATAL_FAILURE(Open());
    Press(VK_TAB, Cancel());
    ASSERT_EQ(GetFocus(), Cancel());
    ExpectEnterEndsTheProgram();
}

TEST_F(MainWindowTest, EnterOnFinishEndsTheProgram) {
    ASSERT_NO_FATAL_FAILURE(Open());
    ASSERT_NO_FATAL_FAILURE(ShowFinishedState());
    ExpectEnterEndsTheProgram();
}

TEST_F(MainWindowTest, EscapeDoesNothing) {
    ASSERT_NO_FATAL_FAILURE(Open());
    Press(VK_ESCAPE);
    EXPECT_TRUE(IsWindow(Main()));
    EXPECT_EQ(GetFocus(), Start());
    EXPECT_EQ(CommandsTo(Main()), 0);
    EXPECT_FALSE(QuitSeen());
}

TEST_F(MainWindowTest, CloseBoxEndsTheProgram) {
    ASSERT_NO_FATAL_FAILURE(Open());
    pumped_.clear();
    PostMessageW(Main(), WM_SYSCOMMAND, SC_CLOSE, 0);
    Pump(3000, [this] { return QuitSeen(); }, &pumped_);
    EXPECT_TRUE(QuitSeen());
    EXPECT_FALSE(IsWindow(Main()));
}

TEST_F(MainWindowTest, FocusReturnsAfterSwitchingToAnotherProgram) {
    ASSERT_NO_FATAL_FAILURE(Open());
    Press(VK_TAB, Cancel());
    ASSERT_EQ(GetFocus(), Cancel());
    OtherThreadWindow other;
    ASSERT_TRUE(other.Window() != NULL);
    SetForegroundWindow(other.Window());
    ASSERT_TRUE(Pump(3000, [&] { return GetForegroundWindow() == other.Window(); }));
    Pump(100);
    EXPECT_EQ(FocusMemory, Cancel());
    ASSERT_TRUE(Activate(Main()));
    EXPECT_TRUE(WaitForFocus(Cancel()));
}

TEST_F(MainWindowTest, FocusReturnsAfterMinimiseAndRestore) {
    ASSERT_NO_FATAL_FAILURE(Open());
    Press(VK_TAB, Cancel());
    ASSERT_EQ(GetFocus(), Cancel());
    SendMessageW(Main(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
    Pump(200);
    EXPECT_TRUE(IsIconic(Main()));
    EXPECT_EQ(MinimizeFocus, Cancel());
    // Whatever the focus memory became while minimised, restoring brings the
    // focus back to where it was.
    FocusMemory = Start();
    SendMessageW(Main(), WM_SYSCOMMAND, SC_RESTORE, 0);
    Pump(200);
    EXPECT_FALSE(IsIconic(Main()));
    EXPECT_EQ(FocusMemory, Cancel());
    ASSERT_TRUE(Activate(Main()));
    EXPECT_TRUE(WaitForFocus(Cancel()));
}

TEST_F(MainWindowTest, SystemCommandLowWordIsComparedWhole) {
    ASSERT_NO_FATAL_FAILURE(Open());
    FocusMemory = Cancel();
    MinimizeFocus = Start();
    // SC_RESTORE with a low bit set is not taken as a restore.
    SendMessageW(Main(), WM_SYSCOMMAND, SC_RESTORE | 2, 0);
    EXPECT_EQ(FocusMemory, Cancel());
    SendMessageW(Main(), WM_SYSCOMMAND, SC_RESTORE, 0);
    EXPECT_EQ(FocusMemory, Start());
}

}  // namespace
