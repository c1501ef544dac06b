// ChildControl on real windows with real keyboard input: focus targets, Enter and
// drop notifications posted to the parent, and the control's life cycle.
#include <gtest/gtest.h>

#include <vector>

#include "controls/child_control.h"
#include "test_window_support.h"

namespace {

struct KeySeen {
    HWND window;
    WPARAM key;
};
std::vector<KeySeen> keysSeen;  // WM_KEYDOWN as the controls' own procedure got it
HANDLE propertyAtDestroy = (HANDLE)1;
LONG_PTR procedureAtDestroy = 0;

// The own procedure of the test controls.
LRESULT CALLBACK KeyProbeProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_KEYDOWN) keysSeen.push_back({window, wParam});
    if (message == WM_DESTROY) {
        propertyAtDestroy = GetPropW(window, L"CWSUBCLASS");
        procedureAtDestroy = GetWindowLongPtrW(window, GWLP_WNDPROC);
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK ParentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(window, message, wParam, lParam);
}

const WORD EnterCode = 245;

class ChildControlTest : public ::testing::Test {
protected:
    void SetUp() override {
        keysSeen.clear();
        HINSTANCE instance = GetModuleHandleA(NULL);
        WNDCLASSW windowClass = {};
        windowClass.hInstance = instance;
        windowClass.lpfnWndProc = KeyProbeProc;
        windowClass.lpszClassName = L"KeyProbe";
        RegisterClassW(&windowClass);
        windowClass.lpfnWndProc = ParentProc;
        windowClass.lpszClassName = L"KeyProbeParent";
        RegisterClassW(&windowClass);
        parent_ = CreateWindowExW(0, L"KeyProbeParent", L"parent", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 50, 50, 300,
                                  200, NULL, NULL, instance, NULL);
        ASSERT_TRUE(parent_ != NULL);
        ASSERT_EQ(Create(first_, 3000), 0);
        ASSERT_EQ(Create(second_, 3001), 0);
        ASSERT_TRUE(Activate(parent_));
    }
    void TearDown() override {
        if (IsWindow(parent_)) DestroyWindow(parent_);
        Pump(50);
    }

    int Create(ChildControl& control, int id) {
        return control.Create(WS_EX_NOPARENTNOTIFY, "KeyProbe", "", WS_CHILD | WS_VISIBLE, 10 + (id - 3000) * 100,
                              10, 80, 20, parent_, id, GetModuleHandleA(NULL), NULL);
    }

    // Focuses the control, presses the key and dispatches what follows.
    void PressOn(ChildControl& control, WORD key, WORD modifier = 0) {
        SetFocus(control.OwnWindow());
        ASSERT_TRUE(WaitForFocus(control.OwnWindow()));
        keysSeen.clear();
        posted_.clear();
        PressKey(key, modifier);
        Pump(3000, [&] { return KeyReached(control.OwnWindow(), key); }, &posted_);
        Pump(50, nullptr, &posted_);
    }

    static bool KeyReached(HWND window, WPARAM key) {
        for (const KeySeen& seen : keysSeen)
            if (seen.window == window && seen.key == key) return true;
        return false;
    }

    std::vector<PumpedMessage> Commands() const {
        std::vector<PumpedMessage> commands;
        for (const PumpedMessage& message : posted_)
            if (message.message == WM_COMMAND) commands.push_back(message);
        return commands;
    }

    HWND parent_ = NULL;
    ChildControl first_;
    ChildControl second_;
    std::vector<PumpedMessage> posted_;
};

TEST_F(ChildControlTest, CreateMakesAnAttachedChildWithItsIdentifier) {
    HWND own = first_.OwnWindow();
    ASSERT_TRUE(own != NULL);
    EXPECT_EQ(GetParent(own), parent_);
    EXPECT_EQ(GetDlgCtrlID(own), 3000);
    EXPECT_TRUE(GetWindowLongW(own, GWL_EXSTYLE) & WS_EX_NOPARENTNOTIFY);
    EXPECT_EQ(GetPropW(own, L"CWSUBCLASS"), (HANDLE)&first_);
    EXPECT_EQ(GetWindowLongPtrW(own, GWLP_WNDPROC), (LONG_PTR)&WindowSubclass::SubclassThunk);
    EXPECT_EQ(first_.AttachedWindow(), own);
}

TEST_F(ChildControlTest, CreateWithUnknownClassFails) {
    ChildControl control;
    EXPECT_EQ(control.Create(0, "NoSuchClassAnywhere", "", WS_CHILD, 0, 0, 10, 10, parent_, 1,
                             GetModuleHandleA(NULL), NULL),
              1);
    EXPECT_EQ(control.OwnWindow(), (HWND)NULL);
    EXPECT_EQ(control.AttachedWindow(), (HWND)NULL);
}

