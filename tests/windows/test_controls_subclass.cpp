// WindowSubclass on real windows: the property, the procedure replacement and
// its undoing, and the default handling of a window that lost its object.
#include <gtest/gtest.h>

#include "program_driver.h"

#include <string>
#include <vector>

#include "controls/window_subclass.h"

namespace {

// What the probe window's own procedure saw.
struct ProbeLog {
    std::vector<UINT> messages;
    bool sawDestroy = false;
    HANDLE propertyAtDestroy = (HANDLE)1;
    LONG_PTR procedureAtDestroy = 0;
};
ProbeLog probeLog;

LRESULT CALLBACK ProbeProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    probeLog.messages.push_back(message);
    if (message == WM_DESTROY) {
        probeLog.sawDestroy = true;
        probeLog.propertyAtDestroy = GetPropW(window, L"CWSUBCLASS");
        probeLog.procedureAtDestroy = GetWindowLongPtrW(window, GWLP_WNDPROC);
    }
    if (message == WM_USER + 1) return 1234;
    return DefWindowProcW(window, message, wParam, lParam);
}

class WindowSubclassTest : public ::testing::Test {
protected:
    void SetUp() override {
        probeLog = ProbeLog();
        WNDCLASSW windowClass = {};
        windowClass.lpfnWndProc = ProbeProc;
        windowClass.hInstance = GetModuleHandleA(NULL);
        windowClass.lpszClassName = L"SubclassProbe";
        RegisterClassW(&windowClass);
        window_ = CreateWindowExW(0, L"SubclassProbe", L"probe", WS_OVERLAPPED, 0, 0, 100, 100, NULL, NULL,
                                  GetModuleHandleA(NULL), NULL);
        ASSERT_TRUE(window_ != NULL);
        originalProc_ = GetWindowLongPtrW(window_, GWLP_WNDPROC);
    }
    void TearDown() override {
        if (IsWindow(window_)) DestroyWindow(window_);
    }

    LONG_PTR CurrentProc() const { return GetWindowLongPtrW(window_, GWLP_WNDPROC); }
    LONG_PTR ThunkAddress() const { return (LONG_PTR)&WindowSubclass::SubclassThunk; }

    HWND window_ = NULL;
    LONG_PTR originalProc_ = 0;
};

TEST_F(WindowSubclassTest, AttachInstallsThunkAndProperty) {
    WindowSubclass subclass;
    ASSERT_EQ(subclass.Attach(window_), 0);
    EXPECT_EQ(subclass.AttachedWindow(), window_);
    EXPECT_EQ(GetPropW(window_, L"CWSUBCLASS"), (HANDLE)&subclass);
    EXPECT_EQ(CurrentProc(), ThunkAddress());

    // Messages pass through the object to the window's own procedure and its
    // result comes back.
    probeLog.messages.clear();
    EXPECT_EQ(SendMessageW(window_, WM_USER + 1, 0, 0), 1234);
    ASSERT_EQ(probeLog.messages.size(), 1u);
    EXPECT_EQ(probeLog.messages[0], (UINT)(WM_USER + 1));
}

TEST_F(WindowSubclassTest, DetachRestoresProcedureAndRemovesProperty) {
    WindowSubclass subclass;
    ASSERT_EQ(subclass.Attach(window_), 0);
    EXPECT_EQ(subclass.Detach(), 0);
    EXPECT_EQ(subclass.AttachedWindow(), (HWND)NULL);
    EXPECT_EQ(GetPropW(window_, L"CWSUBCLASS"), (HANDLE)NULL);
    EXPECT_EQ(CurrentProc(), originalProc_);
    // A second Detach finds nothing to undo.
    EXPECT_EQ(subclass.Detach(), 0);
}

TEST_F(WindowSubclassTest, DestroyDetachesBeforeTheOwnProcedureSeesIt) {
    WindowSubclass subclass;
    ASSERT_EQ(subclass.Attach(window_), 0);
    DestroyWindow(window_);
    ASSERT_TRUE(probeLog.sawDestroy);  // WM_DESTROY was passed on
    EXPECT_EQ(probeLog.propertyAtDestroy, (HANDLE)NULL);
    EXPECT_EQ(probeLog.procedureAtDestroy, originalProc_);
    EXPECT_EQ(subclass.AttachedWindow(), (HWND)NULL);
}

