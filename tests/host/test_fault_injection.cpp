// Fault injection: every file-system operation of a whole update run is made to
// fail in turn (each directory creation, each copy, each attribute change, each
// deletion), then every pair of them. After each run the message boxes and the
// game folder must be what the run's failure handling promises: a failed copy
// or directory creation is reported and ends the run with the earlier files
// copied and nothing deleted; a failed deletion or attribute change is not
// reported; nothing is ever reported as success after a reported failure.
#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "description/update_description.h"
#include "host_test_support.h"
#include "platform/memory/platform_memory.h"
#include "shell/program_folder.h"
#include "state/window_handles.h"
#include "update/update_run.h"

namespace mp = memory_platform;
using mp::Operation;

namespace {

const char* const KeyPath = "Software\\Maker\\Game";
const char* const GameRoot = "C:\\Game";
const char* const UpdateRoot = "C:\\Patch\\update";
const int PatchFileCount = 12;

char MainWindow, TopText, BodyText, StartButton, CancelButton, FinishButton;

const std::string CopyFailureBox = "アップデートエラー|ファイルのコピーに失敗しました。";
const std::string CompletionBox = "Patch|アップデートが完了しました。";

std::string Game(const std::string& relative) { return std::string(GameRoot) + "\\" + relative; }
std::string Patch(const std::string& relative) { return std::string(UpdateRoot) + "\\" + relative; }
std::string NewContent(const std::string& relative) { return "new " + relative; }
bool IsReadOnly(const std::string& path) { return (mp::Attributes(path) & FileAttributeReadOnly) != 0; }

std::vector<std::string> Boxes() {
    std::vector<std::string> shown;
    for (const auto& box : mp::MessageBoxes()) shown.push_back(box.title + "|" + box.text);
    return shown;
}

struct PatchFile {
    std::string relative;
    bool isNew;                // listed in [AddFile], no counterpart in the game folder
    bool destinationReadOnly;  // the counterpart carries the read-only mark
    bool sourceReadOnly;
};

// A patch of PatchFileCount files in three folders plus the engine executable,
// with new files, read-only sources and a read-only counterpart, and three
// [DelFile] entries (one plain, one read-only, one missing).
class FaultInjection : public ::testing::Test {
protected:
    void SetUp() override {
        const char* const folders[] = {"", "dirA", "dirB\\subC", "newD"};
        files_.push_back({"kovent9m.exe", false, false, false});
        for (int i = 0; i < PatchFileCount; ++i) {
            std::string folder = folders[i % 4];
            char name[16];
            snprintf(name, sizeof name, "f%02d.dat", i);
            std::string relative = folder.empty() ? name : folder + "\\" + name;
            files_.push_back({relative, folder == "newD", i == 1, i % 3 == 0});
        }
        deletions_ = {"old1.dat", "old2.dat", "missing.dat"};
        Prepare();
        // The order the walk takes, as the machine lists the tree: depth first,
        // names compared without regard to case (none of them is a prefix of
        // another, so the listing order is the walk order).
        int filesSeen = 0;
        directories_.push_back({"", 0});
        for (const auto& relative : mp::ListTree(UpdateRoot)) {
            if (relative.back() == '\\') directories_.push_back({relative.substr(0, relative.size() - 1), filesSeen});
            else walk_.push_back(Find(relative)), ++filesSeen;
        }
        ASSERT_EQ(walk_.size(), files_.size());
    }

