// The built update.exe loads no library from its own folder: uxtheme.dll,
// version.dll and dwmapi.dll planted beside it, each preferred over Wine's own
// as a native library, are never loaded, and the program still shows its window.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "program_driver.h"

#ifndef PLANTED_LIBRARY_FOLDER
#error "PLANTED_LIBRARY_FOLDER names the folder of the planted libraries"
#endif

namespace {

const wchar_t* const PlantedNames[] = {L"uxtheme.dll", L"version.dll", L"dwmapi.dll"};

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// This process's environment with one more variable set, as a block.
std::vector<wchar_t> EnvironmentWith(const std::wstring& setting) {
    std::vector<wchar_t> block;
    std::wstring name = setting.substr(0, setting.find(L'=') + 1);
    wchar_t* strings = GetEnvironmentStringsW();
    for (const wchar_t* entry = strings; *entry; entry += wcslen(entry) + 1)
        if (_wcsnicmp(entry, name.c_str(), name.size()) != 0) block.insert(block.end(), entry, entry + wcslen(entry) + 1);
    FreeEnvironmentStringsW(strings);
    block.insert(block.end(), setting.c_str(), setting.c_str() + setting.size() + 1);
    block.push_back(L'\0');
    return block;
}

class LibrarySearch : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = MakeTempFolder(std::wstring(L"planted"));
        ASSERT_FALSE(folder_.empty());
        exe_ = folder_ + L"\\update.exe";
        ASSERT_TRUE(CopyFileOver(UpdateExePathWide(), exe_));
        for (const wchar_t* name : PlantedNames)
            ASSERT_TRUE(CopyFileOver(Planted(name), folder_ + L"\\" + name)) << WideToShiftJis(Planted(name));
        ASSERT_TRUE(WriteFileBytes(folder_ + L"\\update.ini", "[Caption]=planted\r\n[Width]=300\r\n[Height]=100\r\n"));
    }
    void TearDown() override { RemoveTree(folder_); }

    static std::wstring Planted(const wchar_t* name) {
        return WindowsPath(ShiftJisToWide(PLANTED_LIBRARY_FOLDER)) + L"\\" + name;
    }
    std::wstring Marker(const wchar_t* name) const { return folder_ + L"\\" + name + L".loaded"; }

    std::wstring folder_;
    std::wstring exe_;
};

TEST_F(LibrarySearch, APlantedLibraryLeavesItsMarkerWhenLoaded) {
    // What the program must never do, done here on purpose: the marker works.
    std::wstring planted = folder_ + L"\\version.dll";
    EXPECT_EQ(LoadLibraryW(planted.c_str()), (HMODULE)NULL);  // it refuses to stay
    EXPECT_TRUE(Exists(Marker(L"version.dll")));
}

TEST_F(LibrarySearch, NoLibraryIsLoadedFromTheProgramFolder) {
    std::vector<wchar_t> environment = EnvironmentWith(L"WINEDLLOVERRIDES=uxtheme,version,dwmapi=n,b");
    DrivenProgram program;
    ASSERT_TRUE(program.Start(exe_, L"", folder_, environment.data()));
    HWND window = program.WaitForWindow(L"update");
    ASSERT_TRUE(window != NULL);
    // The window has been drawn with its themed controls by now.
    SendMessageW(window, WM_PAINT, 0, 0);
    PostMessageW(window, WM_CLOSE, 0, 0);
    DWORD exitCode = 1;
    ASSERT_TRUE(program.WaitForExit(&exitCode));
    EXPECT_EQ(exitCode, 0u);
    for (const wchar_t* name : PlantedNames) EXPECT_FALSE(Exists(Marker(name))) << WideToShiftJis(name);
}

}  // namespace
