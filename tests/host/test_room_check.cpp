// The room check before the update run changes anything, and the in-memory
// machine's free space, which update-check's prediction rests on.
#include <gtest/gtest.h>
#include <string.h>

#include <map>
#include <string>
#include <vector>

#include "description/update_description.h"
#include "host_test_support.h"
#include "platform/memory/platform_memory.h"
#include "shell/program_folder.h"
#include "state/run_outcome.h"
#include "state/window_handles.h"
#include "update/room_check.h"
#include "update/update_run.h"

namespace mp = memory_platform;
using mp::Operation;

namespace {

std::vector<std::string> Boxes() {
    std::vector<std::string> shown;
    for (const auto& box : mp::MessageBoxes()) shown.push_back(box.title + "|" + box.text + "|" + std::to_string(box.type));
    return shown;
}

std::map<std::string, std::string> GameFolderNow() {
    std::map<std::string, std::string> objects;
    for (const auto& relative : mp::ListTree("C:\\Game")) objects[relative] = mp::FileContent(GameFile(relative));
    return objects;
}

// A patch that replaces the engine executable (grows by 1,499,990 bytes) and a
// data file (by 95), and adds a 3,000,000-byte file: it adds 4,500,085 bytes
// and needs room for the new file's temporary copy besides, 7,500,085 in all
// (7.2 MB).
const uint64_t Needed = 7500085;

class RoomCheckTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetProgramState();
        ResetUpdateRunForTests();
        PrepareMakerGame("Patch 1.1");
        strcpy(UpdateDescription.GameName, "Game");
        strcpy(UpdateDescription.AddFiles[UpdateDescription.AddFileCount++], "data\\movie.dat");
        mp::AddFile(GameFile("kovent9m.exe"), "old engine");
        mp::AddFile(GameFile("data\\a.dat"), "old a");
        mp::AddFile(PatchFile("kovent9m.exe"), std::string(1500000, 'e'));
        mp::AddFile(PatchFile("data\\a.dat"), std::string(100, 'a'));
        mp::AddFile(PatchFile("data\\movie.dat"), std::string(3000000, 'm'));
    }
};

TEST_F(RoomCheckTest, APatchThatFitsRunsAsBeforeAndOneByteLessChangesNothing) {
    mp::SetFreeSpace(Needed);
    EXPECT_EQ(0, RunUpdate());
    EXPECT_EQ(std::vector<std::string>({"Patch 1.1|アップデートが完了しました。|0"}), Boxes());
    EXPECT_EQ(Needed, LastRoomCheck.bytesNeeded);

    SetUp();
    mp::SetFreeSpace(Needed - 1);
    const auto before = GameFolderNow();
    EXPECT_EQ(1, RunUpdate());
    EXPECT_EQ(std::vector<std::string>(
                  {"Patch 1.1 注意|ディスクの空き容量が足りません。\n必要な空き容量：8MB\n現在の空き容量：7MB\n"
                   "空き容量を増やしてから、もう一度実行して下さい。|48",
                   "Patch 1.1|アップデートを終了します。|0"}),
              Boxes());
    EXPECT_EQ(OutcomeNoRoom, LastRunOutcome);
    EXPECT_EQ(before, GameFolderNow());
    EXPECT_EQ(0, mp::OperationCount(Operation::CopyFile));
}

// A file that shrinks frees its room only once it is replaced, so it adds
// nothing, and takes nothing from what another file's growth needs. Here
// data\a.dat shrinks from 400,000 bytes to 100 while the engine grows by
// 1,499,990 and the new file adds 3,000,000 and its temporary copy as much.
TEST_F(RoomCheckTest, AShrinkingFileTakesNothingFromWhatAnotherGrowingNeeds) {
    mp::AddFile(GameFile("data\\a.dat"), std::string(400000, 'o'));
    const uint64_t needed = 1499990 + 3000000 + 3000000;
    mp::SetFreeSpace(needed - 1);
    const auto before = GameFolderNow();
    EXPECT_EQ(1, RunUpdate());
    EXPECT_EQ(OutcomeNoRoom, LastRunOutcome);
    EXPECT_TRUE(LastRoomCheck.measured);
    EXPECT_EQ(needed, LastRoomCheck.bytesNeeded);
    EXPECT_EQ(needed - 1, LastRoomCheck.bytesFree);
    EXPECT_EQ(before, GameFolderNow());

    SetUp();
    mp::AddFile(GameFile("data\\a.dat"), std::string(400000, 'o'));
    mp::SetFreeSpace(needed);
    EXPECT_EQ(0, RunUpdate());
    EXPECT_EQ(needed, LastRoomCheck.bytesNeeded);
    EXPECT_EQ(std::string(100, 'a'), mp::FileContent(GameFile("data\\a.dat")));
    EXPECT_EQ(needed - (1499990 - 399900 + 3000000), mp::FreeSpace());
}

// Where the volume cannot be asked, the run goes on; when the disk then fills
// part-way, every file is either as it was or wholly new.
TEST_F(RoomCheckTest, WithoutAFigureACopyRunningOutOfSpaceLeavesEachFileWhole) {
    mp::FailOperation(Operation::GetFreeSpace, "C:\\Game");
    mp::SetFreeSpace(2000000);
    EXPECT_EQ(1, RunUpdate());
    EXPECT_FALSE(LastRoomCheck.measured);
    EXPECT_EQ(std::vector<std::string>({"アップデートエラー|ファイルのコピーに失敗しました。|48"}), Boxes());
    EXPECT_EQ(OutcomeCopyFailed, LastRunOutcome);
    // The engine executable and data\a.dat went in whole; the new 3,000,000-byte
    // file had no room and left nothing behind.
    EXPECT_EQ(std::string(1500000, 'e'), mp::FileContent(GameFile("kovent9m.exe")));
    EXPECT_EQ(std::string(100, 'a'), mp::FileContent(GameFile("data\\a.dat")));
    EXPECT_EQ((std::vector<std::string>{"data\\", "data\\a.dat", "kovent9m.exe"}), mp::ListTree("C:\\Game"));
    EXPECT_EQ(2000000u - 1499990u - 95u, mp::FreeSpace());
}

}  // namespace
