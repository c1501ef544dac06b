// The update run against the in-memory platform: its steps, its message boxes
// and what stays changed after each failure.
#include <gtest/gtest.h>
#include <string.h>

#include <map>
#include <string>
#include <vector>

#include "description/update_description.h"
#include "host_test_support.h"
#include "platform/memory/platform_memory.h"
#include "shell/program_folder.h"
#include "state/window_handles.h"
#include "update/game_folder.h"
#include "update/update_run.h"

namespace mp = memory_platform;
using mp::Operation;

namespace {

const char* const KeyPath = "Software\\Maker\\Game";
const char* const Caption = "Patch 1.1";

// Handles that only need to be told apart.
char MainWindow, TopText, BodyText, StartButton, CancelButton, FinishButton;

std::string Name(WindowHandle window) {
    const std::map<WindowHandle, std::string> names = {
        {&MainWindow, "main"},   {&TopText, "top"},       {&BodyText, "body"},
        {&StartButton, "start"}, {&CancelButton, "cancel"}, {&FinishButton, "finish"}};
    auto found = names.find(window);
    return found == names.end() ? "?" : found->second;
}

// Each box as "owner|title|text|type".
std::vector<std::string> Boxes() {
    std::vector<std::string> shown;
    for (const auto& box : mp::MessageBoxes())
        shown.push_back(Name(box.owner) + "|" + box.title + "|" + box.text + "|" + std::to_string(box.type));
    return shown;
}

std::vector<std::string> WindowCalls() {
    std::vector<std::string> calls;
    for (const auto& call : mp::WindowCalls()) {
        std::string text = call.operation + " " + Name(call.window);
        if (call.operation == "show") text += " " + std::to_string(call.command);
        if (call.operation == "text") text += " " + call.text;
        calls.push_back(text);
    }
    return calls;
}

const std::string NotInstalledBox = "main|Patch 1.1|Gameがインストールされていません。|48";
const std::string CopyFailureBox = "main|アップデートエラー|ファイルのコピーに失敗しました。|48";
const std::string WarningBox = "main|Patch 1.1 注意|Versions differ.|48";
const std::string ClosingBox = "main|Patch 1.1|アップデートを終了します。|0";
const std::string CompletionBox = "main|Patch 1.1|アップデートが完了しました。|0";
const std::vector<std::string> FailedRunCalls = {"show main 0", "destroy main"};

// Every object below a root with its content and marks.
std::map<std::string, std::string> Snapshot(const std::string& root) {
    std::map<std::string, std::string> objects;
    for (const auto& relative : mp::ListTree(root)) {
        std::string path = root + "\\" + relative;
        objects[relative] = mp::FileContent(path) + "/" + std::to_string(mp::Attributes(path));
    }
    return objects;
}

class UpdateRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetProgramState();
        ResetUpdateRunForTests();
        strcpy(ProgramFolder, "C:\\Patch");
        strcpy(UpdateDescription.Caption, Caption);
        strcpy(UpdateDescription.GameName, "Game");
        strcpy(UpdateDescription.Attention1, "Versions differ.");
        strcpy(UpdateDescription.RegistryKeyPath, KeyPath);
        WindowHandles = {&MainWindow, &TopText, &BodyText, &StartButton, &CancelButton, &FinishButton};
        mp::SetRegistryString(KeyPath, "SAV_FOLDER", "C:\\Game\\");
        mp::AddFile(Game("kovent9m.exe"), "old engine");
        mp::AddFile(Game("data\\a.dat"), "old a");
        mp::AddFile(Game("old.dat"), "obsolete");
    }
    static std::string Game(const std::string& relative) { return "C:\\Game\\" + relative; }
    static std::string Patch(const std::string& relative) { return "C:\\Patch\\update\\" + relative; }
    static void ListAsNew(const char* entry) {
        strcpy(UpdateDescription.AddFiles[UpdateDescription.AddFileCount++], entry);
    }
    static void ListForDeletion(const char* entry) {
        strcpy(UpdateDescription.DelFiles[UpdateDescription.DelFileCount++], entry);
    }
};

