// What the update run reports to a progress sink: the total before anything is
// written, each stage and file in the run's order, bytes that add up to the
// total, and the end before every box.
#include <gtest/gtest.h>
#include <string.h>

#include <string>
#include <vector>

#include "codec/sha256.h"
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

const char* const StageNames[ProgressStageCount] = {"deltas", "engine", "verify", "copy", "replace", "delete", "hash"};

// Every report as one line; the boxes already shown are counted at the end.
std::vector<std::string> Reports;
uint64_t Total = 0, Done = 0;
ProgressStage Stage = ProgressDeltas;
// Each advance while a game file is hashed, as "+bytes".
std::string HashAdvances;

void RecordBegin(uint64_t total) {
    Total = total;
    Done = 0;
    Reports.push_back("begin " + std::to_string(total) + " (changes so far: " +
                      std::to_string(mp::ChangesBelow("C:\\Game").size()) + ")");
}
void RecordFile(ProgressStage stage, const char* path) {
    Stage = stage;
    Reports.push_back(std::string(StageNames[stage]) + " " + path + " at " + std::to_string(Done));
}
void RecordAdvance(uint64_t bytes) {
    Done += bytes;
    if (Stage == ProgressHash) HashAdvances += "+" + std::to_string(bytes);
}
void RecordEnd() { Reports.push_back("end at " + std::to_string(Done) + " (boxes so far: " + std::to_string(mp::MessageBoxes().size()) + ")"); }
const ProgressSink Recorder = {RecordBegin, RecordFile, RecordAdvance, RecordEnd};

