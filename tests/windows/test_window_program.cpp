// The built update.exe with its window: shown with the description's texts and
// the focus on Start, a complete update started with Enter, Cancel, the guard
// against a second run, and the resources the executable carries.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "program_driver.h"
#include "test_window_support.h"
#include "update_version.h"

namespace {

const char CompletionText[] = "アップデートが完了しました。";
const char Caption[] = "テスト パッチ";

struct BoxSearch {
    DWORD processId;
    int count;
};

BOOL CALLBACK CountBox(HWND window, LPARAM parameter) {
    BoxSearch* search = (BoxSearch*)parameter;
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    char name[16] = "";
    GetClassNameA(window, name, sizeof name);
    if (owner == search->processId && IsWindowVisible(window) && strcmp(name, "#32770") == 0) ++search->count;
    return TRUE;
}

// Visible message boxes of a process.
int CountBoxes(DWORD processId) {
    BoxSearch search = {processId, 0};
    EnumWindows(CountBox, (LPARAM)&search);
    return search.count;
}

HWND FocusOfWindowThread(HWND window) {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, NULL), &info)) return NULL;
    return info.hwndFocus;
}

bool WaitForFocusOf(HWND window, HWND expected) {
    DWORD start = GetTickCount();
    while (GetTickCount() - start < 5000) {
        if (FocusOfWindowThread(window) == expected) return true;
        Sleep(20);
    }
    return false;
}


std::string Architecture() { return sizeof(void*) == 8 ? "win64" : "win32"; }

class UpdateProgram : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = MakeTempFolder("window");
        ASSERT_FALSE(folder_.empty());
        exe_ = folder_ + "\\update.exe";
        ASSERT_TRUE(CopyFileOver(UpdateExePath(), exe_)) << UpdateExePath();
        static int counter = 0;
        keyPath_ = "UpdateWindowTest\\" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++counter);
    }
    void TearDown() override {
        RegDeleteTreeA(HKEY_CURRENT_USER, ("Software\\" + keyPath_).c_str());
        RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\UpdateWindowTest");
        RemoveTree(folder_);
    }

    void WriteDescription(const std::string& extraLines = "") {
        std::string text = std::string("[Caption]=") + Caption + "\r\n" +
                           "[Comment0]=テスト用のパッチです。\\n二行目です。\r\n"
                           "[Comment1]=「開始」ボタンを押すとアップデートを始めます。\r\n"
                           "[Width]=400\r\n[Height]=200\r\n"
                           "[GameName]=テストゲーム\r\n"
                           "[RegPath]=" + keyPath_ + "\r\n" + extraLines;
        ASSERT_TRUE(WriteFileBytes(folder_ + "\\update.ini", text));
    }

    void SetGameFolder(const std::string& value) {
        HKEY key;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, ("Software\\" + keyPath_).c_str(), 0, NULL, 0, KEY_ALL_ACCESS,
                                  NULL, &key, NULL),
                  ERROR_SUCCESS);
        RegSetValueExA(key, "SAV_FOLDER", 0, REG_SZ, (const BYTE*)value.c_str(), (DWORD)value.size() + 1);
        RegCloseKey(key);
    }

    // Starts the program and waits for its window with the focus on Start.
    void StartProgram() {
        ASSERT_TRUE(program_.Start(exe_));
        main_ = program_.WaitForWindow(L"update");
        ASSERT_TRUE(main_ != NULL);
        start_ = GetDlgItem(main_, 2000);
        cancel_ = GetDlgItem(main_, 2001);
        ASSERT_TRUE(start_ != NULL);
        ASSERT_TRUE(WaitForFocusOf(main_, start_));
    }

    // Gives the program's window the keyboard and presses a key there.
    void PressInProgram(WORD key) {
        SetForegroundWindow(main_);
        DWORD start = GetTickCount();
        while (GetForegroundWindow() != main_ && GetTickCount() - start < 3000) Sleep(20);
        PressKey(key);
    }

    std::string folder_;
    std::string exe_;
    std::string keyPath_;
    DrivenProgram program_;
    HWND main_ = NULL;
    HWND start_ = NULL;
    HWND cancel_ = NULL;
};