TEST_F(UpdateRunTest, ACompletedRunReplacesVerifiesCopiesDeletesAndReports) {
    mp::AddFile(Patch("kovent9m.exe"), "new engine");
    mp::AddFile(Patch("Data\\A.dat"), "new a", FileAttributeReadOnly);
    mp::AddFile(Patch("Data\\New.dat"), "new file");
    mp::AddFile(Game("data\\a.dat"), "old a", FileAttributeReadOnly);
    ListAsNew("data\\new.dat");
    ListForDeletion("old.dat");
    ListForDeletion("missing.dat");

    EXPECT_EQ(0, RunUpdate());

    EXPECT_EQ(std::vector<std::string>({CompletionBox}), Boxes());
    EXPECT_EQ(std::vector<std::string>({"show main 0", "text top ",
                                        "text body アップデートが完了しました。\n「終了」ボタンを押して終了して下さい。",
                                        "show start 0", "show cancel 0", "show finish 5", "focus finish",
                                        "destroy main"}),
              WindowCalls());
    EXPECT_STREQ("C:\\Game", GameFolder);
    EXPECT_STREQ("C:\\Patch\\update", UpdateFolder);
    EXPECT_EQ("new engine", mp::FileContent(Game("kovent9m.exe")));
    EXPECT_EQ("new a", mp::FileContent(Game("data\\a.dat")));
    EXPECT_EQ(0u, mp::Attributes(Game("data\\a.dat")) & FileAttributeReadOnly);
    EXPECT_EQ("new file", mp::FileContent(Game("data\\New.dat")));
    EXPECT_FALSE(mp::IsFile(Game("old.dat")));
    EXPECT_EQ(4, mp::OperationCount(Operation::CopyFile));  // the engine twice, then two data files
    EXPECT_EQ(1, mp::FlushCount());
    EXPECT_EQ(0, mp::OpenKeyCount());
}

// ---- Not installed ----

struct NotInstalledCase {
    const char* what;
    void (*arrange)();
};

class NotInstalledTest : public UpdateRunTest, public ::testing::WithParamInterface<NotInstalledCase> {};

TEST_P(NotInstalledTest, ShowsTheNotInstalledMessageAndChangesNothing) {
    mp::AddFile(Patch("kovent9m.exe"), "new engine");
    mp::AddFile(Patch("data\\a.dat"), "new a");
    ListForDeletion("old.dat");
    GetParam().arrange();
    auto before = Snapshot("C:\\Game");

    EXPECT_EQ(1, RunUpdate());

    EXPECT_EQ(std::vector<std::string>({NotInstalledBox}), Boxes());
    EXPECT_EQ(FailedRunCalls, WindowCalls());
    EXPECT_EQ(before, Snapshot("C:\\Game"));
    EXPECT_EQ(0, mp::OperationCount(Operation::CopyFile));
    EXPECT_EQ(0, mp::OpenKeyCount());
}

INSTANTIATE_TEST_SUITE_P(
    Registry, NotInstalledTest,
    ::testing::Values(
        NotInstalledCase{"NoKey", [] { strcpy(UpdateDescription.RegistryKeyPath, "Software\\Other"); }},
        NotInstalledCase{"NoValue",
                         [] {
                             mp::AddRegistryKey("Software\\Maker\\Empty");
                             strcpy(UpdateDescription.RegistryKeyPath, "Software\\Maker\\Empty");
                         }},
        NotInstalledCase{"ValueTooLong",
                         [] { mp::SetRegistryString(KeyPath, "SAV_FOLDER", "C:\\Game\\" + std::string(504, 'x')); }},
        NotInstalledCase{"NotAString",
                         [] { mp::SetRegistryValue(KeyPath, "SAV_FOLDER", RegistryDword, std::string("\1\0\0\0", 4)); }},
        NotInstalledCase{"UnterminatedFillingTheField",
                         [] {
                             // Cut to 511 bytes it would name an installed game.
                             std::string folder = "C:\\" + std::string(508, 'g');
                             mp::AddFile(folder + "\\kovent9m.exe", "");
                             mp::SetRegistryValue(KeyPath, "SAV_FOLDER", RegistryString, folder + "\\");
                         }},
        NotInstalledCase{"NoEngineExecutable",
                         [] {
                             PlatformDeleteFile("C:\\Game\\kovent9m.exe");
                             mp::AddDirectory("C:\\Game\\Tessoran.exe");  // a directory does not count
                             mp::AddFile("C:\\Game\\kovent9d.dat", "");
                         }}),
    [](const ::testing::TestParamInfo<NotInstalledCase>& info) { return std::string(info.param.what); });

// ---- Reading SAV_FOLDER ----

