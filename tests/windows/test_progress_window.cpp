// The built update.exe on a run long enough to show its progress: the window
// appears with the caption, the stage, the file, the bar and the amount, is
// redrawn while the run works, lets neither a second Start nor a key reach the
// run, and is gone before the completion box, which stands alone with the main
// window as its owner. Under /S no window of any kind appears.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "program_driver.h"

namespace {

const char Caption[] = "進捗テスト パッチ";
const int PatchFiles = 1500;

// A visible top-level window of a process, of any class.
BOOL CALLBACK FindAnyWindow(HWND window, LPARAM parameter) {
    auto* search = (std::pair<DWORD, HWND>*)parameter;
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search->first && IsWindowVisible(window)) {
        search->second = window;
        return FALSE;
    }
    return TRUE;
}

HWND AnyVisibleWindow(DWORD processId) {
    std::pair<DWORD, HWND> search(processId, (HWND)NULL);
    EnumWindows(FindAnyWindow, (LPARAM)&search);
    return search.second;
}

class ProgressWindow : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = MakeTempFolder("progress");
        ASSERT_FALSE(folder_.empty());
        exe_ = folder_ + "\\update.exe";
        ASSERT_TRUE(CopyFileOver(UpdateExePath(), exe_));
        game_ = folder_ + "\\game";
        ASSERT_TRUE(MakeFolder(game_));
        ASSERT_TRUE(MakeFolder(folder_ + "\\update"));
        ASSERT_TRUE(WriteFileBytes(game_ + "\\Tessoran.exe", "old engine"));
        ASSERT_TRUE(WriteFileBytes(folder_ + "\\update\\Tessoran.exe", std::string(200000, 'e')));
        // Many small new files: the run's time is the files', not the disk's.
        std::string ini = std::string("[Caption]=") + Caption + "\r\n[GameName]=テストゲーム\r\n[RegPath]=UpdateProgressTest\\None\r\n"
                          "[Width]=400\r\n[Height]=200\r\n";
        for (int folder = 0; folder < PatchFiles / 250; ++folder) {
            std::string data = "\\データ" + std::to_string(folder);
            ASSERT_TRUE(MakeFolder(folder_ + "\\update" + data));
            ASSERT_TRUE(MakeFolder(game_ + data));
            for (int i = 0; i < 250; ++i) {
                std::string file = data + "\\file" + std::to_string(i) + ".dat";
                ASSERT_TRUE(WriteFileBytes(folder_ + "\\update" + file, std::string(2000 + i, 'n')));
                ASSERT_TRUE(WriteFileBytes(game_ + file, "old"));
            }
        }
        ASSERT_TRUE(WriteFileBytes(folder_ + "\\update.ini", ini));
    }
    void TearDown() override { RemoveTree(folder_); }

    std::string folder_, exe_, game_;
    DrivenProgram program_;
};

TEST_F(ProgressWindow, ShowsTheRunAndClosesBeforeTheBox) {
    ASSERT_TRUE(program_.Start(exe_, "\"" + exe_ + "\" \"" + game_ + "\""));
    HWND main = program_.WaitForWindow(L"update");
    ASSERT_TRUE(main != NULL);
    HWND start = GetDlgItem(main, 2000);
    PostMessageW(main, WM_COMMAND, MAKEWPARAM(2000, BN_CLICKED), (LPARAM)start);

    HWND progress = program_.WaitForWindow(L"updateProgress", 20000);
    ASSERT_TRUE(progress != NULL) << "no progress window";
    EXPECT_FALSE(IsWindowVisible(main));
    EXPECT_EQ(Caption, WindowText(progress));
    HWND bar = GetDlgItem(progress, 3002);
    wchar_t className[64] = L"";
    GetClassNameW(bar, className, 64);
    EXPECT_STREQ(L"msctls_progress32", className);
    // The stage, the file being written and the amount, in Japanese.
    const std::string stage = WindowText(GetDlgItem(progress, 3000));
    EXPECT_TRUE(stage == "ファイルをコピーしています。" || stage == "更新するファイルを確認しています。") << stage;
    const std::string amount = WindowText(GetDlgItem(progress, 3003));
    EXPECT_EQ(0u, amount.find("進行状況：")) << amount;
    EXPECT_NE(std::string::npos, amount.find("MB")) << amount;

    // While the run works: Start again and keys reach nothing; the bar moves on.
    PostMessageW(main, WM_COMMAND, MAKEWPARAM(2000, BN_CLICKED), (LPARAM)start);
    PostMessageW(progress, WM_KEYDOWN, VK_RETURN, 0);
    PostMessageW(progress, WM_CLOSE, 0, 0);
    const LRESULT first = SendMessageW(bar, PBM_GETPOS, 0, 0);
    const std::string firstFile = WindowText(GetDlgItem(progress, 3001));
    TakeScreenshot("progress-window-" + std::string(sizeof(void*) == 8 ? "win64" : "win32") + ".png", progress);
    LRESULT later = first;
    std::string laterFile = firstFile;
    for (int i = 0; i < 100 && IsWindow(progress) && later == first; ++i) {
        Sleep(20);
        later = SendMessageW(bar, PBM_GETPOS, 0, 0);
        laterFile = WindowText(GetDlgItem(progress, 3001));
    }
    EXPECT_TRUE(later > first || !IsWindow(progress)) << first << " then " << later;
    EXPECT_TRUE(laterFile != firstFile || !IsWindow(progress)) << firstFile;

    SeenBox box;
    ASSERT_TRUE(program_.WaitForBox(&box, 60000));
    // By the time the box is there, the progress window is gone.
    EXPECT_FALSE(IsWindow(progress));
    EXPECT_TRUE(FindWindowOfProcess(program_.ProcessId(), L"updateProgress") == NULL);
    EXPECT_EQ("アップデートが完了しました。", box.text);
    EXPECT_EQ(Caption, box.title);
    EXPECT_EQ(main, box.owner);
    Sleep(300);
    // One box, not a second run's.
    HWND other = program_.WaitForWindow(L"#32770", 10);
    EXPECT_EQ(box.handle, other);
    DrivenProgram::Dismiss(box.handle);
    DWORD exitCode = 1;
    ASSERT_TRUE(program_.WaitForExit(&exitCode));
    EXPECT_EQ(0u, exitCode);
    std::string content;
    ASSERT_TRUE(ReadFileBytes(game_ + "\\データ5\\file249.dat", &content));
    EXPECT_EQ(std::string(2249, 'n'), content);
}

TEST_F(ProgressWindow, NothingIsShownWithoutAWindow) {
    ASSERT_TRUE(program_.Start(exe_, "\"" + exe_ + "\" /S \"" + game_ + "\""));
    DWORD exitCode = 1;
    int looks = 0;
    for (;;) {
        EXPECT_TRUE(AnyVisibleWindow(program_.ProcessId()) == NULL) << "a window after " << looks * 20 << " ms";
        if (program_.WaitForExit(&exitCode, 20)) break;
        ASSERT_LT(++looks, 3000);
    }
    EXPECT_EQ(0u, exitCode);
    // The run lasted long enough for a window to have shown.
    EXPECT_GT(looks, 25);
}

}  // namespace
