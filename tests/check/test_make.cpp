// update-make run in-process on real folders: the refusals (nothing written, a
// non-empty patch folder left as it was), a patch the proof rejects, and the
// differences from NEW that are only warned about.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <string.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <utime.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "author_tools/host/folder_reader.h"
#include "author_tools/host/local_files.h"
#include "author_tools/run/patch_check.h"
#include "author_tools/run/report_writers.h"
#include "author_tools/update_make/delta_maker.h"
#include "author_tools/update_make/left_out_files.h"
#include "author_tools/update_make/make_tool.h"
#include "author_tools/update_make/patch_maker.h"
#include "shell/font_holder.h"
#include "update/program_reset.h"

namespace mp = memory_platform;

namespace {

// The headers of a Windows program, all update-make reads of one: MZ, the PE
// signature, the file header and a 32- or 64-bit optional header; then, for
// this project's program, the InternalName string of its version resource.
std::string WindowsProgram(unsigned machine = 0x14C, unsigned subsystem = 2, bool dll = false, bool ours = true) {
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
    auto utf16 = [](const std::string& text) {
        std::string units;
        for (char c : text) units += std::string{c, '\0'};
        return units + std::string(2, '\0');
    };
    if (ours) bytes += utf16("InternalName") + std::string(2, '\0') + utf16("update_patcher");
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
         "refused: {work}/new: data\\wave\xE3\x80\x9C" "dash.dat: the name's character 5, \xE3\x80\x9C U+301C, has no "
         "Shift-JIS form: write \xEF\xBD\x9E U+FF5E, which looks the same, instead; nothing was written"},
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
    // The engine executable's copy keeps the marks of the file it goes over,
    // so it fails on each of them, and the run stops; the report names the mark.
    Write("new/Tessoran.exe", "engine 1.01");
    Write("new/kovent9d.exe", "the second engine");  // carried too, but copied over nothing first
    struct Marked {
        const char* mark;
        std::function<void()> apply;
    };
    const std::string old = work + "/old/Tessoran.exe";
    const std::vector<Marked> marks = {
        {"read-only", [&] { ReadOnly("old/Tessoran.exe"); }},
        {"hidden", [&] { ASSERT_EQ(0, setxattr(old.c_str(), "user.DOSATTRIB", "0x2", 3, 0)); }},
        {"system", [&] { ASSERT_EQ(0, setxattr(old.c_str(), "user.DOSATTRIB", "0x4", 3, 0)); }},
        {"read-only and hidden", [&] {
             ASSERT_EQ(0, setxattr(old.c_str(), "user.DOSATTRIB", "0x2", 3, 0));
             ReadOnly("old/Tessoran.exe");
         }},
    };
    for (const Marked& marked : marks) {
        chmod(old.c_str(), 0644);
        removexattr(old.c_str(), "user.DOSATTRIB");
        marked.apply();
        std::string out, err;
        EXPECT_EQ(RefusedOrNotProven, Make({}, &out, &err)) << marked.mark << err;
        for (const std::string& line : std::vector<std::string>{
                 "  engine-marked  Tessoran.exe: " + std::string(marked.mark) +
                     " in OLD: update.exe copies the engine executable over it before anything else, without "
                     "clearing its marks, so the copy fails and players see the box "
                     "\xE3\x83\x95\xE3\x82\xA1\xE3\x82\xA4\xE3\x83\xAB\xE3\x81\xAE\xE3\x82\xB3\xE3\x83\x94\xE3\x83\xBC"
                     "\xE3\x81\xAB\xE5\xA4\xB1\xE6\x95\x97\xE3\x81\x97\xE3\x81\xBE\xE3\x81\x97\xE3\x81\x9F\xE3\x80\x82"
                     "; if only your copy has the mark, clear it",  // ファイルのコピーに失敗しました。
                 "(the run): the program's run does not complete",
                 "Tessoran.exe: keeps OLD's bytes, which differ from NEW's",
                 "The patch does not turn OLD into NEW: 3 differences; nothing was written."})
            EXPECT_NE(std::string::npos, out.find(line)) << marked.mark << "\n" << line << "\n" << out;
        EXPECT_EQ(InputsOnly, Listing()) << marked.mark;
    }
    // The mark cleared in the author's copy: made.
    chmod(old.c_str(), 0644);
    removexattr(old.c_str(), "user.DOSATTRIB");
    std::string out, err;
    EXPECT_EQ(MadeWithWarnings, Make({}, &out, &err)) << err << out;
    EXPECT_EQ(std::string::npos, out.find("engine-marked")) << out;
}

