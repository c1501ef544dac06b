// The update run of a patch with deltas on the in-memory machine: the deltas
// are real encoder output (xdelta3, run by the test on generated files). Every
// road that stops must leave the game folder byte for byte as it was and no
// temporary file behind.
#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <map>
#include <string>
#include <vector>

#include "description/update_description.h"
#include "host_test_support.h"
#include "platform/memory/platform_memory.h"
#include "state/command_line_choices.h"
#include "state/folders.h"
#include "state/progress.h"
#include "state/run_outcome.h"
#include "state/window_handles.h"
#include "update/delta_manifest.h"
#include "update/room_check.h"
#include "codec/sha256.h"
#include "update/update_run.h"

namespace mp = memory_platform;
using mp::Operation;

namespace {

std::string Flipped(std::string bytes, size_t at) {
    bytes[at] = (char)(bytes[at] ^ 0x40);
    return bytes;
}

// Deterministic bytes: a simple generator, so that failures repeat.
std::string Generated(size_t size, unsigned seed) {
    std::string bytes(size, '\0');
    uint32_t state = seed * 2654435761u + 1;
    for (char& byte : bytes) {
        state = state * 1664525u + 1013904223u;
        byte = (char)(state >> 24);
    }
    return bytes;
}

// The delta from old to new as the patch maker's encoder writes it; extra
// encoder options before the files.
std::string Encode(const std::string& oldBytes, const std::string& newBytes, const std::string& options = "") {
    char folder[] = "/tmp/delta-test-XXXXXX";
    if (!mkdtemp(folder)) return "";
    std::string base = folder;
    auto write = [](const std::string& path, const std::string& bytes) {
        FILE* file = fopen(path.c_str(), "wb");
        fwrite(bytes.data(), 1, bytes.size(), file);
        fclose(file);
    };
    write(base + "/old", oldBytes);
    write(base + "/new", newBytes);
    std::string command = "xdelta3 -e -9 -S none -A= " + options + " -f -s " + base + "/old " + base + "/new " + base + "/delta";
    std::string delta;
    if (system(command.c_str()) == 0) {
        FILE* file = fopen((base + "/delta").c_str(), "rb");
        char buffer[65536];
        while (size_t count = fread(buffer, 1, sizeof buffer, file)) delta.append(buffer, count);
        fclose(file);
    }
    system(("rm -rf " + base).c_str());
    return delta;
}

struct Version {
    std::string oldBytes, newBytes, delta;
};

// Two archives: one with an edit in the middle and bytes inserted, one that
// shrinks (a block moved, the tail cut). Made once for all tests.
const std::vector<Version>& Versions() {
    static std::vector<Version> versions;
    if (!versions.empty()) return versions;
    std::string a = Generated(300000, 1);
    std::string aNew = a.substr(0, 100000) + "edited scenario line" + a.substr(100020, 150000) + Generated(5000, 2) +
                       a.substr(250020);
    std::string b = Generated(120000, 3);
    std::string bNew = b.substr(60000, 40000) + b.substr(0, 60000);
    versions.push_back(Version{a, aNew, Encode(a, aNew)});
    versions.push_back(Version{b, bNew, Encode(b, bNew)});
    return versions;
}

const char* const GameFiles[] = {"data\\a.arc", "data\\b.arc"};
const char* const DeltaFiles[] = {"deltas\\0001.vcdiff", "deltas\\0002.vcdiff"};

std::string ManifestLine(int index) {
    const Version& version = Versions()[index];
    return std::string(GameFiles[index]) + "\t" + std::to_string(version.oldBytes.size()) + "\t" +
           Hex(version.oldBytes) + "\t" + std::to_string(version.newBytes.size()) + "\t" + Hex(version.newBytes) +
           "\t" + DeltaFiles[index] + "\r\n";
}

std::string Manifest() {
    return "# game file\told size\told SHA-256\tnew size\tnew SHA-256\tdelta file\r\n" + ManifestLine(0) +
           ManifestLine(1);
}

// Every object below the game folder with its bytes and marks.
std::map<std::string, std::string> Snapshot() {
    std::map<std::string, std::string> objects;
    for (const auto& relative : mp::ListTree("C:\\Game")) {
        std::string path = "C:\\Game\\" + relative;
        objects[relative] = (mp::IsFile(path) ? Hex(mp::FileBytes(path)) : "") + "/" +
                            std::to_string(mp::Attributes(path));
    }
    return objects;
}

// Names of the program's temporary files anywhere on the machine.
std::vector<std::string> Temporaries() {
    std::vector<std::string> found;
    for (const char* root : {"C:\\Game", "C:\\Patch"})
        for (const auto& relative : mp::ListTree(root))
            if (relative.find("~upd") != std::string::npos) found.push_back(relative);
    return found;
}

std::vector<std::string> Boxes() {
    std::vector<std::string> shown;
    for (const auto& box : mp::MessageBoxes()) shown.push_back(box.title + "|" + box.text);
    return shown;
}

class DeltaRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (Versions()[0].delta.empty() || Versions()[1].delta.empty()) GTEST_SKIP() << "xdelta3 is not installed";
        ResetProgramState();
        ResetUpdateRunForTests();
        PrepareMakerGame("Patch 1.1");
        strcpy(UpdateDescription.GameName, "Game");
        strcpy(UpdateDescription.Attention1, "Versions differ.");
        mp::AddFile("C:\\Game\\Tessoran.exe", "old engine");
        mp::AddFile("C:\\Game\\data\\a.arc", Versions()[0].oldBytes, FileAttributeReadOnly);
        mp::AddFile("C:\\Game\\data\\b.arc", Versions()[1].oldBytes);
        mp::AddFile("C:\\Game\\data\\other.dat", "old other");
        mp::AddFile("C:\\Patch\\update\\Tessoran.exe", "new engine");
        mp::AddFile("C:\\Patch\\update\\data\\other.dat", "new other");
        mp::AddFile("C:\\Patch\\deltas.txt", Manifest());
        mp::AddFile("C:\\Patch\\deltas\\0001.vcdiff", Versions()[0].delta);
        mp::AddFile("C:\\Patch\\deltas\\0002.vcdiff", Versions()[1].delta);
    }
    void RunAgain() {
        ResetUpdateRunForTests();
        RunUpdate();
    }
};

