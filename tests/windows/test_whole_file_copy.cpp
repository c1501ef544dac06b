// The platform's file copy on the real file system: a destination is replaced
// whole or not at all, with the rules CopyFile keeps on Windows, and no
// temporary file is ever left beside it.
#include <gtest/gtest.h>
#include <stdio.h>
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

    // A temporary of that number beside Game.Dat holding bytes, closed.
    std::string Temporary(unsigned number, const std::string& bytes) {
        char path[1024];
        TemporaryWriter writer;
        unsigned error = 0;
        if (PlatformCreateTemporary(Path("Game.Dat").c_str(), number, path, sizeof path, &writer, &error) != 0)
            return "";
        size_t half = bytes.size() / 2;
        EXPECT_EQ(0, PlatformWriteTemporary(writer, bytes.data(), half));
        EXPECT_EQ(0, PlatformWriteTemporary(writer, bytes.data() + half, bytes.size() - half));
        EXPECT_EQ(0, PlatformCloseTemporary(writer));
        return path;
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
        if (c.result != 0) {
            EXPECT_EQ(c.marks, Attributes("game.dat"));
        }
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

// The temporary files that hold the new versions made from deltas share the
// copy's name form, refusals and stored spelling; reads at an offset serve the
// decoder.
TEST_F(WholeFileCopy, ANewVersionTakesTheFilesPlaceUnderItsStoredSpelling) {
    ASSERT_TRUE(WriteFileBytes(Path("Game.Dat"), "old game file"));
    char expected[40];
    snprintf(expected, sizeof expected, "~upd%08lx-1a3.tmp", (unsigned long)GetCurrentProcessId());
    std::string temporary = Temporary(0x1a3, "new game file");
    EXPECT_EQ(Path(expected), temporary);
    EXPECT_EQ((std::vector<std::string>{"Game.Dat", "source.dat", expected}), Names());
    Mark("Game.Dat", FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(0, PlatformReplaceWithTemporary(temporary.c_str(), Path("GAME.DAT").c_str()));
    EXPECT_EQ("new game file", Content("Game.Dat"));
    EXPECT_EQ((std::vector<std::string>{"Game.Dat", "source.dat"}), Names());
    // One hex digit for a small number, four for the largest.
    snprintf(expected, sizeof expected, "~upd%08lx-ffff.tmp", (unsigned long)GetCurrentProcessId());
    EXPECT_EQ(Path(expected), Temporary(0xffff, ""));
    EXPECT_EQ("", Temporary(0x10000, "x"));
}

// A name already there is not the program's to open; a replacement refused as
// CopyFile refuses leaves both files, and the discard takes the temporary away.
TEST_F(WholeFileCopy, ATakenNameIsNotOpenedAndARefusedReplacementChangesNothing) {
    ASSERT_TRUE(WriteFileBytes(Path("Game.Dat"), "old game file"));
    char name[40];
    snprintf(name, sizeof name, "~upd%08lx-105.tmp", (unsigned long)GetCurrentProcessId());
    ASSERT_TRUE(WriteFileBytes(Path(name), "someone else's"));
    char path[1024];
    TemporaryWriter writer;
    unsigned error = 0;
    EXPECT_EQ(1, PlatformCreateTemporary(Path("Game.Dat").c_str(), 0x105, path, sizeof path, &writer, &error));
    EXPECT_EQ(unsigned(ErrorAlreadyExists), error);
    EXPECT_EQ("someone else's", Content(name));
    DeleteFileW(ShiftJisToWide(Path(name)).c_str());

    for (DWORD marks : {DWORD(FILE_ATTRIBUTE_READONLY), DWORD(FILE_ATTRIBUTE_HIDDEN), DWORD(FILE_ATTRIBUTE_SYSTEM)}) {
        SCOPED_TRACE(marks);
        std::string temporary = Temporary(0x100, "new game file");
        ASSERT_FALSE(temporary.empty());
        Mark("Game.Dat", marks);
        EXPECT_EQ(1, PlatformReplaceWithTemporary(temporary.c_str(), Path("Game.Dat").c_str()));
        EXPECT_EQ("old game file", Content("Game.Dat"));
        PlatformDiscardTemporary(temporary.c_str());
        EXPECT_EQ((std::vector<std::string>{"Game.Dat", "source.dat"}), Names());
        Mark("Game.Dat", FILE_ATTRIBUTE_NORMAL);
    }
}

TEST_F(WholeFileCopy, ReadsAtAnOffsetUpToTheEndOfTheFile) {
    ASSERT_TRUE(WriteFileBytes(Path("Game.Dat"), "old game file"));
    FileReader reader;
    ASSERT_EQ(0, PlatformOpenFileForReading(Path("Game.Dat").c_str(), &reader));
    char buffer[32] = {};
    size_t count = 0;
    EXPECT_EQ(0, PlatformReadFileAt(reader, 4, buffer, 4, &count));
    EXPECT_EQ("game", std::string(buffer, count));
    EXPECT_EQ(0, PlatformReadFileAt(reader, 9, buffer, sizeof buffer, &count));
    EXPECT_EQ("file", std::string(buffer, count));
    EXPECT_EQ(0, PlatformReadFileAt(reader, 100, buffer, sizeof buffer, &count));
    EXPECT_EQ(0u, count);
    PlatformCloseFile(reader);
}

}  // namespace
