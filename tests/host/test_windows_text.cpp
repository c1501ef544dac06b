// Texts at the boundary to the UTF-16 interfaces: Shift-JIS both ways with code
// page 932 (here through iconv's CP932), names without a Shift-JIS form, the
// command line's program path and every buffer limit. Registry strings are
// tested on the real registry, under Wine.
#include <gtest/gtest.h>

#include <string>

#include "platform/windows_text.h"

namespace {

// Kept out of the test macros, which spell their arguments in narrow
// (Shift-JIS) literals that cannot hold these characters.
const WideChar Cafe[] = u"Café.dat";
const WideChar CafeShortInexact[] = u"CAFÉ~1.DAT";
const WideChar Amelie[] = u"\"Z:\\Amélie\\update.exe\" ";
const WideChar AmelieUnquoted[] = u"Z:\\Amélie\\update.exe x";
const WideChar AmelieQuoted[] = u"\"Z:\\Amélie\\update.exe\"";
const WideChar ExactWithArgument[] = u"\"C:\\表示\\update.exe\" é";

TEST(WindowsText, ShiftJisRoundTripsWithTrailBytes5C) {
    // 表 (95 5C), ソ (83 5C), 十 (8F 5C) and 能 (94 5C) end in the backslash byte.
    const char text[] = "C:\\表\\ソフト\\十能.dat";
    WideChar wide[64];
    ASSERT_EQ(ToWide(text, wide, 64), 0);
    EXPECT_EQ(std::u16string(wide), u"C:\\表\\ソフト\\十能.dat");
    char back[64];
    ASSERT_EQ(NameFromWide(wide, nullptr, back, sizeof back), 0);
    EXPECT_STREQ(back, text);
}

TEST(WindowsText, CharactersWithoutAShiftJisFormBecomeQuestionMarks) {
    char text[32];
    ASSERT_EQ(NameFromWide(u"Caf\u00e9 \U0001F600", nullptr, text, sizeof text), 0);
    EXPECT_STREQ(text, "Caf? ?");  // one mark per character, a surrogate pair included
}

TEST(WindowsText, TextsThatDoNotFitFailWithAnEmptyResult) {
    WideChar wide[4];
    EXPECT_EQ(ToWide("abc", wide, 4), 0);
    EXPECT_EQ(ToWide("abcd", wide, 4), 1);
    EXPECT_EQ(ToWide("", wide, 1), 0);
    EXPECT_EQ(wide[0], 0);

    char text[5] = "....";
    EXPECT_EQ(NameFromWide(u"表示", nullptr, text, 5), 0);  // four bytes and the terminator
    EXPECT_EQ(NameFromWide(u"表示a", nullptr, text, 5), 1);
    EXPECT_STREQ(text, "");
    // A double-byte character never lands half in the buffer.
    EXPECT_EQ(NameFromWide(u"a表示", nullptr, text, 5), 1);
    EXPECT_STREQ(text, "");
}

TEST(WindowsText, NamesFallBackToTheShortFormThenToQuestionMarks) {
    char name[32];
    EXPECT_EQ(NameFromWide(u"表示.dat", u"5C5C~1.DAT", name, sizeof name), 0);
    EXPECT_STREQ(name, "表示.dat");  // exact: the long name
    EXPECT_EQ(NameFromWide(Cafe, u"CAF_~1.DAT", name, sizeof name), 0);
    EXPECT_STREQ(name, "CAF_~1.DAT");
    EXPECT_EQ(NameFromWide(Cafe, u"", name, sizeof name), 0);
    EXPECT_STREQ(name, "Caf?.dat");
    EXPECT_EQ(NameFromWide(Cafe, nullptr, name, sizeof name), 0);
    EXPECT_STREQ(name, "Caf?.dat");
    EXPECT_EQ(NameFromWide(Cafe, CafeShortInexact, name, sizeof name), 0);  // short form inexact too
    EXPECT_STREQ(name, "Caf?.dat");
    // A long name too long for the field, exact or not, takes the short form.
    std::u16string longName(40, u'表');
    EXPECT_EQ(NameFromWide(longName.c_str(), u"5C5C~1", name, sizeof name), 0);
    EXPECT_STREQ(name, "5C5C~1");
    EXPECT_EQ(NameFromWide(longName.c_str(), u"", name, sizeof name), 1);
}

TEST(WindowsText, CommandLineTakesTheShortProgramPathOnlyWhenTheLongOneIsInexact) {
    char line[64];
    const WideChar* shortPath = u"Z:\\AM_L~2PK\\update.exe";
    ASSERT_EQ(CommandLineFromWide(Amelie, shortPath, line, sizeof line), 0);
    EXPECT_STREQ(line, "\"Z:\\AM_L~2PK\\update.exe\" ");
    ASSERT_EQ(CommandLineFromWide(AmelieUnquoted, shortPath, line, sizeof line), 0);
    EXPECT_STREQ(line, "Z:\\AM_L~2PK\\update.exe x");
    ASSERT_EQ(CommandLineFromWide(AmelieQuoted, u"", line, sizeof line), 0);
    EXPECT_STREQ(line, "\"Z:\\Am?lie\\update.exe\"");
    // An exact path stays as it is, whatever its short form; arguments keep '?'.
    ASSERT_EQ(CommandLineFromWide(ExactWithArgument, u"C:\\5C5C~1\\UPDATE.EXE", line, sizeof line), 0);
    EXPECT_STREQ(line, "\"C:\\表示\\update.exe\" ?");
    ASSERT_EQ(CommandLineFromWide(u"update", nullptr, line, sizeof line), 0);
    EXPECT_STREQ(line, "update");
    ASSERT_EQ(CommandLineFromWide(u"", nullptr, line, sizeof line), 0);
    EXPECT_STREQ(line, "");
}

TEST(WindowsText, CommandLineArgumentsAreCutAtACharacterBoundary) {
    char line[16];
    // "C:\a.exe" (10 bytes with quotes), then " 表示表示" cut to what fits 15 bytes.
    ASSERT_EQ(CommandLineFromWide(u"\"C:\\a.exe\" 表示表示", nullptr, line, sizeof line), 0);
    EXPECT_STREQ(line, "\"C:\\a.exe\" 表示");
    std::u16string tooLong = u"\"C:\\" + std::u16string(20, u'a') + u"\\u.exe\"";
    EXPECT_EQ(CommandLineFromWide(tooLong.c_str(), nullptr, line, sizeof line), 1);
    EXPECT_STREQ(line, "");
}

}  // namespace