const std::string Closing = "Patch 1.1|アップデートを終了します。";
const std::string Completion = "Patch 1.1|アップデートが完了しました。";
const std::string CopyFailure = "アップデートエラー|ファイルのコピーに失敗しました。";

TEST_F(DeltaRunTest, TheRoadMakesTheNewFilesAndASecondRunChangesNothing) {
    EXPECT_EQ(0, RunUpdate());
    EXPECT_EQ(std::vector<std::string>({Completion}), Boxes());
    EXPECT_EQ(OutcomeCompleted, LastRunOutcome);
    EXPECT_EQ(Versions()[0].newBytes, mp::FileBytes("C:\\Game\\data\\a.arc"));
    EXPECT_EQ(Versions()[1].newBytes, mp::FileBytes("C:\\Game\\data\\b.arc"));
    EXPECT_EQ(0u, mp::Attributes("C:\\Game\\data\\a.arc") & FileAttributeReadOnly);  // cleared as the copy clears it
    EXPECT_EQ("new engine", mp::FileContent("C:\\Game\\Tessoran.exe"));
    EXPECT_EQ("new other", mp::FileContent("C:\\Game\\data\\other.dat"));
    EXPECT_TRUE(Temporaries().empty());
    EXPECT_EQ(0, mp::OpenFileCount());
    // The results were counted by the room check: both lie beside their files at once.
    // Beside them: the tree adds nothing (same sizes), and the largest copy is the engine's 10 bytes.
    EXPECT_EQ(Versions()[0].newBytes.size() + Versions()[1].newBytes.size() + 10, LastRoomCheck.bytesNeeded);
    // The same patch again: both files are already new and are neither decoded nor replaced.
    auto after = Snapshot();
    int temporariesMade = mp::OperationCount(Operation::CreateTemporary);
    size_t boxes = mp::MessageBoxes().size();
    RunAgain();
    EXPECT_EQ(OutcomeCompleted, LastRunOutcome);
    EXPECT_EQ(Completion, Boxes()[boxes]);
    EXPECT_EQ(temporariesMade, mp::OperationCount(Operation::CreateTemporary));
    EXPECT_EQ(after, Snapshot());
}