TEST_F(UpdateRunTest, RegistryStringsAreTerminatedWithinTheirBuffer) {
    char buffer[16];
    auto read = [&](unsigned type, const std::string& bytes) {
        mp::SetRegistryValue("Software\\T", "V", type, bytes);
        memset(buffer, 'z', sizeof buffer);
        return ReadRegistryString("Software\\T", "V", buffer, sizeof buffer);
    };
    EXPECT_EQ(0, read(RegistryString, std::string(15, 'a') + '\0'));  // 16 bytes with the terminator
    EXPECT_EQ(std::string(15, 'a'), buffer);
    EXPECT_EQ(1, read(RegistryString, std::string(16, 'a') + '\0'));
    EXPECT_EQ('\0', buffer[0]);
    EXPECT_EQ(0, read(RegistryString, std::string(15, 'b')));  // no terminator: one byte to spare
    EXPECT_EQ(std::string(15, 'b'), buffer);
    EXPECT_EQ(1, read(RegistryString, std::string(16, 'b')));
    EXPECT_EQ('\0', buffer[0]);
    EXPECT_EQ(0, read(RegistryString, std::string("C:\\x\0junk", 9)));
    EXPECT_STREQ("C:\\x", buffer);
    EXPECT_EQ(0, read(RegistryString, ""));
    EXPECT_STREQ("", buffer);
    EXPECT_EQ(0, read(RegistryExpandString, std::string("%X%\0", 4)));
    EXPECT_STREQ("%X%", buffer);  // not expanded
    EXPECT_EQ(1, read(RegistryDword, std::string("\1\0\0\0", 4)));
    EXPECT_EQ(1, read(3, std::string("C:\\x\0", 5)));  // REG_BINARY
    EXPECT_EQ(1, ReadRegistryString("Software\\T", "missing", buffer, sizeof buffer));
    EXPECT_EQ(1, ReadRegistryString("Software\\None", "V", buffer, sizeof buffer));
    EXPECT_EQ(0, mp::OpenKeyCount());
}

TEST_F(UpdateRunTest, AGameFolderOfExactly511BytesIsRead) {
    std::string folder = "C:\\" + std::string(508, 'g');
    mp::SetRegistryString(KeyPath, "SAV_FOLDER", folder);  // 512 bytes with its terminator
    mp::AddFile(folder + "\\Tessoran.exe", "");
    EXPECT_EQ(0, RunUpdate());
    EXPECT_EQ(folder, GameFolder);
    EXPECT_EQ(std::vector<std::string>({CompletionBox}), Boxes());
}

TEST_F(UpdateRunTest, ADriveRootGameFolderLosesItsBackslash) {
    mp::SetRegistryString(KeyPath, "SAV_FOLDER", "C:\\");
    mp::AddFile("C:\\Tessoran.exe", "");
    EXPECT_EQ(0, RunUpdate());
    EXPECT_STREQ("C:", GameFolder);
}

TEST_F(UpdateRunTest, AFolderEndingInADoubleByteCharacterKeepsItsSecondByte) {
    // 表 is 95 5C: its second byte is not a trailing backslash.
    mp::SetRegistryString(KeyPath, "SAV_FOLDER", "C:\\表");
    mp::AddFile("C:\\表\\kovent9m.exe", "");
    EXPECT_EQ(0, RunUpdate());
    EXPECT_STREQ("C:\\表", GameFolder);

    ResetUpdateRunForTests();
    mp::SetRegistryString(KeyPath, "SAV_FOLDER", "C:\\表\\");
    EXPECT_EQ(0, RunUpdate());
    EXPECT_STREQ("C:\\表", GameFolder);
}

// ---- Engine executables ----

TEST_F(UpdateRunTest, AReadOnlyEngineExecutableFailsTheEngineCopyAndNothingChanges) {
    mp::AddFile(Game("kovent9m.exe"), "old engine", FileAttributeReadOnly);
    mp::AddFile(Patch("kovent9m.exe"), "new engine");
    mp::AddFile(Patch("data\\a.dat"), "new a");
    ListForDeletion("old.dat");
    auto before = Snapshot("C:\\Game");

    EXPECT_EQ(1, RunUpdate());

    EXPECT_EQ(std::vector<std::string>({CopyFailureBox}), Boxes());
    EXPECT_EQ(FailedRunCalls, WindowCalls());
    EXPECT_EQ(before, Snapshot("C:\\Game"));
}

