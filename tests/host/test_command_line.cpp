// The command line's choices: how it is read, and the roads it opens: a game
// folder named on it instead of the registry's, and a run without a window
// whose boxes go to a log and whose exit status tells the outcome.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host_test_support.h"
#include "platform/command_line_syntax.h"
#include "platform/windows_text.h"
#include "platform/memory/platform_memory.h"
#include "shell/command_line_choices_reader.h"
#include "shell/prepare_startup.h"
#include "state/folders.h"
#include "state/run_outcome.h"
#include "update/update_run.h"

namespace mp = memory_platform;

namespace {

// What the program takes from a command line, read both ways it meets one: as
// the in-memory machine hands it over (Shift-JIS), and as the Win32 boundary
// writes it anew from UTF-16; the arguments not understood are listed in order.
struct ReadLine {
    bool silent;
    std::string log;
    bool folderGiven;
    std::string folder;
    std::vector<std::string> unknown;
};

ReadLine ReadAsTheProgramDoes(const std::string& arguments, bool fromWide) {
    ResetProgramState();
    std::string line = "\"C:\\Patch\\update.exe\"" + arguments;
    if (fromWide) {
        std::vector<WideChar> wide(line.size() + 1);
        int units = ShiftJisToUtf16(line.c_str(), (int)line.size(), wide.data(), (int)line.size());
        wide[units < 0 ? 0 : units] = 0;
        char converted[2048];
        EXPECT_EQ(CommandLineFromWide(wide.data(), nullptr, converted, sizeof converted), 0);
        line = converted;
    }
    mp::SetCommandLine(line);
    ReadCommandLineChoices();
    ReadLine read{CommandLineChoices.Silent, CommandLineChoices.LogFile, CommandLineChoices.GameFolderGiven,
                  CommandLineChoices.GameFolderArgument, {}};
    CommandLineSpans spans;
    const char* handedOver = PlatformCommandLine();
    SplitCommandLine(handedOver, &spans);
    for (int k = 0; k < spans.unknownCount; ++k) {
        char text[256];
        ArgumentValue(handedOver, spans.unknown[k], text, (int)sizeof text);
        read.unknown.push_back(text);
    }
    return read;
}

TEST(CommandLine, ArgumentsAreSplitAsWindowsProgramsSplitThemAndTheGameFolderKeepsItsOwnRules) {
    const std::vector<std::string> none;
    struct {
        const char* arguments;  // after "C:\Patch\update.exe"
        bool silent;
        const char* log;
        const char* folder;  // null: none given
        std::vector<std::string> unknown;
    } cases[] = {
        {"", false, "", nullptr, none},
        {" ", false, "", nullptr, none},  // 64-bit Wine's trailing space
        // Explorer: a dropped folder, quoted; a drive root keeps its backslash.
        {" \"D:\\Games\\星見の丘\"", false, "", "D:\\Games\\星見の丘", none},
        {" \"D:\\\"", false, "", "D:\\", none},
        // Typed: options after a quoted folder count; an unquoted one runs to
        // the end of the line (options in it are part of it).
        {" \"C:\\Games\\X\\\" /S", true, "", "C:\\Games\\X\\", none},
        {" C:\\Program Files\\Game  ", false, "", "C:\\Program Files\\Game", none},
        {" D:\\Games\\X /S", false, "", "D:\\Games\\X /S", none},
        {" /s /log=C:\\u.log D:\\G", true, "C:\\u.log", "D:\\G", none},
        {" /LOG=\"C:\\My Logs\\u.log\"\t/S", true, "C:\\My Logs\\u.log", nullptr, none},
        {" /LOG=\"C:\\My Logs\"\\x.log", false, "C:\\My Logs\\x.log", nullptr, none},  // quotes mid-argument
        // ...but a backslash before a quote escapes it (outside the game folder).
        {" /LOG=C:\\\"My Logs\"\\x.log", false, "C:\"My", "Logs\\x.log", none},
        // Python: subprocess.list2cmdline(["/S", r"/LOG=C:\My Logs\patch.log"]) and
        // the others of this group, printed by python3; .NET's ArgumentList and
        // PowerShell 7.3 quote each of these arguments alike.
        {" /S \"/LOG=C:\\My Logs\\patch.log\"", true, "C:\\My Logs\\patch.log", nullptr, none},
        {" /S \"/D=C:\\Program Files\\Hoshimi\"", true, "", "C:\\Program Files\\Hoshimi", none},
        {" \"D:\\Games\\Hoshimi no Oka\" /S /LOG=C:\\logs\\x.log", true, "C:\\logs\\x.log", "D:\\Games\\Hoshimi no Oka",
         none},
        {" \"D:\\Games\\My Game\\\\\" /S", true, "", "D:\\Games\\My Game\\", none},  // list2cmdline([r"D:\Games\My Game" + "\\", "/S"])
        {" /S \"/home/deck/My Games/X\"", true, "", "/home/deck/My Games/X", none},
        {" /S \"/LOG=C:\\a \\\"quoted\\\" name.log\"", true, "C:\\a \"quoted\" name.log", nullptr, none},
        // Windows PowerShell 5.1 quotes without doubling a trailing backslash.
        {" \"D:\\Games\\My Game\\\" /S", true, "", "D:\\Games\\My Game\\", none},
        // Whole options quoted, any letter case, "/D=" then options.
        {" \"/s\" \"/Log=C:\\x.log\"", true, "C:\\x.log", nullptr, none},
        {" \"/D=C:\\a b\" /S", true, "", "C:\\a b", none},
        {" /D=\"C:\\a b\" x", false, "", "C:\\a b", {"x"}},
        {" /S /D=C:\\Program Files\\表示\\", true, "", "C:\\Program Files\\表示\\", none},
        {" \"/LOG=C:\\logs\\\\\"", false, "C:\\logs\\", nullptr, none},
        {" \"/LOG=C:\\a\"\"b.log\"", false, "C:\\a\"b.log", nullptr, none},  // "" inside quotes
        // A second byte 0x5C (表, ソ) before a quote is no backslash.
        {" \"/LOG=C:\\ソ\" \"D:\\表\" /S", true, "C:\\ソ", "D:\\表", none},
        // A Linux path is the folder it names from the current drive's root.
        {" /S /home/deck/Games/X", true, "", "/home/deck/Games/X", none},
        // Not understood: listed, and the rest still read.
        {" /SILENT /X=a/b D:\\G", false, "", "D:\\G", {"/SILENT", "/X=a/b"}},
        {" /Sx", false, "", nullptr, {"/Sx"}},
        {" \"D:\\a\" \"D:\\b c\" /S", true, "", "D:\\a", {"D:\\b c"}},
        {" \"\"", false, "", "", none},  // an empty folder names no game
        {" \"D:\\unclosed", false, "", "D:\\unclosed", none},
    };
    for (bool fromWide : {false, true}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(c.arguments) + (fromWide ? " (from UTF-16)" : ""));
            ReadLine read = ReadAsTheProgramDoes(c.arguments, fromWide);
            EXPECT_EQ(read.silent, c.silent);
            EXPECT_EQ(read.log, c.log);
            EXPECT_EQ(read.folderGiven, c.folder != nullptr);
            if (c.folder) {
                EXPECT_EQ(read.folder, c.folder);
            }
            EXPECT_EQ(read.unknown, c.unknown);
        }
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
    EXPECT_EQ(mp::FileContent("C:\\Logs\\u.log"),
              "# ゲームフォルダー (コマンドラインから): D:\\\\遊戯\r\n"
              "Patch\\n1.1\tアップデートが完了しました。\r\n");