// One patch for two old versions of a.arc of the same size, which only their
// SHA-256 tells apart: each becomes the new version, and the log names the
// version found; a third version of that size changes nothing, and the log
// notes what was found and the versions the patch knows.
TEST_F(DeltaRunTest, OnePatchTurnsEitherOldVersionIntoTheNewOneAndRefusesAThird) {
    const Version& a = Versions()[0];
    const std::string other = Flipped(a.oldBytes, 7000);  // 1.01: the same size, other bytes
    const std::string line = std::string(GameFiles[0]) + "\t" + std::to_string(other.size()) + "\t" + Hex(other) +
                             "\t" + std::to_string(a.newBytes.size()) + "\t" + Hex(a.newBytes) + "\tdeltas\\0003.vcdiff\t1.01\r\n";
    std::string manifest = Manifest();
    manifest.insert(manifest.find(".vcdiff\r\n") + 7, "\t1.00");  // the first line names its version
    struct Road {
        std::string game;
        int status;
        std::string logged;  // as the log writes it, backslashes doubled
    } roads[] = {
        {a.oldBytes, 0, "data\\\\a.arc: 1.00 の版です。"},
        {other, 0, "data\\\\a.arc: 1.01 の版です。"},
        {Flipped(a.oldBytes, 9000), 1,
         "data\\\\a.arc: このパッチの知らない版です (300000 バイト, SHA-256 " + Hex(Flipped(a.oldBytes, 9000)) +
             ")。知っている版: 1.00, 1.01"},
    };
    for (const Road& road : roads) {
        SetUp();
        mp::AddFile("C:\\Patch\\deltas.txt", manifest + line);
        mp::AddFile("C:\\Patch\\deltas\\0003.vcdiff", Encode(other, a.newBytes));
        mp::AddFile("C:\\Game\\data\\a.arc", road.game);
        strcpy(CommandLineChoices.LogFile, "C:\\log.txt");
        auto before = Snapshot();
        EXPECT_EQ(road.status, RunUpdate()) << road.logged;
        EXPECT_NE(std::string::npos, mp::FileContent("C:\\log.txt").find(road.logged)) << mp::FileContent("C:\\log.txt");
        if (road.status == 0) {
            EXPECT_EQ(Hex(a.newBytes), Hex(mp::FileBytes("C:\\Game\\data\\a.arc")));
            EXPECT_EQ(Hex(Versions()[1].newBytes), Hex(mp::FileBytes("C:\\Game\\data\\b.arc")));
        } else {
            EXPECT_EQ(OutcomeWrongVersion, LastRunOutcome);
            EXPECT_EQ("Patch 1.1 注意|data\\a.arcのバージョンが違うため、アップデートできません。", Boxes()[0]);
            EXPECT_EQ(before, Snapshot());
        }
        EXPECT_TRUE(Temporaries().empty());
    }
}

