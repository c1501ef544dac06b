// A silent run of a patch of about a thousand files, killed with SIGKILL at
// random moments, leaves every game file whole (old or new), and running the
// patch again ends exactly as one uninterrupted run: the game folder equal to a
// reference run's name for name (letter case included), mark for mark and byte
// for byte, with no temporary file left. Temporary files planted as a kill
// between a copy's temporary file and its rename leaves them (half written, or
// complete and read-only) are removed the same way.
#include <gtest/gtest.h>
#include <windows.h>

#include <map>
#include <random>
#include <string>
#include <vector>

#include "program_driver.h"

namespace {

// The Wine loader's own call: the Unix path of a Windows path.
std::string UnixPath(const std::wstring& path) {
    typedef char*(CDECL * UnixFileName)(const wchar_t*);
    auto toUnix = reinterpret_cast<UnixFileName>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (!toUnix) return "";
    char* unix = toUnix(path.c_str());
    if (!unix) return "";
    std::string result = unix;
    HeapFree(GetProcessHeap(), 0, unix);
    return result;
}

// Deterministic content: which file, which version, how long.
std::string Content(int file, int version, size_t size) {
    std::string bytes(size, '\0');
    uint32_t state = (uint32_t)file * 2654435761u + (uint32_t)version * 40503u + 1;
    for (size_t i = 0; i < size; ++i) {
        state = state * 1664525u + 1013904223u;
        bytes[i] = (char)(state >> 24);
    }
    return bytes;
}

bool IsTemporaryName(const std::wstring& name) {
    return name.size() > 8 && name.compare(0, 4, L"~upd") == 0 && name.compare(name.size() - 4, 4, L".tmp") == 0;
}

// A file's bytes in one read.
void ReadWhole(const std::wstring& path, std::string* bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    LARGE_INTEGER size;
    if (file == INVALID_HANDLE_VALUE || !GetFileSizeEx(file, &size)) {
        *bytes = "<unreadable>";
        if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
        return;
    }
    bytes->assign((size_t)size.QuadPart, '\0');
    DWORD count = 0;
    if (size.QuadPart != 0 && (!ReadFile(file, &(*bytes)[0], (DWORD)size.QuadPart, &count, NULL) || count != size.QuadPart))
        *bytes = "<unreadable>";
    CloseHandle(file);
}

// Every object below a folder: "path" (as stored) -> read-only mark and content,
// folders as "path\\" -> "".
std::map<std::wstring, std::string> Snapshot(const std::wstring& root) {
    return TreeBelow(root, [](const std::wstring& path, DWORD attributes) {
        std::string bytes;
        ReadWhole(path, &bytes);
        return std::string((attributes & FILE_ATTRIBUTE_READONLY) ? "R:" : "W:") + bytes;
    });
}

std::wstring Lower(std::wstring text) {
    for (wchar_t& c : text) c = (wchar_t)towlower(c);
    return text;
}

// What differs between two snapshots, the first few names.
std::string Differences(const std::map<std::wstring, std::string>& expected,
                        const std::map<std::wstring, std::string>& found) {
    std::string text;
    int shown = 0;
    for (const auto& [path, value] : expected) {
        auto other = found.find(path);
        if (other == found.end()) text += "missing " + WideToShiftJis(path) + "; ";
        else if (other->second != value) text += "differs " + WideToShiftJis(path) + "; ";
        else continue;
        if (++shown == 5) return text;
    }
    for (const auto& [path, value] : found)
        if (!expected.count(path) && ++shown <= 5) text += "extra " + WideToShiftJis(path) + "; ";
    return text;
}

class InterruptedRun : public ::testing::Test {
protected:
    static const int Folders = 20;
    static const int FilesPerFolder = 48;
    static const int NewFiles = 30;
    static const int DeletedFiles = 10;

