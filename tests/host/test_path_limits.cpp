// Paths at the edges of their texts: the program path, the program folder with
// its update folder and search pattern, the game folder, relative paths, names,
// sub-folder patterns and copy destinations, each one byte inside and one byte
// past its 512-byte text, and the largest paths the 1024-byte texts can get.
// Each case runs the verify walk, the copy walk and the whole update run: a path
// that fits is used, one that does not is the walk's failure, never an overflow
// (the host build runs under AddressSanitizer).
#include <gtest/gtest.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "description/update_description.h"
#include "host_test_support.h"
#include "platform/memory/platform_memory.h"
#include "shell/prepare_startup.h"
#include "shell/program_folder.h"
#include "state/scratch_buffers.h"
#include "state/window_handles.h"
#include "update/update_run.h"
#include "update/update_tree.h"

namespace mp = memory_platform;

namespace {

const char* const KeyPath = "Software\\Maker\\Game";
char MainWindow;

// length bytes of names of at most 100 bytes joined by backslashes; the shortest
// name comes first, so the deepest folders have long names.
std::string Components(size_t length, char fill) {
    std::vector<size_t> sizes;
    size_t remaining = length;
    while (remaining > 0) {
        size_t take = std::min<size_t>(remaining, 100);
        if (remaining > 100 && remaining - take - 1 == 0) take = 50;  // never leave an empty name
        sizes.push_back(take);
        remaining -= std::min(remaining, take + 1);
    }
    std::reverse(sizes.begin(), sizes.end());
    std::string text;
    for (size_t size : sizes) text += (text.empty() ? "" : "\\") + std::string(size, fill);
    return text;
}

// head, grown by further folder names to exactly length bytes.
std::string Grow(const std::string& head, size_t length, char fill) {
    if (length <= head.size()) return head.substr(0, length);
    return head + "\\" + Components(length - head.size() - 1, fill);
}

enum Outcome { Completed, VerifyFailure, CopyFailure, NotInstalled, NoWalk = -1 };

struct Case {
    const char* what;
    size_t program;     // length of ProgramFolder
    size_t game;        // length of the SAV_FOLDER value (the game folder)
    size_t folder;      // length of the relative folder of the update tree; 0: the top
    size_t name;        // length of the file's name; 0: the folder is empty
    bool listedAsNew;   // in [AddFile] instead of present in the game folder
    int verify, copy;   // what each walk returns; NoWalk when the run never gets there
    Outcome run;
};

// The update folder is ProgramFolder + "\update" (7 bytes); its search pattern adds
// "\*". A relative folder's pattern is update folder + "\" + folder + "\*". The
// default program folder C:\Patch makes the update folder 15 bytes long, so a
// sub-folder pattern has 18 bytes around the relative folder.
const Case Cases[] = {
    {"top-level pattern of 511 bytes", 502, 7, 0, 5, false, 0, 0, Completed},
    {"top-level pattern of 512 bytes", 503, 7, 0, 5, false, 1, 1, VerifyFailure},
    {"update folder of 511 bytes", 504, 7, 0, 5, false, 1, 1, VerifyFailure},
    {"update folder of 512 bytes", 505, 7, 0, 5, false, NoWalk, NoWalk, VerifyFailure},
    {"program folder of 511 bytes", 511, 7, 0, 5, false, NoWalk, NoWalk, VerifyFailure},
    {"verified destination of 511 bytes", 8, 7, 400, 102, false, 0, 0, Completed},
    {"verified destination of 512 bytes", 8, 7, 400, 103, false, 1, 0, VerifyFailure},
    {"relative path of 511 bytes", 8, 7, 493, 17, true, 0, 0, Completed},
    {"relative path of 512 bytes", 8, 7, 493, 18, false, 1, 0, VerifyFailure},
    {"sub-folder pattern of 511 bytes", 8, 7, 493, 0, false, 0, 0, Completed},
    {"sub-folder pattern of 512 bytes", 8, 7, 494, 0, false, 1, 1, VerifyFailure},
    {"relative folder of 511 bytes", 8, 7, 511, 0, false, 1, 1, VerifyFailure},
    {"relative folder of 512 bytes", 8, 7, 512, 0, false, 1, 1, VerifyFailure},
    {"copy destination folder of 511 bytes", 8, 17, 493, 0, false, 0, 0, Completed},
    {"copy destination folder of 512 bytes", 8, 18, 493, 0, false, 0, 1, CopyFailure},
    {"copy destination folder of 512 bytes, listed file", 8, 18, 493, 5, true, 0, 1, CopyFailure},
    {"largest copy destination (766 bytes)", 8, 510, 0, 255, true, 0, 0, Completed},
    {"largest copy source (765 bytes)", 246, 7, 255, 255, true, 0, 0, Completed},
    {"game folder of 511 bytes", 8, 511, 0, 0, false, 0, 0, Completed},
    {"game folder of 511 bytes with a file", 8, 511, 0, 1, false, 1, 0, VerifyFailure},
    {"game folder of 512 bytes", 8, 512, 0, 5, false, NoWalk, NoWalk, NotInstalled},
};

class PathLimits : public ::testing::TestWithParam<Case> {
protected:
    // A fresh machine holding the case's program folder, update tree and game folder.
    void Prepare() {
        const Case& c = GetParam();
        ResetProgramState();
        ResetUpdateRunForTests();
        program_ = Grow("C:\\P", c.program, 'p');
        game_ = Grow("C:\\G", c.game, 'g');
        update_ = program_ + "\\update";
        folder_ = Components(c.folder, 'd');
        relative_ = c.name == 0 ? folder_ : (folder_.empty() ? "" : folder_ + "\\") + std::string(c.name, 'n');
        ASSERT_EQ(program_.size(), c.program);
        ASSERT_EQ(game_.size(), c.game);
        ASSERT_EQ(folder_.size(), c.folder);

        memcpy(ProgramFolder, program_.c_str(), std::min(program_.size() + 1, sizeof ProgramFolder));
        UpdateDescriptionRecord& d = UpdateDescription;
        strcpy(d.Caption, "Patch");
        strcpy(d.GameName, "Game");
        strcpy(d.RegistryKeyPath, KeyPath);
        WindowHandles.MainWindow = &MainWindow;
        mp::SetRegistryString(KeyPath, "SAV_FOLDER", game_);
        mp::AddFile(game_ + "\\kovent9m.exe", "engine");
        mp::AddDirectory(update_);
        if (c.name == 0 && c.folder > 0) mp::AddDirectory(update_ + "\\" + folder_);
        if (c.name > 0) {
            mp::AddFile(update_ + "\\" + relative_, "new");
            if (c.listedAsNew) strcpy(d.AddFiles[d.AddFileCount++], relative_.c_str());
            else mp::AddFile(game_ + "\\" + relative_, "old");
        }
    }

