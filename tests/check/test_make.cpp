// update-make run in-process on real folders: the refusals (nothing written, a
// non-empty patch folder left as it was), a patch the proof rejects, and the
// differences from NEW that are only warned about.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <string.h>
#include <unistd.h>

#include <utime.h>

#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "check/host/local_files.h"
#include "check/update_make/make_tool.h"

namespace {

// The headers of a Windows program, all update-make reads of one: MZ, the PE
// signature, the file header and a 32- or 64-bit optional header.
std::string WindowsProgram(unsigned machine = 0x14C, unsigned subsystem = 2, bool dll = false) {
    const size_t pe = 0x40, optional = pe + 24;
    bool wide = machine == 0x8664;
    std::string bytes(optional + (wide ? 0xF0 : 0xE0), '\0');
    auto put16 = [&](size_t at, unsigned value) {
        bytes[at] = (char)(value & 0xFF);
        bytes[at + 1] = (char)(value >> 8);
    };
    bytes[0] = 'M', bytes[1] = 'Z', bytes[0x3C] = (char)pe;
    bytes.replace(pe, 4, std::string("PE\0\0", 4));
    put16(pe + 4, machine);
    put16(pe + 20, wide ? 0xF0 : 0xE0);
    put16(pe + 22, dll ? 0x2102 : 0x0102);
    put16(optional, wide ? 0x20B : 0x10B);
    put16(optional + 68, subsystem);
    return bytes;
}

class MakeTest : public ::testing::Test {
protected:
    std::string work;
    void SetUp() override {
        char pattern[] = "/tmp/update-make-test-XXXXXX";
        work = mkdtemp(pattern);
        Write("update.exe", WindowsProgram());
        Write("old/Tessoran.exe", "engine 1.00");
        Write("new/Tessoran.exe", "engine 1.00");
    }
    void TearDown() override { system(("chmod -R u+w '" + work + "' && rm -rf '" + work + "'").c_str()); }

    void Write(const std::string& relative, const std::string& content) {
        std::string path = work + "/" + relative;
        for (size_t slash = path.find('/', work.size() + 1); slash != std::string::npos; slash = path.find('/', slash + 1))
            mkdir(path.substr(0, slash).c_str(), 0755);
        std::ofstream(path, std::ios::binary) << content;
    }
    void ReadOnly(const std::string& relative) { chmod((work + "/" + relative).c_str(), 0444); }

