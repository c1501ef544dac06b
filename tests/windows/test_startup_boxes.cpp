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
        DrivenProgram::Dismiss(box.handle);
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

}  // namespace