// The texts' mistakes: a [RegPath] that makes update.exe read another key, a
// character without a Shift-JIS form. Each is refused with what to write, and
// nothing is written; written as told, the patch is made.
TEST_F(MakeTest, TextMistakesAreRefusedWithWhatToWrite) {
    Write("new/new.dat", "new");
    Write("texts-software.ini", "[GameName]=Game\r\n[RegPath]=Software\\Maker\\Game\r\n");
    Write("texts-utf8.ini", "[GameName]=Game\n[Comment0]=A\xE2\x88\x92" "B\n[RegPath]=Maker\\Game\n");  // A−B
    struct Mistake {
        const char* about;
        std::vector<std::string> options;
        std::string line;
    };
    const std::string wave = "\xE3\x80\x9C", tilde = "\xEF\xBD\x9E";  // 〜 ～
    const std::vector<Mistake> mistakes = {
        {"the key with its hive", {"--reg-path", "HKEY_CURRENT_USER\\Software\\NatsuSoft\\Natsuzora"},
         "--reg-path HKEY_CURRENT_USER\\Software\\NatsuSoft\\Natsuzora: starts with the hive name HKEY_CURRENT_USER: "
         "update.exe reads the value SAV_FOLDER of the key HKEY_CURRENT_USER\\Software\\<[RegPath]>, here "
         "HKEY_CURRENT_USER\\Software\\HKEY_CURRENT_USER\\Software\\NatsuSoft\\Natsuzora, a key no installer writes, so "
         "every player would get the box \"...\xE3\x81\x8C\xE3\x82\xA4\xE3\x83\xB3\xE3\x82\xB9\xE3\x83\x88\xE3\x83\xBC"
         "\xE3\x83\xAB\xE3\x81\x95\xE3\x82\x8C\xE3\x81\xA6\xE3\x81\x84\xE3\x81\xBE\xE3\x81\x9B\xE3\x82\x93\xE3\x80\x82\"; "
         "write [RegPath]=NatsuSoft\\Natsuzora (--reg-path 'NatsuSoft\\Natsuzora'), and it reads "
         "HKEY_CURRENT_USER\\Software\\NatsuSoft\\Natsuzora"},
        {"the key with HKCU", {"--reg-path", "hkcu\\NatsuSoft\\Natsuzora"},
         "--reg-path hkcu\\NatsuSoft\\Natsuzora: starts with the hive name hkcu: "},
        {"a trailing backslash", {"--reg-path", "NatsuSoft\\Natsuzora\\"},
         "--reg-path NatsuSoft\\Natsuzora\\: ends with a backslash: "},
        {"the previous patch's texts with Software\\", {"--texts", "{work}/texts-software.ini"},
         "--texts [RegPath]=Software\\Maker\\Game: starts with Software\\: "},
        {"a wave dash in an option", {"--reg-path", "Maker\\Game", "--caption", "Game ver1.02 " + wave + " fix"},
         "--caption Game ver1.02 " + wave + " fix ([Caption]): its character 14, " + wave +
             " U+301C, has no Shift-JIS form: write " + tilde + " U+FF5E, which looks the same, instead"},
        {"a minus sign in UTF-8 texts", {"--texts", "{work}/texts-utf8.ini"},
         "--texts: line 2 ([Comment0]): its character 13, \xE2\x88\x92 U+2212, has no Shift-JIS form: write "
         "\xEF\xBC\x8D U+FF0D, which looks the same, instead"},
        {"a wave dash in --exclude", {"--reg-path", "Maker\\Game", "--exclude", "a" + wave},
         "--exclude a" + wave + ": its character 2, " + wave + " U+301C, has no Shift-JIS form: write " + tilde +
             " U+FF5E, which looks the same, instead"},
    };
    auto run = [&](std::vector<std::string> options, std::string* out, std::string* err) {
        std::vector<std::string> arguments = {"--exe", work + "/update.exe", "--game-name", "Game", "--comment0", "a",
                                              "--comment1", "b"};
        for (std::string& option : options)
            if (option.find("{work}") == 0) option.replace(0, 6, work);
        arguments.insert(arguments.end(), options.begin(), options.end());
        for (const char* folder : {"/old", "/new", "/patch"}) arguments.push_back(work + folder);
        return RunUpdateMake(arguments, out, err);
    };
    const std::vector<std::string> inputs = {"new", "old", "texts-software.ini", "texts-utf8.ini", "update.exe"};
    for (const Mistake& mistake : mistakes) {
        std::string out, err;
        EXPECT_EQ(MakeUsageOrReadError, run(mistake.options, &out, &err)) << mistake.about;
        EXPECT_EQ(0u, err.find("update-make: " + mistake.line)) << mistake.about << "\n" << err;
        EXPECT_EQ("", out) << mistake.about;
        EXPECT_EQ(inputs, Listing()) << mistake.about;
    }
    // Written as the message says: made, the key as told.
    std::string out, err;
    EXPECT_EQ(MadeAndProven, run({"--reg-path", "NatsuSoft\\Natsuzora", "--caption", "Game " + tilde}, &out, &err))
        << err << out;
    std::ifstream ini(work + "/patch/update.ini", std::ios::binary);
    std::string written(std::istreambuf_iterator<char>(ini), {});
    EXPECT_NE(std::string::npos, written.find("[RegPath]=NatsuSoft\\Natsuzora\r\n[Caption]=Game \x81\x60\r\n")) << written;
}