    // The exit status; what the tool printed in out and err.
    int Make(std::vector<std::string> options, std::string* out, std::string* err) {
        std::vector<std::string> arguments = {"--exe", work + "/update.exe", "--reg-path", "Maker\\Game"};
        arguments.insert(arguments.end(), options.begin(), options.end());
        for (const char* folder : {"/old", "/new", "/patch"}) arguments.push_back(work + folder);
        return RunUpdateMake(arguments, out, err);
    }
    // Nothing but the inputs: no patch, no temporary folder beside it.
    std::vector<std::string> Listing() {
        std::vector<std::string> names;
        FILE* pipe = popen(("cd '" + work + "' && ls -A").c_str(), "r");
        char line[512];
        while (fgets(line, sizeof line, pipe)) names.push_back(std::string(line, strcspn(line, "\n")));
        pclose(pipe);
        return names;
    }
};

const std::vector<std::string> InputsOnly = {"new", "old", "update.exe"};

TEST_F(MakeTest, RefusesWhatTheFormatCannotExpressAndWritesNothing) {
    struct Refusal {
        const char* about;
        std::function<void()> prepare;
        std::vector<std::string> options;
        std::string line;
    };
    const std::vector<Refusal> refusals = {
        {"257 new files",
         [&] {
             for (int i = 0; i < 257; ++i) Write("new/data/n" + std::to_string(1000 + i) + ".dat", "x");
         },
         {},
         "refused: {work}/new: data\\n1256.dat: 257 files are new in NEW, and update.ini holds at most 256 "
                              "[AddFile] lines (the reader's limit): split the patch in two; nothing was written"},
        {"257 deleted files",
         [&] {
             for (int i = 0; i < 257; ++i) Write("old/data/n" + std::to_string(1000 + i) + ".dat", "x");
         },
         {},
         "refused: {work}/new: data\\n1256.dat: 257 files are gone from NEW, and update.ini holds at most 256 "
                              "[DelFile] lines (the reader's limit): split the patch in two; nothing was written"},
        {"a name without a Shift-JIS form",
         [&] { Write("new/data/wave\xE3\x80\x9C" "dash.dat", "x"); },
         {},
         "refused: {work}/new: data\\wave\xE3\x80\x9C" "dash.dat: the name has no Shift-JIS form; nothing was written"},
        {"a file that becomes a folder",
         [&] {
             Write("old/data/movie", "a file");
             Write("new/data/movie/op.mpg", "x");
         },
         {},
         "refused: {work}/new: data\\movie: a file in OLD is a folder in NEW, which a patch cannot do (the copy "
                              "never removes a file); nothing was written"},
        {"a folder that becomes a file",
         [&] {
             Write("old/data/movie/op.mpg", "x");
             Write("new/data/movie", "a file");
         },
         {},
         "refused: {work}/new: data\\movie: a folder in OLD is a file in NEW, which a patch cannot do ([DelFile] "
                              "deletes files only); nothing was written"},
        {"a hidden file to replace",
         [&] {
             Write("old/.settings", "a");
             Write("new/.settings", "b");
         },
         {},
         "refused: {work}/new: .settings: the file to replace is hidden in OLD, and the program's copy over a "
                              "hidden file fails; nothing was written"},
        {"a path over the program's limit for the game path",
         [&] { Write("new/data/" + std::string(100, 'n') + ".dat", "x"); },
         {"--game-path", "C:\\" + std::string(399, 'g')},
         "refused: {work}/new: data\\" + std::string(100, 'n') +
             ".dat: its path in the game folder (--game-path) has 512 bytes, more than the program's 511; nothing was "
             "written"},
        {"two names that differ only in letter case",
         [&] {
             Write("new/Save.dat", "x");
             Write("new/save.dat", "y");
         },
         {},
         "refused: {work}/new: save.dat: another name of its folder differs from it only in letter case; "
                              "nothing was written"},
    };
    for (const Refusal& refusal : refusals) {
        TearDown();
        SetUp();
        refusal.prepare();
        std::string out, err;
        EXPECT_EQ(RefusedOrNotProven, Make(refusal.options, &out, &err)) << refusal.about;
        std::string line = refusal.line;
        line.replace(line.find("{work}"), 6, work);
        EXPECT_EQ("update-make: " + line + "\n", err) << refusal.about;
        EXPECT_EQ("", out) << refusal.about;
        EXPECT_EQ(InputsOnly, Listing()) << refusal.about;
    }

    // A patch folder that is not empty is left as it was.
    Write("new/data/new.dat", "new");
    Write("patch/notes.txt", "the author's notes");
    std::string out, err;
    EXPECT_EQ(RefusedOrNotProven, Make({}, &out, &err));
    EXPECT_EQ("update-make: refused: " + work + "/patch: exists and is not an empty folder: name a new or empty folder "
              "for the patch; nothing was written\n", err);
    EXPECT_EQ((std::vector<std::string>{"new", "old", "patch", "update.exe"}), Listing());
    std::ifstream notes(work + "/patch/notes.txt");
    EXPECT_EQ("the author's notes", std::string(std::istreambuf_iterator<char>(notes), {}));
}

TEST_F(MakeTest, APatchTheProgramCannotApplyIsNotProvenAndNotWritten) {
    // The engine executable's copy fails on a read-only file, so the run stops.
    Write("new/Tessoran.exe", "engine 1.01");
    ReadOnly("old/Tessoran.exe");
    std::string out, err;
    EXPECT_EQ(RefusedOrNotProven, Make({}, &out, &err)) << err;
    EXPECT_NE(std::string::npos, out.find("(the run): the program's run does not complete")) << out;
    EXPECT_NE(std::string::npos, out.find("Tessoran.exe: keeps OLD's bytes, which differ from NEW's")) << out;
    EXPECT_NE(std::string::npos, out.find("The patch does not turn OLD into NEW: 2 differences; nothing was written.")) << out;
    EXPECT_EQ(InputsOnly, Listing());
}

TEST_F(MakeTest, WhatThePatchCannotDoExactlyIsWarnedAndExcusedFromTheProof) {
    Write("old/Data/Scene.dat", "1");
    Write("new/Data/scene.dat", "2");   // letter case alone changed, bytes too
    Write("old/extra/gone.dat", "x");    // a folder gone from NEW stays
    Write("old/locked.txt", "x");        // a read-only file gone from NEW stays
    ReadOnly("old/locked.txt");
    Write("new/Movie/Op/op.mpg", "new"); // new folders are upper-cased
    Write("new/Empty/.keep", "");
    std::string out, err;
    EXPECT_EQ(MakeUsageOrReadError, Make({"--texts", work + "/texts.ini"}, &out, &err)) << err;  // no such file
    EXPECT_NE(std::string::npos, err.find("--texts ")) << err;
    out.clear();
    err.clear();
    Write("texts.ini", "[GameName]=Game\n[RegPath]=Old\\Key\n[AddFile]=stale.dat\n");
    EXPECT_EQ(MadeWithWarnings, Make({"--texts", work + "/texts.ini"}, &out, &err)) << err << out;
    for (const char* line :
         {"  case-kept  Data\\scene.dat: differs from OLD's name only in letter case; the game keeps OLD's spelling Scene.dat",
          "  folder-upper-cased  Movie: the program creates new folders in upper case: it becomes MOVIE",
          "  folder-upper-cased  Movie\\Op: the program creates new folders in upper case: it becomes MOVIE\\OP",
          "  folder-stays  extra: the folder is gone from NEW, but stays: [DelFile] deletes files only",
          "  delete-read-only  locked.txt: the file is gone from NEW, but read-only in OLD: the program leaves it "
          "where it is",
          "The patch turns OLD into NEW, apart from the warnings above."})
        EXPECT_NE(std::string::npos, out.find(line)) << line << "\n" << out;
    // The texts as they stood, --reg-path replacing their key, the lists made anew.
    std::ifstream ini(work + "/patch/update.ini", std::ios::binary);
    EXPECT_EQ("[GameName]=Game\r\n[RegPath]=Maker\\Game\r\n[AddFile]=Empty\\.keep\r\n[AddFile]=Movie\\Op\\op.mpg\r\n"
              "[DelFile]=extra\\gone.dat\r\n[DelFile]=locked.txt\r\n",
              std::string(std::istreambuf_iterator<char>(ini), {}));
}

// The comparison reads a listed size: one read a side for a small file, and a
// file that is no longer that size differs.
TEST_F(MakeTest, ComparesFilesOfAListedSize) {
    const std::string chunk(1 << 20, 'c');
    struct Pair {
        const char* about;
        std::string left, right;
        uint64_t listed;
        int verdict;
    };
    const std::vector<Pair> pairs = {
        {"the same bytes", "same", "same", 4, 0},
        {"the last byte differs", "same", "samE", 4, 1},
        {"empty", "", "", 0, 0},
        {"one grew since it was listed", "same", "same+", 4, 1},
        {"both grew alike", "same+", "same+", 4, 1},
        {"one shrank", "same", "sam", 4, 1},
        {"over a chunk, the same", chunk + "tail", chunk + "tail", chunk.size() + 4, 0},
        {"over a chunk, differing past it", chunk + "tail", chunk + "taiL", chunk.size() + 4, 1},
        {"exactly a chunk", chunk, chunk, chunk.size(), 0},
        {"a chunk listed, one longer", chunk, chunk + "x", chunk.size(), 1},
    };
    for (const Pair& pair : pairs) {
        Write("left", pair.left);
        Write("right", pair.right);
        std::string problem;
        EXPECT_EQ(pair.verdict, CompareLocalFiles(work + "/left", work + "/right", pair.listed, &problem)) << pair.about;
    }
    std::string problem;
    EXPECT_EQ(2, CompareLocalFiles(work + "/left", work + "/none", 1, &problem));
    EXPECT_NE(std::string::npos, problem.find(work + "/none")) << problem;
}

TEST_F(MakeTest, TheAuthorsMistakesAreNamedWithWhatToDo) {
    Write("old/data/keep.dat", "kept");
    Write("new/data/keep.dat", "kept");
    Write("new/data/new.dat", "new");
    const std::string order = "the order is OLD_GAME NEW_GAME PATCH_FOLDER, the patch folder to make last";
    const std::string give = ": give the release update.exe with --exe (cmake --preset win32 && cmake --build "
                             "--preset win32 builds build/win32/src/shell/update.exe)";
    struct Mistake {
        const char* about;
        std::string program;  // written as update.exe
        std::vector<std::string> folders;
        int status;
        std::string line;  // {work} stands for the work folder
    };
    const std::vector<Mistake> mistakes = {
        {"a Linux program as update.exe", "\x7F" "ELF\x02\x01\x01 and the rest of a Linux program", {"old", "new", "patch"},
         MakeUsageOrReadError, "--exe {work}/update.exe: a Linux program, not a Windows one" + give},
        {"a text as update.exe", "a stand-in for update.exe", {"old", "new", "patch"}, MakeUsageOrReadError,
         "--exe {work}/update.exe: not a Windows program (no MZ header)" + give},
        {"an MS-DOS program", "MZ" + std::string(100, '\0'), {"old", "new", "patch"}, MakeUsageOrReadError,
         "--exe {work}/update.exe: an MS-DOS program, not a Windows one (no PE header)" + give},
        {"a console program", WindowsProgram(0x14C, 3), {"old", "new", "patch"}, MakeUsageOrReadError,
         "--exe {work}/update.exe: a console program, not update.exe (which has a window)" + give},
        {"a DLL", WindowsProgram(0x14C, 2, true), {"old", "new", "patch"}, MakeUsageOrReadError,
         "--exe {work}/update.exe: a DLL, not a program" + give},
        {"an ARM program", WindowsProgram(0xAA64), {"old", "new", "patch"}, MakeUsageOrReadError,
         "--exe {work}/update.exe: a Windows program for another processor (machine 0xAA64)" + give},
        {"the patch folder named first", WindowsProgram(), {"patch", "old", "new"}, MakeUsageOrReadError,
         "old game folder {work}/patch: no such folder; " + order},
        {"a new game folder that does not exist", WindowsProgram(), {"old", "newer", "patch"}, MakeUsageOrReadError,
         "new game folder {work}/newer: no such folder; " + order},
    };
    for (const Mistake& mistake : mistakes) {
        Write("update.exe", mistake.program);
        std::vector<std::string> arguments = {"--exe", work + "/update.exe", "--reg-path", "Maker\\Game"};
        for (const std::string& folder : mistake.folders) arguments.push_back(work + "/" + folder);
        std::string out, err;
        EXPECT_EQ(mistake.status, RunUpdateMake(arguments, &out, &err)) << mistake.about;
        std::string line = mistake.line;
        for (size_t at; (at = line.find("{work}")) != std::string::npos;) line.replace(at, 6, work);
        EXPECT_EQ("update-make: " + line + "\n", err) << mistake.about;
        EXPECT_EQ(InputsOnly, Listing()) << mistake.about;
    }
    Write("update.exe", WindowsProgram());

    // Made without texts: each empty one is warned about; made again into the
    // same folder: refused, saying what to do; a patch named as a game: refused.
    std::string out, err;
    EXPECT_EQ(MadeWithWarnings, Make({}, &out, &err)) << err;
    for (const char* key : {"[Caption]", "[Comment0]", "[Comment1]", "[GameName]"})
        EXPECT_NE(std::string::npos, out.find(std::string("  text-empty  ") + key + ": empty: ")) << key << out;
    EXPECT_NE(std::string::npos, out.find("The patch turns OLD into NEW.\n")) << out;
    err.clear();
    EXPECT_EQ(RefusedOrNotProven, Make({}, &out, &err));
    EXPECT_EQ("update-make: refused: " + work + "/patch: holds a patch already (a run before this one made it): delete "
              "it, or name another patch folder; nothing was written\n", err);
    err.clear();
    EXPECT_EQ(RefusedOrNotProven, RunUpdateMake({"--exe", work + "/update.exe", "--reg-path", "K", work + "/patch",
                                                 work + "/new", work + "/other"}, &out, &err));
    EXPECT_EQ("update-make: refused: old game folder " + work + "/patch: holds update.ini and update\\, a patch, not a "
              "game; " + order + "; nothing was written\n", err);
    system(("rm -rf '" + work + "/patch'").c_str());

    // All texts given, an x86_64 update.exe: its one warning. OLD and NEW
    // swapped (OLD's files written later): warned, made.
    const std::vector<std::string> texts = {"--game-name", "Game", "--comment0", "a", "--comment1", "b"};
    Write("update.exe", WindowsProgram(0x8664));
    out.clear();
    EXPECT_EQ(MadeWithWarnings, Make(texts, &out, &err)) << err;
    EXPECT_NE(std::string::npos, out.find("Warnings:\n  exe-64-bit  update.exe: the x86_64 build: it runs only on "
                                          "64-bit Windows; the release is the i686 build (cmake --preset win32)\n\n"))
        << out;
    system(("rm -rf '" + work + "/patch'").c_str());
    Write("update.exe", WindowsProgram());
    Write("old/Tessoran.exe", "engine 1.01");
    Write("old/data/scene.dat", "scene 1.01");
    Write("new/data/scene.dat", "scene 1.00");
    const utimbuf earlier = {1600000000, 1600000000};
    utime((work + "/new/Tessoran.exe").c_str(), &earlier);
    utime((work + "/new/data/scene.dat").c_str(), &earlier);
    out.clear();
    EXPECT_EQ(MadeWithWarnings, Make(texts, &out, &err)) << err;
    EXPECT_NE(std::string::npos, out.find("  versions-swapped  2 of the 2 replaced files were written later in OLD "
                                          "than in NEW: if OLD and NEW are swapped, "))
        << out;
    system(("rm -rf '" + work + "/patch'").c_str());
    utime((work + "/old/Tessoran.exe").c_str(), &earlier);
    utime((work + "/old/data/scene.dat").c_str(), &earlier);
    utime((work + "/new/data/scene.dat").c_str(), nullptr);
    out.clear();
    EXPECT_EQ(MadeAndProven, Make(texts, &out, &err)) << err << out;

    out.clear();
    EXPECT_EQ(MadeAndProven, RunUpdateMake({"old", "--help"}, &out, &err));
    EXPECT_EQ(0u, out.find("usage: update-make ")) << out;
}

}  // namespace