    // A file to replace is missing: the engine executable is replaced first, as
    // with a window; both boxes are appended.
    mp::AddFile("C:\\Patch\\update\\data\\b.dat", "new b");
    mp::AddFile("D:\\遊戯\\Tessoran.exe", "old engine");
    ResetUpdateRunForTests();
    EXPECT_EQ(Run(" /S /LOG=C:\\Logs\\u.log D:\\遊戯"), OutcomeFileMissing);
    EXPECT_EQ(mp::FileContent("D:\\遊戯\\Tessoran.exe"), "new engine");
    EXPECT_EQ(mp::FileContent("D:\\遊戯\\data\\a.dat"), "new a");  // from the first run
    EXPECT_EQ(mp::FileContent("C:\\Logs\\u.log"),
              "# ゲームフォルダー (コマンドラインから): D:\\\\遊戯\r\n"
              "Patch\\n1.1\tアップデートが完了しました。\r\n"
              "# ゲームフォルダー (コマンドラインから): D:\\\\遊戯\r\n"
              "# 確認が止まりました: D:\\\\遊戯\\\\data\\\\b.dat: エラー 2\r\n"
              "Patch\\n1.1 注意\tFiles\\tdiffer.\r\n"
              "Patch\\n1.1\tアップデートを終了します。\r\n");

