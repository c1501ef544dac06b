// The update engine on the real file system and registry, through the Win32
// platform backend: name resolution without regard to case, folders created
// upper-cased, read-only marks, and the SAV_FOLDER read.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "description/update_description.h"
#include "platform/platform.h"
#include "program_driver.h"
#include "shell/program_folder.h"
#include "codec/adler32.h"
#include "codec/sha256.h"
#include "update/game_folder.h"
#include "update/update_run.h"
#include "update/update_tree.h"
#include "../codec/sha256_in_pieces.h"
#include "../codec/vcdiff_integer.h"

namespace {

// Stored name of the last component, as the file system reports it.
std::string StoredName(const std::string& path) {
    WIN32_FIND_DATAW data;
    HANDLE search = FindFirstFileW(ShiftJisToWide(path).c_str(), &data);
    if (search == INVALID_HANDLE_VALUE) return "";
    FindClose(search);
    return WideToShiftJis(data.cFileName);
}

DWORD AttributesOf(const std::string& path) { return GetFileAttributesW(ShiftJisToWide(path).c_str()); }

std::string Content(const std::string& path) {
    std::string bytes;
    return ReadFileBytes(path, &bytes) ? bytes : "<missing>";
}

bool IsReadOnly(const std::string& path) {
    DWORD attributes = AttributesOf(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
}

bool MakeFile(const std::string& path, const std::string& bytes, DWORD attributes = 0) {
    return WriteFileBytes(path, bytes) && (attributes == 0 || SetFileAttributesW(ShiftJisToWide(path).c_str(), attributes));
}

// Answers this process's message boxes from a second thread, recording each
// box's title and text.
class BoxAnswerer {
public:
    BoxAnswerer() : stop_(false), thread_([this] { Run(); }) {}
    ~BoxAnswerer() {
        stop_ = true;
        thread_.join();
    }
    std::vector<std::string> Seen() {
        std::lock_guard<std::mutex> lock(mutex_);
        return seen_;
    }

private:
    void Run() {
        while (!stop_) {
            HWND box = FindWindowOfProcess(GetCurrentProcessId(), L"#32770");
            if (box) {
                {
                    std::lock_guard<std::mutex> lock(mutex_);
                    seen_.push_back(WindowText(box) + "|" + WideToShiftJis(BoxTextWide(box)));
                }
                PostMessageA(box, WM_COMMAND, IDOK, 0);
                for (int i = 0; i < 500 && IsWindow(box); ++i) Sleep(10);
            }
            Sleep(10);
        }
    }
    std::atomic<bool> stop_;
    std::mutex mutex_;
    std::vector<std::string> seen_;
    std::thread thread_;
};

class EngineOnWindows : public ::testing::Test {
protected:
    void SetUp() override {
        game_ = MakeTempFolder("engine-game");
        patch_ = MakeTempFolder("engine-patch");
        ASSERT_FALSE(game_.empty());
        ASSERT_FALSE(patch_.empty());
        ASSERT_TRUE(MakeFolder(patch_ + "\\update"));
        static int counter = 0;
        keyPath_ = "Software\\UpdateEngineTest-" + std::to_string(GetCurrentProcessId()) + "-" +
                   std::to_string(++counter);
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, keyPath_.c_str(), 0, NULL, 0, KEY_ALL_ACCESS,
                                                 NULL, &key_, NULL));

        ResetUpdateDescription();
        ResetUpdateRunForTests();
        strcpy(ProgramFolder, patch_.c_str());
        strcpy(UpdateDescription.RegistryKeyPath, keyPath_.c_str());
        strcpy(UpdateDescription.Caption, "Patch");
        strcpy(UpdateDescription.GameName, "Game");
    }
    void TearDown() override {
        if (key_) RegCloseKey(key_);
        RegDeleteKeyA(HKEY_CURRENT_USER, keyPath_.c_str());
        RemoveTree(game_);
        RemoveTree(patch_);
    }
    // Stores the first count bytes (all by default). The Win32 call adds a
    // terminator the caller forgot when a NUL follows the data, so a value meant
    // to lack one is given a further non-NUL byte that is not stored.
    void SetValue(const char* name, DWORD type, const std::string& bytes, size_t count = std::string::npos) {
        if (count == std::string::npos) count = bytes.size();
        ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key_, name, 0, type, (const BYTE*)bytes.data(), (DWORD)count));
    }
    // A string value given in UTF-16, units as stored (terminator included
    // when it is part of count).
    void SetWideValue(const char* name, DWORD type, const std::wstring& units, size_t count) {
        ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key_, ShiftJisToWide(name).c_str(), 0, type, (const BYTE*)units.data(),
                                                (DWORD)(count * sizeof(wchar_t))));
    }
    // Runs the update, answering its boxes; what they said, as "title|text".
    static int RunAnswered(std::vector<std::string>* boxes) {
        BoxAnswerer answerer;
        int result = RunUpdate();
        *boxes = answerer.Seen();
        return result;
    }
    std::string Game(const std::string& relative) const { return game_ + "\\" + relative; }
    std::string Patch(const std::string& relative) const { return patch_ + "\\update\\" + relative; }

    std::string game_, patch_, keyPath_;
    HKEY key_ = NULL;
};