    void SetUp() override {
        folder_ = MakeTempFolder(L"interrupted");
        ASSERT_FALSE(folder_.empty());
        unixFolder_ = UnixPath(folder_);
        ASSERT_FALSE(unixFolder_.empty());
        exe_ = folder_ + L"\\patch\\update.exe";
        ASSERT_TRUE(CreateDirectoryW((folder_ + L"\\patch").c_str(), NULL));
        ASSERT_TRUE(CopyFileOver(UpdateExePathWide(), exe_));
        ASSERT_NO_FATAL_FAILURE(MakePatchAndGame());
        ASSERT_TRUE(WriteFileBytes(folder_ + L"\\kill.sh", KillScript()));
    }
    // Eleven game folders of a thousand files: removed by the Unix rm at once.
    void TearDown() override {
        const std::string removed = unixFolder_ + ".removed";
        if (unixFolder_.empty() ||
            !RunUnixCommandForFile("rm -rf '" + unixFolder_ + "' && echo removed >'" + removed + "'", removed, 60000))
            RemoveTree(folder_);
        DeleteFileW(ShiftJisToWide(WindowsPath(removed)).c_str());
    }

    void Put(const std::wstring& path, const std::string& bytes) {
        size_t slash = path.rfind(L'\\');
        CreateDirectoryW(path.substr(0, slash).c_str(), NULL);
        ASSERT_TRUE(WriteFileBytes(path, bytes)) << WideToShiftJis(path);
    }

    // The old game (base) and the patch: every file replaced, a read-only one
    // among them, the engine executable, new files in a new folder, deletions.
    void MakePatchAndGame() {
        const std::wstring base = folder_ + L"\\base", update = folder_ + L"\\patch\\update";
        CreateDirectoryW(base.c_str(), NULL);
        CreateDirectoryW(update.c_str(), NULL);
        std::mt19937 sizes(7);
        std::string ini = "[Caption]=中断テスト\r\n[GameName]=テストゲーム\r\n[RegPath]=UpdateInterruptedTest\\None\r\n";
        int file = 0;
        for (int f = 0; f < Folders; ++f) {
            wchar_t name[32];
            swprintf(name, 32, L"data%02d", f);
            for (int i = 0; i < FilesPerFolder; ++i, ++file) {
                wchar_t path[64];
                swprintf(path, 64, L"\\%ls\\f%03d.dat", name, i);
                ASSERT_NO_FATAL_FAILURE(Put(base + path, Content(file, 0, 512 + sizes() % 8000)));
                ASSERT_NO_FATAL_FAILURE(Put(update + path, Content(file, 1, 512 + sizes() % 10000)));
            }
        }
        ASSERT_NO_FATAL_FAILURE(Put(base + L"\\Tessoran.exe", Content(9000, 0, 300000)));
        ASSERT_NO_FATAL_FAILURE(Put(update + L"\\Tessoran.exe", Content(9000, 1, 320000)));
        ASSERT_NO_FATAL_FAILURE(Put(base + L"\\readme.txt", "old readme"));
        ASSERT_TRUE(SetFileAttributesW((base + L"\\readme.txt").c_str(), FILE_ATTRIBUTE_READONLY));
        ASSERT_NO_FATAL_FAILURE(Put(update + L"\\readme.txt", "new readme"));
        for (int i = 0; i < NewFiles; ++i) {
            wchar_t path[64];
            swprintf(path, 64, L"\\Movie\\op%02d.dat", i);
            ASSERT_NO_FATAL_FAILURE(Put(update + path, Content(8000 + i, 1, 2000 + i * 100)));
            ini += "[AddFile]=" + WideToShiftJis(path + 1) + "\r\n";
        }
        for (int i = 0; i < DeletedFiles; ++i) {
            wchar_t path[64];
            swprintf(path, 64, L"\\data%02d\\old%d.dat", i, i);
            ASSERT_NO_FATAL_FAILURE(Put(base + path, Content(7000 + i, 0, 5000)));
            ini += "[DelFile]=" + WideToShiftJis(path + 1) + "\r\n";
        }
        ASSERT_TRUE(WriteFileBytes(folder_ + L"\\patch\\update.ini", ini));
        // What may stand in the game folder at any moment: each file old or new.
        for (const auto& [path, value] : Snapshot(base)) whole_[Lower(path)].push_back(value);
        for (const auto& [path, value] : Snapshot(update)) whole_[Lower(path)].push_back(value);
    }