    // A fresh program and machine, ready for the run.
    void Prepare() {
        ResetProgramState();
        ResetUpdateRunForTests();
        strcpy(ProgramFolder, "C:\\Patch");
        UpdateDescriptionRecord& d = UpdateDescription;
        strcpy(d.Caption, "Patch");
        strcpy(d.GameName, "Game");
        strcpy(d.Attention1, "Differs.");
        strcpy(d.RegistryKeyPath, KeyPath);
        WindowHandles = {&MainWindow, &TopText, &BodyText, &StartButton, &CancelButton, &FinishButton};
        mp::SetRegistryString(KeyPath, "SAV_FOLDER", GameRoot);
        for (const auto& file : files_) {
            mp::AddFile(Patch(file.relative), NewContent(file.relative), file.sourceReadOnly ? FileAttributeReadOnly : 0);
            if (file.isNew) strcpy(d.AddFiles[d.AddFileCount++], file.relative.c_str());
            else mp::AddFile(Game(file.relative), "old", file.destinationReadOnly ? FileAttributeReadOnly : 0);
        }
        for (const auto& entry : deletions_) strcpy(d.DelFiles[d.DelFileCount++], entry.c_str());
        mp::AddFile(Game("old1.dat"), "obsolete");
        mp::AddFile(Game("old2.dat"), "obsolete, read-only", FileAttributeReadOnly);
    }

    const PatchFile* Find(const std::string& relative) const {
        for (const auto& file : files_)
            if (file.relative == relative) return &file;
        return nullptr;
    }

    // The calls a clean run makes, in order, each with what its failure leaves.
    struct CopyCall { int filesCopied; bool engine; };
    std::vector<CopyCall> CopyCalls() const {
        std::vector<CopyCall> calls = {{0, true}};  // the engine executable comes first
        for (size_t i = 0; i < walk_.size(); ++i) calls.push_back({(int)i, false});
        return calls;
    }
    // Each directory of the walk creates its chain: C:\GAME, then one more prefix per level.
    std::vector<int> DirectoryCalls() const {
        std::vector<int> filesCopiedAtFailure;
        for (const auto& [relative, filesBefore] : directories_) {
            int prefixes = 1;
            for (char c : relative) prefixes += c == '\\';
            if (!relative.empty()) ++prefixes;
            for (int i = 0; i < prefixes; ++i) filesCopiedAtFailure.push_back(filesBefore);
        }
        return filesCopiedAtFailure;
    }
    // The read-only mark is cleared before each copy over an existing file and
    // after every copy: the attributes are read and written back without the mark.
    // An implementation may leave out a write that would change nothing (the mark
    // is not set); the clean run tells which of the two this one is.
    struct AttributeCall { int file; bool afterCopy; };
    std::vector<AttributeCall> AttributeCalls(bool onlyMarked) const {
        std::vector<AttributeCall> calls;
        for (size_t i = 0; i < walk_.size(); ++i) {
            const PatchFile& file = *walk_[i];
            if (!file.isNew && (!onlyMarked || file.destinationReadOnly)) calls.push_back({(int)i, false});
            // The copy carries the source's marks over.
            if (!onlyMarked || file.sourceReadOnly) calls.push_back({(int)i, true});
        }
        return calls;
    }
    std::vector<AttributeCall> AttributeCalls() {
        Prepare();
        RunUpdate();
        int made = mp::OperationCount(Operation::SetAttributes);
        if (made == (int)AttributeCalls(true).size()) return AttributeCalls(true);
        EXPECT_EQ(made, (int)AttributeCalls(false).size()) << "attribute writes of a clean run";
        return AttributeCalls(false);
    }

    // The first `copied` files of the walk hold the patch's content without a
    // read-only mark; the others are as they were, except that the counterpart of
    // a failed copy (clearedFile) has already lost its mark. The engine executable
    // is replaced before the walk. Nothing is deleted.
    void ExpectCopiedUpTo(int copied, bool engineReplaced, int clearedFile, const std::string& context) {
        SCOPED_TRACE(context);
        for (int i = 0; i < (int)walk_.size(); ++i) {
            const PatchFile& file = *walk_[i];
            std::string destination = Game(file.relative);
            bool copiedHere = i < copied || (file.relative == "kovent9m.exe" && engineReplaced);
            if (copiedHere) {
                EXPECT_EQ(mp::FileContent(destination), NewContent(file.relative)) << file.relative;
                EXPECT_FALSE(IsReadOnly(destination)) << file.relative;
            } else if (file.isNew) {
                EXPECT_FALSE(mp::IsFile(destination)) << file.relative;
            } else {
                EXPECT_EQ(mp::FileContent(destination), "old") << file.relative;
                EXPECT_EQ(IsReadOnly(destination), file.destinationReadOnly && i != clearedFile) << file.relative;
            }
        }
        EXPECT_TRUE(mp::IsFile(Game("old1.dat")));
        EXPECT_TRUE(mp::IsFile(Game("old2.dat")));
    }