TEST_F(UpdateProgram, WindowShowsTheDescriptionWithFocusOnStart) {
    ASSERT_NO_FATAL_FAILURE(WriteDescription());
    ASSERT_NO_FATAL_FAILURE(StartProgram());
    EXPECT_EQ(WindowText(main_), Caption);
    EXPECT_EQ(WindowText(GetDlgItem(main_, 1000)), "テスト用のパッチです。\n二行目です。");
    EXPECT_EQ(WindowText(GetDlgItem(main_, 1001)), "「開始」ボタンを押すとアップデートを始めます。");
    EXPECT_EQ(WindowText(start_), "開始");
    EXPECT_EQ(WindowText(cancel_), "キャンセル");
    EXPECT_TRUE(IsWindowVisible(main_));
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(main_, 2002)));
    RECT client;
    GetClientRect(main_, &client);
    EXPECT_EQ(client.right, 400);
    EXPECT_EQ(client.bottom, 200);

    // For a person to look at: the window with its Japanese texts.
    Sleep(300);
    EXPECT_TRUE(TakeScreenshot("update-window-" + Architecture() + ".png")) << ArtifactsFolder();

    PostMessageA(main_, WM_CLOSE, 0, 0);
    DWORD exitCode = 1;
    ASSERT_TRUE(program_.WaitForExit(&exitCode));
    EXPECT_EQ(exitCode, 0u);
}