TEST_F(ChildControlTest, CreateAgainReplacesTheOwnWindow) {
    HWND old = first_.OwnWindow();
    ASSERT_EQ(Create(first_, 3005), 0);
    EXPECT_FALSE(IsWindow(old));
    EXPECT_NE(first_.OwnWindow(), old);
    EXPECT_EQ(GetDlgCtrlID(first_.OwnWindow()), 3005);
}

TEST_F(ChildControlTest, DestroyOwnWindowDestroysAndForgets) {
    HWND own = first_.OwnWindow();
    EXPECT_EQ(first_.DestroyOwnWindow(), 0);
    EXPECT_FALSE(IsWindow(own));
    EXPECT_EQ(first_.OwnWindow(), (HWND)NULL);
    EXPECT_EQ(first_.AttachedWindow(), (HWND)NULL);
    EXPECT_EQ(first_.DestroyOwnWindow(), 0);
}

TEST_F(ChildControlTest, ParentDestructionDetachesAndKeepsTheHandle) {
    HWND own = first_.OwnWindow();
    DestroyWindow(parent_);
    // When the control's own procedure saw WM_DESTROY, the subclass was undone.
    EXPECT_EQ(propertyAtDestroy, (HANDLE)NULL);
    WNDCLASSW probeClass;
    ASSERT_TRUE(GetClassInfoW(GetModuleHandleA(NULL), L"KeyProbe", &probeClass));
    EXPECT_EQ(procedureAtDestroy, (LONG_PTR)probeClass.lpfnWndProc);
    EXPECT_EQ(first_.AttachedWindow(), (HWND)NULL);
    EXPECT_EQ(first_.OwnWindow(), own);
    // As at program exit: the window is gone, so this only forgets it.
    EXPECT_EQ(first_.DestroyOwnWindow(), 0);
    EXPECT_EQ(first_.OwnWindow(), (HWND)NULL);
}

TEST_F(ChildControlTest, EveryNavigationKeyMovesTheFocusToItsTarget) {
    const WORD keys[] = {VK_TAB, VK_UP, VK_DOWN, VK_LEFT, VK_RIGHT};
    const int slots[] = {KeySlotTab, KeySlotUp, KeySlotDown, KeySlotLeft, KeySlotRight};
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(keys[i]);
        ChildControl& from = i % 2 ? second_ : first_;
        ChildControl& to = i % 2 ? first_ : second_;
        from.SetFocusTarget(slots[i], to.OwnWindow());
        PressOn(from, keys[i]);
        EXPECT_EQ(GetFocus(), to.OwnWindow());
        // The key still reached the control's own procedure.
        EXPECT_TRUE(KeyReached(from.OwnWindow(), keys[i]));
        EXPECT_TRUE(Commands().empty());
    }
}

TEST_F(ChildControlTest, OnlyTheSlotOfTheKeyCounts) {
    first_.SetFocusTarget(KeySlotUp, second_.OwnWindow());
    PressOn(first_, VK_DOWN);
    EXPECT_EQ(GetFocus(), first_.OwnWindow());
    EXPECT_TRUE(KeyReached(first_.OwnWindow(), VK_DOWN));
}

TEST_F(ChildControlTest, ModifierKeysAreNotLookedAt) {
    first_.SetFocusTarget(KeySlotTab, second_.OwnWindow());
    second_.SetFocusTarget(KeySlotRight, first_.OwnWindow());
    PressOn(first_, VK_TAB, VK_SHIFT);
    EXPECT_EQ(GetFocus(), second_.OwnWindow());
    PressOn(second_, VK_RIGHT, VK_CONTROL);
    EXPECT_EQ(GetFocus(), first_.OwnWindow());
}

TEST_F(ChildControlTest, TargetOnItselfKeepsTheFocus) {
    first_.SetFocusTarget(KeySlotTab, first_.OwnWindow());
    PressOn(first_, VK_TAB);
    EXPECT_EQ(GetFocus(), first_.OwnWindow());
    EXPECT_TRUE(KeyReached(first_.OwnWindow(), VK_TAB));
}

TEST_F(ChildControlTest, EnterWithFlagOnePostsCommandToParent) {
    ASSERT_EQ(first_.SetNotify(KeySlotEnter, 1, EnterCode), 0);
    PressOn(first_, VK_RETURN);
    std::vector<PumpedMessage> commands = Commands();
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(commands[0].window, parent_);
    EXPECT_EQ(LOWORD(commands[0].wParam), 3000);
    EXPECT_EQ(HIWORD(commands[0].wParam), EnterCode);
    EXPECT_EQ(commands[0].lParam, (LPARAM)first_.OwnWindow());
    EXPECT_TRUE(KeyReached(first_.OwnWindow(), VK_RETURN));
    EXPECT_EQ(GetFocus(), first_.OwnWindow());
}