    void ExpectCompleted(const std::string& context, int keptDeletion = -1, int readOnlyFile = -1) {
        SCOPED_TRACE(context);
        EXPECT_EQ(Boxes(), std::vector<std::string>({CompletionBox}));
        for (int i = 0; i < (int)walk_.size(); ++i) {
            std::string destination = Game(walk_[i]->relative);
            EXPECT_EQ(mp::FileContent(destination), NewContent(walk_[i]->relative)) << walk_[i]->relative;
            EXPECT_EQ(IsReadOnly(destination), i == readOnlyFile) << walk_[i]->relative;
        }
        EXPECT_EQ(mp::IsFile(Game("old1.dat")), keptDeletion == 0);
        EXPECT_TRUE(mp::IsFile(Game("old2.dat")));  // read-only: never deleted
    }

    std::vector<PatchFile> files_;
    std::vector<std::string> deletions_;
    std::vector<const PatchFile*> walk_;
    std::vector<std::pair<std::string, int>> directories_;  // visited in order, with the files walked before
};

TEST_F(FaultInjection, ACleanRunMakesTheCallsTheFailuresBelowAreCountedFrom) {
    EXPECT_FALSE(AttributeCalls().empty());
    Prepare();
    ASSERT_EQ(RunUpdate(), 0);
    ExpectCompleted("clean run");
    EXPECT_EQ(mp::OperationCount(Operation::CopyFile), (int)CopyCalls().size());
    EXPECT_EQ(mp::OperationCount(Operation::CreateDirectory), (int)DirectoryCalls().size());
    EXPECT_EQ(mp::OperationCount(Operation::DeleteFile), (int)deletions_.size());
}

// A copy fails while its new bytes are written, or at its last step, when they
// take the destination's place: either way that destination is as it was.
TEST_F(FaultInjection, EachFailedCopyIsReportedWithTheEarlierFilesCopiedAndNothingDeleted) {
    const auto calls = CopyCalls();
    for (Operation step : {Operation::CopyFile, Operation::ReplaceStep})
    for (size_t n = 1; n <= calls.size(); ++n) {
        Prepare();
        mp::FailNthOperation(step, (int)n);
        std::string context = (step == Operation::CopyFile ? "copy " : "replacement step of copy ") + std::to_string(n);
        EXPECT_EQ(RunUpdate(), 1) << context;
        EXPECT_EQ(Boxes(), std::vector<std::string>({CopyFailureBox})) << context;
        const CopyCall& call = calls[n - 1];
        ExpectCopiedUpTo(call.filesCopied, !call.engine, call.engine ? -1 : call.filesCopied, context);
    }
}

TEST_F(FaultInjection, EachFailedDirectoryCreationIsReportedWithTheEarlierFoldersCopied) {
    const auto calls = DirectoryCalls();
    for (size_t n = 1; n <= calls.size(); ++n) {
        Prepare();
        mp::FailNthOperation(Operation::CreateDirectory, (int)n, ErrorAccessDenied);
        std::string context = "directory creation " + std::to_string(n);
        EXPECT_EQ(RunUpdate(), 1) << context;
        EXPECT_EQ(Boxes(), std::vector<std::string>({CopyFailureBox})) << context;
        ExpectCopiedUpTo(calls[n - 1], true, -1, context);
        // newD is the last folder of the walk: no failure comes after its creation.
        EXPECT_FALSE(mp::IsDirectory(Game("newD"))) << context;
    }
}

TEST_F(FaultInjection, AFailedAttributeChangeIsNotReportedUnlessTheCopyThenFails) {
    const auto calls = AttributeCalls();
    for (size_t n = 1; n <= calls.size(); ++n) {
        Prepare();
        mp::FailNthOperation(Operation::SetAttributes, (int)n);
        std::string context = "attribute change " + std::to_string(n);
        const PatchFile& file = *walk_[calls[n - 1].file];
        int result = RunUpdate();
        if (!calls[n - 1].afterCopy && file.destinationReadOnly) {
            // The counterpart keeps its mark, so the copy over it fails.
            EXPECT_EQ(result, 1) << context;
            EXPECT_EQ(Boxes(), std::vector<std::string>({CopyFailureBox})) << context;
            ExpectCopiedUpTo(calls[n - 1].file, true, -1, context);
            EXPECT_TRUE(IsReadOnly(Game(file.relative))) << context;
        } else {
            // After the copy the file keeps the mark its source carries.
            EXPECT_EQ(result, 0) << context;
            bool keepsMark = calls[n - 1].afterCopy && file.sourceReadOnly;
            ExpectCompleted(context, -1, keepsMark ? calls[n - 1].file : -1);
        }
    }
}

TEST_F(FaultInjection, AFailedDeletionIsIgnoredAndTheOtherEntriesAreStillDeleted) {
    for (size_t n = 1; n <= deletions_.size(); ++n) {
        Prepare();
        mp::FailNthOperation(Operation::DeleteFile, (int)n);
        EXPECT_EQ(RunUpdate(), 0);
        ExpectCompleted("deletion " + std::to_string(n), (int)n - 1);
    }
}

// Two failures at once, of every pair of calls: the outcome is always one row of
// the failure table, and a failure that is reported is never followed by success.
TEST_F(FaultInjection, NoPairOfFailuresIsReportedAsSuccessOrCrashes) {
    struct Call { Operation op; int n; };
    std::vector<Call> all;
    for (size_t n = 1; n <= CopyCalls().size(); ++n) all.push_back({Operation::CopyFile, (int)n});
    for (size_t n = 1; n <= DirectoryCalls().size(); ++n) all.push_back({Operation::CreateDirectory, (int)n});
    for (size_t n = 1; n <= AttributeCalls().size(); ++n) all.push_back({Operation::SetAttributes, (int)n});
    for (size_t n = 1; n <= deletions_.size(); ++n) all.push_back({Operation::DeleteFile, (int)n});
    int runs = 0;
    for (size_t a = 0; a < all.size(); ++a) {
        for (size_t b = a + 1; b < all.size(); ++b) {
            Prepare();
            mp::FailNthOperation(all[a].op, all[a].n);
            mp::FailNthOperation(all[b].op, all[b].n);
            std::string context = "pair " + std::to_string(a) + "/" + std::to_string(b);
            int result = RunUpdate();
            ++runs;
            bool copyOrDirectoryFailed = false;
            for (const Call& call : {all[a], all[b]})
                copyOrDirectoryFailed = copyOrDirectoryFailed ||
                                        ((call.op == Operation::CopyFile || call.op == Operation::CreateDirectory) &&
                                         mp::OperationCount(call.op) >= call.n);
            auto boxes = Boxes();
            ASSERT_EQ(boxes.size(), 1u) << context;
            if (result == 0) {
                EXPECT_FALSE(copyOrDirectoryFailed) << context;
                EXPECT_EQ(boxes[0], CompletionBox) << context;
                for (const PatchFile* file : walk_)
                    EXPECT_EQ(mp::FileContent(Game(file->relative)), NewContent(file->relative)) << context;
            } else {
                EXPECT_EQ(result, 1) << context;
                EXPECT_EQ(boxes[0], CopyFailureBox) << context;
                EXPECT_TRUE(mp::IsFile(Game("old1.dat"))) << context;
            }
            // The window is hidden first and destroyed once, last.
            const auto& calls = mp::WindowCalls();
            ASSERT_FALSE(calls.empty());
            EXPECT_EQ(calls.front().operation, "show") << context;
            EXPECT_EQ(calls.back().operation, "destroy") << context;
        }
    }
    EXPECT_GT(all.size(), 30u);
    EXPECT_EQ(runs, (int)(all.size() * (all.size() - 1) / 2));
}

}  // namespace