    // The walk on its own, with the folders set as the run sets them.
    int Walk(WalkMode mode) {
        Prepare();
        strcpy(GameFolder, game_.c_str());
        strcpy(UpdateFolder, update_.c_str());
        return WalkUpdateTree(UpdateFolder, "", mode);
    }

    Outcome Run() {
        Prepare();
        RunUpdate();
        std::vector<std::string> texts;
        for (const auto& box : mp::MessageBoxes()) texts.push_back(box.text);
        if (texts == std::vector<std::string>{"アップデートが完了しました。"}) return Completed;
        if (texts == std::vector<std::string>{"", "アップデートを終了します。"}) return VerifyFailure;
        if (texts == std::vector<std::string>{"ファイルのコピーに失敗しました。"}) return CopyFailure;
        if (texts == std::vector<std::string>{"Gameがインストールされていません。"}) return NotInstalled;
        ADD_FAILURE() << "unexpected boxes, first: " << (texts.empty() ? "none" : texts[0]);
        return NoWalk;
    }

    std::string program_, game_, update_, folder_, relative_;
};

TEST_P(PathLimits, AFittingPathIsUsedAndALongerOneIsTheWalksFailure) {
    const Case& c = GetParam();
    if (c.verify != NoWalk) {
        EXPECT_EQ(Walk(Verify), c.verify) << "verify walk";
    }
    if (c.copy != NoWalk) {
        EXPECT_EQ(Walk(Copy), c.copy) << "copy walk";
        // A copy walk that passed has created the folder and copied the file.
        if (c.copy == 0 && c.name > 0) {
            EXPECT_EQ(mp::FileContent(game_ + "\\" + relative_), "new");
        } else if (c.copy == 0 && c.folder > 0) {
            EXPECT_TRUE(mp::IsDirectory(game_ + "\\" + folder_));
        }
    }
    EXPECT_EQ(Run(), c.run) << "update run";
    if (c.name > 0 && c.run == Completed) {
        EXPECT_EQ(mp::FileContent(game_ + "\\" + relative_), "new");
    } else if (c.name > 0 && !c.listedAsNew) {
        EXPECT_EQ(mp::FileContent(game_ + "\\" + relative_), "old");
    }
}

INSTANTIATE_TEST_SUITE_P(Boundaries, PathLimits, ::testing::ValuesIn(Cases),
                         [](const ::testing::TestParamInfo<Case>& info) {
                             std::string name = info.param.what;
                             for (char& ch : name)
                                 if (!isalnum((unsigned char)ch)) ch = '_';
                             return name;
                         });

// The [DelFile] path is game folder + "\" + entry: both at their 511-byte limit
// make the longest path of the run, 1023 bytes, which just fits MessageBuffer.
TEST(PathLimitsDeletion, AGameFolderAndAnEntryOf511BytesEachMakeA1023BytePath) {
    ResetProgramState();
    ResetUpdateRunForTests();
    std::string game = Grow("C:\\G", 511, 'g');
    std::string entry = Components(511, 'e');
    strcpy(ProgramFolder, "C:\\Patch");
    strcpy(UpdateDescription.RegistryKeyPath, KeyPath);
    strcpy(UpdateDescription.DelFiles[UpdateDescription.DelFileCount++], entry.c_str());
    mp::SetRegistryString(KeyPath, "SAV_FOLDER", game);
    mp::AddFile(game + "\\kovent9m.exe", "engine");
    mp::AddFile(game + "\\" + entry, "obsolete");
    ASSERT_EQ((game + "\\" + entry).size(), 1023u);

    EXPECT_EQ(RunUpdate(), 0);
    EXPECT_FALSE(mp::IsFile(game + "\\" + entry));
    EXPECT_EQ(strlen(MessageBuffer), 1023u);  // the deletion's path, whole
}

// The program path on the command line: 511 bytes fit ProgramFolder's text before
// it is cut at the last backslash, 512 do not and end start-up with the message
// that update.ini cannot be read.
TEST(PathLimitsStartup, AProgramPathOf511BytesStartsAndOneOf512BytesIsRefused) {
    for (size_t length : {511u, 512u}) {
        ResetProgramState();
        std::string folder = Grow("C:\\P", length - 2, 'p');
        std::string path = folder + "\\u";
        ASSERT_EQ(path.size(), length);
        mp::SetCommandLine("\"" + path + "\"");
        mp::AddFile(folder + "\\update.ini", "[Caption]=Patch\n");
        int result = PrepareStartup();
        if (length == 511) {
            EXPECT_EQ(result, 0);
            EXPECT_EQ(std::string(ProgramFolder), folder);
            EXPECT_STREQ(UpdateDescription.Caption, "Patch");
            EXPECT_TRUE(mp::MessageBoxes().empty());
        } else {
            EXPECT_EQ(result, 1);
            EXPECT_STREQ(ProgramFolder, "");
            ASSERT_EQ(mp::MessageBoxes().size(), 1u);
            EXPECT_EQ(mp::MessageBoxes()[0].text, "update.ini の読み込みに失敗しました。");
        }
    }
}

}  // namespace
