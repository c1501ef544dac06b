// The update tree walker, the directory chain and the file probe against the
// in-memory platform.
#include <gtest/gtest.h>
#include <string.h>

#include <string>

#include "description/update_description.h"
#include "host_test_support.h"
#include "platform/memory/platform_memory.h"
#include "state/scratch_buffers.h"
#include "update/update_run.h"
#include "update/update_tree.h"

namespace mp = memory_platform;
using mp::Operation;

namespace {

const char* const Source = "C:\\Patch\\update";

class UpdateTreeTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetProgramState();
        ResetUpdateRunForTests();
        UseGameFolder("C:\\Game");
    }
    void UseGameFolder(const std::string& path) {
        ASSERT_LT(path.size(), sizeof GameFolder);
        strcpy(GameFolder, path.c_str());
        mp::AddDirectory(path);
    }
    void ListAsNew(const char* relativePath) {
        strcpy(UpdateDescription.AddFiles[UpdateDescription.AddFileCount++], relativePath);
    }
    static std::string Patch(const std::string& relative) { return std::string(Source) + "\\" + relative; }
    static std::string Game(const std::string& relative) { return std::string(GameFolder) + "\\" + relative; }
};

// ---- Verify ----

TEST_F(UpdateTreeTest, VerifyPassesWhenEveryFileHasACounterpartWhateverItsCase) {
    mp::AddFile(Patch("Game.exe"), "new");
    mp::AddFile(Patch("Data\\Map\\A.DAT"), "new");
    mp::AddFile(Game("game.exe"), "old");
    mp::AddFile(Game("data\\map\\a.dat"), "old");
    memset(MessageBuffer, 'm', sizeof MessageBuffer);
    memset(TargetBuffer, 't', sizeof TargetBuffer);

    EXPECT_EQ(0, WalkUpdateTree(Source, "", Verify));
    // Verify changes nothing and composes nothing in the shared buffers.
    EXPECT_EQ("old", mp::FileContent(Game("game.exe")));
    EXPECT_EQ(0, mp::OperationCount(Operation::CopyFile));
    EXPECT_EQ(0, mp::OperationCount(Operation::CreateDirectory));
    EXPECT_EQ('m', MessageBuffer[0]);
    EXPECT_EQ('t', TargetBuffer[0]);
}

TEST_F(UpdateTreeTest, VerifyFailsOnAMissingCounterpartOrADirectoryInItsPlace) {
    mp::AddFile(Patch("Data\\a.dat"), "new");
    EXPECT_EQ(1, WalkUpdateTree(Source, "", Verify));

    mp::AddDirectory(Game("Data\\a.dat"));
    EXPECT_EQ(1, WalkUpdateTree(Source, "", Verify));

    ResetProgramState();
    UseGameFolder("C:\\Game");
    mp::AddFile(Patch("Data\\a.dat"), "new");
    mp::AddFile(Game("Data\\a.dat"), "old");
    EXPECT_EQ(0, WalkUpdateTree(Source, "", Verify));
}

TEST_F(UpdateTreeTest, NewFilesAreAcceptedOnlyByTheirOwnRelativePathInAnyAsciiCase) {
    mp::AddFile(Patch("Data\\NEW.DAT"), "new");
    ListAsNew("\\data\\new.dat");  // leading backslash: never matches
    ListAsNew("data/new.dat");     // forward slash: never matches
    ListAsNew("data");             // a folder accepts nothing below it
    EXPECT_EQ(1, WalkUpdateTree(Source, "", Verify));

    ListAsNew("data\\new.dat");
    EXPECT_EQ(0, WalkUpdateTree(Source, "", Verify));
}

TEST_F(UpdateTreeTest, NewFileMatchingFoldsTheSecondByteOfADoubleByteCharacter) {
    // ア is 83 41 and ヂ is 83 61: byte-wise folding takes them as equal.
    mp::AddFile(Patch("ヂ.dat"), "new");
    ListAsNew("ア.dat");
    EXPECT_EQ(0, WalkUpdateTree(Source, "", Verify));
}

