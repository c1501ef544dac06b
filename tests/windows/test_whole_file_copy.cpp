// The platform's file copy on the real file system: a destination is replaced
// whole or not at all, with the rules CopyFile keeps on Windows, and no
// temporary file is ever left beside it.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "program_driver.h"

namespace {

class WholeFileCopy : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = MakeTempFolder("whole-copy");
        ASSERT_FALSE(folder_.empty());
        ASSERT_TRUE(WriteFileBytes(Path("source.dat"), "new content"));
    }
    void TearDown() override { RemoveTree(folder_); }

    std::string Path(const std::string& name) const { return folder_ + "\\" + name; }
    std::string Content(const std::string& name) const {
        std::string bytes;
        return ReadFileBytes(Path(name), &bytes) ? bytes : "<missing>";
    }
    DWORD Attributes(const std::string& name) const {
        return GetFileAttributesW(ShiftJisToWide(Path(name)).c_str()) &
               (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY);
    }
    void Mark(const std::string& name, DWORD attributes) const {
        ASSERT_TRUE(SetFileAttributesW(ShiftJisToWide(Path(name)).c_str(), attributes));
    }
    // Every name in the folder, as stored, sorted.
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        WIN32_FIND_DATAW data;
        HANDLE search = FindFirstFileW(ShiftJisToWide(Path("*")).c_str(), &data);
        if (search == INVALID_HANDLE_VALUE) return names;
        do {
            std::string name = WideToShiftJis(data.cFileName);
            if (name != "." && name != "..") names.push_back(name);
        } while (FindNextFileW(search, &data));
        FindClose(search);
        std::sort(names.begin(), names.end());
        return names;
    }
    int Copy(const std::string& source, const std::string& destination) const {
        return PlatformCopyFile(Path(source).c_str(), Path(destination).c_str());
    }

    std::string folder_;
};

// Each kind of destination: whether the copy goes through, what it holds after,
// and that nothing but the source and the destination is in the folder.
TEST_F(WholeFileCopy, ReplacesAPlainOrMissingFileAndRefusesWhatCopyFileRefuses) {
    struct Case {
        const char* what;
        DWORD marks;  // of an existing destination; 0xFFFFFFFF: none exists
        int result;
    };
    const Case cases[] = {
        {"missing", 0xFFFFFFFF, 0},
        {"plain", 0, 0},
        {"read-only", FILE_ATTRIBUTE_READONLY, 1},
        {"hidden", FILE_ATTRIBUTE_HIDDEN, 1},
        {"system", FILE_ATTRIBUTE_SYSTEM, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.marks != 0xFFFFFFFF) {
            ASSERT_TRUE(WriteFileBytes(Path("game.dat"), "old"));
            if (c.marks) Mark("game.dat", c.marks);
        }
        EXPECT_EQ(c.result, Copy("source.dat", "game.dat"));
        EXPECT_EQ(c.result == 0 ? "new content" : "old", Content("game.dat"));
        if (c.result != 0) EXPECT_EQ(c.marks, Attributes("game.dat"));
        EXPECT_EQ((std::vector<std::string>{"game.dat", "source.dat"}), Names());
        Mark("game.dat", FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(ShiftJisToWide(Path("game.dat")).c_str());
    }
    // A folder in the destination's place stays a folder.
    ASSERT_TRUE(CreateDirectoryW(ShiftJisToWide(Path("game.dat")).c_str(), NULL));
    EXPECT_EQ(1, Copy("source.dat", "game.dat"));
    EXPECT_EQ(DWORD(FILE_ATTRIBUTE_DIRECTORY), Attributes("game.dat"));
}

// As CopyFile on Windows: the copy carries the source's marks, onto a new file
// and an existing one alike, and an existing file keeps its name's spelling.
TEST_F(WholeFileCopy, TakesTheSourcesMarksAndKeepsTheStoredSpelling) {
    ASSERT_TRUE(WriteFileBytes(Path("marked.dat"), "marked"));
    Mark("marked.dat", FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(0, Copy("marked.dat", "new.dat"));
    EXPECT_EQ(DWORD(FILE_ATTRIBUTE_READONLY), Attributes("new.dat"));
    ASSERT_TRUE(WriteFileBytes(Path("Mixed.Dat"), "old"));
    EXPECT_EQ(0, Copy("marked.dat", "MIXED.DAT"));
    EXPECT_EQ("marked", Content("Mixed.Dat"));
    EXPECT_EQ(DWORD(FILE_ATTRIBUTE_READONLY), Attributes("Mixed.Dat"));
    EXPECT_EQ((std::vector<std::string>{"Mixed.Dat", "marked.dat", "new.dat", "source.dat"}), Names());
}

// A failure at the replacement (a destination held open by another program
// without sharing) leaves the destination and the folder as they were; a copy
// that fails before it is the small-volume check's.
TEST_F(WholeFileCopy, AFailedCopyLeavesTheDestinationAndNoTemporaryFile) {
    ASSERT_TRUE(WriteFileBytes(Path("game.dat"), "old"));
    HANDLE held = CreateFileW(ShiftJisToWide(Path("game.dat")).c_str(), GENERIC_READ, FILE_SHARE_READ, NULL,
                              OPEN_EXISTING, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    EXPECT_EQ(1, Copy("source.dat", "game.dat"));
    CloseHandle(held);
    EXPECT_EQ("old", Content("game.dat"));
    EXPECT_EQ((std::vector<std::string>{"game.dat", "source.dat"}), Names());
}

}  // namespace
