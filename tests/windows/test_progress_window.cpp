// The built update.exe on a run long enough to show its progress: the window
// appears with the caption, the stage, the file, the bar and the amount, is
// redrawn while the run works, lets neither a second Start nor a key reach the
// run, and is gone before the completion box, which stands alone with the main
// window as its owner. Under /S no window of any kind appears.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <stdlib.h>

#include <string>

#include "codec/sha256.h"
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

// The second run of a patch whose delta patches a large archive of the same
// size in both versions: only hashing the archive tells that it is already new,
// and nothing else is long. The window must come while it hashes, about half a
// second after Start, with the hashing's stage and a bar that moves; before, it
// came only once the whole file was hashed. The archive is made large enough
// for this machine to take 1.5 s to hash it (1 GB to start with, doubled up to
// 4 GB; a processor with SHA extensions under Wine hashed 200 MB in 0.5 s);
// UPDATE_PROGRESS_HASH_MB fixes its size, for measuring.
TEST(HashProgress, TheWindowShowsWhileALargeGameFileIsHashed) {
    const char* sizeSetting = getenv("UPDATE_PROGRESS_HASH_MB");
    unsigned long long archiveBytes = (sizeSetting ? strtoull(sizeSetting, 0, 10) : 1024) << 20;
    const std::string folder = MakeTempFolder("hash-progress");
    ASSERT_FALSE(folder.empty());
    const std::string exe = folder + "\\update.exe", game = folder + "\\game";
    ASSERT_TRUE(CopyFileOver(UpdateExePath(), exe));
    ASSERT_TRUE(MakeFolder(game) && MakeFolder(game + "\\data") && MakeFolder(folder + "\\update") &&
                MakeFolder(folder + "\\deltas"));
    ASSERT_TRUE(WriteFileBytes(game + "\\Tessoran.exe", "old engine"));
    ASSERT_TRUE(WriteFileBytes(folder + "\\update\\Tessoran.exe", "new engine"));
    ASSERT_TRUE(WriteFileBytes(folder + "\\update.ini", std::string("[Caption]=") + Caption +
                                                          "\r\n[GameName]=テストゲーム\r\n[RegPath]=UpdateProgressTest\\None\r\n"));
    // The archive as the patch makes it, hashed as the program hashes it (64 KB at a time).
    const std::wstring archive = ShiftJisToWide(game + "\\data\\archive.arc");
    std::string block(1 << 20, '\0');
    unsigned long long written = 0;
    char newHash[65];
    for (;;) {
        HANDLE file = CreateFileW(archive.c_str(), FILE_APPEND_DATA, 0, 0, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, 0);
        ASSERT_TRUE(file != INVALID_HANDLE_VALUE);
        for (DWORD count = 0; written < archiveBytes; written += count) {
            for (size_t i = 0; i < block.size(); i += 4096) block[i] = (char)((written >> 20) + (i >> 12));
            if (!WriteFile(file, block.data(), (DWORD)block.size(), &count, 0) || count != block.size()) break;
        }
        CloseHandle(file);
        ASSERT_EQ(archiveBytes, written);
        const DWORD hashStarted = GetTickCount();
        file = CreateFileW(archive.c_str(), GENERIC_READ, FILE_SHARE_READ, 0, OPEN_EXISTING, 0, 0);
        ASSERT_TRUE(file != INVALID_HANDLE_VALUE);
        Sha256State state;
        Sha256Begin(&state);
        DWORD count = 0;
        while (ReadFile(file, &block[0], 65536, &count, 0) && count != 0) Sha256Add(&state, block.data(), count);
        CloseHandle(file);
        unsigned char digest[32];
        Sha256Finish(&state, digest);
        Sha256ToHex(digest, newHash);
        if (sizeSetting || GetTickCount() - hashStarted >= 1500 || archiveBytes >= (4ull << 30)) break;
        archiveBytes *= 2;
    }
    const std::string size = std::to_string(archiveBytes);
    ASSERT_TRUE(WriteFileBytes(folder + "\\deltas.txt", "data\\archive.arc\t" + size + "\t" + std::string(64, '0') + "\t" +
                                                          size + "\t" + newHash + "\tdeltas\\1.vcdiff\r\n"));
    ASSERT_TRUE(WriteFileBytes(folder + "\\deltas\\1.vcdiff", "never read: the archive is already new"));

    DrivenProgram program;
    ASSERT_TRUE(program.Start(exe, "\"" + exe + "\" \"" + game + "\""));
    HWND main = program.WaitForWindow(L"update");
    ASSERT_TRUE(main != NULL);
    const DWORD pressed = GetTickCount();
    PostMessageW(main, WM_COMMAND, MAKEWPARAM(2000, BN_CLICKED), (LPARAM)GetDlgItem(main, 2000));
    HWND progress = program.WaitForWindow(L"updateProgress", 120000);
    const DWORD shownAfter = GetTickCount() - pressed;
    ASSERT_TRUE(progress != NULL) << "no progress window";
    const std::string stage = WindowText(GetDlgItem(progress, 3000));
    const std::string shownFile = WindowText(GetDlgItem(progress, 3001));
    const LRESULT first = SendMessageW(GetDlgItem(progress, 3002), PBM_GETPOS, 0, 0);
    Sleep(100);
    const LRESULT later = SendMessageW(GetDlgItem(progress, 3002), PBM_GETPOS, 0, 0);
    SeenBox box;
    ASSERT_TRUE(program.WaitForBox(&box, 120000));
    const DWORD boxAfter = GetTickCount() - pressed;
    printf("progress window %lu ms after Start, the box after %lu ms (a %llu MB archive to hash)\n",
           (unsigned long)shownAfter, (unsigned long)boxAfter, archiveBytes >> 20);
    EXPECT_EQ("ゲームのファイルを確認しています。", stage) << shownAfter << " ms";
    EXPECT_EQ("data\\archive.arc", shownFile);
    EXPECT_GT(later, first);
    EXPECT_LT(shownAfter, 1500u);  // half a second, and the time a window takes to come
    EXPECT_EQ("アップデートが完了しました。", box.text);
    DrivenProgram::Dismiss(box.handle);
    DWORD exitCode = 1;
    EXPECT_TRUE(program.WaitForExit(&exitCode));
    EXPECT_EQ(0u, exitCode);
    RemoveTree(folder);
}

}  // namespace