TEST_F(UpdateTreeTest, MissingOrEmptyUpdateFolderPassesAndCopyStillMakesTheGameFolder) {
    EXPECT_EQ(0, WalkUpdateTree(Source, "", Verify));
    mp::AddDirectory(Source);
    EXPECT_EQ(0, WalkUpdateTree(Source, "", Verify));
    mp::AddDirectory(Patch("Empty"));  // an empty sub-folder needs no counterpart
    EXPECT_EQ(0, WalkUpdateTree(Source, "", Verify));

    mp::AddDirectory("C:\\Games");
    strcpy(GameFolder, "C:\\Games\\New Title");
    EXPECT_EQ(0, WalkUpdateTree(Source, "", Copy));
    // The game folder is the registry's: spelled as given, never upper-cased.
    EXPECT_EQ("New Title", mp::StoredName("C:\\Games\\New Title"));
    EXPECT_EQ("Games", mp::StoredName("C:\\Games"));
}

// ---- Copy ----

TEST_F(UpdateTreeTest, CopyMirrorsTheTreeUpperCasingOnlyTheFoldersItCreates) {
    mp::AddFile(Patch("Data\\New.Dat"), "new data");
    mp::AddFile(Patch("Sound\\Bgm.ogg"), "new bgm");
    mp::AddDirectory(Patch("Empty"));
    mp::AddFile(Game("sound\\bgm.ogg"), "old bgm");

    EXPECT_EQ(1, WalkUpdateTree(Source, "", Verify));  // Data\New.Dat is not in the game
    EXPECT_EQ(0, WalkUpdateTree(Source, "", Copy));

    EXPECT_EQ("DATA", mp::StoredName(Game("Data")));
    EXPECT_EQ("New.Dat", mp::StoredName(Game("Data\\New.Dat")));
    EXPECT_EQ("new data", mp::FileContent(Game("Data\\New.Dat")));
    EXPECT_EQ("sound", mp::StoredName(Game("Sound")));
    EXPECT_EQ("bgm.ogg", mp::StoredName(Game("Sound\\Bgm.ogg")));
    EXPECT_EQ("new bgm", mp::FileContent(Game("Sound\\Bgm.ogg")));
    EXPECT_TRUE(mp::IsDirectory(Game("Empty")));
    EXPECT_EQ("EMPTY", mp::StoredName(Game("Empty")));
}

TEST_F(UpdateTreeTest, CopyClearsReadOnlyMarksOnBothSides) {
    mp::AddFile(Patch("locked.dat"), "new");
    mp::AddFile(Patch("marked.dat"), "new", FileAttributeReadOnly);
    mp::AddFile(Game("locked.dat"), "old", FileAttributeReadOnly);

    EXPECT_EQ(0, WalkUpdateTree(Source, "", Copy));
    EXPECT_EQ("new", mp::FileContent(Game("locked.dat")));
    EXPECT_EQ(0u, mp::Attributes(Game("locked.dat")) & FileAttributeReadOnly);
    EXPECT_EQ("new", mp::FileContent(Game("marked.dat")));
    EXPECT_EQ(0u, mp::Attributes(Game("marked.dat")) & FileAttributeReadOnly);
    // The source keeps its mark.
    EXPECT_EQ(unsigned(FileAttributeReadOnly), mp::Attributes(Patch("marked.dat")));
    // Only marks that are there are cleared: before the first copy and after the second.
    EXPECT_EQ(2, mp::OperationCount(Operation::SetAttributes));
}