    ResetUpdateRunForTests();
    EXPECT_EQ(Run(" /S /LOG=C:\\Logs\\n.log D:\\Nothing"), OutcomeNotInstalled);
    EXPECT_EQ(mp::FileContent("C:\\Logs\\n.log"),
              "# ゲームフォルダー (コマンドラインから): D:\\\\Nothing\r\n"
              "# このフォルダーはありません: D:\\\\Nothing\r\n"
              "Patch\\n1.1\tGameがインストールされていません。\r\n");

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

// The notes beside the boxes: the folder the run looked at and where from, the
// arguments it did not understand, the file at which it stopped and why. A
// run with a window writes them too, and its boxes stay boxes.
TEST_F(CommandLineRoad, TheLogNotesWhatTheRunLookedAtAndWhereItStopped) {
    mp::AddDirectory("C:\\Logs");
    auto log = [] { return mp::FileContent("C:\\Logs\\u.log"); };

    // The registry's folder, with a window: notes only, the box is shown.
    mp::SetRegistryString("Software\\Maker\\Game", "SAV_FOLDER", "D:\\遊戯\\");
    EXPECT_EQ(Run(" /LOG=C:\\Logs\\u.log /Q \"/X=a b\""), OutcomeCompleted);
    ASSERT_EQ(mp::MessageBoxes().size(), 1u);
    EXPECT_EQ(log(),
              "# 分からない引数を読み飛ばしました: /Q\r\n"
              "# 分からない引数を読み飛ばしました: /X=a b\r\n"
              "# ゲームフォルダー (レジストリ HKEY_CURRENT_USER\\\\Software\\\\Maker\\\\Game の SAV_FOLDER から): "
              "D:\\\\遊戯\r\n");

    // No registry value; then a folder without an engine executable.
    ResetProgramState();
    SetUp();
    mp::AddDirectory("C:\\Logs");
    mp::AddDirectory("D:\\Empty");
    EXPECT_EQ(Run(" /S /LOG=C:\\Logs\\u.log"), OutcomeNotInstalled);
    ResetUpdateRunForTests();
    EXPECT_EQ(Run(" /S /LOG=C:\\Logs\\u.log D:\\Empty"), OutcomeNotInstalled);
    EXPECT_EQ(log(),
              "# レジストリから読めません: HKEY_CURRENT_USER\\\\Software\\\\Maker\\\\Game の SAV_FOLDER\r\n"
              "Patch\\n1.1\tGameがインストールされていません。\r\n"
              "# ゲームフォルダー (コマンドラインから): D:\\\\Empty\r\n"
              "# エンジンの実行ファイル (Tessoran.exe, kovent9d.exe, kovent9m.exe) がありません: D:\\\\Empty\r\n"
              "Patch\\n1.1\tGameがインストールされていません。\r\n");

    // A copy that fails names its file and the system's error number (the
    // machine knows no texts); a folder in a file's place stops the
    // verification, and a folder that cannot be made stops the copy.
    ResetProgramState();
    SetUp();
    mp::AddDirectory("C:\\Logs");
    mp::FailOperation(mp::Operation::CopyFile, "C:\\Patch\\update\\data\\a.dat", 32);
    EXPECT_EQ(Run(" /S /LOG=C:\\Logs\\u.log \"D:\\遊戯\""), OutcomeCopyFailed);
    const std::string firstLog = log();
    ResetProgramState();
    SetUp();
    mp::AddFile("C:\\Logs\\u.log", firstLog);
    mp::AddFile("C:\\Patch\\update\\data\\new\\c.dat", "new c");
    mp::AddFile("D:\\遊戯\\data\\new\\c.dat", "old c");
    mp::FailOperation(mp::Operation::CreateDirectory, "D:\\遊戯\\DATA\\NEW", 5);
    EXPECT_EQ(Run(" /S /LOG=C:\\Logs\\u.log \"D:\\遊戯\""), OutcomeCopyFailed);
    ResetUpdateRunForTests();
    mp::AddFile("C:\\Patch\\update\\save", "new save");
    mp::AddDirectory("D:\\遊戯\\save");
    EXPECT_EQ(Run(" /S /LOG=C:\\Logs\\u.log \"D:\\遊戯\""), OutcomeFileMissing);
    const std::string folder = "# ゲームフォルダー (コマンドラインから): D:\\\\遊戯\r\n";
    EXPECT_EQ(log(), folder +
                         "# コピーが止まりました: D:\\\\遊戯\\\\data\\\\a.dat: エラー 32\r\n"
                         "アップデートエラー\tファイルのコピーに失敗しました。\r\n" +
                         folder +
                         "# コピーが止まりました: D:\\\\遊戯\\\\DATA\\\\NEW: エラー 5\r\n"
                         "アップデートエラー\tファイルのコピーに失敗しました。\r\n" +
                         folder +
                         "# 確認が止まりました: D:\\\\遊戯\\\\save: 同じ名前のフォルダーがあります\r\n"
                         "Patch\\n1.1 注意\tFiles\\tdiffer.\r\n"
                         "Patch\\n1.1\tアップデートを終了します。\r\n");
}

// A Linux path names the Linux folder, on Z: under Wine, whichever drive the
// program was started on; a path from the root in backslashes stays on that drive.
TEST_F(CommandLineRoad, ALinuxPathNamesTheLinuxFolder) {
    mp::AddFile("Z:\\home\\deck\\Games\\遊戯\\Tessoran.exe", "old engine");
    mp::AddFile("Z:\\home\\deck\\Games\\遊戯\\data\\a.dat", "old a");
    mp::AddDirectory("C:\\Downloads");
    PlatformSetCurrentDirectory("C:\\Downloads");
    EXPECT_EQ(Run(" /S /LOG=u.log /home/deck/Games/遊戯"), OutcomeCompleted);
    EXPECT_EQ(mp::FileContent("Z:\\home\\deck\\Games\\遊戯\\data\\a.dat"), "new a");
    EXPECT_EQ(mp::FileContent("C:\\Downloads\\u.log"),
              "# ゲームフォルダー (コマンドラインから): Z:\\\\home\\\\deck\\\\Games\\\\遊戯\r\n"
              "Patch\\n1.1\tアップデートが完了しました。\r\n");
    ResetUpdateRunForTests();
    PlatformSetCurrentDirectory("C:\\Downloads");
    EXPECT_EQ(Run(" /S /LOG=u.log \\home\\deck\\Games\\遊戯"), OutcomeNotInstalled);
    EXPECT_NE(mp::FileContent("C:\\Downloads\\u.log").find("# このフォルダーはありません: C:\\\\home\\\\deck"),
              std::string::npos);
}

}  // namespace