// With the whole new file beside the deltas (update-make --also-whole), a
// version no delta starts from becomes the new one all the same, before
// anything else changes; a whole file that is not the new version stops the
// run as damaged, and nothing changes.
TEST_F(DeltaRunTest, AVersionNoDeltaStartsFromTakesTheWholeNewFileTheLogSaysSo) {
    const Version& a = Versions()[0];
    const std::string damaged = "Patch 1.1 注意|whole\\data\\a.arcが壊れているため、アップデートできません。";
    struct Road {
        std::string game, whole;
        int status;
        std::string box;  // the first box
    } roads[] = {
        {Flipped(a.oldBytes, 9000), a.newBytes, 0, Completion},  // the old size: told by its decoding
        {a.oldBytes + "x", a.newBytes, 0, Completion},          // another size: told at once
        {Flipped(a.oldBytes, 9000), Flipped(a.newBytes, 10), 1, damaged},
        {a.oldBytes + "x", a.newBytes + "x", 1, damaged},
    };
    for (const Road& road : roads) {
        SetUp();
        mp::AddFile("C:\\Patch\\whole\\data\\a.arc", road.whole);
        mp::AddFile("C:\\Game\\data\\a.arc", road.game);
        strcpy(CommandLineChoices.LogFile, "C:\\log.txt");
        auto before = Snapshot();
        EXPECT_EQ(road.status, RunUpdate());
        EXPECT_EQ(road.box, Boxes()[0]);
        EXPECT_NE(std::string::npos, mp::FileContent("C:\\log.txt").find("data\\\\a.arc: パッチの whole\\\\data\\\\a.arc に置き換えます。"))
            << mp::FileContent("C:\\log.txt");
        if (road.status == 0) {
            EXPECT_EQ(Hex(a.newBytes), Hex(mp::FileBytes("C:\\Game\\data\\a.arc")));
            EXPECT_EQ(Hex(Versions()[1].newBytes), Hex(mp::FileBytes("C:\\Game\\data\\b.arc")));
        } else {
            EXPECT_EQ(before, Snapshot());
        }
        EXPECT_TRUE(Temporaries().empty());
        EXPECT_EQ(0, mp::OpenFileCount());
    }
}

// What the run reports: each delta's file as it is made (with the bytes it
// writes) and again as it takes its place after the copy.
std::vector<std::string> ProgressRecord;
uint64_t ProgressBytes = 0;

TEST_F(DeltaRunTest, ReportsEachFileAsItIsMadeAndAsItTakesItsPlace) {
    ProgressRecord.clear();
    ProgressBytes = 0;
    static const ProgressSink sink = {
        nullptr,
        [](ProgressStage stage, const char* path) {
            if (stage == ProgressDeltas || stage == ProgressReplace)
                ProgressRecord.push_back((stage == ProgressDeltas ? "make " : "place ") + std::string(path));
        },
        [](uint64_t bytes) { ProgressBytes += bytes; }, nullptr};
    SetProgressSink(&sink);
    EXPECT_EQ(0, RunUpdate());
    SetProgressSink(nullptr);
    EXPECT_EQ(std::vector<std::string>({"make data\\a.arc", "make data\\b.arc", "place data\\a.arc",
                                        "place data\\b.arc"}),
              ProgressRecord);
    EXPECT_GE(ProgressBytes, Versions()[0].newBytes.size() + Versions()[1].newBytes.size());
}

// Each call the deltas make through the boundary fails in turn: the run either
// completes with the new files or stops; before the copy nothing has changed,
// and never is a temporary file left or a file left open.
TEST_F(DeltaRunTest, EveryInjectedFailureLeavesNoTemporaryAndChangesNothingBeforeTheCopy) {
    const Operation operations[] = {Operation::OpenFile, Operation::ReadFile, Operation::CreateTemporary,
                                    Operation::WriteTemporary, Operation::ReplaceStep};
    EXPECT_EQ(0, RunUpdate());
    std::map<Operation, int> calls;
    for (Operation op : operations) calls[op] = mp::OperationCount(op);
    int runs = 0;
    for (Operation op : operations) {
        for (int n = 1; n <= calls[op]; ++n) {
            SCOPED_TRACE("operation " + std::to_string((int)op) + ", call " + std::to_string(n));
            SetUp();
            auto before = Snapshot();
            mp::FailNthOperation(op, n);
            int result = RunUpdate();
            ++runs;
            EXPECT_TRUE(Temporaries().empty());
            EXPECT_EQ(0, mp::OpenFileCount());
            if (result == 0) {
                EXPECT_EQ(Hex(Versions()[1].newBytes), Hex(mp::FileBytes("C:\\Game\\data\\b.arc")));
            } else if (op != Operation::ReplaceStep) {
                EXPECT_EQ(before, Snapshot());
            }
        }
    }
    EXPECT_GT(runs, 10);
}

