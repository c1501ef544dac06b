// What the update run reports to a progress sink: the total before anything is
// written, each stage and file in the run's order, bytes that add up to the
// total, and the end before every box.
#include <gtest/gtest.h>
#include <string.h>

#include <string>
#include <vector>

#include "description/update_description.h"
#include "host_test_support.h"
#include "platform/memory/platform_memory.h"
#include "state/folders.h"
#include "state/progress.h"
#include "state/progress_texts.h"
#include "state/window_handles.h"
#include "update/update_run.h"

namespace mp = memory_platform;

namespace {

const char* const StageNames[ProgressStageCount] = {"deltas", "engine", "verify", "copy", "replace", "delete"};

// Every report as one line; the boxes already shown are counted at the end.
std::vector<std::string> Reports;
uint64_t Total = 0, Done = 0;

void RecordBegin(uint64_t total) {
    Total = total;
    Done = 0;
    Reports.push_back("begin " + std::to_string(total) + " (changes so far: " +
                      std::to_string(mp::ChangesBelow("C:\\Game").size()) + ")");
}
void RecordFile(ProgressStage stage, const char* path) {
    Reports.push_back(std::string(StageNames[stage]) + " " + path + " at " + std::to_string(Done));
}
void RecordAdvance(uint64_t bytes) { Done += bytes; }
void RecordEnd() { Reports.push_back("end at " + std::to_string(Done) + " (boxes so far: " + std::to_string(mp::MessageBoxes().size()) + ")"); }
const ProgressSink Recorder = {RecordBegin, RecordFile, RecordAdvance, RecordEnd};

class ProgressReports : public ::testing::Test {
protected:
    void SetUp() override {
        ResetProgramState();
        Reports.clear();
        Total = Done = 0;
        SetProgressSink(&Recorder);
        PrepareMakerGame("Patch");
        strcpy(UpdateDescription.AddFiles[UpdateDescription.AddFileCount++], "Data\\new.dat");
        strcpy(UpdateDescription.DelFiles[UpdateDescription.DelFileCount++], "old.dat");
        mp::AddFile(GameFile("Tessoran.exe"), "old");
        mp::AddFile(GameFile("data\\a.dat"), "old a");
        mp::AddFile(GameFile("old.dat"), "obsolete");
        mp::AddFile(PatchFile("Tessoran.exe"), std::string(1000, 'e'));
        mp::AddFile(PatchFile("Data\\a.dat"), std::string(200, 'a'));
        mp::AddFile(PatchFile("Data\\new.dat"), std::string(30, 'n'));
    }
    void TearDown() override { SetProgressSink(nullptr); }
};

// The engine executable counts twice: it is copied before the verification and
// again with the tree.
TEST_F(ProgressReports, ACompletedRunReportsEveryStageAndEndsAtItsTotal) {
    EXPECT_EQ(0, RunUpdate());
    EXPECT_EQ((std::vector<std::string>{
                  "begin 2230 (changes so far: 0)",
                  "engine Tessoran.exe at 0",
                  "verify Data\\a.dat at 1000",
                  "verify Data\\new.dat at 1000",
                  "verify Tessoran.exe at 1000",
                  "copy Data\\a.dat at 1000",
                  "copy Data\\new.dat at 1200",
                  "copy Tessoran.exe at 1230",
                  "delete old.dat at 2230",
                  "end at 2230 (boxes so far: 0)",
              }),
              Reports);
    EXPECT_EQ(Total, Done);
    EXPECT_EQ(1u, mp::MessageBoxes().size());
}

// A run that stops ends its progress before its first box, and reports nothing
// after; one that stops before anything is written reports no beginning.
TEST_F(ProgressReports, AStoppedRunEndsBeforeItsFirstBox) {
    mp::AddFile(PatchFile("missing.dat"), "x");
    EXPECT_EQ(1, RunUpdate());
    ASSERT_EQ(2u, mp::MessageBoxes().size());
    ASSERT_EQ(7u, Reports.size());
    EXPECT_EQ("engine Tessoran.exe at 0", Reports[1]);
    // The warning and the closing box: each ends what is shown before it.
    EXPECT_EQ((std::vector<std::string>{"verify missing.dat at 1000", "end at 1000 (boxes so far: 0)",
                                        "end at 1000 (boxes so far: 1)"}),
              std::vector<std::string>(Reports.begin() + 4, Reports.end()));

    SetUp();
    mp::FailOperation(mp::Operation::CopyFile, PatchFile("Data\\new.dat"));
    EXPECT_EQ(1, RunUpdate());
    EXPECT_EQ("copy Data\\new.dat at 1200", Reports[Reports.size() - 2]);
    EXPECT_EQ("end at 1200 (boxes so far: 0)", Reports.back());

    SetUp();
    mp::SetRegistryString("Software\\Maker\\Game", "SAV_FOLDER", "C:\\Nowhere");
    EXPECT_EQ(1, RunUpdate());
    EXPECT_EQ((std::vector<std::string>{"end at 0 (boxes so far: 0)"}), Reports);
}

// What the window writes beneath the bar, from the first byte to the last.
TEST(ProgressTexts, TheAmountReadsInKilobytesOrTenthsOfAMegabyteAndNeverAhead) {
    struct Case {
        uint64_t done, total;
        const char* text;
        unsigned permille;
    };
    const Case cases[] = {
        {0, 0, "進行状況：0KB / 0KB（0%）", 0},
        {0, 500, "進行状況：0KB / 1KB（0%）", 0},
        {500, 500, "進行状況：1KB / 1KB（100%）", 1000},
        {1023, 1048575, "進行状況：0KB / 1024KB（0%）", 0},
        {1048575, 1048576 * 3 / 2, "進行状況：0.9MB / 1.5MB（66%）", 666},
        {219152384, 219152384, "進行状況：209.0MB / 209.0MB（100%）", 1000},
        {219152383, 219152384, "進行状況：208.9MB / 209.0MB（99%）", 999},
        {5000, 100, "進行状況：1KB / 1KB（100%）", 1000},  // more than the total reads as the total
        {UINT64_MAX / 2, UINT64_MAX, "", 499},
    };
    for (const Case& c : cases) {
        char text[128];
        ASSERT_EQ(0, FormatProgressAmount(text, sizeof text, c.done, c.total));
        if (c.text[0]) {
            EXPECT_EQ(std::string(c.text), text) << c.done << " of " << c.total;
        }
        EXPECT_EQ(c.permille, ProgressPermille(c.done, c.total)) << c.done << " of " << c.total;
    }
    char small[8];
    EXPECT_EQ(1, FormatProgressAmount(small, sizeof small, 1, 2));
}

}  // namespace