// Files no game has: warned while the patch would carry them; --exclude
// leaves them out of OLD and NEW alike, so none is copied or deleted.
TEST_F(MakeTest, FilesNoGameHasAreWarnedAndExcludeLeavesThemOut) {
    Write("old/Thumbs.db", "old thumbnails");
    Write("new/Thumbs.db", "new thumbnails");       // replaced
    Write("new/data/Desktop.ini", "[.ShellClassInfo]");
    Write("new/data/.DS_Store", "finder");
    Write("new/data/scene.dat~", "backup");
    Write("new/data/scene.dat", "scene");
    Write("new/.git/HEAD", "ref: refs/heads/main");
    Write("new/.git/objects/ab/cdef", "object");
    Write("old/data/thumbs.db", "only in OLD");     // a [DelFile] but for --exclude
    Write("old/data/keep.dat", "kept");
    Write("new/data/keep.dat", "kept");
    const std::vector<std::string> texts = {"--game-name", "Game", "--comment0", "a", "--comment1", "b"};
    std::string out, err;
    EXPECT_EQ(MadeWithWarnings, Make(texts, &out, &err)) << err << out;
    for (const char* line :
         {"  not-game-file  Thumbs.db: Windows Explorer's thumbnail cache, no game's file: the patch would carry it to "
          "every player; leave it out with --exclude Thumbs.db\n",
          "  not-game-file  data\\Desktop.ini: Windows Explorer's folder settings, no game's file: ",
          "  not-game-file  data\\.DS_Store: macOS Finder's folder settings, no game's file: ",
          "  not-game-file  data\\scene.dat~: an editor's backup copy, no game's file: the patch would carry it to "
          "every player; leave it out with --exclude '*~'\n",
          "  not-game-file  .git: a Git repository's folder (2 files in the patch), no game's: the patch would carry it "
          "to every player; leave it out with --exclude .git\n"})
        EXPECT_NE(std::string::npos, out.find(line)) << line << "\n" << out;
    size_t warnings = 0;
    for (size_t at = 0; (at = out.find("  not-game-file  ", at)) != std::string::npos; ++at) ++warnings;
    EXPECT_EQ(5u, warnings) << out;
    system(("rm -rf '" + work + "/patch'").c_str());

    // Left out by name, by a path, in any letter case, with / or \\.
    std::vector<std::string> options = texts;
    for (const char* pattern : {"thumbs.DB", "data/desktop.ini", "*\\.ds_store", "*~", ".git"})
        options.insert(options.end(), {"--exclude", pattern});
    out.clear();
    EXPECT_EQ(MadeAndProven, Make(options, &out, &err)) << err << out;
    EXPECT_NE(std::string::npos, out.find("Left out of NEW by --exclude (6):\n  .git\\HEAD\n")) << out;
    EXPECT_NE(std::string::npos, out.find("Left out of OLD by --exclude (2):\n  Thumbs.db\n  data\\thumbs.db\n")) << out;
    std::ifstream ini(work + "/patch/update.ini", std::ios::binary);
    std::string written(std::istreambuf_iterator<char>(ini), {});
    EXPECT_NE(std::string::npos, written.find("[AddFile]=data\\scene.dat\r\n")) << written;
    EXPECT_EQ(std::string::npos, written.find("[DelFile]")) << written;
    EXPECT_EQ(std::string::npos, written.find("[AddFile]=.git")) << written;
    std::string listing;
    FILE* pipe = popen(("cd '" + work + "/patch/update' && find . | sort").c_str(), "r");
    char line[512];
    while (fgets(line, sizeof line, pipe)) listing += line;
    pclose(pipe);
    EXPECT_EQ(".\n./data\n./data/scene.dat\n", listing);
}