TEST_F(UpdateTreeTest, AFailedCopyStopsTheWalkAndKeepsWhatWasDone) {
    mp::AddFile(Patch("a.dat"), "new a");
    mp::AddFile(Patch("b.dat"), "new b");
    mp::AddFile(Patch("c.dat"), "new c");
    mp::AddFile(Game("b.dat"), "old b", FileAttributeReadOnly);
    mp::FailOperation(Operation::CopyFile, Patch("b.dat"));

    EXPECT_EQ(1, WalkUpdateTree(Source, "", Copy));
    EXPECT_EQ("new a", mp::FileContent(Game("a.dat")));
    // b lost its read-only mark before the copy failed, and stays without it.
    EXPECT_EQ("old b", mp::FileContent(Game("b.dat")));
    EXPECT_EQ(0u, mp::Attributes(Game("b.dat")) & FileAttributeReadOnly);
    EXPECT_FALSE(mp::IsFile(Game("c.dat")));
}

TEST_F(UpdateTreeTest, ASubfolderThatCannotBeSearchedFailsTheWalkInsteadOfBeingSkipped) {
    mp::AddFile(Patch("Data\\a.dat"), "new");
    mp::AddFile(Game("Data\\a.dat"), "old");
    mp::FailOperation(Operation::FindFirst, Patch("Data\\*"));
    EXPECT_EQ(1, WalkUpdateTree(Source, "", Verify));
    EXPECT_EQ(1, WalkUpdateTree(Source, "", Copy));
    EXPECT_EQ("old", mp::FileContent(Game("Data\\a.dat")));
}

TEST_F(UpdateTreeTest, AFailureInASubfolderEndsTheWholeWalk) {
    mp::AddFile(Patch("a\\x.dat"), "x");
    mp::AddFile(Patch("b.dat"), "b");
    mp::FailOperation(Operation::CopyFile, Patch("a\\x.dat"));
    EXPECT_EQ(1, WalkUpdateTree(Source, "", Copy));
    EXPECT_FALSE(mp::IsFile(Game("b.dat")));
}

TEST_F(UpdateTreeTest, HiddenGameFileCannotBeOverwrittenAndAHiddenSourceTravels) {
    mp::AddFile(Patch("h.dat"), "new", FileAttributeHidden);
    EXPECT_EQ(0, WalkUpdateTree(Source, "", Copy));
    EXPECT_EQ(unsigned(FileAttributeHidden), mp::Attributes(Game("h.dat")));
    // The same patch a second time fails at that file: only read-only is cleared.
    mp::AddFile(Patch("h.dat"), "newer", FileAttributeHidden);
    EXPECT_EQ(1, WalkUpdateTree(Source, "", Copy));
    EXPECT_EQ("new", mp::FileContent(Game("h.dat")));
    // A system file is refused alike, also when it is read-only as well.
    mp::AddFile(Game("h.dat"), "old", FileAttributeSystem | FileAttributeReadOnly);
    EXPECT_EQ(1, WalkUpdateTree(Source, "", Copy));
    EXPECT_EQ("old", mp::FileContent(Game("h.dat")));
}

TEST_F(UpdateTreeTest, APlainFileWhereAFolderBelongsFailsTheCopyBelowIt) {
    mp::AddFile(Patch("data\\a.dat"), "new");
    mp::AddFile(Game("data"), "a plain file");
    EXPECT_EQ(1, WalkUpdateTree(Source, "", Copy));
    EXPECT_EQ("a plain file", mp::FileContent(Game("data")));
}

TEST_F(UpdateTreeTest, AFolderThatCannotBeCreatedEndsTheWalkBeforeItsFiles) {
    mp::AddFile(Patch("Data\\a.dat"), "new");
    mp::FailOperation(Operation::CreateDirectory, Game("DATA"), ErrorAccessDenied);
    EXPECT_EQ(1, WalkUpdateTree(Source, "", Copy));
    EXPECT_EQ(0, mp::OperationCount(Operation::CopyFile));
}

// ---- Directory chain ----

TEST_F(UpdateTreeTest, ChainOfADriveOrAnEmptyPathCreatesNothing) {
    EXPECT_EQ(0, MakeDirectoryChain("C:"));
    EXPECT_EQ(0, MakeDirectoryChain("C:\\"));
    EXPECT_EQ(0, MakeDirectoryChain(""));
    EXPECT_EQ(0, mp::OperationCount(Operation::CreateDirectory));
}