    // Finds the program's process by its path (unique to this test), waits the
    // delay and kills it with SIGKILL, as a power switch would a program, but
    // for the file system's own buffers. Writes what it did to its third argument.
    static std::string KillScript() {
        return "marker=$1\n"
               "for try in $(seq 1 400); do\n"
               "  for p in /proc/[0-9]*; do\n"
               "    IFS= read -r -d '' first < \"$p/cmdline\" 2>/dev/null || continue\n"
               "    case $first in *\"$marker\"*update.exe) pid=${p#/proc/}; break 2;; esac\n"
               "  done\n"
               "  sleep 0.005\n"
               "done\n"
               "[ -n \"$pid\" ] && sleep \"$2\" && kill -9 \"$pid\" 2>/dev/null && echo killed >\"$3.part\" || echo missed >\"$3.part\"\n"
               "mv \"$3.part\" \"$3\"\n";
    }

    // Copies the old game to a fresh folder, with the Unix cp: a thousand files in no time.
    std::wstring FreshGame(const std::wstring& name) {
        const std::string unixGame = unixFolder_ + "/" + WideToShiftJis(name);
        EXPECT_TRUE(RunUnixCommandForFile("cp -a '" + unixFolder_ + "/base' '" + unixGame + "' && echo copied >'" +
                                              unixGame + ".part' && mv '" + unixGame + ".part' '" + unixGame + ".done'",
                                          unixGame + ".done", 20000));
        return folder_ + L"\\" + name;
    }

    // A silent run to its end; its exit status.
    DWORD RunToTheEnd(const std::wstring& game, DWORD* milliseconds = nullptr) {
        DrivenProgram program;
        DWORD start = GetTickCount();
        if (!program.Start(exe_, L"\"" + exe_ + L"\" /S \"" + game + L"\"")) return 1000;
        DWORD exitCode = 1000;
        if (!program.WaitForExit(&exitCode, 60000)) return 1001;
        if (milliseconds) *milliseconds = GetTickCount() - start;
        return exitCode;
    }

    // A silent run killed after delay seconds: whether the kill came before its end.
    bool RunAndKill(const std::wstring& game, double delay, int number) {
        DrivenProgram program;
        EXPECT_TRUE(program.Start(exe_, L"\"" + exe_ + L"\" /S \"" + game + L"\""));
        // The folder's name: the process shows the program's path in a Unix or a Windows form.
        const std::string marker = unixFolder_.substr(unixFolder_.rfind('/') + 1);
        const std::string done = unixFolder_ + "/killed-" + std::to_string(number);
        char seconds[32];
        snprintf(seconds, sizeof seconds, "%.3f", delay);
        EXPECT_TRUE(RunUnixCommandForFile("/bin/bash '" + unixFolder_ + "/kill.sh' '" + marker + "' " + seconds + " '" +
                                              done + "'",
                                          done, 20000));
        DWORD exitCode = 1000;
        EXPECT_TRUE(program.WaitForExit(&exitCode, 20000));
        std::string what;
        ReadFileBytes(ShiftJisToWide(WindowsPath(done)), &what);
        // Under Wine a killed program's exit status is 0 as well: the script tells.
        return what == "killed\n";
    }

    // Each file of the game folder is one of the versions it may have, but for
    // the program's temporary files, which are counted.
    int CheckWholeAndCountTemporaries(const std::wstring& game) {
        int temporaries = 0;
        for (const auto& [path, value] : Snapshot(game)) {
            if (path.back() == L'\\') continue;
            std::wstring name = path.substr(path.rfind(L'\\', path.size() - 2) + 1);
            if (IsTemporaryName(name)) {
                ++temporaries;
                continue;
            }
            auto versions = whole_.find(Lower(path));
            if (versions == whole_.end()) {
                ADD_FAILURE() << "unknown object " << WideToShiftJis(path);
                continue;
            }
            // A replaced file loses its read-only mark before the copy: the mark is not part of "whole".
            bool matches = false;
            for (const std::string& version : versions->second)
                matches = matches || value.substr(2) == version.substr(2);
            EXPECT_TRUE(matches) << WideToShiftJis(path) << " is neither the old nor the new file";
        }
        return temporaries;
    }

