// The command line's choices: how it is read, and the roads it opens: a game
// folder named on it instead of the registry's, and a run without a window
// whose boxes go to a log and whose exit status tells the outcome.
#include <gtest/gtest.h>

#include <string>

#include "host_test_support.h"
#include "platform/platform_memory.h"
#include "shell/command_line_choices_reader.h"
#include "shell/prepare_startup.h"
#include "state/folders.h"
#include "state/run_outcome.h"
#include "update/update_run.h"

namespace mp = memory_platform;

namespace {

TEST(CommandLine, OptionsAndTheGameFolderAreReadAsExplorerAndInstallersPassThem) {
    struct {
        const char* arguments;  // after "C:\Patch\update.exe"
        bool silent;
        const char* log;
        const char* folder;  // null: none given
    } cases[] = {
        {"", false, "", nullptr},
        {" ", false, "", nullptr},  // 64-bit Wine's trailing space
        {" \"D:\\Games\\星見の丘\"", false, "", "D:\\Games\\星見の丘"},
        {" \"D:\\\"", false, "", "D:\\"},  // the backslash before the quote is the path's
        {" \"C:\\Games\\X\\\" /S", false, "", "C:\\Games\\X\\"},  // nothing after the folder is read
        {" C:\\Program Files\\Game  ", false, "", "C:\\Program Files\\Game"},  // unquoted: to the line's end
        {" /s /log=C:\\u.log D:\\G", true, "C:\\u.log", "D:\\G"},
        {" /LOG=\"C:\\My Logs\\u.log\"\t/S", true, "C:\\My Logs\\u.log", nullptr},
        {" /S /D=C:\\Program Files\\表示\\", true, "", "C:\\Program Files\\表示\\"},
        {" /D=\"C:\\a b\" x", false, "", "C:\\a b"},
        {" /SILENT /X=1 D:\\G", false, "", "D:\\G"},  // unknown options are skipped
        {" /Sx", false, "", nullptr},
        {" \"\"", false, "", ""},  // an empty folder names no game
        {" \"D:\\unclosed", false, "", "D:\\unclosed"},
    };
    for (const auto& c : cases) {
        ResetProgramState();
        mp::SetCommandLine(std::string("\"C:\\Patch\\update.exe\"") + c.arguments);
        ReadCommandLineChoices();
        SCOPED_TRACE(c.arguments);
        EXPECT_EQ(CommandLineChoices.Silent, c.silent);
        EXPECT_STREQ(CommandLineChoices.LogFile, c.log);
        EXPECT_EQ(CommandLineChoices.GameFolderGiven, c.folder != nullptr);
        if (c.folder) EXPECT_STREQ(CommandLineChoices.GameFolderArgument, c.folder);
    }
}

class CommandLineRoad : public ::testing::Test {
protected:
    void SetUp() override {
        ResetProgramState();
        mp::AddFile("C:\\Patch\\update.ini",
                    "[Caption]=Patch\\n1.1\n[GameName]=Game\n[RegPath]=Maker\\Game\n[Attention1]=Files\tdiffer.\n");
        mp::AddFile("C:\\Patch\\update\\Tessoran.exe", "new engine");
        mp::AddFile("C:\\Patch\\update\\data\\a.dat", "new a");
        mp::AddFile("D:\\遊戯\\Tessoran.exe", "old engine");
        mp::AddFile("D:\\遊戯\\data\\a.dat", "old a");
    }

    // Start-up, then the run as Start would start it; the outcome.
    RunOutcome Run(const std::string& arguments) {
        mp::SetCommandLine("\"C:\\Patch\\update.exe\"" + arguments);
        if (PrepareStartup() == 0) RunUpdate();
        return LastRunOutcome;
    }
};

TEST_F(CommandLineRoad, AFolderThatNamesNoGameOrDoesNotFitIsNotInstalledAndTheRegistryIsNotAsked) {
    mp::SetRegistryString("Software\\Maker\\Game", "SAV_FOLDER", "D:\\遊戯");
    for (const std::string& folder : {std::string("D:\\遊戯\\data"), std::string(""), "D:\\" + std::string(520, 'x')}) {
        ResetUpdateRunForTests();
        EXPECT_EQ(Run(" \"" + folder + "\""), OutcomeNotInstalled) << folder;
        EXPECT_EQ(mp::MessageBoxes().back().text, "Gameがインストールされていません。");
    }
    EXPECT_EQ(mp::FileContent("D:\\遊戯\\data\\a.dat"), "old a");
}

TEST_F(CommandLineRoad, SilentRunsLogEveryBoxAndEndWithTheOutcomeAsExitStatus) {
    // Completed without any registry key: no box, one line, the title's line
    // break escaped; the folder's trailing backslash is dropped.
    mp::AddDirectory("C:\\Logs");
    EXPECT_EQ(Run(" /S /LOG=C:\\Logs\\u.log \"D:\\遊戯\\\""), OutcomeCompleted);
    EXPECT_STREQ(GameFolder, "D:\\遊戯");
    EXPECT_TRUE(mp::MessageBoxes().empty());
    EXPECT_EQ(mp::FileContent("C:\\Logs\\u.log"), "Patch\\n1.1\tアップデートが完了しました。\r\n");

    // A file to replace is missing: the engine executable is replaced first, as
    // with a window; both boxes are appended.
    mp::AddFile("C:\\Patch\\update\\data\\b.dat", "new b");
    mp::AddFile("D:\\遊戯\\Tessoran.exe", "old engine");
    ResetUpdateRunForTests();
    EXPECT_EQ(Run(" /S /LOG=C:\\Logs\\u.log D:\\遊戯"), OutcomeFileMissing);
    EXPECT_EQ(mp::FileContent("D:\\遊戯\\Tessoran.exe"), "new engine");
    EXPECT_EQ(mp::FileContent("D:\\遊戯\\data\\a.dat"), "new a");  // from the first run
    EXPECT_EQ(mp::FileContent("C:\\Logs\\u.log"),
              "Patch\\n1.1\tアップデートが完了しました。\r\n"
              "Patch\\n1.1 注意\tFiles\\tdiffer.\r\n"
              "Patch\\n1.1\tアップデートを終了します。\r\n");

    ResetUpdateRunForTests();
    EXPECT_EQ(Run(" /S /LOG=C:\\Logs\\n.log D:\\Nothing"), OutcomeNotInstalled);
    EXPECT_EQ(mp::FileContent("C:\\Logs\\n.log"), "Patch\\n1.1\tGameがインストールされていません。\r\n");

    mp::FailOperation(mp::Operation::CopyFile, "C:\\Patch\\update\\data\\a.dat");
    mp::AddFile("D:\\遊戯\\data\\b.dat", "old b");
    ResetUpdateRunForTests();
    EXPECT_EQ(Run(" /S D:\\遊戯"), OutcomeCopyFailed);

    // Start-up stops: update.ini is missing; its box goes to the log too.
    ResetProgramState();
    mp::AddDirectory("C:\\Logs");
    EXPECT_EQ(Run(" /S /LOG=C:\\Logs\\s.log"), OutcomeStartupStopped);
    EXPECT_EQ(mp::FileContent("C:\\Logs\\s.log"), "アップデートエラー\tupdate.ini の読み込みに失敗しました。\r\n");
}

}  // namespace
