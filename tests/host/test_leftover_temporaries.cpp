// A run removes the temporary files an interrupted run left, before it asks
// for room: only names of exactly the copy's temporary form, only in the
// folders the run writes to, whatever their marks.
#include <gtest/gtest.h>
#include <string.h>

#include <string>
#include <vector>

#include "description/update_description.h"
#include "host_test_support.h"
#include "platform/memory/platform_memory.h"
#include "state/folders.h"
#include "state/run_outcome.h"
#include "state/window_handles.h"
#include "update/room_check.h"
#include "update/update_run.h"

namespace mp = memory_platform;

namespace {

class LeftoverTemporaries : public ::testing::Test {
protected:
    void SetUp() override {
        ResetProgramState();
        PrepareMakerGame("Patch");
        mp::AddFile(GameFile("Tessoran.exe"), "old engine");
        mp::AddFile(GameFile("data\\a.dat"), "old a");
        mp::AddFile(GameFile("save\\save01.dat"), "save");
        mp::AddFile(PatchFile("Tessoran.exe"), "new engine");
        mp::AddFile(PatchFile("data\\a.dat"), "new a");
    }
};

// Each name planted in the game folder, in a folder of the tree and in one the
// run does not write to, and whether the run removes it.
TEST_F(LeftoverTemporaries, OnlyTheCopysOwnFormGoesAndOnlyWhereTheRunWrites) {
    struct Planted {
        const char* path;
        bool folder;
        unsigned marks;
        bool removed;
    };
    const Planted planted[] = {
        {"~upd0000abcd-3.tmp", false, 0, true},
        {"~upd00000174-0.tmp", false, FileAttributeReadOnly, true},  // the mark of its source
        {"data\\~updffffffff-ffff.tmp", false, FileAttributeHidden, true},
        {"data\\~upd0123abcd-1a.tmp", false, 0, true},
        {"~upd.tmp", false, 0, false},
        {"~updXYZ-1.tmp", false, 0, false},
        {"~upd0000abcd-3.tmp.bak", false, 0, false},
        {"~upd0000ABCD-7.tmp", false, 0, false},     // upper-case digits: not the program's
        {"~upd000abcd-3.tmp", false, 0, false},      // seven digits
        {"~upd0000abcd-12345.tmp", false, 0, false},  // five digits after the dash
        {"~upd0000abcd-.tmp", false, 0, false},
        {"~upd0000abcd-8.TMP", false, 0, false},
        {"x~upd0000abcd-3.tmp", false, 0, false},
        {"data\\~upd0000abcd-4.tmp", true, 0, false},  // a folder of that name
        {"save\\~upd0000abcd-5.tmp", false, 0, false},  // the patch writes nothing there
    };
    for (const Planted& p : planted) {
        if (p.folder) mp::AddDirectory(GameFile(p.path));
        else mp::AddFile(GameFile(p.path), "half a copy", p.marks);
    }
    EXPECT_EQ(0, RunUpdate());
    EXPECT_EQ(OutcomeCompleted, LastRunOutcome);
    for (const Planted& p : planted) {
        SCOPED_TRACE(p.path);
        bool present = p.folder ? mp::IsDirectory(GameFile(p.path)) : mp::IsFile(GameFile(p.path));
        EXPECT_EQ(!p.removed, present);
    }
    EXPECT_EQ("new a", mp::FileContent(GameFile("data\\a.dat")));
}

// The leftovers go before the free space is asked for: a patch that fits only
// in the room a half-written copy took is applied. Where it does not fit even
// then, the run changes nothing but that removal.
TEST_F(LeftoverTemporaries, TheRoomTheyTookCountsAsFree) {
    mp::AddFile(PatchFile("data\\movie.dat"), std::string(3000000, 'm'));
    strcpy(UpdateDescription.AddFiles[UpdateDescription.AddFileCount++], "data\\movie.dat");
    mp::AddFile(GameFile("data\\~upd00000174-0.tmp"), std::string(2000000, 'h'));
    // The patch needs 6,000,000 bytes (the new file, and its temporary copy).
    mp::SetFreeSpace(4500000);
    EXPECT_EQ(0, RunUpdate());
    EXPECT_EQ(6000000u, LastRoomCheck.bytesNeeded);
    EXPECT_EQ(6500000u, LastRoomCheck.bytesFree);
    EXPECT_FALSE(mp::IsFile(GameFile("data\\~upd00000174-0.tmp")));

    SetUp();
    mp::AddFile(PatchFile("data\\movie.dat"), std::string(3000000, 'm'));
    strcpy(UpdateDescription.AddFiles[UpdateDescription.AddFileCount++], "data\\movie.dat");
    mp::AddFile(GameFile("data\\~upd00000174-0.tmp"), std::string(2000000, 'h'));
    mp::SetFreeSpace(3000000);
    EXPECT_EQ(1, RunUpdate());
    EXPECT_EQ(OutcomeNoRoom, LastRunOutcome);
    EXPECT_FALSE(mp::IsFile(GameFile("data\\~upd00000174-0.tmp")));
    EXPECT_EQ((std::vector<std::string>{"data\\", "data\\a.dat", "save\\", "save\\save01.dat", "Tessoran.exe"}),
              mp::ListTree("C:\\Game"));
    EXPECT_EQ("old engine", mp::FileContent(GameFile("Tessoran.exe")));
}

}  // namespace
