// The platform's one-shot search, which the Win32 backend answers from a listing
// of the folder, against FindFirstFile itself: the same answer for every kind of
// name, also after the backend changed the folder and for a folder with more
// names than one listing holds.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "platform/platform.h"
#include "program_driver.h"

namespace {

// FindFirstFile on path: -1 nothing found, 0 a file, 1 a folder.
int SearchedKind(const std::string& path) {
    WIN32_FIND_DATAW data;
    HANDLE search = FindFirstFileW(ShiftJisToWide(path).c_str(), &data);
    if (search == INVALID_HANDLE_VALUE) return -1;
    FindClose(search);
    return (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? 1 : 0;
}

int FoundKind(const std::string& path) {
    int isDirectory = -1;
    return PlatformFindFile(path.c_str(), &isDirectory) == 0 ? isDirectory : -1;
}

class FileSearch : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = MakeTempFolder("file-search");
        ASSERT_FALSE(folder_.empty());
    }
    void TearDown() override { RemoveTree(folder_); }
    std::string Path(const std::string& name) const { return folder_ + "\\" + name; }

    // Every name asked for, answered as FindFirstFile answers it.
    void ExpectSameAnswers(const char* when) {
        SCOPED_TRACE(when);
        std::wstring shortForm(MAX_PATH, L'\0');
        DWORD length = GetShortPathNameW(ShiftJisToWide(Path("長い名前のファイル.dat")).c_str(), &shortForm[0], MAX_PATH);
        shortForm.resize(length);
        std::string shortName = WideToShiftJis(shortForm.substr(shortForm.find_last_of(L'\\') + 1));
        const std::string names[] = {
            "Game.dat", "GAME.DAT", "長い名前のファイル.dat", shortName, "Sub", "SUB\\", "Sub\\inner.dat",
            "Gam*.dat", "G?me.dat", "*", "Game.dat.", "Game.dat ", "missing.dat", "NoFolder\\Game.dat",
            "Game.dat\\x", "new.dat", "NewFolder", "Sub\\Made",
        };
        for (const std::string& name : names) EXPECT_EQ(SearchedKind(Path(name)), FoundKind(Path(name))) << name;
    }

    std::string folder_;
};

TEST_F(FileSearch, AnswersAsFindFirstFileBeforeAndAfterTheBackendChangesTheFolder) {
    ASSERT_TRUE(WriteFileBytes(Path("Game.dat"), "game"));
    ASSERT_TRUE(WriteFileBytes(Path("長い名前のファイル.dat"), "long"));
    ASSERT_TRUE(CreateDirectoryW(ShiftJisToWide(Path("Sub")).c_str(), NULL));
    ASSERT_TRUE(WriteFileBytes(Path("Sub\\inner.dat"), "inner"));
    ExpectSameAnswers("as made");
    // Each change below is made while the folder's listing is kept.
    ASSERT_EQ(-1, FoundKind(Path("new.dat")));
    ASSERT_EQ(0, PlatformCopyFile(Path("Game.dat").c_str(), Path("new.dat").c_str()));
    ASSERT_EQ(0, FoundKind(Path("GAME.DAT")));
    ASSERT_EQ(0, PlatformDeleteFile(Path("Game.dat").c_str()));
    unsigned error = 0;
    ASSERT_EQ(0, PlatformCreateDirectory(Path("NewFolder").c_str(), &error));
    // The walk creates folders in upper case.
    ASSERT_EQ(-1, FoundKind(Path("Sub\\Made")));
    ASSERT_EQ(0, PlatformCreateDirectory(Path("SUB\\Made").c_str(), &error));
    EXPECT_EQ(1, FoundKind(Path("Sub\\Made")));
    ExpectSameAnswers("after a copy to a new name, a deletion and new folders");
}

// A listing holds some 480 names of this length; the names past them are searched for.
TEST_F(FileSearch, FindsEveryFileOfAFolderLargerThanOneListing) {
    const int count = 700;
    for (int i = 0; i < count; ++i) {
        char name[160];
        snprintf(name, sizeof name, "%0116d.dat", i);
        ASSERT_TRUE(WriteFileBytes(Path(name), "x"));
    }
    int found = 0;
    for (int i = 0; i < count; ++i) {
        char name[160];
        snprintf(name, sizeof name, "%0116d.DAT", i);
        found += FoundKind(Path(name)) == 0;
    }
    EXPECT_EQ(count, found);
    EXPECT_EQ(-1, FoundKind(Path(std::string(116, '9') + ".dat")));
}

}  // namespace