TEST_F(EngineOnWindows, ACompleteRunResolvesCaseClearsReadOnlyAndUpperCasesNewFolders) {
    SetValue("SAV_FOLDER", REG_SZ, game_ + "\\" + std::string(1, '\0'));
    ASSERT_TRUE(MakeFolder(Game("data")));
    ASSERT_TRUE(MakeFile(Game("kovent9m.exe"), "old engine"));
    ASSERT_TRUE(MakeFile(Game("data\\a.dat"), "old a", FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(MakeFile(Game("old.dat"), "obsolete"));
    ASSERT_TRUE(MakeFile(Game("locked.dat"), "locked", FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(MakeFolder(Patch("Data")));
    ASSERT_TRUE(MakeFolder(Patch("New")));
    ASSERT_TRUE(MakeFile(Patch("KOVENT9M.EXE"), "new engine"));
    ASSERT_TRUE(MakeFile(Patch("Data\\A.DAT"), "new a"));
    ASSERT_TRUE(MakeFile(Patch("New\\x.dat"), "new x", FILE_ATTRIBUTE_READONLY));
    strcpy(UpdateDescription.AddFiles[UpdateDescription.AddFileCount++], "new\\X.DAT");
    strcpy(UpdateDescription.DelFiles[UpdateDescription.DelFileCount++], "OLD.DAT");
    strcpy(UpdateDescription.DelFiles[UpdateDescription.DelFileCount++], "locked.dat");
    strcpy(UpdateDescription.DelFiles[UpdateDescription.DelFileCount++], "data");

    std::vector<std::string> boxes;
    int result = RunAnswered(&boxes);

    EXPECT_EQ(0, result);
    EXPECT_EQ(std::vector<std::string>({"Patch|アップデートが完了しました。"}), boxes);
    EXPECT_EQ(game_, GameFolder);
    EXPECT_EQ("new engine", Content(Game("kovent9m.exe")));
    EXPECT_EQ("new a", Content(Game("data\\a.dat")));
    EXPECT_FALSE(IsReadOnly(Game("data\\a.dat")));
    EXPECT_EQ("data", StoredName(Game("DATA")));
    EXPECT_EQ("NEW", StoredName(Game("new")));
    EXPECT_EQ("x.dat", StoredName(Game("new\\x.dat")));
    EXPECT_EQ("new x", Content(Game("new\\x.dat")));
    EXPECT_FALSE(IsReadOnly(Game("new\\x.dat")));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, AttributesOf(Game("old.dat")));
    // Deletion failures are ignored: a read-only file and a folder stay.
    EXPECT_EQ("locked", Content(Game("locked.dat")));
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, AttributesOf(Game("data")));
}

// A delta of windows written by hand, each one RUN of a byte (no source), and
// the target it makes.
std::string RunWindowsDelta(const std::vector<std::pair<size_t, char>>& runs, std::string* target) {
    std::string delta("\xD6\xC3\xC4\x00\x00", 5);
    for (const auto& run : runs) {
        std::string made(run.first, run.second), instructions(1, '\0');  // RUN, its size follows
        PutInteger(&instructions, run.first);
        std::string encoding;
        PutInteger(&encoding, run.first);
        encoding += '\0';
        PutInteger(&encoding, 1);
        PutInteger(&encoding, instructions.size());
        PutInteger(&encoding, 0);
        uint32_t sum = Adler32(made.data(), made.size());
        for (int shift = 24; shift >= 0; shift -= 8) encoding += (char)(sum >> shift);
        encoding += run.second + instructions;
        delta += '\x04';  // the checksum, no source segment
        PutInteger(&delta, encoding.size());
        delta += encoding;
        *target += made;
    }
    return delta;
}

// Windows that take turns in the halves of the decoder's buffer, and larger
// ones that take all of it, while a second thread hashes the one before.
TEST_F(EngineOnWindows, ADeltaOfManyWindowsIsDecodedWhileItsWindowsAreHashedBeside) {
    SetValue("SAV_FOLDER", REG_SZ, game_ + "\\" + std::string(1, '\0'));
    ASSERT_TRUE(MakeFolder(Game("data")));
    ASSERT_TRUE(MakeFile(Game("kovent9m.exe"), "engine"));
    const std::string old = "the old archive";
    ASSERT_TRUE(MakeFile(Game("data\\archive.dat"), old));
    std::string target;
    std::string delta = RunWindowsDelta({{8 << 20, 'a'}, {8 << 20, 'b'}, {9 << 20, 'c'}, {1000, 'd'}, {8 << 20, 'e'},
                                         {12345, 'f'}},
                                        &target);
    ASSERT_TRUE(MakeFolder(patch_ + "\\deltas"));
    ASSERT_TRUE(MakeFile(patch_ + "\\deltas\\0001.vcdiff", delta));
    ASSERT_TRUE(MakeFile(patch_ + "\\deltas.txt", "data\\archive.dat\t" + std::to_string(old.size()) + "\t" +
                                                      Sha256InPieces(old) + "\t" + std::to_string(target.size()) + "\t" +
                                                      Sha256InPieces(target) + "\tdeltas\\0001.vcdiff\r\n"));

    // The portable hash is several times slower than the writing: a window
    // overwritten while it is still hashed would not go unnoticed.
    Sha256ForcePortable(true);
    std::vector<std::string> boxes;
    EXPECT_EQ(0, RunAnswered(&boxes));
    Sha256ForcePortable(false);
    EXPECT_EQ(std::vector<std::string>({"Patch|アップデートが完了しました。"}), boxes);
    EXPECT_TRUE(Content(Game("data\\archive.dat")) == target) << "the archive is not the delta's result";
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(ShiftJisToWide(Game("data\\~upd*")).c_str(), &found);
    EXPECT_EQ(INVALID_HANDLE_VALUE, search) << "a temporary file was left";
    if (search != INVALID_HANDLE_VALUE) FindClose(search);
}

TEST_F(EngineOnWindows, AReadOnlyEngineExecutableFailsTheEngineCopy) {
    SetValue("SAV_FOLDER", REG_SZ, game_ + std::string(1, '\0'));
    ASSERT_TRUE(MakeFile(Game("kovent9m.exe"), "old engine", FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(MakeFile(Patch("kovent9m.exe"), "new engine"));

    std::vector<std::string> boxes;
    int result = RunAnswered(&boxes);

    EXPECT_EQ(1, result);
    EXPECT_EQ(std::vector<std::string>({"アップデートエラー|ファイルのコピーに失敗しました。"}), boxes);
    EXPECT_EQ("old engine", Content(Game("kovent9m.exe")));
    EXPECT_TRUE(IsReadOnly(Game("kovent9m.exe")));
}

TEST_F(EngineOnWindows, TheChainStepsOverDoubleByteCharactersOfShiftJisWhateverTheAnsiCodePage) {
    // 表 is 95 5C in code page 932.
    std::string path = game_ + "\\表\\sub\\表";
    EXPECT_EQ(0, MakeDirectoryChain(path.c_str()));
    EXPECT_EQ("表", StoredName(game_ + "\\表"));
    EXPECT_EQ("SUB", StoredName(game_ + "\\表\\sub"));
    DWORD attributes = AttributesOf(path);
    EXPECT_TRUE(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_EQ(1, ProbeFile((game_ + "\\表").c_str()));  // a directory is no file
}

TEST_F(EngineOnWindows, RegistryStringsAreReadOnlyWhenTheyAreStringsThatFit) {
    char buffer[512];
    SetValue("S", REG_SZ, "C:\\Games\\Title\\" + std::string(1, '\0'));
    EXPECT_EQ(0, ReadRegistryString(keyPath_.c_str(), "S", buffer, sizeof buffer));
    EXPECT_STREQ("C:\\Games\\Title\\", buffer);
    SetValue("E", REG_EXPAND_SZ, "%TEMP%" + std::string(1, '\0'));
    EXPECT_EQ(0, ReadRegistryString(keyPath_.c_str(), "E", buffer, sizeof buffer));
    EXPECT_STREQ("%TEMP%", buffer);
    SetValue("Unterminated", REG_SZ, std::string(511, 'u') + "x", 511);
    EXPECT_EQ(0, ReadRegistryString(keyPath_.c_str(), "Unterminated", buffer, sizeof buffer));
    EXPECT_EQ(std::string(511, 'u'), buffer);
    SetValue("Full", REG_SZ, std::string(512, 'f') + "x", 512);
    EXPECT_EQ(1, ReadRegistryString(keyPath_.c_str(), "Full", buffer, sizeof buffer));
    SetValue("Long", REG_SZ, std::string(600, 'l') + std::string(1, '\0'));
    EXPECT_EQ(1, ReadRegistryString(keyPath_.c_str(), "Long", buffer, sizeof buffer));
    SetValue("D", REG_DWORD, std::string("\x01\0\0\0", 4));
    EXPECT_EQ(1, ReadRegistryString(keyPath_.c_str(), "D", buffer, sizeof buffer));
    EXPECT_EQ(1, ReadRegistryString(keyPath_.c_str(), "Missing", buffer, sizeof buffer));
    EXPECT_EQ(1, ReadRegistryString((keyPath_ + "\\None").c_str(), "S", buffer, sizeof buffer));
}

TEST_F(EngineOnWindows, RegistryStringsAreConvertedAndLimitedInTheirShiftJisForm) {
    // A Japanese game folder read through the registry is the end-to-end names
    // cases' road; here, the limit.
    char buffer[512];
    // 255 kanji and a terminator take 511 bytes; 256 take 513, more than the
    // field, although their UTF-16 form would fit 1024 bytes.
    std::wstring kanji = ShiftJisToWide("表");
    std::wstring fits(255, kanji[0]);
    SetWideValue("Fits", REG_SZ, fits + L'\0', 256);
    EXPECT_EQ(0, ReadRegistryString(keyPath_.c_str(), "Fits", buffer, sizeof buffer));
    EXPECT_EQ(510u, strlen(buffer));
    std::wstring tooLong(256, kanji[0]);
    SetWideValue("TooLong", REG_SZ, tooLong + L'\0', 257);
    EXPECT_EQ(1, ReadRegistryString(keyPath_.c_str(), "TooLong", buffer, sizeof buffer));
    // 256 kanji without a terminator fill the field: no room for one.
    SetWideValue("Full", REG_SZ, tooLong + L'x', 256);
    EXPECT_EQ(1, ReadRegistryString(keyPath_.c_str(), "Full", buffer, sizeof buffer));
}

}  // namespace