// A pattern matches an entry's relative path or its name, or a folder above
// it; * any run of characters, ? one (a double-byte character is one).
TEST(ExcludePatterns, MatchAPathANameOrAFolderAbove) {
    struct Case {
        const char* pattern;
        const char* path;
        bool excluded;
    };
    const std::vector<Case> cases = {
        {"Thumbs.db", "data\\THUMBS.DB", true},
        {"Thumbs.db", "data\\Thumbs.db.bak", false},
        {"*.bak", "a\\b\\c.bak", true},
        {"*.bak", "a\\b.bak\\c.dat", true},       // the folder b.bak
        {"*.dat", "data\\a.dat.txt", false},
        {"save/*", "save\\a\\b.dat", true},
        {"save/", "save\\x.dat", true},
        {"save", "data\\save\\x.dat", true},      // a folder by its name
        {"data\\*.dat", "data\\a.dat", true},
        {"data\\*.dat", "other\\data\\a.dat", false},
        {"sav?.dat", "save.dat", true},
        {"sav?.dat", "sav.dat", false},
        {"?.dat", "\x95\x5C.dat", true},           // 表.dat: one character, its second byte 0x5C
        {"\xE8\xA1\xA8\\*", "\x95\x5C.dat", false},  // 表\* is below the folder 表, not the file
        {"\xE8\xA1\xA8*", "\x95\x5C.dat", true},
        {"*", "anything\\at\\all", true},
    };
    for (const Case& test : cases) {
        std::vector<std::string> patterns;
        std::string problem;
        ASSERT_EQ(0, ExcludePatterns({test.pattern}, &patterns, &problem)) << test.pattern;
        FolderRead read;
        read.entries.push_back(mp::TreeEntry{test.path, false, 1, 0, ""});
        EXPECT_EQ(test.excluded, ExcludeEntries(patterns, &read).size() == 1) << test.pattern << " " << test.path;
        EXPECT_EQ(test.excluded, read.entries.empty()) << test.pattern << " " << test.path;
    }
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
        {"the game's engine", WindowsProgram(0x14C, 2, false, false), {"old", "new", "patch"}, MakeUsageOrReadError,
         "--exe {work}/update.exe: a windowed Windows program, but not this project's update.exe (its version "
         "resource names no InternalName update_patcher; the game's own engine, perhaps)" + give},
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
    auto madeWarning = [&](const std::string& warning) {
        out.clear();
        EXPECT_EQ(MadeWithWarnings, Make(texts, &out, &err)) << err;
        EXPECT_NE(std::string::npos, out.find(warning)) << out;
        system(("rm -rf '" + work + "/patch'").c_str());
    };
    Write("update.exe", WindowsProgram(0x8664));
    madeWarning("Warnings:\n  exe-64-bit  update.exe: the x86_64 build: it runs only on 64-bit Windows; the release "
                "is the i686 build (cmake --preset win32)\n\n");
    Write("update.exe", WindowsProgram());
    Write("old/Tessoran.exe", "engine 1.01");
    Write("old/data/scene.dat", "scene 1.01");
    Write("new/data/scene.dat", "scene 1.00");
    const utimbuf earlier = {1600000000, 1600000000};
    utime((work + "/new/Tessoran.exe").c_str(), &earlier);
    utime((work + "/new/data/scene.dat").c_str(), &earlier);
    madeWarning("  versions-swapped  2 of the 2 replaced files were written later in OLD than in NEW: if OLD and "
                "NEW are swapped, ");
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

// Deltas: files generated here, so that the repository stays small.
class DeltaTest : public MakeTest {
protected:
    // The window's texts given: what is warned about is the deltas' doing.
    int Make(std::vector<std::string> options, std::string* out, std::string* err) {
        options.insert(options.begin(), {"--game-name", "Game", "--comment0", "a", "--comment1", "b"});
        return MakeTest::Make(options, out, err);
    }
    // Bytes that do not repeat: a delta of them is made only of what OLD has.
    static std::string Noise(size_t size, uint32_t seed) {
        std::string bytes(size, '\0');
        uint32_t state = seed * 2654435761u + 1;
        for (char& byte : bytes) {
            state ^= state << 13;
            state ^= state >> 17;
            state ^= state << 5;
            byte = (char)(state >> 24);
        }
        return bytes;
    }
    static std::string Edited(std::string bytes, size_t at, const std::string& with) {
        bytes.replace(at, with.size(), with);
        return bytes;
    }
    std::string Read(const std::string& relative) {
        std::ifstream file(work + "/" + relative, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(file), {});
    }
    bool Exists(const std::string& relative) { return access((work + "/" + relative).c_str(), F_OK) == 0; }
    // update-check's run of a patch on a game, both folders below work.
    CheckReport Check(const std::string& patch, const std::string& game) {
        CheckInput input;
        input.patchPath = "C:\\Patch";
        input.gamePath = "C:\\Game";
        std::string problem;
        CheckReport report;
        EXPECT_EQ(0, ReadFolder(work + "/" + patch, "update.ini", &input.patch, &problem)) << problem;
        EXPECT_EQ(0, ReadFolder(work + "/" + game, "update.ini", &input.game, &problem)) << problem;
        ResetProgramGlobals();
        ControlFont.font = 0;
        EXPECT_EQ(0, CheckPatch(input, &report, &problem)) << problem;
        return report;
    }
    // What a standard tool prints, for the hashes and xdelta3's own decoding.
    static std::string Output(const std::string& command) {
        std::string text;
        FILE* pipe = popen(command.c_str(), "r");
        char chunk[4096];
        while (size_t count = fread(chunk, 1, sizeof chunk, pipe)) text.append(chunk, count);
        pclose(pipe);
        return text;
    }
    std::string Sha256(const std::string& relative) { return Output("sha256sum '" + work + "/" + relative + "'").substr(0, 64); }

    // An archive with one inner change, an asset replaced outright, a small
    // file and the engine executable.
    void WriteGame() {
        Write("old/data/archive.dat", Noise(300000, 1));
        Write("new/data/archive.dat", Edited(Noise(300000, 1), 150000, "a line of the script, fixed") + "appended");
        Write("old/data/voice.dat", Noise(100000, 2));
        Write("new/data/voice.dat", Noise(100000, 3));
        Write("old/data/small.dat", Noise(1000, 4));
        Write("new/data/small.dat", Edited(Noise(1000, 4), 10, "x"));
        Write("old/Tessoran.exe", Noise(200000, 5));
        Write("new/Tessoran.exe", Edited(Noise(200000, 5), 100, "engine 1.01"));
    }
};

TEST_F(DeltaTest, ALargeChangedFileTravelsAsADeltaThatStandardToolsCheck) {
    WriteGame();
    std::string out, err;
    ASSERT_EQ(MadeAndProven, Make({}, &out, &err)) << err << out;
    // The manifest: the column line, then the one delta with the sizes and hashes of both versions.
    EXPECT_EQ("# game file\told size\told SHA-256\tnew size\tnew SHA-256\tdelta file\r\n"
              "data\\archive.dat\t300000\t" + Sha256("old/data/archive.dat") + "\t300008\t" +
                  Sha256("new/data/archive.dat") + "\tdeltas\\0001.vcdiff\r\n",
              Read("patch/deltas.txt"));
    // xdelta3's own decoding of it gives NEW's file; what travels whole is in update\.
    EXPECT_EQ(Read("new/data/archive.dat"),
              Output("xdelta3 -d -D -c -s '" + work + "/old/data/archive.dat' '" + work + "/patch/deltas/0001.vcdiff'"));
    EXPECT_FALSE(Exists("patch/update/data/archive.dat"));
    for (const char* whole : {"Tessoran.exe", "data/voice.dat", "data/small.dat"})
        EXPECT_EQ(Read(std::string("new/") + whole), Read(std::string("patch/update/") + whole)) << whole;
    const uint64_t delta = Read("patch/deltas/0001.vcdiff").size();
    EXPECT_LT(delta, 1000u);
    for (const std::string& line : std::vector<std::string>{
             "  data\\archive.dat  (300008 bytes)  as a delta, deltas\\0001.vcdiff",
          "Deltas, made by " + Output("command -v xdelta3").substr(0, Output("command -v xdelta3").size() - 1) +
              ", listed in deltas.txt (1):",
          "  data\\archive.dat  " + std::to_string(delta) + " bytes for 300008 bytes",
          "Travel whole though a delta was tried (1):",
          "  data\\voice.dat  (100000 bytes): its delta of ",
          "Deltas decoded by update.exe's own decoder from OLD's files: 1 of 1 give NEW's file byte for byte",
          "The patch turns OLD into NEW."})
        EXPECT_NE(std::string::npos, out.find(line)) << line << "\n" << out;

    // The JSON report counts the manifest and the deltas in the patch's size, which is what lies on the disk.
    out.clear();
    system(("rm -rf '" + work + "/patch'").c_str());
    ASSERT_EQ(MadeAndProven, Make({"--json"}, &out, &err)) << err << out;
    for (const std::string& field : std::vector<std::string>{
             "\"deltas_txt\": " + std::to_string(Read("patch/deltas.txt").size()), "\"delta_files\": 1",
          "\"delta_bytes\": " + std::to_string(delta), "\"file\": \"deltas\\\\0001.vcdiff\"",
          "\"old_sha256\": \"" + Sha256("old/data/archive.dat") + "\"",
          "\"total\": " + Output("find '" + work + "/patch' -type f -printf '%s\\n' | paste -sd+ | bc | tr -d '\\n'"),
          "\"saved\": " + std::to_string(300008 - delta - Read("patch/deltas.txt").size())})
        EXPECT_NE(std::string::npos, out.find(field)) << field << "\n" << out;
}

// A compressed file is encoded as the bytes it is: the encoder, left to
// itself, would encode what the gzip stream holds, which the program's
// decoder (rightly) does not turn into the file.
TEST_F(DeltaTest, ACompressedFileTravelsAsADeltaOfItsOwnBytes) {
    Write("old/data/bgm.raw", Noise(200000, 6));
    Write("new/data/bgm.raw", Edited(Noise(200000, 6), 190000, "a new ending"));
    mkdir((work + "/old/data").c_str(), 0755);
    for (const char* side : {"old", "new"})
        ASSERT_EQ(0, system(("gzip -n -1 '" + work + "/" + side + "/data/bgm.raw' && mv '" + work + "/" + side +
                             "/data/bgm.raw.gz' '" + work + "/" + side + "/data/bgm.gz'").c_str()));
    ASSERT_GE(Read("new/data/bgm.gz").size(), DeltaMinimumSize);
    std::string out, err;
    ASSERT_EQ(MadeAndProven, Make({"--delta"}, &out, &err)) << err << out;
    EXPECT_NE(std::string::npos, Read("patch/deltas.txt").find("data\\bgm.gz\t")) << out;
    EXPECT_EQ(Read("new/data/bgm.gz"),
              Output("xdelta3 -d -D -c -s '" + work + "/old/data/bgm.gz' '" + work + "/patch/deltas/0001.vcdiff'"));
}

// update-make's figure and update-check's on the patch it made are one: the
// new file less its delta and deltas.txt.
TEST_F(DeltaTest, BothToolsPrintTheSameBytesSaved) {
    WriteGame();
    std::string out, err;
    ASSERT_EQ(MadeAndProven, Make({}, &out, &err)) << err << out;
    const int64_t saved = 300008 - (int64_t)Read("patch/deltas/0001.vcdiff").size() - (int64_t)Read("patch/deltas.txt").size();
    EXPECT_NE(std::string::npos, out.find("Deltas save " + std::to_string(saved) + " bytes: ")) << saved << "\n" << out;

    const CheckReport report = Check("patch", "old");
    EXPECT_EQ(saved, report.deltaBytesSaved);
    const std::string text = ReportAsText(report, false);
    EXPECT_NE(std::string::npos, text.find("Saved by deltas: " + std::to_string(saved) + " bytes: ")) << text;
}

// One patch for two old versions (1.00 and 1.01), proven on each: the archive
// differs in both (a delta from each), voice.dat is already new in 1.01 (a
// delta from 1.00 alone). update-check's run on a third version stops before
// anything changes, naming the file.
TEST_F(DeltaTest, OnePatchForTwoOldVersionsIsProvenOnEachAndAThirdIsRefused) {
    WriteGame();
    Write("old/data/voice.dat", Edited(Read("new/data/voice.dat"), 500, "1.00's voice"));
    Write("old101/Tessoran.exe", Read("old/Tessoran.exe"));
    Write("old101/data/archive.dat", Edited(Noise(300000, 1), 1000, "1.01's own line"));
    Write("old101/data/voice.dat", Read("new/data/voice.dat"));
    Write("old101/data/small.dat", Read("old/data/small.dat"));
    std::string out, err;
    int status = RunUpdateMake({"--exe", work + "/update.exe", "--reg-path", "Maker\\Game", "--game-name", "Game",
                                "--comment0", "a", "--comment1", "b", "--label", "1.00", "--label", "1.01", work + "/old",
                                work + "/old101", work + "/new", work + "/patch"},
                               &out, &err);
    ASSERT_EQ(MadeAndProven, status) << err << out;
    const std::string manifest = Read("patch/deltas.txt");
    for (const std::string& line :
         std::vector<std::string>{"# game file\told size\told SHA-256\tnew size\tnew SHA-256\tdelta file\tversions\r\n",
          "data\\archive.dat\t300000\t" + Sha256("old/data/archive.dat") + "\t300008\t" + Sha256("new/data/archive.dat") +
              "\tdeltas\\0001.vcdiff\t1.00\r\n",
          "data\\archive.dat\t300000\t" + Sha256("old101/data/archive.dat") + "\t300008\t" +
              Sha256("new/data/archive.dat") + "\tdeltas\\0002.vcdiff\t1.01\r\n",
          "data\\voice.dat\t100000\t" + Sha256("old/data/voice.dat") + "\t100000\t" + Sha256("new/data/voice.dat") +
              "\tdeltas\\0003.vcdiff\t1.00\r\n"})
        EXPECT_NE(std::string::npos, manifest.find(line)) << line << manifest;
    for (const char* line : {"On the old version 1.00: proven\n", "On the old version 1.01: proven\n"})
        EXPECT_NE(std::string::npos, out.find(line)) << line << out;

    Write("old102/Tessoran.exe", Read("old/Tessoran.exe"));
    Write("old102/data/archive.dat", Edited(Noise(300000, 1), 2000, "1.02, which the patch does not know"));
    Write("old102/data/voice.dat", Read("old/data/voice.dat"));
    Write("old102/data/small.dat", Read("old/data/small.dat"));
    CheckReport report = Check("patch", "old102");
    EXPECT_FALSE(report.completes);
    ASSERT_FALSE(report.boxes.empty());
    EXPECT_EQ("data\\archive.datのバージョンが違うため、アップデートできません。", report.boxes[0].text);
    EXPECT_TRUE(report.changes.empty());

    // --also-whole: the files the deltas make travel whole as well, and the
    // third version takes the whole archive.
    out.clear();
    ASSERT_EQ(MadeAndProven, RunUpdateMake({"--exe", work + "/update.exe", "--reg-path", "Maker\\Game", "--game-name",
                                            "Game", "--comment0", "a", "--comment1", "b", "--also-whole", work + "/old",
                                            work + "/old101", work + "/new", work + "/patch2"},
                                           &out, &err))
        << err << out;
    EXPECT_EQ(Read("new/data/archive.dat"), Read("patch2/whole/data/archive.dat"));
    EXPECT_NE(std::string::npos, out.find("--also-whole costs 400008 bytes: ")) << out;
    report = Check("patch2", "old102");
    EXPECT_TRUE(report.completes);
    ASSERT_FALSE(report.deltas.empty());
    EXPECT_EQ("whole", report.deltas[0].outcome);
}

TEST_F(DeltaTest, WithoutXdelta3OrWithNoDeltaEveryFileTravelsWhole) {
    WriteGame();
    const std::string path = getenv("PATH");
    mkdir((work + "/empty").c_str(), 0755);
    struct Case {
        const char* about;
        std::vector<std::string> options;
        bool withEncoder;
        int status;
        std::string line;  // in the report, or the one line on stderr
    };
    const std::vector<Case> cases = {
        {"--no-delta", {"--no-delta"}, true, MadeAndProven, "Deltas: none (--no-delta): every replaced file travels whole"},
        {"no xdelta3", {}, false, MadeWithWarnings,
         "Deltas: none: no xdelta3 program on PATH: install the package xdelta3 (apt-get install xdelta3); every "
         "replaced file travels whole\n"
         "...\n  no-delta-encoder  2 changed files of 64 KiB or more (400008 bytes) travel whole, as the patch was "
         "made without deltas: no xdelta3 program on PATH: install the package xdelta3 (apt-get install xdelta3); "
         "or give --no-delta to make a whole-file patch on purpose"},
        {"--delta without xdelta3", {"--delta"}, false, MakeUsageOrReadError,
         "update-make: --delta: no xdelta3 program on PATH: install the package xdelta3 (apt-get install xdelta3)\n"},
        {"--delta and --no-delta", {"--delta", "--no-delta"}, true, MakeUsageOrReadError,
         "update-make: --delta and --no-delta exclude each other\n"},
    };
    for (const Case& test : cases) {
        setenv("PATH", test.withEncoder ? path.c_str() : (work + "/empty").c_str(), 1);
        std::string out, err;
        int status = Make(test.options, &out, &err);
        setenv("PATH", path.c_str(), 1);
        EXPECT_EQ(test.status, status) << test.about << "\n" << err;
        if (status != MakeUsageOrReadError) {
            // Lines of the report in this order; "..." stands for any lines between.
            size_t at = 0;
            for (size_t end, start = 0; start < test.line.size(); start = end + 1) {
                end = test.line.find('\n', start);
                if (end == std::string::npos) end = test.line.size();
                std::string line = test.line.substr(start, end - start);
                if (line == "...") continue;
                at = out.find(line + "\n", at);
                EXPECT_NE(std::string::npos, at) << test.about << ": " << line << "\n" << out;
                if (at == std::string::npos) break;
            }
            EXPECT_FALSE(Exists("patch/deltas.txt") || Exists("patch/deltas")) << test.about;
            EXPECT_EQ(Read("new/data/archive.dat"), Read("patch/update/data/archive.dat")) << test.about;
            system(("rm -rf '" + work + "/patch'").c_str());
        } else {
            EXPECT_NE(std::string::npos, err.find(test.line)) << test.about << "\n" << err;
            EXPECT_FALSE(Exists("patch")) << test.about;
        }
    }
}

TEST_F(DeltaTest, ADeltaTheDecoderDoesNotTurnIntoNewLeavesNothingWritten) {
    WriteGame();
    struct Damage {
        const char* about;
        std::function<void(std::string*)> apply;
        std::string message;
    };
    const std::vector<Damage> damages = {
        {"its added bytes changed", [](std::string* delta) { (*delta)[delta->size() - 3] ^= 0x55; },
         "data\\archive.dat: its delta, decoded by update.exe's decoder from OLD's file: "},
        {"cut short", [](std::string* delta) { delta->resize(delta->size() / 2); },
         "data\\archive.dat: its delta, decoded by update.exe's decoder from OLD's file: update.exe's decoder refuses "
         "it: it is truncated"},
    };
    for (const Damage& damage : damages) {
        DeltaEncodedHook = [&](const std::string& path) {
            std::string bytes;
            {
                std::ifstream file(path, std::ios::binary);
                bytes.assign(std::istreambuf_iterator<char>(file), {});
            }
            damage.apply(&bytes);
            std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
        };
        std::string out, err;
        int status = Make({}, &out, &err);
        DeltaEncodedHook = nullptr;
        EXPECT_EQ(RefusedOrNotProven, status) << damage.about << "\n" << err << out;
        EXPECT_NE(std::string::npos, out.find("  " + damage.message)) << damage.about << "\n" << out;
        EXPECT_NE(std::string::npos, out.find("Deltas decoded by update.exe's own decoder from OLD's files: 0 of 1 give "
                                              "NEW's file byte for byte"))
            << out;
        // The program's own run refuses it too, before anything changes.
        for (const char* line : {"deltas\\0001.vcdiff\xE3\x81\x8C\xE5\xA3\x8A\xE3\x82\x8C\xE3\x81\xA6",  // が壊れて
                                 "(the run): the program's run does not complete",
                                 "data\\archive.dat: keeps OLD's bytes: the program's run did not apply its delta",
                                 "The patch does not turn OLD into NEW: 6 differences; nothing was written."})
            EXPECT_NE(std::string::npos, out.find(line)) << line << "\n" << out;
        EXPECT_EQ(InputsOnly, Listing()) << damage.about;
    }
}

// With one old version the proof begins while the last delta is encoded and
// reads it as it is written. An encoder that writes its delta in three parts,
// the last only once the patch's update.ini is there (written for the proof
// begun beside it), gives the patch the real encoder gives; one whose delta
// has a byte changed gives a patch that is not proven, and nothing is written.
TEST_F(DeltaTest, TheProofReadsTheLastDeltaWhileItsEncoderWritesIt) {
    Write("old/data/archive.dat", Noise(300000, 1));
    Write("new/data/archive.dat", Edited(Noise(300000, 1), 150000, "a line of the script, fixed"));
    Write("old/data/small.dat", "small");
    Write("new/data/small.dat", "small, changed");
    std::string out, err;
    ASSERT_EQ(MadeAndProven, Make({}, &out, &err)) << err << out;
    system(("mv '" + work + "/patch' '" + work + "/by-the-encoder'").c_str());

    const std::string real = Output("command -v xdelta3").substr(0, Output("command -v xdelta3").size() - 1);
    Write("slow/xdelta3",
          "#!/bin/sh\n"
          "for out; do :; done\n"
          "n=$#; i=0; for a; do i=$((i+1)); [ $i -lt $n ] && set -- \"$@\" \"$a\"; done; shift $n\n"
          "'" + real + "' \"$@\" \"$out.real\" || exit 1\n"
          "size=$(stat -c %s \"$out.real\"); third=$((size / 3 + 1))\n"
          "if [ -n \"$FLIP_A_BYTE\" ]; then\n"
          "  at=$((size - 3)); b=$(od -An -tu1 -j$at -N1 \"$out.real\" | tr -d ' ')\n"
          "  printf \"\\\\$(printf %o $(( (b + 1) % 256 )))\" | dd of=\"$out.real\" bs=1 seek=$at conv=notrunc 2>/dev/null\n"
          "fi\n"
          ": >\"$out\"\n"
          "dd if=\"$out.real\" bs=$third count=1 2>/dev/null >>\"$out\"; sleep 0.2\n"
          "dd if=\"$out.real\" bs=$third skip=1 count=1 2>/dev/null >>\"$out\"\n"
          "when=after; for t in $(seq 50); do\n"
          "  [ -f \"$(dirname \"$(dirname \"$out\")\")/update.ini\" ] && when=beside && break; sleep 0.1\n"
          "done\n"
          "echo $when >>'" + work + "/slow.log'\n"
          "dd if=\"$out.real\" bs=$third skip=2 2>/dev/null >>\"$out\"; rm \"$out.real\"\n");
    chmod((work + "/slow/xdelta3").c_str(), 0755);
    const std::string path = getenv("PATH");
    setenv("PATH", (work + "/slow:" + path).c_str(), 1);
    out.clear();
    int status = Make({}, &out, &err);
    EXPECT_EQ(MadeAndProven, status) << err << out;
    for (const char* file : {"deltas.txt", "deltas/0001.vcdiff", "update.ini", "update.exe", "update/data/small.dat"})
        EXPECT_EQ(Read(std::string("by-the-encoder/") + file), Read(std::string("patch/") + file)) << file;
    EXPECT_EQ(Output("cd '" + work + "/by-the-encoder' && find . | sort"), Output("cd '" + work + "/patch' && find . | sort"));
    system(("rm -rf '" + work + "/patch' '" + work + "/by-the-encoder'").c_str());
    setenv("FLIP_A_BYTE", "1", 1);
    std::string damagedOut;
    int damagedStatus = Make({}, &damagedOut, &err);
    unsetenv("FLIP_A_BYTE");
    setenv("PATH", path.c_str(), 1);

    EXPECT_EQ("beside\nbeside\n", Read("slow.log")) << "the proof did not begin while the encoder wrote";
    EXPECT_EQ(RefusedOrNotProven, damagedStatus) << damagedOut;
    EXPECT_FALSE(Exists("patch"));
    EXPECT_NE(std::string::npos, damagedOut.find("Deltas decoded by update.exe's own decoder from OLD's files: 0 of 1 give "
                                                 "NEW's file byte for byte"))
        << damagedOut;
}

TEST_F(DeltaTest, TheLargest256FilesBecomeDeltasAndTheRestTravelsWhole) {
    for (int i = 0; i < 257; ++i) {
        std::string name = "data/f" + std::to_string(1000 + i) + ".dat";
        Write("old/" + name, Noise(65536 + 16 * (size_t)i, (uint32_t)i + 10));
        Write("new/" + name, Edited(Noise(65536 + 16 * (size_t)i, (uint32_t)i + 10), 30000, "changed"));
    }
    std::string out, err;
    ASSERT_EQ(MadeAndProven, Make({}, &out, &err)) << err;
    std::string manifest = Read("patch/deltas.txt");
    EXPECT_EQ(257, std::count(manifest.begin(), manifest.end(), '\n'));  // the column line and 256 deltas
    EXPECT_EQ(0u, manifest.find("# game file\t"));
    // Numbered in the game's order; the smallest travels whole.
    EXPECT_NE(std::string::npos, manifest.find("\r\ndata\\f1001.dat\t65552\t"));
    EXPECT_NE(std::string::npos, manifest.find("\tdeltas\\0256.vcdiff\r\n"));
    EXPECT_FALSE(Exists("patch/deltas/0257.vcdiff"));
    for (const char* name : {"f1000.dat"}) {
        EXPECT_EQ(std::string::npos, manifest.find(name)) << name;
        EXPECT_EQ(Read(std::string("new/data/") + name), Read(std::string("patch/update/data/") + name)) << name;
    }
    EXPECT_NE(std::string::npos, out.find("  data\\f1000.dat  (65536 bytes): a patch holds at most 256 deltas\n")) << out;
}