class ProgressReports : public ::testing::Test {
protected:
    void SetUp() override {
        ResetProgramState();
        Reports.clear();
        Total = Done = 0;
        Stage = ProgressDeltas;
        HashAdvances.clear();
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

// A delta that makes bytes whatever its source: one window of one ADD.
std::string DeltaAdding(const std::string& bytes) {
    auto number = [](uint64_t value) {
        std::string digits(1, (char)(value & 0x7F));
        while (value >>= 7) digits.insert(digits.begin(), (char)(0x80 | (value & 0x7F)));
        return digits;
    };
    std::string instructions = "\x01" + number(bytes.size());
    std::string window = number(bytes.size()) + '\0' + number(bytes.size()) + number(instructions.size()) + number(0) +
                         bytes + instructions;
    return std::string("\xD6\xC3\xC4\0\0\0", 6) + number(window.size()) + window;
}

// Two game files patched by deltas: same.arc of the same size in both versions
// (200,000 bytes, hashed in four blocks of the run's 64 KB buffer), grow.arc
// from 300 to 400 bytes. The run of each version found in the game folder: the
// files whose size is the new size are hashed first, as a stage counted in the
// total, and every byte of the total is reported by the end.
TEST_F(ProgressReports, GameFilesOfTheNewSizeAreHashedAsTheFirstStageOfTheTotal) {
    const std::string sameOld(200000, 'o'), sameNew(200000, 'n'), growOld(300, 'g'), growNew(400, 'G');
    const uint64_t base = 2230;  // the engine executable twice and the tree, as above
    const std::string hashBlocks = "+65536+65536+65536+3392";
    struct Case {
        const char* what;
        std::string same, grow;
        bool damagedGrowDelta;
        uint64_t total;
        std::vector<std::string> first;  // the reports up to the engine's, or to the end of a run that stops
        std::string hashAdvances;
        size_t boxes;
        bool whole = false;  // the patch carries the new files whole (whole\)
    };
    const std::string begin = "begin ";
    const Case cases[] = {
        {"the old versions: same.arc hashed, then both decoded", sameOld, growOld, false, base + 200000 + 200000 + 400,
         {begin + std::to_string(base + 400400) + " (changes so far: 0)", "hash data\\same.arc at 0",
          "deltas data\\same.arc at 200000", "deltas data\\grow.arc at 400000", "engine Tessoran.exe at 400400"},
         hashBlocks, 1},
        // A second run: both hashed; same.arc's result, counted since its size
        // could not tell, is done with its hash; grow.arc's never counted.
        {"the new versions: both hashed, nothing decoded", sameNew, growNew, false, base + 200000 + 400 + 200000,
         {begin + std::to_string(base + 400400) + " (changes so far: 0)", "hash data\\same.arc at 0",
          "hash data\\grow.arc at 400000", "engine Tessoran.exe at 400400"},
         hashBlocks + "+200000+400", 1},
        {"same.arc of neither version: the hash stops the run", std::string(200000, 'x'), growOld, false,
         base + 400400, {begin + std::to_string(base + 400400) + " (changes so far: 0)", "hash data\\same.arc at 0",
                         "end at 200000 (boxes so far: 0)"},
         hashBlocks, 2},
        // A result that is wrong: the old file is hashed to tell a damaged delta
        // from a wrong version, a stage the total does not count.
        {"a damaged delta: the uncounted hash after the decode", sameOld, growOld, true, base + 400400,
         {begin + std::to_string(base + 400400) + " (changes so far: 0)", "hash data\\same.arc at 0",
          "deltas data\\same.arc at 200000", "deltas data\\grow.arc at 400000", "hash data\\grow.arc at 400301",
          "end at 400301 (boxes so far: 0)"},
         hashBlocks + "+0", 2},
        // With the new files whole beside the deltas, grow.arc's result is
        // counted too (the whole file might replace it): done with its hash.
        {"the new versions, the whole files carried", sameNew, growNew, false, base + 200000 + 400 + 200000 + 400,
         {begin + std::to_string(base + 400800) + " (changes so far: 0)", "hash data\\same.arc at 0",
          "hash data\\grow.arc at 400000", "engine Tessoran.exe at 400800"},
         hashBlocks + "+200000+400+400", 1, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SetUp();
        mp::AddFile(GameFile("data\\same.arc"), c.same);
        mp::AddFile(GameFile("data\\grow.arc"), c.grow);
        mp::AddFile("C:\\Patch\\deltas.txt",
                    "# game file\told size\told SHA-256\tnew size\tnew SHA-256\tdelta file\r\n"
                    "data\\same.arc\t200000\t" + Hex(sameOld) + "\t200000\t" + Hex(sameNew) + "\tdeltas\\1.vcdiff\r\n"
                    "data\\grow.arc\t300\t" + Hex(growOld) + "\t400\t" + Hex(growNew) + "\tdeltas\\2.vcdiff\r\n");
        mp::AddFile("C:\\Patch\\deltas\\1.vcdiff", DeltaAdding(sameNew));
        mp::AddFile("C:\\Patch\\deltas\\2.vcdiff", DeltaAdding(c.damagedGrowDelta ? growOld + "!" : growNew));
        if (c.whole) {
            mp::AddFile("C:\\Patch\\whole\\data\\same.arc", sameNew);
            mp::AddFile("C:\\Patch\\whole\\data\\grow.arc", growNew);
        }
        const bool completes = c.boxes == 1;
        EXPECT_EQ(completes ? 0 : 1, RunUpdate());
        EXPECT_EQ(c.total, Total);
        ASSERT_GE(Reports.size(), c.first.size());
        EXPECT_EQ(c.first, std::vector<std::string>(Reports.begin(), Reports.begin() + c.first.size()));
        EXPECT_EQ(c.hashAdvances, HashAdvances);
        EXPECT_EQ(c.boxes, mp::MessageBoxes().size());
        if (!completes) continue;
        EXPECT_EQ("end at " + std::to_string(c.total) + " (boxes so far: 0)", Reports.back());
        EXPECT_EQ(sameNew, mp::FileBytes(GameFile("data\\same.arc")));
        EXPECT_EQ(growNew, mp::FileBytes(GameFile("data\\grow.arc")));
    }
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