TEST_F(UpdateRunTest, TheFirstCarriedEngineIsCopiedEvenIfTheGameHasAnotherOne) {
    mp::AddFile(Patch("Tessoran.exe"), "tessoran");
    EXPECT_EQ(0, RunUpdate());
    EXPECT_EQ("tessoran", mp::FileContent(Game("Tessoran.exe")));
    EXPECT_EQ("old engine", mp::FileContent(Game("kovent9m.exe")));
    EXPECT_EQ(2, mp::OperationCount(Operation::CopyFile));  // step 4, then the tree
}

TEST_F(UpdateRunTest, OnlyTheFirstOfTwoCarriedEnginesIsCopiedBeforeVerification) {
    mp::AddFile(Patch("Tessoran.exe"), "tessoran");
    mp::AddFile(Patch("kovent9d.exe"), "kovent9d");
    ListForDeletion("old.dat");

    EXPECT_EQ(1, RunUpdate());

    EXPECT_EQ(std::vector<std::string>({WarningBox, ClosingBox}), Boxes());
    EXPECT_EQ(FailedRunCalls, WindowCalls());
    EXPECT_EQ("tessoran", mp::FileContent(Game("Tessoran.exe")));  // stays replaced
    EXPECT_FALSE(mp::IsFile(Game("kovent9d.exe")));
    EXPECT_TRUE(mp::IsFile(Game("old.dat")));
}

TEST_F(UpdateRunTest, BothCarriedEnginesAreCopiedByTheTreeWhenTheSecondIsListedAsNew) {
    mp::AddFile(Patch("Tessoran.exe"), "tessoran");
    mp::AddFile(Patch("kovent9d.exe"), "kovent9d");
    ListAsNew("KOVENT9D.EXE");
    EXPECT_EQ(0, RunUpdate());
    EXPECT_EQ("tessoran", mp::FileContent(Game("Tessoran.exe")));
    EXPECT_EQ("kovent9d", mp::FileContent(Game("kovent9d.exe")));
    EXPECT_EQ(3, mp::OperationCount(Operation::CopyFile));
}

// ---- Verification and copy failures ----

TEST_F(UpdateRunTest, AFailedVerificationWarnsClosesAndKeepsOnlyTheNewEngine) {
    mp::AddFile(Patch("kovent9m.exe"), "new engine");
    mp::AddFile(Patch("data\\a.dat"), "new a");
    mp::AddFile(Patch("data\\b.dat"), "new b");  // no counterpart
    ListForDeletion("old.dat");

    EXPECT_EQ(1, RunUpdate());

    EXPECT_EQ(std::vector<std::string>({WarningBox, ClosingBox}), Boxes());
    EXPECT_EQ(FailedRunCalls, WindowCalls());
    EXPECT_EQ("new engine", mp::FileContent(Game("kovent9m.exe")));
    EXPECT_EQ("old a", mp::FileContent(Game("data\\a.dat")));
    EXPECT_TRUE(mp::IsFile(Game("old.dat")));
}

TEST_F(UpdateRunTest, AFailedCopyKeepsTheEngineAndTheFilesCopiedBeforeIt) {
    mp::AddFile(Patch("kovent9m.exe"), "new engine");
    mp::AddFile(Patch("data\\a.dat"), "new a");
    mp::AddFile(Patch("data\\b.dat"), "new b");
    mp::AddFile(Patch("data\\c.dat"), "new c");
    mp::AddFile(Game("data\\b.dat"), "old b");
    mp::AddFile(Game("data\\c.dat"), "old c");
    ListForDeletion("old.dat");
    mp::FailOperation(Operation::CopyFile, Patch("data\\b.dat"));

    EXPECT_EQ(1, RunUpdate());

    EXPECT_EQ(std::vector<std::string>({CopyFailureBox}), Boxes());
    EXPECT_EQ(FailedRunCalls, WindowCalls());
    EXPECT_EQ("new engine", mp::FileContent(Game("kovent9m.exe")));
    EXPECT_EQ("new a", mp::FileContent(Game("data\\a.dat")));
    EXPECT_EQ("old b", mp::FileContent(Game("data\\b.dat")));
    EXPECT_EQ("old c", mp::FileContent(Game("data\\c.dat")));
    EXPECT_TRUE(mp::IsFile(Game("old.dat")));
}

// ---- Deletions ----