TEST_F(UpdateTreeTest, ChainCreatesMissingFoldersUpperCasedAndKeepsExistingNames) {
    mp::AddDirectory("C:\\games");
    EXPECT_EQ(0, MakeDirectoryChain("C:\\Games\\Title\\save\\"));
    EXPECT_EQ(3, mp::OperationCount(Operation::CreateDirectory));
    EXPECT_EQ("games", mp::StoredName("C:\\Games"));
    EXPECT_EQ("TITLE", mp::StoredName("C:\\Games\\Title"));
    EXPECT_EQ("SAVE", mp::StoredName("C:\\Games\\Title\\save"));
}

TEST_F(UpdateTreeTest, CopyAsksForTheGameFolderAsTheRegistrySpellsItAndUpperCasesOnlyBelowIt) {
    // A folder above the game that the program's user may enter but not list
    // refuses every name in another case (Wine resolves case by listing), so
    // nothing at or above the game folder may be asked for in another case.
    UseGameFolder("C:\\root\\Games\\表 title");
    mp::AddFile(Patch("new\\sub\\a.dat"), "a");
    ListAsNew("new\\sub\\a.dat");

    EXPECT_EQ(0, WalkUpdateTree(Source, "", Copy));
    std::vector<std::string> asked = mp::RequestedPaths(Operation::CreateDirectory);
    const std::string game = GameFolder;
    // Every prefix of the game folder as given (表 ends in 0x5C, yet is no
    // separator), then the new folders upper-cased; the chain is asked anew per level.
    EXPECT_EQ(std::vector<std::string>({"C:\\root", "C:\\root\\Games", game,
                                        "C:\\root", "C:\\root\\Games", game, game + "\\NEW",
                                        "C:\\root", "C:\\root\\Games", game, game + "\\NEW",
                                        game + "\\NEW\\SUB"}),
              asked);
    EXPECT_EQ("a", mp::FileContent(Game("NEW\\SUB\\a.dat")));
    EXPECT_EQ("表 title", mp::StoredName(game));
}

TEST_F(UpdateTreeTest, ChainStepsOverDoubleByteCharacters) {
    // 表 is 95 5C: its second byte must neither cut a prefix nor end the path.
    EXPECT_EQ(0, MakeDirectoryChain("D:\\表\\sub\\表"));
    EXPECT_EQ(3, mp::OperationCount(Operation::CreateDirectory));
    EXPECT_TRUE(mp::IsDirectory("D:\\表\\SUB\\表"));
    EXPECT_EQ(std::vector<std::string>({"表\\", "表\\SUB\\", "表\\SUB\\表\\"}), mp::ListTree("D:"));
    // A lower-case ASCII byte after a lead byte is the second half of a character.
    EXPECT_EQ(0, MakeDirectoryChain("D:\\ヂa"));
    EXPECT_EQ("ヂA", mp::StoredName("D:\\ヂa"));
}

TEST_F(UpdateTreeTest, ChainSkipsTheServerAndShareOfANetworkPath) {
    mp::AddDirectory("\\\\server\\share");
    mp::FailOperation(Operation::CreateDirectory, "\\\\SERVER", 161);
    mp::FailOperation(Operation::CreateDirectory, "\\\\SERVER\\SHARE", 161);
    EXPECT_EQ(0, MakeDirectoryChain("\\\\server\\share\\Games\\Title"));
    EXPECT_EQ(2, mp::OperationCount(Operation::CreateDirectory));
    EXPECT_EQ("TITLE", mp::StoredName("\\\\server\\share\\Games\\Title"));
    EXPECT_EQ(0, MakeDirectoryChain("\\\\server\\share"));
    EXPECT_EQ(0, MakeDirectoryChain("\\\\server\\share\\"));
    EXPECT_EQ(2, mp::OperationCount(Operation::CreateDirectory));
}

TEST_F(UpdateTreeTest, ChainCountsAPlainFileAsExistingButNotAsAParent) {
    mp::AddFile("C:\\Game\\data", "plain");
    EXPECT_EQ(0, MakeDirectoryChain("C:\\Game\\data"));
    EXPECT_EQ(1, MakeDirectoryChain("C:\\Game\\data\\deeper"));
}