TEST_F(WindowSubclassTest, AttachToAnotherWindowLeavesTheFirstClean) {
    HWND second = CreateWindowExW(0, L"SubclassProbe", L"second", WS_OVERLAPPED, 0, 0, 50, 50, NULL, NULL,
                                  GetModuleHandleA(NULL), NULL);
    ASSERT_TRUE(second != NULL);
    WindowSubclass subclass;
    ASSERT_EQ(subclass.Attach(window_), 0);
    ASSERT_EQ(subclass.Attach(second), 0);
    EXPECT_EQ(CurrentProc(), originalProc_);
    EXPECT_EQ(GetPropW(window_, L"CWSUBCLASS"), (HANDLE)NULL);
    EXPECT_EQ(GetPropW(second, L"CWSUBCLASS"), (HANDLE)&subclass);
    EXPECT_EQ(GetWindowLongPtrW(second, GWLP_WNDPROC), ThunkAddress());
    DestroyWindow(second);
    EXPECT_EQ(subclass.AttachedWindow(), (HWND)NULL);
}

TEST_F(WindowSubclassTest, DestructorDetaches) {
    {
        WindowSubclass subclass;
        ASSERT_EQ(subclass.Attach(window_), 0);
    }
    EXPECT_EQ(GetPropW(window_, L"CWSUBCLASS"), (HANDLE)NULL);
    EXPECT_EQ(CurrentProc(), originalProc_);
}

TEST_F(WindowSubclassTest, AttachToNoWindowFailsAndStaysDetached) {
    WindowSubclass subclass;
    EXPECT_EQ(subclass.Attach(NULL), 1);
    EXPECT_EQ(subclass.AttachedWindow(), (HWND)NULL);
    // A window that is gone cannot take the property either.
    HWND gone = CreateWindowExW(0, L"SubclassProbe", L"gone", WS_OVERLAPPED, 0, 0, 50, 50, NULL, NULL,
                                GetModuleHandleA(NULL), NULL);
    DestroyWindow(gone);
    EXPECT_EQ(subclass.Attach(gone), 1);
    EXPECT_EQ(subclass.AttachedWindow(), (HWND)NULL);
    // The object is still usable afterwards.
    EXPECT_EQ(subclass.Attach(window_), 0);
}

TEST_F(WindowSubclassTest, ThunkWithoutPropertyGivesDefaultHandling) {
    // As after a failed put-back: the thunk runs for a window without object.
    probeLog.messages.clear();
    LRESULT result = WindowSubclass::SubclassThunk(window_, WM_SETTEXT, 0, (LPARAM)L"default");
    EXPECT_TRUE(result);
    EXPECT_EQ(WindowText(window_), "default");
    // The window's own procedure was not involved.
    for (UINT message : probeLog.messages) EXPECT_NE(message, (UINT)WM_SETTEXT);

    probeLog.messages.clear();
    EXPECT_EQ(WindowSubclass::SubclassThunk(window_, WM_USER + 1, 0, 0), 0);
    EXPECT_TRUE(probeLog.messages.empty());
}

TEST_F(WindowSubclassTest, SubclassedSystemControlKeepsWorking) {
    // A system class whose procedure is not the program's own.
    HWND edit = CreateWindowExW(0, L"EDIT", L"abc", WS_POPUP, 0, 0, 100, 20, NULL, NULL, GetModuleHandleA(NULL),
                                NULL);
    ASSERT_TRUE(edit != NULL);
    LONG_PTR before = GetWindowLongPtrW(edit, GWLP_WNDPROC);
    WindowSubclass subclass;
    ASSERT_EQ(subclass.Attach(edit), 0);
    SetWindowTextW(edit, L"changed");
    EXPECT_EQ(WindowText(edit), "changed");
    EXPECT_EQ(SendMessageW(edit, WM_GETTEXTLENGTH, 0, 0), 7);
    ASSERT_EQ(subclass.Detach(), 0);
    EXPECT_EQ(GetWindowLongPtrW(edit, GWLP_WNDPROC), before);
    DestroyWindow(edit);
}

}  // namespace