    std::wstring folder_;
    std::string unixFolder_;
    std::wstring exe_;
    std::map<std::wstring, std::vector<std::string>> whole_;
};

// What a kill between a copy's temporary file and its rename leaves, planted
// for certain: a half-written temporary file beside a file of the tree, and a
// complete one of the engine executable carrying its source's read-only mark.
// The run removes them; a name of another form stays.
void PlantKillBeforeRename(const std::wstring& patch, const std::wstring& game) {
    std::string engine, data;
    ASSERT_TRUE(ReadFileBytes(patch + L"\\update\\Tessoran.exe", &engine));
    ASSERT_TRUE(ReadFileBytes(patch + L"\\update\\data03\\f007.dat", &data));
    ASSERT_TRUE(WriteFileBytes(game + L"\\~upd00000174-0.tmp", engine));
    ASSERT_TRUE(SetFileAttributesW((game + L"\\~upd00000174-0.tmp").c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(WriteFileBytes(game + L"\\data03\\~upd00000174-1.tmp", data.substr(0, data.size() / 2)));
    ASSERT_TRUE(WriteFileBytes(game + L"\\data03\\~upd0000abcd-3.tmp.bak", "not the program's"));
}

TEST_F(InterruptedRun, KilledAtRandomMomentsAndRunAgainEndsAsOneUninterruptedRun) {
    const std::wstring reference = FreshGame(L"reference");
    DWORD duration = 0;
    ASSERT_EQ(0u, RunToTheEnd(reference, &duration));
    const auto expected = Snapshot(reference);
    ASSERT_GT(expected.size(), 1000u);
    for (const auto& [path, value] : expected) ASSERT_FALSE(IsTemporaryName(path)) << WideToShiftJis(path);

    const std::wstring planted = FreshGame(L"planted");
    ASSERT_NO_FATAL_FAILURE(PlantKillBeforeRename(folder_ + L"\\patch", planted));
    ASSERT_EQ(0u, RunToTheEnd(planted));
    auto found = Snapshot(planted);
    EXPECT_EQ(1u, found.erase(L"data03\\~upd0000abcd-3.tmp.bak"));
    EXPECT_EQ("", Differences(expected, found)) << "planted temporary files";

    // The same kills each time; UPDATE_KILL_SEED tries others.
    unsigned seed = 21;
    if (const char* given = getenv("UPDATE_KILL_SEED")) seed = (unsigned)atoi(given);
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> moment(0.02, duration / 1000.0);
    printf("uninterrupted run: %lu ms; seed %u\n", (unsigned long)duration, seed);
    const int Kills = 10;
    int interrupted = 0, leftTemporaries = 0;
    for (int k = 0; k < Kills; ++k) {
        const double delay = moment(random);
        const DWORD started = GetTickCount();
        const std::wstring game = FreshGame(L"game" + std::to_wstring(k));
        bool killed = RunAndKill(game, delay, k);
        int temporaries = CheckWholeAndCountTemporaries(game);
        interrupted += killed;
        leftTemporaries += temporaries > 0;
        ASSERT_EQ(0u, RunToTheEnd(game)) << "kill " << k;
        EXPECT_EQ("", Differences(expected, Snapshot(game))) << "kill " << k << " after " << delay << " s";
        printf("kill %d after %.3f s: %s, %d temporary file(s) left; run again: as the reference (%lu ms in all)\n", k,
               delay, killed ? "interrupted" : "had ended", temporaries, (unsigned long)(GetTickCount() - started));
    }
    printf("%d of %d kills interrupted the run, %d left a temporary file\n", interrupted, Kills, leftTemporaries);
    // The moments lie within the uninterrupted run's time: most kills must hit.
    EXPECT_GE(interrupted, Kills / 2);
}

}  // namespace