// Each way the deltas can stop the run before anything changes: the boxes, the
// exit status, the game folder as it was, no temporary file and no file left open.
struct StopCase {
    const char* what;
    void (*arrange)();
    std::vector<std::string> boxes;
    RunOutcome outcome;
};

class DeltaStopTest : public DeltaRunTest, public ::testing::WithParamInterface<StopCase> {};

TEST_P(DeltaStopTest, ChangesNothingAndLeavesNoTemporary) {
    GetParam().arrange();
    auto before = Snapshot();
    EXPECT_EQ(1, RunUpdate());
    EXPECT_EQ(GetParam().boxes, Boxes());
    EXPECT_EQ(GetParam().outcome, LastRunOutcome);
    EXPECT_EQ(before, Snapshot());
    EXPECT_TRUE(Temporaries().empty());
    EXPECT_EQ(0, mp::OpenFileCount());
}

const std::string WrongB = "Patch 1.1 注意|data\\b.arcのバージョンが違うため、アップデートできません。";
const std::string DamagedSecond = "Patch 1.1 注意|deltas\\0002.vcdiffが壊れているため、アップデートできません。";
const std::string DamagedList = "Patch 1.1 注意|deltas.txtが壊れているため、アップデートできません。";

INSTANTIATE_TEST_SUITE_P(
    Stops, DeltaStopTest,
    ::testing::Values(
        StopCase{"a delta damaged in its last window",
                 [] { mp::AddFile("C:\\Patch\\deltas\\0002.vcdiff", Flipped(Versions()[1].delta, Versions()[1].delta.size() - 3)); },
                 {DamagedSecond, Closing}, OutcomeDamagedDelta},
        StopCase{"a delta cut short",
                 [] { mp::AddFile("C:\\Patch\\deltas\\0002.vcdiff", Versions()[1].delta.substr(0, Versions()[1].delta.size() / 2)); },
                 {DamagedSecond, Closing}, OutcomeDamagedDelta},
        StopCase{"a delta missing",
                 [] { PlatformDeleteFile("C:\\Patch\\deltas\\0002.vcdiff"); },
                 {DamagedSecond, Closing}, OutcomeDamagedDelta},
        StopCase{"another game version of the same size",
                 [] { mp::AddFile("C:\\Game\\data\\b.arc", Flipped(Versions()[1].oldBytes, 5000)); },
                 {WrongB, Closing}, OutcomeWrongVersion},
        // Without the encoder's checksum of each window (-n), a delta decoded
        // from the wrong bytes makes a result of the new size: only its SHA-256
        // is not the new version's.
        StopCase{"another game version of the same size and a delta without window checksums",
                 [] {
                     const std::string delta = Encode(Versions()[1].oldBytes, Versions()[1].newBytes, "-n");
                     ASSERT_GT(delta.size(), 5u);
                     ASSERT_EQ(0, delta[4]) << "an application header";
                     ASSERT_EQ(0, delta[5] & 0x04) << "the encoder kept its window checksum";
                     mp::AddFile("C:\\Patch\\deltas\\0002.vcdiff", delta);
                     mp::AddFile("C:\\Game\\data\\b.arc", Flipped(Versions()[1].oldBytes, 5000));
                 },
                 {WrongB, Closing}, OutcomeWrongVersion},
        StopCase{"another game version of another size",
                 [] { mp::AddFile("C:\\Game\\data\\b.arc", Versions()[1].oldBytes + "x"); },
                 {WrongB, Closing}, OutcomeWrongVersion},
        StopCase{"a file of the new size that is not the new version",
                 [] { mp::AddFile("C:\\Game\\data\\b.arc", Flipped(Versions()[1].newBytes, 7)); },
                 {WrongB, Closing}, OutcomeWrongVersion},
        StopCase{"a game file missing",
                 [] { PlatformDeleteFile("C:\\Game\\data\\b.arc"); },
                 {"Patch 1.1 注意|data\\b.arcが見つからないため、アップデートできません。", Closing}, OutcomeWrongVersion},
        StopCase{"a list line with five fields",
                 [] { mp::AddFile("C:\\Patch\\deltas.txt", Manifest() + "data\\c.arc\t1\t2\t3\t4\r\n"); },
                 {DamagedList, Closing}, OutcomeDamagedDelta},
        StopCase{"a list naming a file out of the game folder",
                 [] {
                     std::string line = ManifestLine(1);
                     mp::AddFile("C:\\Patch\\deltas.txt", "data\\..\\..\\b.arc" + line.substr(line.find('\t')));
                 },
                 {DamagedList, Closing}, OutcomeDamagedDelta},
        StopCase{"a list naming one file twice",
                 [] { mp::AddFile("C:\\Patch\\deltas.txt", Manifest() + ManifestLine(1)); },
                 {DamagedList, Closing}, OutcomeDamagedDelta},
        StopCase{"a hidden game file, whose replacement would be refused",
                 [] { mp::AddFile("C:\\Game\\data\\b.arc", Versions()[1].oldBytes, FileAttributeHidden); },
                 {CopyFailure}, OutcomeCopyFailed},
        StopCase{"the disk filling while a result is written",
                 [] { mp::FailNthOperation(Operation::WriteTemporary, 2, ErrorDiskFull); },
                 {CopyFailure}, OutcomeCopyFailed},
        StopCase{"a temporary that cannot be made",
                 [] { mp::FailOperation(Operation::CreateTemporary, "C:\\Game\\data\\b.arc"); },
                 {CopyFailure}, OutcomeCopyFailed},
        StopCase{"the game file unreadable part-way",
                 [] { mp::FailOperation(Operation::ReadFile, "C:\\Game\\data\\a.arc"); },
                 {"Patch 1.1 注意|data\\a.arcが見つからないため、アップデートできません。", Closing}, OutcomeWrongVersion}),
    [](const ::testing::TestParamInfo<StopCase>& info) {
        std::string name;
        for (const char* p = info.param.what; *p; ++p) name += isalnum((unsigned char)*p) ? *p : '_';
        return name;
    });

