// The update.ini reader: what it stores, what it refuses and how it reports it.
#include <gtest/gtest.h>

#include <string>

#include "description/update_description.h"
#include "host_test_support.h"
#include "platform/memory/platform_memory.h"
#include "shell/prepare_startup.h"
#include "shell/program_folder.h"

namespace mp = memory_platform;

namespace {

const char ErrorTitle[] = "アップデートエラー";

class DescriptionReader : public ::testing::Test {
protected:
    void SetUp() override { ResetProgramState(); }

    // Loads the text as update.ini from C:\Patch; returns the reader's result.
    int Load(const std::string& content) {
        InstallDescription(content);
        strcpy(ProgramFolder, "C:\\Patch");
        return LoadUpdateDescription();
    }

    void ExpectOneFailureBox(const std::string& text) {
        ASSERT_EQ(mp::MessageBoxes().size(), 1u);
        const auto& box = mp::MessageBoxes()[0];
        EXPECT_EQ(box.text, text);
        EXPECT_EQ(box.title, ErrorTitle);
        EXPECT_EQ(box.type, 0x30u);  // MB_OK | MB_ICONWARNING
        EXPECT_EQ(box.owner, nullptr);
    }
};

TEST_F(DescriptionReader, EmptyFileLoadsWithEveryFieldEmpty) {
    ASSERT_EQ(Load(""), 0);
    EXPECT_STREQ(UpdateDescription.Caption, "");
    EXPECT_STREQ(UpdateDescription.RegistryKeyPath, "");
    EXPECT_EQ(UpdateDescription.Width, 0);
    EXPECT_EQ(UpdateDescription.AddFileCount, 0);
    EXPECT_TRUE(mp::MessageBoxes().empty());
}

TEST_F(DescriptionReader, MissingFileShowsTheOpenFailure) {
    strcpy(ProgramFolder, "C:\\Patch");
    EXPECT_EQ(LoadUpdateDescription(), 1);
    ExpectOneFailureBox("update.ini の読み込みに失敗しました。");
}

TEST_F(DescriptionReader, ReadsEveryKeyOfATypicalFile) {
    ASSERT_EQ(Load("[GameName]=ゲーム\n[RegPath]=Maker\\Game\n[Width]=400\n[Height]=200\n"
                   "[Caption]=パッチ\n[Comment0]=上\n[Comment1]=下\n[Attention1]=注意\n"
                   "[AddFile]=data\\new.dat\n[DelFile]=old.dat\n[DelFile]=older.dat\n"),
              0);
    EXPECT_STREQ(UpdateDescription.GameName, "ゲーム");
    EXPECT_STREQ(UpdateDescription.RegistryKeyPath, "Software\\Maker\\Game");
    EXPECT_EQ(UpdateDescription.Width, 400);
    EXPECT_EQ(UpdateDescription.Height, 200);
    EXPECT_STREQ(UpdateDescription.Caption, "パッチ");
    EXPECT_STREQ(UpdateDescription.Comment0, "上");
    EXPECT_STREQ(UpdateDescription.Comment1, "下");
    EXPECT_STREQ(UpdateDescription.Attention1, "注意");
    ASSERT_EQ(UpdateDescription.AddFileCount, 1);
    EXPECT_STREQ(UpdateDescription.AddFiles[0], "data\\new.dat");
    ASSERT_EQ(UpdateDescription.DelFileCount, 2);
    EXPECT_STREQ(UpdateDescription.DelFiles[0], "old.dat");
    EXPECT_STREQ(UpdateDescription.DelFiles[1], "older.dat");
}

TEST_F(DescriptionReader, KeysIgnoreAsciiCaseButNotSpacing) {
    ASSERT_EQ(Load("[caption]=Patch\n [GameName]=spaced\n[Comment0] =spaced\n[COMMENT1]=Body\n"
                   "[Width]\n; comment\n[Section]\n"),
              0);
    EXPECT_STREQ(UpdateDescription.Caption, "Patch");
    EXPECT_STREQ(UpdateDescription.GameName, "");
    EXPECT_STREQ(UpdateDescription.Comment0, "");
    EXPECT_STREQ(UpdateDescription.Comment1, "Body");
}

TEST_F(DescriptionReader, ValueIsEverythingAfterTheFirstEqualsSign) {
    ASSERT_EQ(Load("[Comment0]=a=b\n[Comment1]= spaced \t\n"), 0);
    EXPECT_STREQ(UpdateDescription.Comment0, "a=b");
    EXPECT_STREQ(UpdateDescription.Comment1, " spaced \t");
}

TEST_F(DescriptionReader, LaterSingleKeyWinsAndListsAppendInOrder) {
    ASSERT_EQ(Load("[Caption]=first\n[DelFile]=a\n[Caption]=second\n[DelFile]=b\n"), 0);
    EXPECT_STREQ(UpdateDescription.Caption, "second");
    ASSERT_EQ(UpdateDescription.DelFileCount, 2);
    EXPECT_STREQ(UpdateDescription.DelFiles[0], "a");
    EXPECT_STREQ(UpdateDescription.DelFiles[1], "b");
}

TEST_F(DescriptionReader, LineBreakEscapesOnlyInDisplayTexts) {
    ASSERT_EQ(Load("[Caption]=Line1\\nLine2\n[GameName]=A\\nB\n[Comment0]=A\\NB\n"
                   "[Comment1]=a\\\\nb\n[AddFile]=x\\n.dat\n[Attention1]=\\n\\n\n"),
              0);
    EXPECT_STREQ(UpdateDescription.Caption, "Line1\nLine2");
    EXPECT_STREQ(UpdateDescription.GameName, "A\\nB");
    EXPECT_STREQ(UpdateDescription.Comment0, "A\\NB");
    EXPECT_STREQ(UpdateDescription.Comment1, "a\\\nb");  // no escape for the backslash itself
    EXPECT_STREQ(UpdateDescription.AddFiles[0], "x\\n.dat");
    EXPECT_STREQ(UpdateDescription.Attention1, "\n\n");
}

TEST_F(DescriptionReader, LineBreakEscapeSkipsTheSecondByteOfADoubleByteCharacter) {
    // 表 is 0x95 0x5C in Shift-JIS: followed by n it is still 表 and an n.
    char text[] = "\x95\x5cn\\n";
    ExpandLineBreaks(text);
    EXPECT_STREQ(text, "\x95\x5cn\n");
}

TEST_F(DescriptionReader, CaptionLengthLimitIs511Bytes) {
    ASSERT_EQ(Load("[Caption]=" + std::string(511, 'c') + "\n"), 0);
    EXPECT_EQ(strlen(UpdateDescription.Caption), 511u);

    ResetProgramState();
    EXPECT_EQ(Load("[Caption]=old\n[Caption]=" + std::string(512, 'c') + "\n[Width]=5\n"), 1);
    ExpectOneFailureBox("[Caption]が最大文字数を越えました。512 0<=xx<512");
    EXPECT_STREQ(UpdateDescription.Caption, "old");  // the failing key's field is untouched
    EXPECT_EQ(UpdateDescription.Width, 0);           // nothing after the failure is read
}

TEST_F(DescriptionReader, EachCheckedKeyReportsItsOwnLengthMessage) {
    for (const char* key : {"[GameName]", "[RegPath]", "[AddFile]", "[DelFile]"}) {
        ResetProgramState();
        EXPECT_EQ(Load(std::string(key) + "=" + std::string(600, 'x') + "\n"), 1) << key;
        ExpectOneFailureBox(std::string(key) + "が最大文字数を越えました。600 0<=xx<512");
    }
}

TEST_F(DescriptionReader, ListsHold256EntriesAndReportThe257th) {
    std::string content;
    for (int i = 0; i < 256; ++i) content += "[AddFile]=f" + std::to_string(i) + "\n";
    ASSERT_EQ(Load(content), 0);
    EXPECT_EQ(UpdateDescription.AddFileCount, 256);
    EXPECT_STREQ(UpdateDescription.AddFiles[255], "f255");

    ResetProgramState();
    EXPECT_EQ(Load(content + "[AddFile]=extra\n[AddFile]=more\n"), 1);
    ExpectOneFailureBox("[AddFile]が最大ファイル数を越えました。256 0<=xx<256");
    EXPECT_EQ(UpdateDescription.AddFileCount, 256);
}

TEST_F(DescriptionReader, ListLengthIsCheckedBeforeCount) {
    std::string content;
    for (int i = 0; i < 256; ++i) content += "[DelFile]=d\n";
    EXPECT_EQ(Load(content + "[DelFile]=" + std::string(600, 'x') + "\n"), 1);
    ExpectOneFailureBox("[DelFile]が最大文字数を越えました。600 0<=xx<512");

    ResetProgramState();
    EXPECT_EQ(Load(content + "[DelFile]=ok\n"), 1);
    ExpectOneFailureBox("[DelFile]が最大ファイル数を越えました。256 0<=xx<256");
}

TEST_F(DescriptionReader, RegistryPathGetsThePrefixAndLosesOneTrailingBackslash) {
    ASSERT_EQ(Load("[RegPath]=Maker\\Game\\\n"), 0);
    EXPECT_STREQ(UpdateDescription.RegistryKeyPath, "Software\\Maker\\Game");
    ASSERT_EQ(Load("[RegPath]=Maker\\Game\\\\\n"), 0);
    EXPECT_STREQ(UpdateDescription.RegistryKeyPath, "Software\\Maker\\Game\\");
    ASSERT_EQ(Load("[RegPath]=\n"), 0);
    EXPECT_STREQ(UpdateDescription.RegistryKeyPath, "Software");
    // A key ending in 表 (0x95 0x5C) keeps the whole character.
    ASSERT_EQ(Load("[RegPath]=Maker\\\x95\x5c\n"), 0);
    EXPECT_STREQ(UpdateDescription.RegistryKeyPath, "Software\\Maker\\\x95\x5c");
}

TEST_F(DescriptionReader, RegistryPathThatCannotTakeThePrefixIsRefused) {
    // "Software\" adds nine bytes: 502 fit the 512-byte field, 503 do not.
    ASSERT_EQ(Load("[RegPath]=" + std::string(502, 'k') + "\n"), 0);
    EXPECT_EQ(strlen(UpdateDescription.RegistryKeyPath), 511u);

    ResetProgramState();
    EXPECT_EQ(Load("[RegPath]=" + std::string(503, 'k') + "\n"), 1);
    ExpectOneFailureBox("[RegPath]が最大文字数を越えました。503 0<=xx<512");
    EXPECT_STREQ(UpdateDescription.RegistryKeyPath, "");
}

TEST_F(DescriptionReader, NumbersAreReadLikeAtoiAndHeldToThe32BitRange) {
    struct Case {
        const char* text;
        int expected;
    } cases[] = {{"640px", 640}, {"", 0}, {"-5", -5}, {"  +12", 12}, {"x1", 0},
                 {"2147483647", 2147483647}, {"2147483648", 2147483647},
                 {"99999999999999999999", 2147483647}, {"-2147483648", -2147483647 - 1},
                 {"-99999999999999999999", -2147483647 - 1}};
    for (const Case& c : cases) {
        ResetProgramState();
        ASSERT_EQ(Load(std::string("[Width]=") + c.text + "\n"), 0);
        EXPECT_EQ(UpdateDescription.Width, c.expected) << c.text;
    }
}

TEST_F(DescriptionReader, TextModeRules) {
    // CR LF ends a line like LF; a lone CR stays; no final line feed is needed.
    ASSERT_EQ(Load("[Caption]=crlf\r\n[Comment0]=a\rb\r\n[GameName]=last"), 0);
    EXPECT_STREQ(UpdateDescription.Caption, "crlf");
    EXPECT_STREQ(UpdateDescription.Comment0, "a\rb");
    EXPECT_STREQ(UpdateDescription.GameName, "last");

    // Nothing after a Ctrl-Z is read, even a faulty line.
    ResetProgramState();
    ASSERT_EQ(Load("[Caption]=before\x1a\n[Caption]=after\n[GameName]=" + std::string(600, 'x')), 0);
    EXPECT_STREQ(UpdateDescription.Caption, "before");
    EXPECT_STREQ(UpdateDescription.GameName, "");
}

TEST_F(DescriptionReader, CrLfSplitAcrossReadChunksStillEndsTheLine) {
    // The reader takes the file in 4096-byte chunks; put CR at the last byte of one.
    std::string first = "[Comment0]=" + std::string(1000, 'a') + "\n";
    std::string padding;
    while (first.size() + padding.size() < 4095) padding += "x\n";
    padding.resize(4095 - first.size() - 12);
    padding += "\n[Caption]=c";  // 12 bytes, "c" is byte 4094
    std::string content = first + padding + "\r\n[GameName]=g\n";
    ASSERT_EQ(content[4095], '\r');
    ASSERT_EQ(Load(content), 0);
    EXPECT_STREQ(UpdateDescription.Caption, "c");
    EXPECT_STREQ(UpdateDescription.GameName, "g");
}

TEST_F(DescriptionReader, LongLinesArriveIn1022BytePieces) {
    // The comment is cut at the read limit without a message; the rest of the
    // physical line is a line of its own, which here is a key of its own.
    std::string key = "[Comment0]=";
    std::string value(1022 - key.size(), 'v');
    ASSERT_EQ(Load(key + value + "[Caption]=tail\n"), 0);
    EXPECT_EQ(std::string(UpdateDescription.Comment0), value);
    EXPECT_STREQ(UpdateDescription.Caption, "tail");
    EXPECT_TRUE(mp::MessageBoxes().empty());
}

TEST_F(DescriptionReader, LineEndsAtItsFirstNulByte) {
    ASSERT_EQ(Load(std::string("[Caption]=ab\0cd\n[GameName]=\0x\n", 27)), 0);
    EXPECT_STREQ(UpdateDescription.Caption, "ab");
    EXPECT_STREQ(UpdateDescription.GameName, "");
}

}  // namespace