TEST_F(UpdateProgram, EnterOnStartRunsTheWholeUpdate) {
    const std::string game = folder_ + "\\game";
    const std::string patch = folder_ + "\\update";
    ASSERT_TRUE(CreateDirectoryA(game.c_str(), NULL));
    ASSERT_TRUE(CreateDirectoryA((game + "\\data").c_str(), NULL));
    ASSERT_TRUE(WriteFileBytes(game + "\\Tessoran.exe", "old engine"));
    ASSERT_TRUE(WriteFileBytes(game + "\\data\\a.txt", "old a"));
    ASSERT_TRUE(WriteFileBytes(game + "\\old.txt", "obsolete"));
    ASSERT_TRUE(CreateDirectoryA(patch.c_str(), NULL));
    ASSERT_TRUE(CreateDirectoryA((patch + "\\Data").c_str(), NULL));
    ASSERT_TRUE(WriteFileBytes(patch + "\\Tessoran.exe", "new engine"));
    ASSERT_TRUE(WriteFileBytes(patch + "\\Data\\a.txt", "new a"));
    ASSERT_TRUE(WriteFileBytes(patch + "\\new.txt", "brand new"));
    ASSERT_NO_FATAL_FAILURE(WriteDescription("[AddFile]=new.txt\r\n[DelFile]=old.txt\r\n"));
    ASSERT_NO_FATAL_FAILURE(SetGameFolder(game + "\\"));

    ASSERT_NO_FATAL_FAILURE(StartProgram());
    PressInProgram(VK_RETURN);

    SeenBox box;
    ASSERT_TRUE(program_.WaitForBox(&box));
    EXPECT_EQ(box.text, CompletionText);
    EXPECT_EQ(box.title, Caption);
    EXPECT_EQ(box.owner, main_);
    // The run hid the window and left the finished state on it.
    EXPECT_FALSE(IsWindowVisible(main_));
    EXPECT_EQ(WindowText(GetDlgItem(main_, 1000)), "");
    EXPECT_EQ(WindowText(GetDlgItem(main_, 1001)),
              "アップデートが完了しました。\n「終了」ボタンを押して終了して下さい。");
    EXPECT_FALSE(GetWindowLongA(start_, GWL_STYLE) & WS_VISIBLE);
    EXPECT_FALSE(GetWindowLongA(cancel_, GWL_STYLE) & WS_VISIBLE);
    EXPECT_TRUE(GetWindowLongA(GetDlgItem(main_, 2002), GWL_STYLE) & WS_VISIBLE);
    EXPECT_EQ(CountBoxes(program_.ProcessId()), 1);
    DrivenProgram::Dismiss(box.handle);

    DWORD exitCode = 1;
    ASSERT_TRUE(program_.WaitForExit(&exitCode));
    EXPECT_EQ(exitCode, 0u);
    std::string content;
    ASSERT_TRUE(ReadFileBytes(game + "\\Tessoran.exe", &content));
    EXPECT_EQ(content, "new engine");
    ASSERT_TRUE(ReadFileBytes(game + "\\data\\a.txt", &content));
    EXPECT_EQ(content, "new a");
    ASSERT_TRUE(ReadFileBytes(game + "\\new.txt", &content));
    EXPECT_EQ(content, "brand new");
    EXPECT_EQ(GetFileAttributesA((game + "\\old.txt").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(UpdateProgram, EnterOnCancelEndsWithoutUpdate) {
    ASSERT_NO_FATAL_FAILURE(WriteDescription());
    ASSERT_NO_FATAL_FAILURE(StartProgram());
    PressInProgram(VK_TAB);
    ASSERT_TRUE(WaitForFocusOf(main_, cancel_));
    PressInProgram(VK_RETURN);
    DWORD exitCode = 1;
    ASSERT_TRUE(program_.WaitForExit(&exitCode, 5000));
    EXPECT_EQ(exitCode, 0u);
}

TEST_F(UpdateProgram, SecondStartDuringTheRunDoesNothing) {
    // No game folder is recorded: the run stops at its first box.
    ASSERT_NO_FATAL_FAILURE(WriteDescription());
    ASSERT_NO_FATAL_FAILURE(StartProgram());
    PostMessageA(main_, WM_COMMAND, MAKEWPARAM(2000, BN_CLICKED), (LPARAM)start_);
    SeenBox box;
    ASSERT_TRUE(program_.WaitForBox(&box));
    EXPECT_EQ(box.text, "テストゲームがインストールされていません。");
    // Start again while the box stands: its modal loop dispatches the command.
    PostMessageA(main_, WM_COMMAND, MAKEWPARAM(2000, BN_CLICKED), (LPARAM)start_);
    PostMessageA(main_, WM_COMMAND, MAKEWPARAM(2000, 245), (LPARAM)start_);
    DWORD start = GetTickCount();
    while (GetTickCount() - start < 700) {
        EXPECT_EQ(CountBoxes(program_.ProcessId()), 1);
        Sleep(50);
    }
    DrivenProgram::Dismiss(box.handle);
    DWORD exitCode = 1;
    ASSERT_TRUE(program_.WaitForExit(&exitCode));
    EXPECT_EQ(exitCode, 0u);
}

// ---- Resources of the built executable ----

class ProgramResources : public ::testing::Test {
protected:
    void SetUp() override {
        module_ = LoadLibraryExA(UpdateExePath().c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_TRUE(module_ != NULL) << UpdateExePath();
    }
    void TearDown() override {
        if (module_) FreeLibrary(module_);
    }

    std::string Resource(LPCSTR name, LPCSTR type) {
        HRSRC found = FindResourceA(module_, name, type);
        if (!found) return "";
        const char* data = (const char*)LockResource(LoadResource(module_, found));
        return std::string(data, SizeofResource(module_, found));
    }

    HMODULE module_ = NULL;
};

#pragma pack(push, 2)
struct IconGroupEntry {
    BYTE width, height, colourCount, reserved;
    WORD planes, bitCount;
    DWORD bytes;
    WORD id;
};
#pragma pack(pop)

TEST_F(ProgramResources, IconHasThreeSizes) {
    std::string group = Resource("ICON00", RT_GROUP_ICON);
    ASSERT_GE(group.size(), 6u);
    WORD count = *(const WORD*)(group.data() + 4);
    ASSERT_EQ(count, 3);
    ASSERT_EQ(group.size(), 6u + 3 * sizeof(IconGroupEntry));
    std::vector<std::string> found;
    for (int i = 0; i < count; ++i) {
        const IconGroupEntry* entry = (const IconGroupEntry*)(group.data() + 6 + i * sizeof(IconGroupEntry));
        int size = entry->width ? entry->width : 256;
        found.push_back(std::to_string(size) + "x" + std::to_string(entry->bitCount));
        // The image itself: a bitmap of that size and colour depth.
        std::string image = Resource(MAKEINTRESOURCEA(entry->id), RT_ICON);
        ASSERT_GE(image.size(), sizeof(BITMAPINFOHEADER));
        const BITMAPINFOHEADER* header = (const BITMAPINFOHEADER*)image.data();
        EXPECT_EQ(header->biWidth, size);
        EXPECT_EQ(header->biHeight, 2 * size);  // colour and mask
        EXPECT_EQ(header->biBitCount, entry->bitCount);
        HICON icon = CreateIconFromResourceEx((BYTE*)&image[0], (DWORD)image.size(), TRUE, 0x00030000, size,
                                              size, 0);
        EXPECT_TRUE(icon != NULL);
        if (icon) DestroyIcon(icon);
    }
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, (std::vector<std::string>{"16x4", "32x4", "48x8"}));
}

TEST_F(ProgramResources, ManifestAsksForTheHighestAvailableRightsWithCommonControlsSix) {
    std::string manifest = Resource(MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
    ASSERT_FALSE(manifest.empty());
    EXPECT_NE(manifest.find("<requestedExecutionLevel level=\"highestAvailable\" uiAccess=\"false\"/>"),
              std::string::npos);
    EXPECT_EQ(manifest.find("requireAdministrator"), std::string::npos);
    EXPECT_EQ(manifest.find("asInvoker"), std::string::npos);
    const char* systems[] = {"{35138b9a-5d96-4fbd-8e2d-a2440225f93a}", "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",
                             "{1f676c76-80e1-4239-95bb-83d0f6d0da78}", "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"};
    for (const char* system : systems) EXPECT_NE(manifest.find(system), std::string::npos) << system;
    EXPECT_NE(manifest.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""), std::string::npos);
    // The layout is in pixels: no DPI awareness is claimed.
    EXPECT_EQ(manifest.find("dpiAware"), std::string::npos);
    EXPECT_EQ(manifest.find("dpiAwareness"), std::string::npos);
}

TEST_F(ProgramResources, VersionInformationInJapaneseAndEnglish) {
    std::wstring path = UpdateExePathWide();
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeW(path.c_str(), &handle);
    ASSERT_GT(size, 0u);
    std::vector<char> data(size);
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, data.data()));

    VS_FIXEDFILEINFO* fixed = NULL;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(data.data(), "\\", (void**)&fixed, &length));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0u);
    EXPECT_EQ(fixed->dwFileType, (DWORD)VFT_APP);

    WORD* translations = NULL;
    ASSERT_TRUE(VerQueryValueA(data.data(), "\\VarFileInfo\\Translation", (void**)&translations, &length));
    ASSERT_EQ(length, 8u);
    EXPECT_EQ(translations[0], 0x0411);
    EXPECT_EQ(translations[1], 932);
    EXPECT_EQ(translations[2], 0x0409);
    EXPECT_EQ(translations[3], 1252);

    // Read in UTF-16, as stored, and compared in Shift-JIS.
    auto value = [&](const char* block, const char* name) {
        wchar_t* text = NULL;
        UINT textLength = 0;
        std::wstring query = ShiftJisToWide(std::string("\\StringFileInfo\\") + block + "\\" + name);
        if (!VerQueryValueW(data.data(), query.c_str(), (void**)&text, &textLength) || !text) return std::string();
        return WideToShiftJis(text);
    };
    EXPECT_EQ(value("041103a4", "ProductName"), "ゲーム アップデート");
    EXPECT_EQ(value("041103a4", "FileDescription"), "ゲーム アップデート プログラム");
    EXPECT_EQ(value("041103a4", "FileVersion"), UPDATE_VERSION);
    EXPECT_EQ(value("041103a4", "InternalName"), "update_patcher");
    EXPECT_EQ(value("040904e4", "ProductName"), "Game Update");
    EXPECT_EQ(value("040904e4", "FileDescription"), "Game update program");
    EXPECT_EQ(value("040904e4", "OriginalFilename"), "update.exe");
}

}  // namespace
