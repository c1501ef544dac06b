// Start-up: the program's folder from the command line, the control font and
// the description load.
#include <gtest/gtest.h>

#include <string>

#include "description/update_description.h"
#include "host_test_support.h"
#include "platform/memory/platform_memory.h"
#include "shell/font_holder.h"
#include "shell/prepare_startup.h"
#include "shell/program_folder.h"

namespace mp = memory_platform;

namespace {

class Startup : public ::testing::Test {
protected:
    void SetUp() override { ResetProgramState(); }

    std::string FolderFor(const std::string& commandLine) {
        mp::SetCommandLine(commandLine);
        EXPECT_EQ(LocateProgramFolder(), 0) << commandLine;
        return ProgramFolder;
    }
};

TEST_F(Startup, ProgramFolderIsTheFolderOfTheProgramPath) {
    EXPECT_EQ(FolderFor("\"C:\\Game\\Patch\\setup.exe\""), "C:\\Game\\Patch");
    EXPECT_EQ(FolderFor("\"D:\\setup.exe\""), "D:");
    EXPECT_EQ(FolderFor("\"C:\\A\\setup.exe\" C:\\B\\x"), "C:\\A");      // arguments take no part
    EXPECT_EQ(FolderFor("C:\\A\\setup.exe"), "C:\\A");                     // unquoted keeps its first byte
    EXPECT_EQ(FolderFor("C:\\A\\setup.exe C:\\B\\x"), "C:\\A");
    EXPECT_EQ(FolderFor("\"C:\\Program Files\\P\\u.exe\" x"), "C:\\Program Files\\P");
    EXPECT_EQ(FolderFor("\"Z:\\tmp\\u.exe\" "), "Z:\\tmp");                 // 64-bit Wine adds a space
    EXPECT_EQ(FolderFor(""), "");     // no program path at all
    EXPECT_EQ(FolderFor("\""), "");
}

TEST_F(Startup, ProgramStartedByItsBareNameLiesInTheCurrentFolder) {
    // Typed as "update" in a command prompt opened in its folder: update.ini
    // is read from there, never from the root of the current drive (the
    // end-to-end case road-command-without-folder runs that road).
    EXPECT_EQ(FolderFor("update"), ".");
    EXPECT_EQ(FolderFor("setup.exe"), ".");
    EXPECT_EQ(FolderFor("\"update.exe\""), ".");
    EXPECT_EQ(FolderFor("update C:\\B\\x"), ".");  // a backslash in an argument takes no part
}

TEST_F(Startup, DoubleByteCharacterEndingIn5CIsNotASeparator) {
    // 表 is 0x95 0x5C: the folder is C:\表示, not a cut inside the character.
    EXPECT_EQ(FolderFor("\"C:\\\x95\x5c\x8e\xa6\\\x95\x5c.exe\""), "C:\\\x95\x5c\x8e\xa6");
    EXPECT_EQ(FolderFor("\"C:\\Game\\\x95\x5c.exe\""), "C:\\Game");
}

TEST_F(Startup, ProgramPathLongerThanTheFolderFieldIsRefused) {
    std::string fits = "C:\\" + std::string(495, 'd') + "\\setup.exe";  // 509 bytes
    EXPECT_EQ(FolderFor("\"" + fits + "\""), fits.substr(0, fits.size() - 10));

    std::string tooLong = "C:\\" + std::string(600, 'd') + "\\setup.exe";
    mp::SetCommandLine("\"" + tooLong + "\"");
    EXPECT_EQ(LocateProgramFolder(), 1);
    EXPECT_STREQ(ProgramFolder, "");

    // Start-up then ends with the open-failure box and reads no update.ini at all.
    mp::AddFile("C:\\update.ini", "[Caption]=wrong\n");
    EXPECT_EQ(PrepareStartup(), 1);
    ASSERT_EQ(mp::MessageBoxes().size(), 1u);
    EXPECT_EQ(mp::MessageBoxes()[0].text, "update.ini の読み込みに失敗しました。");
    EXPECT_EQ(mp::OperationCount(mp::Operation::OpenFile), 0);
}

TEST_F(Startup, ControlFontDescription) {
    FontHolder font;
    EXPECT_EQ(font.font, nullptr);
    EXPECT_EQ(font.description.height, 23);
    EXPECT_EQ(font.description.width, 0);
    EXPECT_EQ(font.description.weight, 400);
    EXPECT_EQ(font.description.charSet, 128);
    EXPECT_EQ(font.description.italic + font.description.underline + font.description.strikeOut, 0);
    EXPECT_EQ(font.description.quality + font.description.pitchAndFamily, 0);
    const unsigned char face[] = {0x82, 0x6C, 0x82, 0x72, 0x20, 0x83, 0x53, 0x83,
                                  0x56, 0x83, 0x62, 0x83, 0x4E, 0x00};
    EXPECT_EQ(memcmp(font.description.faceName, face, sizeof face), 0);
}

TEST_F(Startup, FontHolderKeepsAtMostOneFont) {
    {
        FontHolder font;
        font.MakeFont();
        font.MakeFont();  // the first font is released before the second is made
        EXPECT_EQ(mp::LiveFontCount(), 1);
        EXPECT_EQ(font.ReleaseFont(), 0);
        EXPECT_EQ(font.font, nullptr);
        EXPECT_EQ(mp::LiveFontCount(), 0);
        font.MakeFont();
    }
    EXPECT_EQ(mp::LiveFontCount(), 0);  // the destructor released it

    mp::FailFontCreation(true);
    FontHolder failing;
    EXPECT_EQ(failing.MakeFont(), 0);
    EXPECT_EQ(failing.font, nullptr);
}

TEST_F(Startup, PrepareStartupSetsFolderFontAndDescription) {
    InstallDescription("[Caption]=Patch\n");
    ASSERT_EQ(PrepareStartup(), 0);
    EXPECT_STREQ(ProgramFolder, "C:\\Patch");
    EXPECT_EQ(mp::CurrentDirectory(), "C:\\Patch");
    ASSERT_EQ(mp::CreatedFonts().size(), 1u);
    EXPECT_EQ(mp::CreatedFonts()[0].height, 13);
    EXPECT_EQ(mp::CreatedFonts()[0].width, 0);
    EXPECT_NE(ControlFont.font, nullptr);
    EXPECT_STREQ(UpdateDescription.Caption, "Patch");
    EXPECT_TRUE(mp::MessageBoxes().empty());
    ControlFont.ReleaseFont();
}

TEST_F(Startup, PrepareStartupEndsOnAFaultyDescription) {
    InstallDescription("[GameName]=" + std::string(512, 'g') + "\n");
    EXPECT_EQ(PrepareStartup(), 1);
    ASSERT_EQ(mp::MessageBoxes().size(), 1u);
    EXPECT_EQ(mp::MessageBoxes()[0].text, "[GameName]が最大文字数を越えました。512 0<=xx<512");

    ResetProgramState();
    mp::SetCommandLine("\"C:\\Elsewhere\\setup.exe\"");
    EXPECT_EQ(PrepareStartup(), 1);  // no update.ini beside the program
    EXPECT_EQ(mp::MessageBoxes()[0].text, "update.ini の読み込みに失敗しました。");
    ControlFont.ReleaseFont();
}

}  // namespace
