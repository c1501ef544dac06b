// The built program at start-up: a missing or faulty update.ini is reported in a
// warning box with no owner, and the program ends with code 0 once it is dismissed.
#include <gtest/gtest.h>

#include "program_driver.h"

namespace {

class StartupBoxes : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = MakeTempFolder("startup");
        ASSERT_FALSE(folder_.empty());
        exe_ = folder_ + "\\setup.exe";
        ASSERT_TRUE(CopyFileOver(UpdateExePath(), exe_)) << UpdateExePath();
    }
    void TearDown() override { RemoveTree(folder_); }

    // Runs the program and expects exactly one box with this text, then exit 0.
    void ExpectSingleBox(const std::string& text) {
        DrivenProgram program;
        ASSERT_TRUE(program.Start(exe_, "", "C:\\"));
        SeenBox box;
        ASSERT_TRUE(program.WaitForBox(&box));
        EXPECT_EQ(box.title, "アップデートエラー");
        EXPECT_EQ(box.text, text);
        EXPECT_EQ(box.owner, (HWND)NULL);
        EXPECT_TRUE(box.hasIcon);
        DrivenProgram::Dismiss(box);
        DWORD exitCode = 1;
        ASSERT_TRUE(program.WaitForExit(&exitCode));
        EXPECT_EQ(exitCode, 0u);
    }

    std::string folder_;
    std::string exe_;
};

TEST_F(StartupBoxes, MissingDescriptionIsReported) {
    ExpectSingleBox("update.ini の読み込みに失敗しました。");
}

TEST_F(StartupBoxes, OverlongValueIsReportedWithItsLength) {
    // The program finds update.ini beside itself, not in its working folder.
    ASSERT_TRUE(WriteFileBytes(folder_ + "\\update.ini",
                               "[Caption]=ok\r\n[GameName]=" + std::string(530, 'g') + "\r\n"));
    ExpectSingleBox("[GameName]が最大文字数を越えました。530 0<=xx<512");
}

TEST_F(StartupBoxes, TooManyFilesAreReportedWithTheCount) {
    std::string content;
    for (int i = 0; i < 257; ++i) content += "[DelFile]=old" + std::to_string(i) + ".dat\r\n";
    ASSERT_TRUE(WriteFileBytes(folder_ + "\\update.ini", content));
    ExpectSingleBox("[DelFile]が最大ファイル数を越えました。256 0<=xx<256");
}

// The program's own folder reaches it through the UTF-16 command line: a
// Japanese name converts exactly, a name with é is taken in its short form.
// Either way update.ini beside the program is read and its window appears.
class ProgramFolderNames : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = MakeTempFolder(std::wstring(L"names"));
        ASSERT_FALSE(root_.empty());
    }
    void TearDown() override { RemoveTree(root_); }

    void ExpectWindowFromFolder(const std::wstring& name) {
        std::wstring folder = root_ + L"\\" + name;
        ASSERT_TRUE(CreateDirectoryW(folder.c_str(), NULL));
        std::wstring exe = folder + L"\\update.exe";
        ASSERT_TRUE(CopyFileOver(UpdateExePathWide(), exe));
        ASSERT_TRUE(WriteFileBytes(folder + L"\\update.ini", "[Caption]=表示ソフトの更新\r\n[Width]=300\r\n[Height]=120\r\n"));
        DrivenProgram program;
        // Started from elsewhere, so only the program's own path leads there.
        ASSERT_TRUE(program.Start(exe, L"", L"C:\\"));
        HWND window = program.WaitForWindow(L"update");
        ASSERT_TRUE(window != NULL) << "no window: update.ini beside the program was not found";
        EXPECT_EQ(WindowText(window), "表示ソフトの更新");
        PostMessageW(window, WM_CLOSE, 0, 0);
        DWORD exitCode = 1;
        ASSERT_TRUE(program.WaitForExit(&exitCode));
        EXPECT_EQ(exitCode, 0u);
    }

    std::wstring root_;
};

TEST_F(ProgramFolderNames, JapaneseFolderNameWithTrailBytes5C) {
    ExpectWindowFromFolder(ShiftJisToWide("ゲーム表示ソ十能"));
}

TEST_F(ProgramFolderNames, FolderNameWithoutAShiftJisForm) { ExpectWindowFromFolder(L"Am\u00e9lie Caf\u00e9"); }

}  // namespace