TEST_F(UpdateTreeTest, ChainStopsAtTheFirstRefusedCreation) {
    mp::FailOperation(Operation::CreateDirectory, "C:\\A", ErrorAccessDenied);
    EXPECT_EQ(1, MakeDirectoryChain("C:\\a\\b\\c"));
    EXPECT_EQ(1, mp::OperationCount(Operation::CreateDirectory));
    EXPECT_FALSE(mp::IsDirectory("C:\\a\\b"));
}

// ---- Paths at their limits ----

std::string Repeat(char c, size_t n) { return std::string(n, c); }

TEST_F(UpdateTreeTest, ChainTakesA511BytePathAndRefusesA512ByteOne) {
    std::string path = "C:\\" + Repeat('a', 200) + "\\" + Repeat('b', 200) + "\\";
    path += Repeat('c', 511 - path.size());
    ASSERT_EQ(511u, path.size());
    EXPECT_EQ(0, MakeDirectoryChain(path.c_str()));
    EXPECT_TRUE(mp::IsDirectory(path));
    EXPECT_EQ(1, MakeDirectoryChain((path + "d").c_str()));
}

TEST_F(UpdateTreeTest, VerifyAndCopyFailWhenADestinationPathDoesNotFit) {
    // Game folder + "\" + name: exactly 511 bytes passes, 512 fails.
    std::string folder = "C:\\" + Repeat('g', 200) + "\\" + Repeat('h', 200);
    std::string name = Repeat('n', 511 - folder.size() - 1 - 4) + ".dat";
    UseGameFolder(folder);
    mp::AddFile(Patch(name), "new");
    mp::AddFile(Game(name), "old");
    ASSERT_EQ(511u, Game(name).size());
    EXPECT_EQ(0, WalkUpdateTree(Source, "", Verify));
    EXPECT_EQ(0, WalkUpdateTree(Source, "", Copy));
    EXPECT_EQ("new", mp::FileContent(Game(name)));

    UseGameFolder(folder + "x");
    mp::AddFile(Game(name), "old");
    EXPECT_EQ(1, WalkUpdateTree(Source, "", Verify));

    // In Copy mode the destination folder of a sub-folder is the 511-byte text.
    ResetProgramState();
    std::string sub = Repeat('s', 511 - folder.size() - 1);
    UseGameFolder(folder);
    mp::AddFile(Patch(sub + "\\f"), "new");
    EXPECT_EQ(0, WalkUpdateTree(Source, "", Copy));
    EXPECT_EQ("new", mp::FileContent(Game(sub + "\\f")));
    UseGameFolder(folder + "x");
    EXPECT_EQ(1, WalkUpdateTree(Source, "", Copy));
    EXPECT_FALSE(mp::IsFile(Game(sub + "\\f")));
}

TEST_F(UpdateTreeTest, TheWalkFailsWhenASearchPatternDoesNotFit) {
    // Source root + "\sub\*": the pattern of the deepest level is the limit.
    std::string root = "C:\\" + Repeat('r', 200) + "\\" + Repeat('q', 200);
    std::string sub = Repeat('s', 511 - root.size() - 3);
    mp::AddFile(root + "\\" + sub + "\\f", "new");
    mp::AddFile(Game(sub + "\\f"), "old");
    ASSERT_EQ(511u, (root + "\\" + sub + "\\*").size());
    EXPECT_EQ(0, WalkUpdateTree(root.c_str(), "", Verify));

    std::string longer = root + "x";
    mp::AddFile(longer + "\\" + sub + "\\f", "new");
    EXPECT_EQ(1, WalkUpdateTree(longer.c_str(), "", Verify));
    EXPECT_EQ(1, WalkUpdateTree(longer.c_str(), "", Copy));
    EXPECT_EQ("old", mp::FileContent(Game(sub + "\\f")));
}

}  // namespace