// A stop after the results were made: the temporaries go, and what the run
// had changed before stays as the run without deltas leaves it.
TEST_F(DeltaRunTest, AFailedVerificationDiscardsTheResults) {
    mp::AddFile("C:\\Patch\\update\\data\\new.dat", "not in the game");
    EXPECT_EQ(1, RunUpdate());
    EXPECT_EQ(OutcomeFileMissing, LastRunOutcome);
    EXPECT_EQ(Versions()[0].oldBytes, mp::FileBytes("C:\\Game\\data\\a.arc"));
    EXPECT_EQ("new engine", mp::FileContent("C:\\Game\\Tessoran.exe"));
    EXPECT_EQ(2, mp::OperationCount(Operation::DiscardTemporary));
    EXPECT_TRUE(Temporaries().empty());
}

TEST_F(DeltaRunTest, AReplacementRefusedAfterTheCopyIsACopyFailureWithNoTemporaryLeft) {
    mp::FailOperation(Operation::ReplaceStep, "C:\\Game\\data\\b.arc");
    EXPECT_EQ(1, RunUpdate());
    EXPECT_EQ(std::vector<std::string>({CopyFailure}), Boxes());
    EXPECT_EQ(OutcomeCopyFailed, LastRunOutcome);
    // The first result took its place, as files copied before a failed copy stay copied.
    EXPECT_EQ(Versions()[0].newBytes, mp::FileBytes("C:\\Game\\data\\a.arc"));
    EXPECT_EQ(Versions()[1].oldBytes, mp::FileBytes("C:\\Game\\data\\b.arc"));
    EXPECT_TRUE(Temporaries().empty());
    // Run again once the cause is gone: a.arc is new already, b.arc is made.
    ResetUpdateRunForTests();
    mp::Reset();
    SetUp();
    mp::AddFile("C:\\Game\\data\\a.arc", Versions()[0].newBytes);
    EXPECT_EQ(0, RunUpdate());
    EXPECT_EQ(Versions()[1].newBytes, mp::FileBytes("C:\\Game\\data\\b.arc"));
    EXPECT_EQ(1, mp::OperationCount(Operation::CreateTemporary));
}

