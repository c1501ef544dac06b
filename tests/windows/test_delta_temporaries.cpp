// The Win32 boundary's temporary files, which hold the new versions made from
// deltas, and its reads at an offset, on the real file system: the program's
// name form, a name already taken never opened, the replacement with the
// copy's refusals and stored spelling, and nothing left after a discard.
#include <gtest/gtest.h>
#include <stdio.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "program_driver.h"

namespace {

class DeltaTemporaries : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = MakeTempFolder("delta-temporaries");
        ASSERT_FALSE(folder_.empty());
        ASSERT_TRUE(WriteFileBytes(Path("Game.Dat"), "old game file"));
    }
    void TearDown() override { RemoveTree(folder_); }

    std::string Path(const std::string& name) const { return folder_ + "\\" + name; }
    std::string Content(const std::string& name) const {
        std::string bytes;
        return ReadFileBytes(Path(name), &bytes) ? bytes : "<missing>";
    }
    void Mark(const std::string& name, DWORD attributes) const {
        ASSERT_TRUE(SetFileAttributesW(ShiftJisToWide(Path(name)).c_str(), attributes));
    }
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

TEST_F(DeltaTemporaries, ANewVersionTakesTheFilesPlaceUnderItsStoredSpelling) {
    char expected[40];
    snprintf(expected, sizeof expected, "~upd%08lx-1a3.tmp", (unsigned long)GetCurrentProcessId());
    std::string temporary = Temporary(0x1a3, "new game file");
    EXPECT_EQ(Path(expected), temporary);
    EXPECT_EQ((std::vector<std::string>{"Game.Dat", expected}), Names());
    Mark("Game.Dat", FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(0, PlatformReplaceWithTemporary(temporary.c_str(), Path("GAME.DAT").c_str()));
    EXPECT_EQ("new game file", Content("Game.Dat"));
    EXPECT_EQ((std::vector<std::string>{"Game.Dat"}), Names());
    // One hex digit for a small number, four for the largest.
    snprintf(expected, sizeof expected, "~upd%08lx-ffff.tmp", (unsigned long)GetCurrentProcessId());
    EXPECT_EQ(Path(expected), Temporary(0xffff, ""));
    EXPECT_EQ("", Temporary(0x10000, "x"));
}

// A name already there is not the program's to open; a replacement refused as
// CopyFile refuses leaves both files, and the discard takes the temporary away.
TEST_F(DeltaTemporaries, ATakenNameIsNotOpenedAndARefusedReplacementChangesNothing) {
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
        EXPECT_EQ((std::vector<std::string>{"Game.Dat"}), Names());
        Mark("Game.Dat", FILE_ATTRIBUTE_NORMAL);
    }
}

TEST_F(DeltaTemporaries, ReadsAtAnOffsetUpToTheEndOfTheFile) {
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
