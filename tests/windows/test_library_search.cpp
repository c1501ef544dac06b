// The built update.exe loads no library from its own folder: uxtheme.dll,
// version.dll and dwmapi.dll planted beside it, each preferred over Wine's own
// as a native library, are never loaded, and the program still shows its window.
// A probe program that loads them by name in the same set-up gets all three.
#include <gtest/gtest.h>

#include <string>

#include "program_driver.h"

#if !defined(PLANTED_LIBRARY_FOLDER) || !defined(LIBRARY_PROBE_PATH)
#error "PLANTED_LIBRARY_FOLDER and LIBRARY_PROBE_PATH name the built helpers"
#endif

namespace {

const wchar_t* const PlantedNames[] = {L"uxtheme.dll", L"version.dll", L"dwmapi.dll"};
// Copies of the programs under names of their own, whose settings say to
// prefer libraries from files over Wine's own builtin ones.
const wchar_t UpdateName[] = L"planted-update.exe";
const wchar_t ProbeName[] = L"planted-probe.exe";

// Wine reads a program's library overrides from its own Unix environment,
// which a child does not take from the Windows environment block; the
// per-program settings of the prefix reach it instead.
const wchar_t OverrideKeyStem[] = L"Software\\Wine\\AppDefaults\\";

bool PreferNative(const std::wstring& programName) {
    HKEY key;
    std::wstring path = OverrideKeyStem + programName + L"\\DllOverrides";
    if (RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL) != ERROR_SUCCESS)
        return false;
    bool ok = true;
    for (const wchar_t* name : PlantedNames) {
        std::wstring library(name, wcslen(name) - 4);  // without ".dll"
        const wchar_t order[] = L"native,builtin";
        ok = ok && RegSetValueExW(key, library.c_str(), 0, REG_SZ, (const BYTE*)order, sizeof order) == ERROR_SUCCESS;
    }
    RegCloseKey(key);
    return ok;
}

void ForgetPreference(const std::wstring& programName) {
    RegDeleteTreeW(HKEY_CURRENT_USER, (OverrideKeyStem + programName).c_str());
}

class LibrarySearch : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = MakeTempFolder(std::wstring(L"planted"));
        ASSERT_FALSE(folder_.empty());
        exe_ = folder_ + L"\\" + UpdateName;
        ASSERT_TRUE(PreferNative(UpdateName));
        ASSERT_TRUE(PreferNative(ProbeName));
        ASSERT_TRUE(CopyFileOver(UpdateExePathWide(), exe_));
        for (const wchar_t* name : PlantedNames)
            ASSERT_TRUE(CopyFileOver(Planted(name), folder_ + L"\\" + name)) << WideToShiftJis(Planted(name));
        ASSERT_TRUE(WriteFileBytes(folder_ + L"\\update.ini", "[Caption]=planted\r\n[Width]=300\r\n[Height]=100\r\n"));
    }
    void TearDown() override {
        ForgetPreference(UpdateName);
        ForgetPreference(ProbeName);
        RemoveTree(folder_);
    }

    static std::wstring Planted(const wchar_t* name) {
        return BuiltFileWide(PLANTED_LIBRARY_FOLDER) + L"\\" + name;
    }
    std::wstring Marker(const wchar_t* name) const { return folder_ + L"\\" + name + L".loaded"; }

    std::wstring folder_;
    std::wstring exe_;
};

TEST_F(LibrarySearch, APlantedLibraryIsLoadedWhereNothingKeepsItOut) {
    // A program that loads the three by name with the default search, in the
    // same folder and environment: every marker appears. So the absence of
    // markers below means the program kept them out.
    std::wstring probe = folder_ + L"\\" + ProbeName;
    ASSERT_TRUE(CopyFileOver(BuiltFileWide(LIBRARY_PROBE_PATH), probe));
    DrivenProgram program;
    ASSERT_TRUE(program.Start(probe, L"probe uxtheme.dll version.dll dwmapi.dll", folder_));
    DWORD exitCode = 1;
    ASSERT_TRUE(program.WaitForExit(&exitCode));
    for (const wchar_t* name : PlantedNames) EXPECT_TRUE(PathExists(Marker(name))) << WideToShiftJis(name);
}

TEST_F(LibrarySearch, NoLibraryIsLoadedFromTheProgramFolder) {
    DrivenProgram program;
    ASSERT_TRUE(program.Start(exe_, L"", folder_));
    HWND window = program.WaitForWindow(L"update");
    EXPECT_TRUE(window != NULL) << "the program did not show its window";
    if (window) {
        // The window has been drawn with its themed controls by now.
        SendMessageW(window, WM_PAINT, 0, 0);
        PostMessageW(window, WM_CLOSE, 0, 0);
    }
    DWORD exitCode = 1;
    EXPECT_TRUE(program.WaitForExit(&exitCode));
    EXPECT_EQ(exitCode, 0u);
    for (const wchar_t* name : PlantedNames) EXPECT_FALSE(PathExists(Marker(name))) << WideToShiftJis(name);
}

}  // namespace