TEST_F(DeltaRunTest, TheRoomCheckRefusesWhenTheResultsDoNotFit) {
    uint64_t results = Versions()[0].newBytes.size() + Versions()[1].newBytes.size();
    mp::SetFreeSpace(results + 9);  // one byte short of the results and the engine's copy
    auto before = Snapshot();
    EXPECT_EQ(1, RunUpdate());
    EXPECT_EQ(OutcomeNoRoom, LastRunOutcome);
    EXPECT_EQ(before, Snapshot());
    EXPECT_EQ(0, mp::OperationCount(Operation::CreateTemporary));
}

// A result larger than the machine keeps (and than one of the encoder's
// windows): decoded window by window, checked as it is written, and kept by
// its size alone, which is all update-check needs of it.
TEST_F(DeltaRunTest, AResultAboveWhatTheMachineKeepsIsCheckedWhileWritten) {
    std::string big = Generated(17u << 20, 11);
    std::string bigNew = big.substr(0, 12u << 20) + "a changed line" + big.substr((12u << 20) + 14);
    std::string delta = Encode(big, bigNew);
    ASSERT_FALSE(delta.empty());
    mp::AddFile("C:\\Game\\data\\big.arc", big);
    mp::AddFile("C:\\Patch\\deltas\\big.vcdiff", delta);
    mp::AddFile("C:\\Patch\\deltas.txt", Manifest() + "data\\big.arc\t" + std::to_string(big.size()) + "\t" +
                                              Hex(big) + "\t" + std::to_string(bigNew.size()) + "\t" + Hex(bigNew) +
                                              "\tdeltas\\big.vcdiff\r\n");
    EXPECT_EQ(0, RunUpdate());
    EXPECT_EQ(bigNew.size(), mp::FileSize("C:\\Game\\data\\big.arc"));
    EXPECT_EQ("?unreadable", mp::FileBytes("C:\\Game\\data\\big.arc"));
    EXPECT_TRUE(Temporaries().empty());
    // The same delta on a game file one byte off in its middle: the check catches it.
    ResetUpdateRunForTests();
    mp::Reset();
    SetUp();
    mp::AddFile("C:\\Game\\data\\big.arc", Flipped(big, 15u << 20));
    mp::AddFile("C:\\Patch\\deltas\\big.vcdiff", delta);
    mp::AddFile("C:\\Patch\\deltas.txt", Manifest() + "data\\big.arc\t" + std::to_string(big.size()) + "\t" +
                                              Hex(big) + "\t" + std::to_string(bigNew.size()) + "\t" + Hex(bigNew) +
                                              "\tdeltas\\big.vcdiff\r\n");
    EXPECT_EQ(1, RunUpdate());
    EXPECT_EQ(OutcomeWrongVersion, LastRunOutcome);
    EXPECT_TRUE(Temporaries().empty());
}

// A patch without the list behaves as it always has, and reads no game file.
TEST_F(DeltaRunTest, WithoutTheListNoGameFileIsRead) {
    PlatformDeleteFile("C:\\Patch\\deltas.txt");
    EXPECT_EQ(0, RunUpdate());
    EXPECT_EQ(std::vector<std::string>({Completion}), Boxes());
    EXPECT_EQ(0, mp::OperationCount(Operation::OpenFile));
    EXPECT_EQ(Versions()[1].oldBytes, mp::FileBytes("C:\\Game\\data\\b.arc"));
}

