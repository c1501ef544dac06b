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

// Stands in for the system: relative paths resolve against C:\Start, and two
// paths have short forms.
void LookUpAsTheSystemWould(const WideChar* path, int length, bool resolve, PathForms* forms) {
    std::u16string full(path, (size_t)length);
    if (resolve && !(full.size() >= 2 && full[1] == u':')) full = u"C:\\Start\\" + full;
    if (resolve) full.copy(forms->full, full.size()), forms->full[full.size()] = 0;
    std::u16string shortForm = full == u"Z:\\Amélie\\update.exe" ? u"Z:\\AM_L~2PK\\update.exe"
                               : full == u"Z:\\Jeux\\Café\\"   ? u"Z:\\Jeux\\CAF_~EZK\\"
                                                                     : u"";
    shortForm.copy(forms->shortForm, shortForm.size());
    forms->shortForm[shortForm.size()] = 0;
}

TEST(WindowsText, CommandLinePathsTakeTheirFullFormAndTheShortOneOnlyWhenTheLongOneIsInexact) {
    struct {
        const WideChar* line;
        const char* expected;
    } cases[] = {
        {u"\"Z:\\Amélie\\update.exe\" ", "\"Z:\\AM_L~2PK\\update.exe\""},
        {u"Z:\\Amélie\\update.exe", "Z:\\AM_L~2PK\\update.exe"},
        {u"\"Z:\\Amélie\\other.exe\"", "\"Z:\\Am?lie\\other.exe\""},  // no short form: names nothing
        // The program path is taken as it stands; a relative folder resolves.
        // The choices are written anew, quoted, the game folder first.
        {u"\"C:\\表示\\update.exe\" Game", "\"C:\\表示\\update.exe\" /D=\"C:\\Start\\Game\""},
        {u"\"C:\\a.exe\" /s /LOG=u.log \"Z:\\Jeux\\Café\\\"",
         "\"C:\\a.exe\" /S /D=\"Z:\\Jeux\\CAF_~EZK\\\\\" /LOG=\"C:\\Start\\u.log\""},
        {u"\"C:\\a.exe\" \"/LOG=Z:\\Jeux\\Café\\x.log\" /D=Z:\\Jeux\\Café\\  ",
         "\"C:\\a.exe\" /D=\"Z:\\Jeux\\CAF_~EZK\\\\\" /LOG=\"Z:\\Jeux\\Caf?\\x.log\""},
        {u"\"C:\\a.exe\" /X \"/Y=a b\" é", "\"C:\\a.exe\" /D=\"C:\\Start\\?\" /X \"/Y=a b\""},  // no exact form
        {u"update", "update"},
        {u"", ""},
    };
    for (const auto& c : cases) {
        char line[96];
        ASSERT_EQ(CommandLineFromWide(c.line, LookUpAsTheSystemWould, line, sizeof line), 0) << c.expected;
        EXPECT_STREQ(line, c.expected);
    }
}

TEST(WindowsText, CommandLineThatDoesNotFitNeverCutsAPath) {
    char line[24];
    // An argument not understood is written whole or not at all...
    ASSERT_EQ(CommandLineFromWide(u"\"C:\\a.exe\" /表示表示表示表示", nullptr, line, 16), 0);
    EXPECT_STREQ(line, "\"C:\\a.exe\"");
    // ...but a game folder that does not fit becomes one that names nothing,
    // and where not even that fits, nothing is read.
    ASSERT_EQ(CommandLineFromWide(u"\"C:\\a.exe\" C:\\Games\\Title", nullptr, line, sizeof line), 0);
    EXPECT_STREQ(line, "\"C:\\a.exe\" /D=\"|\"");
    EXPECT_EQ(CommandLineFromWide(u"\"C:\\a.exe\" C:\\Games\\Title", nullptr, line, 16), 1);
    EXPECT_EQ(CommandLineFromWide(u"\"C:\\a.exe\" /S /LOG=C:\\Games\\Title", nullptr, line, sizeof line), 0);
    EXPECT_STREQ(line, "\"C:\\a.exe\" /S /LOG=\"|\"");
    std::u16string tooLong = u"\"C:\\" + std::u16string(20, u'a') + u"\\u.exe\"";
    EXPECT_EQ(CommandLineFromWide(tooLong.c_str(), nullptr, line, sizeof line), 1);
    EXPECT_STREQ(line, "");
}

}  // namespace