TEST_F(UpdateRunTest, DeletionsWithoutAnUpdateFolderIgnoreEveryFailure) {
    mp::AddFile(Game("locked.dat"), "locked", FileAttributeReadOnly);
    mp::AddDirectory(Game("folder"));
    ListForDeletion("locked.dat");
    ListForDeletion("folder");
    ListForDeletion("missing.dat");
    ListForDeletion("OLD.DAT");

    EXPECT_EQ(0, RunUpdate());

    EXPECT_EQ(std::vector<std::string>({CompletionBox}), Boxes());
    EXPECT_TRUE(mp::IsFile(Game("locked.dat")));
    EXPECT_TRUE(mp::IsDirectory(Game("folder")));
    EXPECT_FALSE(mp::IsFile(Game("old.dat")));
    EXPECT_EQ(4, mp::OperationCount(Operation::DeleteFile));
}

TEST_F(UpdateRunTest, DeletionsNeverLeaveTheGameFolder) {
    mp::AddFile("C:\\outside.txt", "keep");
    mp::AddFile(Game("..name.dat"), "");
    for (const char* entry : {"..\\outside.txt", "data/../../outside.txt", "..", "data\\..", "x\\.. \\outside.txt",
                              "...\\outside.txt", "data\\..\\..\\outside.txt"})
        ListForDeletion(entry);
    ListForDeletion("..name.dat");  // dots that are part of a name
    ListForDeletion("old.dat");

    EXPECT_EQ(0, RunUpdate());

    EXPECT_EQ(2, mp::OperationCount(Operation::DeleteFile));
    EXPECT_FALSE(mp::IsFile(Game("..name.dat")));
    EXPECT_FALSE(mp::IsFile(Game("old.dat")));
    EXPECT_TRUE(mp::IsFile("C:\\outside.txt"));
}

TEST_F(UpdateRunTest, AnEntryOfTheLongestKindIsStillDeleted) {
    // Game folder and entry at their limits: 511 + "\" + 511 bytes fill MessageBuffer.
    std::string folder = "C:\\" + std::string(200, 'g') + "\\" + std::string(307, 'h');
    std::string entry = std::string(200, 'e') + "\\" + std::string(200, 'f') + "\\" + std::string(109, 'n');
    ASSERT_EQ(511u, folder.size());
    ASSERT_EQ(511u, entry.size());
    mp::SetRegistryString(KeyPath, "SAV_FOLDER", folder);
    mp::AddFile(folder + "\\kovent9m.exe", "");
    mp::AddFile(folder + "\\" + entry, "");
    ListForDeletion(entry.c_str());
    EXPECT_EQ(0, RunUpdate());
    EXPECT_FALSE(mp::IsFile(folder + "\\" + entry));
}

// ---- Update folder and once per start ----

TEST_F(UpdateRunTest, AProgramFolderTooLongForTheUpdateFolderFailsVerification) {
    // "\update\*" must fit the 511-byte search pattern of the top level.
    std::string program = "C:\\" + std::string(200, 'p') + "\\" + std::string(298, 'q');
    ASSERT_EQ(511u, (program + "\\update\\*").size());
    strcpy(ProgramFolder, program.c_str());
    mp::AddFile(program + "\\update\\new.dat", "new");
    ListAsNew("new.dat");
    EXPECT_EQ(0, RunUpdate());
    EXPECT_EQ("new", mp::FileContent(Game("new.dat")));

    // One byte more than UpdateFolder holds.
    ResetUpdateRunForTests();
    mp::Reset();
    mp::SetRegistryString(KeyPath, "SAV_FOLDER", "C:\\Game");
    mp::AddFile(Game("kovent9m.exe"), "old engine");
    program += "xxx";
    ASSERT_EQ(512u, (program + "\\update").size());
    strcpy(ProgramFolder, program.c_str());
    mp::AddFile(program + "\\update\\kovent9m.exe", "new engine");
    EXPECT_EQ(1, RunUpdate());
    EXPECT_EQ(std::vector<std::string>({WarningBox, ClosingBox}), Boxes());
    EXPECT_STREQ("", UpdateFolder);
    EXPECT_EQ("new engine", mp::FileContent(Game("kovent9m.exe")));
}

TEST_F(UpdateRunTest, RunsOnlyOncePerProgramStart) {
    EXPECT_EQ(0, RunUpdate());
    size_t boxes = mp::MessageBoxes().size();
    size_t calls = mp::WindowCalls().size();
    EXPECT_EQ(1, RunUpdate());
    EXPECT_EQ(boxes, mp::MessageBoxes().size());
    EXPECT_EQ(calls, mp::WindowCalls().size());
}

}  // namespace