// ---- The list's reader ----

TEST(DeltaListTest, AcceptsCommentsLineEndsAndItsLimitsAndRefusesTheRest) {
    const std::string hash(64, 'a');
    auto line = [&](const std::string& game, const std::string& delta) {
        return game + "\t1\t" + hash + "\t2\t" + hash + "\t" + delta;
    };
    std::string full;
    for (int i = 0; i < DeltaCapacity; ++i) full += line("f" + std::to_string(i), "d") + "\n";
    struct Case {
        std::string text;
        DeltaListState state;
        int count;
    } cases[] = {
        {"# only a comment\r\n\r\n", DeltaListRead, 0},
        // 表 ends in the byte of a backslash, which separates nothing.
        {line("a", "d") + "\r\n" + line("b\\表", "deltas\\表") + "\n", DeltaListRead, 2},
        {line("a", "d"), DeltaListRead, 1},  // no line end at the end
        {full, DeltaListRead, DeltaCapacity},
        {full + line("one-more", "d") + "\n", DeltaListDamaged, 0},
        {line(std::string(511, 'x'), "d"), DeltaListRead, 1},
        {line(std::string(512, 'x'), "d"), DeltaListDamaged, 0},
        {line("a", "d") + "\t1.00, 1.01", DeltaListRead, 1},  // the old version's names
        {line("a", "d") + "\t" + std::string(127, 'v'), DeltaListRead, 1},
        {line("a", "d") + "\t" + std::string(128, 'v'), DeltaListDamaged, 0},
        {line("a", "d") + "\t", DeltaListDamaged, 0},
        {line("a", "d") + "\t1.00\textra", DeltaListDamaged, 0},
        // One game file from two old versions to one new one; not two new ones.
        {line("a", "d") + "\n" + "a\t3\t" + std::string(64, 'b') + "\t2\t" + hash + "\te", DeltaListRead, 2},
        {line("a", "d") + "\n" + "a\t3\t" + std::string(64, 'b') + "\t2\t" + std::string(64, 'c') + "\te",
         DeltaListDamaged, 0},
        {"a\t1\t" + hash + "\t2\t" + hash.substr(1) + "\td", DeltaListDamaged, 0},
        {"a\t-1\t" + hash + "\t2\t" + hash + "\td", DeltaListDamaged, 0},
        {"a\t99999999999999999999\t" + hash + "\t2\t" + hash + "\td", DeltaListDamaged, 0},
        {line("A", "d") + "\n" + line("a", "e"), DeltaListDamaged, 0},
        {line("\\abs", "d"), DeltaListDamaged, 0},
        {line("C:x", "d"), DeltaListDamaged, 0},
        {line("a\\.. \\b", "d"), DeltaListDamaged, 0},
        {line("a\\\\b", "d"), DeltaListDamaged, 0},
        {line("a", "..\\d"), DeltaListDamaged, 0},
        {line("a", "d/./e"), DeltaListDamaged, 0},
        {line("a", "d") + std::string(1, '\0'), DeltaListDamaged, 0},
        {std::string(DeltaLineSize, '#'), DeltaListDamaged, 0},
    };
    for (const Case& c : cases) {
        ResetProgramState();
        mp::AddFile("C:\\Patch\\deltas.txt", c.text);
        EXPECT_EQ(c.state, ReadDeltaList("C:\\Patch\\deltas.txt")) << c.text.substr(0, 80);
        EXPECT_EQ(c.count, DeltaCount) << c.text.substr(0, 80);
    }
    ResetProgramState();
    EXPECT_EQ(DeltaListAbsent, ReadDeltaList("C:\\Patch\\deltas.txt"));
    mp::AddDirectory("C:\\Patch\\deltas.txt");
    EXPECT_EQ(DeltaListDamaged, ReadDeltaList("C:\\Patch\\deltas.txt"));
}

}  // namespace