TEST_F(ChildControlTest, OnlyFlagOneNotifies) {
    ASSERT_EQ(first_.SetNotify(KeySlotEnter, 2, EnterCode), 0);
    PressOn(first_, VK_RETURN);
    EXPECT_TRUE(Commands().empty());
    ASSERT_EQ(first_.SetNotify(KeySlotEnter, -1, EnterCode), 0);
    PressOn(first_, VK_RETURN);
    EXPECT_TRUE(Commands().empty());
    EXPECT_TRUE(KeyReached(first_.OwnWindow(), VK_RETURN));
}

TEST_F(ChildControlTest, UntouchedControlBehavesAsIfNotSubclassed) {
    PressOn(first_, VK_ESCAPE);
    EXPECT_EQ(GetFocus(), first_.OwnWindow());
    EXPECT_TRUE(KeyReached(first_.OwnWindow(), VK_ESCAPE));
    EXPECT_TRUE(Commands().empty());
    EXPECT_TRUE(IsWindow(parent_));
}

TEST_F(ChildControlTest, OtherKeysNeitherMoveNorNotify) {
    for (int slot = 0; slot < 7; ++slot) first_.SetFocusTarget(slot, second_.OwnWindow());
    for (int slot = 0; slot < 8; ++slot) first_.SetNotify(slot, 1, 9);
    PressOn(first_, 'A');
    EXPECT_EQ(GetFocus(), first_.OwnWindow());
    EXPECT_TRUE(Commands().empty());
    PressOn(first_, VK_SPACE);
    EXPECT_EQ(GetFocus(), first_.OwnWindow());
    EXPECT_TRUE(Commands().empty());
}

TEST_F(ChildControlTest, SlotsAreBoundedAndOutOfRangeChangesNothing) {
    EXPECT_EQ(first_.SetFocusTarget(-1, second_.OwnWindow()), 1);
    EXPECT_EQ(first_.SetFocusTarget(7, second_.OwnWindow()), 1);
    EXPECT_EQ(first_.SetNotify(-1, 1, 1), 1);
    EXPECT_EQ(first_.SetNotify(8, 1, 1), 1);
    EXPECT_EQ(first_.SetFocusTarget(0, NULL), 0);
    EXPECT_EQ(first_.SetFocusTarget(6, NULL), 0);
    EXPECT_EQ(first_.SetNotify(0, 0, 0), 0);
    // Nothing of the refused calls reached a neighbouring slot.
    PressOn(first_, VK_RETURN);
    PressOn(first_, VK_RIGHT);
    EXPECT_EQ(GetFocus(), first_.OwnWindow());
    EXPECT_TRUE(Commands().empty());
}

TEST_F(ChildControlTest, DropSlotNotifiesWithTheDropHandle) {
    EXPECT_EQ(first_.SetFocusTarget(KeySlotDropFiles, second_.OwnWindow()), 1);
    ASSERT_EQ(first_.SetNotify(KeySlotDropFiles, 1, 0x0123), 0);
    const WPARAM drop = 0x5678;
    posted_.clear();
    SendMessageW(first_.OwnWindow(), WM_DROPFILES, drop, 0);
    Pump(200, nullptr, &posted_);
    std::vector<PumpedMessage> commands = Commands();
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(commands[0].window, parent_);
    EXPECT_EQ(commands[0].wParam, MAKEWPARAM(3000, 0x0123));
    EXPECT_EQ(commands[0].lParam, (LPARAM)drop);

    // Without the flag a drop posts nothing.
    posted_.clear();
    SendMessageW(second_.OwnWindow(), WM_DROPFILES, drop, 0);
    Pump(100, nullptr, &posted_);
    EXPECT_TRUE(Commands().empty());
}

TEST_F(ChildControlTest, NotifyIsPostedNotSent) {
    // The command must arrive after the key has been handled, through the queue.
    ASSERT_EQ(first_.SetNotify(KeySlotEnter, 1, EnterCode), 0);
    SendMessageW(first_.OwnWindow(), WM_KEYDOWN, VK_RETURN, 0);
    MSG message;
    ASSERT_TRUE(PeekMessageW(&message, parent_, WM_COMMAND, WM_COMMAND, PM_REMOVE));
    EXPECT_EQ(message.wParam, MAKEWPARAM(3000, EnterCode));
}

}  // namespace
