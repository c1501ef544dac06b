// The in-memory machine as update-check uses it (loading real trees, Win32 path
// parsing, the record of changes) and the Shift-JIS conversion of names.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "author_tools/run/author_warnings.h"
#include "author_tools/run/patch_check.h"
#include "author_tools/run/report_writers.h"
#include "author_tools/host/text_conversion.h"
#include "platform/memory/platform_memory.h"

namespace mp = memory_platform;

namespace {

class MachineTest : public ::testing::Test {
protected:
    void SetUp() override { mp::Reset(); }
};

mp::TreeEntry File(const std::string& path, uint64_t size = 1, unsigned attributes = 0) {
    return mp::TreeEntry{path, false, size, attributes, ""};
}
mp::TreeEntry Folder(const std::string& path) { return mp::TreeEntry{path, true, 0, 0, ""}; }

std::string Refusal(const std::vector<mp::TreeEntry>& entries) {
    std::string problem;
    return mp::LoadTree("C:\\Game", entries, &problem) == 0 ? "loaded" : problem;
}

TEST_F(MachineTest, LoadingRefusesWhatWindowsCannotHold) {
    EXPECT_EQ("loaded", Refusal({Folder("data"), File("data\\a.dat", 7, FileAttributeReadOnly)}));
    EXPECT_EQ(7u, mp::FileSize("C:\\GAME\\DATA\\A.DAT"));
    EXPECT_EQ((unsigned)FileAttributeReadOnly, mp::Attributes("c:\\game\\data\\a.dat"));
    EXPECT_EQ("data\\A.dat: another name of its folder differs from it only in letter case",
              Refusal({File("data\\A.dat")}));
    // Full-width letters are one name under either case, as on NTFS ...
    EXPECT_NE("loaded", Refusal({File("\x82\x60.dat"), File("\x82\x81.dat")}));  // Ａ, ａ
    // ... but a second byte that happens to be an ASCII letter is no letter:
    // ア (83 41) and ヂ (83 61) are two names.
    mp::Reset();
    EXPECT_EQ("loaded", Refusal({File("\x83\x41"), File("\x83\x61")}));
    for (const char* name : {"a.", "b ", "con.txt", "x:y", "q?", ".", "a\\..\\b"})
        EXPECT_EQ(std::string(name) + ": the name cannot exist on Windows", Refusal({File(name)})) << name;
}

// A folder's entries after the first are placed without walking its path
// again: each is still checked as the first one is.
TEST_F(MachineTest, LoadingChecksEveryEntryOfAFolder) {
    for (const char* name : {"b.", "c ", "nul", "com1.txt", "x:y", "q?", "..", "", "t\\"}) {
        mp::Reset();
        EXPECT_EQ("d\\" + std::string(name) + ": the name cannot exist on Windows",
                  Refusal({Folder("d"), File("d\\ok.dat"), File("d\\" + std::string(name))}))
            << name;
    }
    mp::Reset();
    EXPECT_EQ("d\\OK.DAT: another name of its folder differs from it only in letter case",
              Refusal({File("d\\ok.dat"), File("d\\OK.DAT")}));
    mp::Reset();
    EXPECT_EQ("d\\f\\g: another name of its folder differs from it only in letter case",
              Refusal({File("d\\e"), File("d\\f"), File("d\\f\\g")}));
    // Folders left and come back to, and names that share a folder's text.
    mp::Reset();
    ASSERT_EQ("loaded", Refusal({Folder("a"), File("a\\1", 1), Folder("a\\b"), File("a\\b\\2", 2), File("a\\3", 3),
                                 File("ab\\4", 4), File("a\\b\\5", 5), File("\x95\x5C\\6", 6), File("\x95\x5C\\7", 7)}));
    EXPECT_EQ(std::vector<std::string>({"a\\", "a\\1", "a\\3", "a\\b\\", "a\\b\\2", "a\\b\\5", "ab\\", "ab\\4",
                                        "\x95\x5C\\", "\x95\x5C\\6", "\x95\x5C\\7"}),
              mp::ListTree("C:\\Game"));
    for (uint64_t n = 1; n <= 7; ++n) {
        const char* folders[] = {"", "A", "A\\B", "a", "AB", "a\\b", "\x95\x5C", "\x95\x5C"};
        EXPECT_EQ(n, mp::FileSize("C:\\Game\\" + std::string(folders[n]) + "\\" + std::to_string(n))) << n;
    }
}

// Folders are found again by the text of the path before the last name; a
// folder or file that was there may be gone or be another object since.
TEST_F(MachineTest, PathsResolveAfreshOnceTheTreeChanged) {
    mp::AddFile("C:\\Game\\a.dat", "a");
    mp::AddFile("C:\\Game\\d\\e\\x.dat", "x");
    // A file named as a folder.
    EXPECT_FALSE(mp::IsFile("C:\\Game\\a.dat\\x"));
    EXPECT_EQ(0, PlatformDeleteFile("C:\\Game\\a.dat"));
    mp::AddFile("C:\\Game\\b.dat", "b");  // likely in the memory a.dat had
    unsigned error = 0;
    EXPECT_EQ(0, PlatformCreateDirectory("C:\\Game\\a.dat", &error));
    mp::AddFile("C:\\Game\\a.dat\\x", "now a file below a folder");
    EXPECT_TRUE(mp::IsFile("C:\\Game\\a.dat\\x"));
    // A folder whose parent becomes a file takes its files along.
    EXPECT_TRUE(mp::IsFile("C:\\Game\\d\\e\\x.dat"));
    mp::AddFile("C:\\Game\\d", "d");
    EXPECT_FALSE(mp::IsFile("C:\\Game\\d\\e\\x.dat"));
    EXPECT_TRUE(mp::IsFile("C:\\Game\\d"));
    mp::AddFile("C:\\Game\\d\\e\\y.dat", "y");
    EXPECT_FALSE(mp::IsFile("C:\\Game\\d\\e\\x.dat"));
    EXPECT_EQ("y", mp::FileContent("C:\\Game\\D\\E\\Y.DAT"));
    // Two spellings of one folder, and one folder under two drives.
    mp::AddFile("D:\\Game\\d\\e\\y.dat", "on D:");
    EXPECT_EQ("y", mp::FileContent("C:/Game/d/e/y.dat"));
    EXPECT_EQ("on D:", mp::FileContent("D:\\Game\\d\\e\\y.dat"));
    EXPECT_EQ("y", mp::FileContent("C:\\Game\\d\\e\\y.dat"));
    EXPECT_EQ("", mp::FileContent("C:\\Game\\d\\e\\y.dat\\"));
    EXPECT_EQ("y", mp::FileContent("C:\\Game\\d\\e\\y.dat. "));
}

// Sorted by the folded path: a name that continues another's with a dot comes
// between that folder and its entries.
TEST_F(MachineTest, TreesAreDescribedInTheOrderOfTheirFoldedPaths) {
    ASSERT_EQ("loaded", Refusal({Folder("a"), File("a\\b"), File("A.txt"), Folder("B"), File("B\\c"), Folder("\x82\x60"),
                                 File("\x82\x81\\z")}));
    std::vector<std::string> described;
    for (const mp::TreeEntry& entry : mp::DescribeTree("C:\\Game"))
        described.push_back(entry.relativePath + (entry.directory ? "/" : "") + std::to_string(entry.size));
    EXPECT_EQ(std::vector<std::string>({"a/0", "A.txt1", "a\\b1", "B/0", "B\\c1", "\x82\x60/0", "\x82\x60\\z1"}), described);
}

TEST_F(MachineTest, PathsResolveAsWin32ResolvesThem) {
    mp::AddFile("C:\\Game\\data\\a.dat", "a");
    EXPECT_TRUE(mp::IsFile("C:/Game//DATA/a.dat"));
    EXPECT_TRUE(mp::IsFile("C:\\Game\\save\\..\\.\\data\\a.dat. "));
    EXPECT_FALSE(mp::IsFile("C:\\Game\\data\\a.dat\\"));
    EXPECT_TRUE(mp::IsDirectory("C:\\Game\\data\\"));
    // Windows refuses to make a folder over a file, whatever the path ends in.
    unsigned error = 0;
    EXPECT_EQ(1, PlatformCreateDirectory("C:\\Game\\data\\a.dat\\", &error));
    EXPECT_EQ(183u, error);  // ERROR_ALREADY_EXISTS
    EXPECT_TRUE(mp::IsFile("C:\\Game\\data\\a.dat"));
    // 表 ends in 0x5C: its second byte never separates.
    mp::AddFile("C:\\Game\\\x95\x5C\\b.dat", "b");
    EXPECT_EQ(std::vector<std::string>({"data\\", "data\\a.dat", "\x95\x5C\\", "\x95\x5C\\b.dat"}),
              mp::ListTree("C:\\Game"));
    FileSearch search;
    FoundFile entry;
    ASSERT_EQ(0, PlatformFindFirstFile("C:\\Game\\\x95\x5C\\*", &search, &entry));
    std::vector<std::string> names = {entry.name};
    while (PlatformFindNextFile(search, &entry) == 0) names.push_back(entry.name);
    PlatformFindClose(search);
    EXPECT_EQ(std::vector<std::string>({".", "..", "b.dat"}), names);
}

TEST_F(MachineTest, ChangesListEachObjectOnceInTheOrderMade) {
    mp::AddFile("C:\\Patch\\Tessoran.exe", "engine 2", FileAttributeReadOnly);
    mp::AddFile("C:\\Game\\Tessoran.exe", "engine", FileAttributeReadOnly);
    mp::AddFile("C:\\Game\\old.txt", "old");
    mp::AddFile("C:\\Game\\locked.txt", "locked", FileAttributeReadOnly);
    unsigned error = 0;
    // Cleared before the copy: a change. Cleared after it, on the mark the copy
    // brought along: none.
    EXPECT_EQ(0, PlatformSetFileAttributes("C:\\Game\\Tessoran.exe", FileAttributeNormal));
    EXPECT_EQ(0, PlatformCopyFile("C:\\Patch\\Tessoran.exe", "C:\\Game\\Tessoran.exe"));
    EXPECT_EQ(0, PlatformSetFileAttributes("C:\\Game\\Tessoran.exe", FileAttributeNormal));
    EXPECT_EQ(0, PlatformCopyFile("C:\\Patch\\Tessoran.exe", "C:\\Game\\TESSORAN.EXE"));
    EXPECT_EQ(0, PlatformCreateDirectory("C:\\Game\\NEW", &error));
    EXPECT_EQ(0, PlatformCopyFile("C:\\Patch\\Tessoran.exe", "C:\\Game\\NEW\\copy.exe"));
    EXPECT_EQ(0, PlatformDeleteFile("C:\\Game\\old.txt"));
    EXPECT_EQ(1, PlatformDeleteFile("C:\\Game\\locked.txt"));
    EXPECT_EQ(1, PlatformDeleteFile("C:\\Game\\NEW"));

    std::vector<std::string> changes;
    for (const mp::Change& change : mp::ChangesBelow("c:\\game"))
        changes.push_back(std::string(ChangeKindName(change.kind)) + " " + change.path + " " + std::to_string(change.size));
    EXPECT_EQ(std::vector<std::string>({"clear-read-only Tessoran.exe 6", "replace Tessoran.exe 8", "create-folder NEW 0",
                                        "add NEW\\copy.exe 8", "delete old.txt 3"}),
              changes);
    EXPECT_EQ(24u, mp::BytesCopied());
    std::vector<std::string> requests;
    for (const auto& request : mp::DeleteRequests()) requests.push_back(request.path + (request.deleted ? " +" : " -"));
    EXPECT_EQ(std::vector<std::string>({"C:\\Game\\old.txt +", "C:\\Game\\locked.txt -", "C:\\Game\\NEW -"}), requests);
}

TEST(PatchCheck, RefusesFoldersThatWin32ResolvesIntoOneAnother) {
    for (const char* game : {"C:\\Game\\..\\Patch", "c:/patch/./sub", "C:\\PATCH.\\x", "C:\\"}) {
        CheckInput input;
        input.patchPath = "C:\\Patch";
        input.gamePath = game;
        CheckReport report;
        std::string problem;
        EXPECT_EQ(1, CheckPatch(input, &report, &problem)) << game;
        EXPECT_EQ("--patch-path and --game-path must name two separate folders", problem) << game;
    }
}

TEST(NameConversion, FollowsTheWindowsTableOfCodePage932) {
    std::string sjis;
    ASSERT_EQ(0, Utf8ToShiftJis("\xEF\xBD\x9E\xEF\xBC\x8D\xE2\x88\xA5\xEF\xBF\xA2", &sjis));  // ～ － ∥ ￢
    EXPECT_EQ("\x81\x60\x81\x7C\x81\x61\x81\xCA", sjis);
    ASSERT_EQ(0, Utf8ToShiftJis("\xE6\x98\x9F\xE8\xA6\x8B.dat", &sjis));  // 星見.dat
    EXPECT_EQ("\x90\xAF\x8C\xA9.dat", sjis);
    // Characters that code page 932 holds only as a best fit, or not at all.
    EXPECT_EQ(1, Utf8ToShiftJis("\xE3\x80\x9C", &sjis));          // 〜 WAVE DASH
    EXPECT_EQ(1, Utf8ToShiftJis("\xE2\x88\x92", &sjis));          // − MINUS SIGN (0x817C is －)
    EXPECT_EQ(1, Utf8ToShiftJis("\xC2\xA2", &sjis));              // ¢ (0x8191 is ￠)
    EXPECT_EQ(1, Utf8ToShiftJis("\xE2\x80\x96", &sjis));          // ‖ DOUBLE VERTICAL LINE
    EXPECT_EQ(1, Utf8ToShiftJis("\xF0\x9F\x98\x80", &sjis));      // an emoji
    EXPECT_EQ("\xEF\xBD\x9E", ShiftJisToUtf8("\x81\x60"));
    EXPECT_EQ("a\xEF\xBF\xBD" "b", ShiftJisToUtf8("a\x80" "b"));  // no character
}

// Each character named with its position, counted in characters, its code
// point, and the look-alike code page 932 has, which must itself convert.
TEST(NameConversion, NamesTheCharacterWithoutAFormAndItsLookAlike) {
    struct LookAlike {
        const char* character;
        const char* code;
        const char* alike;
        const char* alikeCode;
    };
    const std::vector<LookAlike> table = {
        {"\xE3\x80\x9C", "U+301C", "\xEF\xBD\x9E", "U+FF5E"},  // 〜 ～
        {"\xE2\x88\x92", "U+2212", "\xEF\xBC\x8D", "U+FF0D"},  // − －
        {"\xE2\x80\x96", "U+2016", "\xE2\x88\xA5", "U+2225"},  // ‖ ∥
        {"\xC2\xAC", "U+00AC", "\xEF\xBF\xA2", "U+FFE2"},          // ¬ ￢
        {"\xE2\x80\x94", "U+2014", "\xE2\x80\x95", "U+2015"},  // — ―
        {"\xC2\xA2", "U+00A2", "\xEF\xBF\xA0", "U+FFE0"},          // ¢ ￠
        {"\xC2\xA3", "U+00A3", "\xEF\xBF\xA1", "U+FFE1"},          // £ ￡
        {"\xC2\xA6", "U+00A6", "\xEF\xBF\xA4", "U+FFE4"},          // ¦ ￤
    };
    std::string sjis;
    for (const LookAlike& row : table) {
        EXPECT_EQ(1, Utf8ToShiftJis(row.character, &sjis)) << row.code;
        EXPECT_EQ(0, Utf8ToShiftJis(row.alike, &sjis)) << row.alikeCode;
        // 星 before it is one character of three bytes.
        EXPECT_EQ(std::string("character 3, ") + row.character + " " + row.code + ", has no Shift-JIS form: write " +
                      row.alike + " " + row.alikeCode + ", which looks the same, instead",
                  WhyNoShiftJisForm(std::string("a\xE6\x98\x9F") + row.character + "b"))
            << row.code;
    }
    EXPECT_EQ("character 1, \xF0\x9F\x98\x80 U+1F600, has no Shift-JIS form: leave it out or write another character",
              WhyNoShiftJisForm("\xF0\x9F\x98\x80"));
    EXPECT_EQ("", WhyNoShiftJisForm("\xE6\x98\x9F\xEF\xBD\x9E.dat"));
    EXPECT_EQ("byte 2 is no UTF-8", WhyNoShiftJisForm("a\xFF"));
}

// [RegPath] as update.exe composes its key: HKEY_CURRENT_USER\Software\ and
// the value. A sound value has no mistake; the others say what is wrong, the
// key read, and the value to write.
TEST(RegistryPath, AValueThatReadsAnotherKeyIsNamedWithTheValueToWrite) {
    struct Case {
        const char* value;
        std::string mistake;  // its start, "" for a sound value
        std::string write;    // the value to write
    };
    const std::vector<Case> cases = {
        {"NatsuSoft\\Natsuzora", "", ""},
        {"Software", "", ""},                   // a maker named so: Software\Software
        {"HKEYS\\Game", "", ""},
        {"Maker\\Software\\Game", "", ""},
        {"HKEY_CURRENT_USER\\Software\\NatsuSoft\\Natsuzora",
         "starts with the hive name HKEY_CURRENT_USER: update.exe reads the value SAV_FOLDER of the key "
         "HKEY_CURRENT_USER\\Software\\<[RegPath]>, here "
         "HKEY_CURRENT_USER\\Software\\HKEY_CURRENT_USER\\Software\\NatsuSoft\\Natsuzora, a key no installer writes",
         "NatsuSoft\\Natsuzora"},
        {"hkcu\\software\\Maker\\Game", "starts with the hive name hkcu:", "Maker\\Game"},
        {"HKLM\\SOFTWARE\\Maker\\Game", "starts with the hive name HKLM:", "Maker\\Game"},
        {"HKEY_LOCAL_MACHINE\\Maker\\Game", "starts with the hive name HKEY_LOCAL_MACHINE:", "Maker\\Game"},
        {"HKCU:\\Software\\Maker\\Game", "starts with the hive name HKCU::", "Maker\\Game"},
        {"Software\\Maker\\Game", "starts with Software\\: update.exe reads the value SAV_FOLDER of the key "
                                    "HKEY_CURRENT_USER\\Software\\<[RegPath]>, here "
                                    "HKEY_CURRENT_USER\\Software\\Software\\Maker\\Game,", "Maker\\Game"},
        {"\\Maker\\Game", "starts with a backslash:", "Maker\\Game"},
        {"Maker\\Game\\", "ends with a backslash: update.exe reads the value SAV_FOLDER of the key "
                            "HKEY_CURRENT_USER\\Software\\<[RegPath]>, here HKEY_CURRENT_USER\\Software\\Maker\\Game "
                            "(it drops one trailing backslash)", "Maker\\Game"},
        {"Maker\\Game\\\\", "ends with a backslash: update.exe reads the value SAV_FOLDER of the key "
                              "HKEY_CURRENT_USER\\Software\\<[RegPath]>, here HKEY_CURRENT_USER\\Software\\Maker\\Game\\, "
                              "a key no installer writes", "Maker\\Game"},
        {"\x83\x5C\x83\x74\x83\x67\\", "ends with a backslash:", "\x83\x5C\x83\x74\x83\x67"},  // ソフト\: 0x5C a second byte
    };
    for (const Case& test : cases) {
        std::string mistake = RegistryPathMistake(test.value);
        if (test.mistake.empty()) {
            EXPECT_EQ("", mistake) << test.value;
            continue;
        }
        EXPECT_EQ(0u, mistake.find(test.mistake)) << test.value << "\n" << mistake;
        EXPECT_NE(std::string::npos, mistake.find("; write [RegPath]=" + test.write + " (--reg-path '" + test.write + "')"))
            << test.value << "\n" << mistake;
    }
    // A Shift-JIS name ending in a 0x5C second byte is no trailing backslash.
    EXPECT_EQ("", RegistryPathMistake("\x83\x5C"));  // ソ
}

}  // namespace
