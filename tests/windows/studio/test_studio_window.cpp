// The author's window driven as an author would drive it: folders and texts
// typed into its fields, Make and Cancel pressed, its preview compared with the
// window update.exe itself shows for the same update.ini.
#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "author_tools/studio/studio_ids.h"
#include "program_driver.h"

namespace {

// TextCount fields in the window's order: [GameName] [RegPath] [Caption] [Width]
// [Height] [Comment0] [Comment1] [Attention1].
struct Texts {
    std::wstring values[8];
};

Texts SampleTexts(const std::wstring& registryPath) {
    return Texts{{L"テスト ゲーム", registryPath, L"テスト ゲーム 修正パッチ ver1.01", L"460", L"230",
                  L"「テスト ゲーム」修正パッチ", L"ゲームを終了してから\\n「開始」を押してください。",
                  L"更新するファイルが見つかりません。"}};
}

std::string Utf8(const std::wstring& text) { return WideToCodePage(text, CP_UTF8); }

bool JapaneseSystemForShot() { return GetACP() == 932; }

// Every file below a folder, relative path -> bytes (folders: "path\\" -> "").
std::map<std::wstring, std::string> FilesBelow(const std::wstring& root) {
    return TreeBelow(root, [](const std::wstring& path, DWORD) {
        std::string bytes;
        ReadFileBytes(path, &bytes);
        return bytes;
    });
}

// Names in a folder that start with a prefix.
std::vector<std::wstring> NamesStartingWith(const std::wstring& folder, const std::wstring& prefix) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\" + prefix + L"*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do names.push_back(found.cFileName);
    while (FindNextFileW(search, &found));
    FindClose(search);
    return names;
}

// An edit control's text in another process (GetWindowTextW gives only its title there).
std::wstring ControlText(HWND control) {
    LRESULT length = SendMessageW(control, WM_GETTEXTLENGTH, 0, 0);
    std::wstring text(length + 1, L'\0');
    SendMessageW(control, WM_GETTEXT, length + 1, reinterpret_cast<LPARAM>(&text[0]));
    text.resize(wcslen(text.c_str()));
    return text;
}

// Runs update-make.exe with the arguments (each quoted) and reads the patch it made.
std::map<std::wstring, std::string> PatchOfUpdateMake(const std::vector<std::wstring>& arguments,
                                                      const std::wstring& patch) {
    std::wstring exe = BuiltFileWide(UPDATE_MAKE_EXE_PATH);
    std::wstring command = L"\"" + exe + L"\"";
    for (const std::wstring& argument : arguments) command += L" \"" + argument + L"\"";
    command += L" \"" + patch + L"\"";
    DrivenProgram make;
    EXPECT_TRUE(make.Start(exe, command));
    DWORD exitCode = 99;
    EXPECT_TRUE(make.WaitForExit(&exitCode, 60000));
    EXPECT_LE(exitCode, 1u) << Utf8(command);
    return FilesBelow(patch);
}

// Two patches equal file for file and byte for byte.
void ExpectSamePatch(const std::map<std::wstring, std::string>& made,
                     const std::map<std::wstring, std::string>& madeByConsole, const std::string& what) {
    EXPECT_TRUE(made == madeByConsole) << what << ": " << made.size() << " vs " << madeByConsole.size() << " files";
    for (const auto& [name, bytes] : made) {
        auto other = madeByConsole.find(name);
        EXPECT_TRUE(other != madeByConsole.end() && other->second == bytes)
            << what << ": " << Utf8(name) << ": " << bytes.size() << " bytes vs "
            << (other == madeByConsole.end() ? std::string("none") : std::to_string(other->second.size()));
    }
}

// A game file of `size` pseudo-random bytes (deltas cannot shrink it by
// compression alone), with `changes` bytes at each of the given places.
std::string GameBytes(size_t size, const std::vector<size_t>& changed) {
    std::string bytes(size, '\0');
    unsigned state = 12345;
    for (char& c : bytes) c = char((state = state * 1103515245u + 12345u) >> 16);
    for (size_t at : changed)
        for (size_t i = at; i < at + 40 && i < size; ++i) bytes[i] = char(bytes[i] ^ 0x5A);
    return bytes;
}

// Puts a folder first on PATH for the programs the test starts, and restores PATH.
class PathWith {
public:
    explicit PathWith(const std::wstring& folder) {
        wchar_t old[32768];
        DWORD length = GetEnvironmentVariableW(L"PATH", old, 32768);
        had_ = length > 0 && length < 32768;
        if (had_) old_ = old;
        SetEnvironmentVariableW(L"PATH", (folder + (had_ ? L";" + old_ : L"")).c_str());
    }
    ~PathWith() { SetEnvironmentVariableW(L"PATH", had_ ? old_.c_str() : NULL); }

private:
    bool had_;
    std::wstring old_;
};

bool WaitUntil(bool (*done)(HWND), HWND window, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    while (!done(window)) {
        if (GetTickCount() - start > timeoutMs) return false;
        Sleep(50);
    }
    return true;
}

// A control's place relative to its parent's client area, and its text.
struct Placed {
    RECT rect;
    std::wstring text;
    bool visible;
};

Placed PlaceOf(HWND control) {
    Placed placed;
    GetWindowRect(control, &placed.rect);
    MapWindowPoints(HWND_DESKTOP, GetParent(control), reinterpret_cast<POINT*>(&placed.rect), 2);
    placed.text = WindowTextWide(control);
    placed.visible = (GetWindowLongW(control, GWL_STYLE) & WS_VISIBLE) != 0;
    return placed;
}

class StudioWindow : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = MakeTempFolder(L"studio 窓");
        ASSERT_FALSE(folder_.empty());
        oldGame_ = folder_ + L"\\旧 game";
        newGame_ = folder_ + L"\\新 game";
        for (const std::wstring* game : {&oldGame_, &newGame_}) {
            ASSERT_TRUE(CreateDirectoryW(game->c_str(), NULL));
            ASSERT_TRUE(CreateDirectoryW((*game + L"\\データ").c_str(), NULL));
            ASSERT_TRUE(WriteFileBytes(*game + L"\\Tessoran.exe", std::string(5000, 'e')));
        }
        ASSERT_TRUE(WriteFileBytes(oldGame_ + L"\\データ\\scene 1.txt", "old scene\r\n"));
        ASSERT_TRUE(WriteFileBytes(oldGame_ + L"\\obsolete.dat", "gone"));
        ASSERT_TRUE(WriteFileBytes(newGame_ + L"\\データ\\scene 1.txt", "new scene, longer\r\n"));
        ASSERT_TRUE(WriteFileBytes(newGame_ + L"\\データ\\追加.txt", "added"));
    }
    void TearDown() override { RemoveTree(folder_); }

    void StartStudio(const std::wstring& arguments = L"", DrivenProgram* program = nullptr) {
        std::wstring exe = BuiltFileWide(STUDIO_EXE_PATH);
        if (!program) program = &studio_;
        ASSERT_TRUE(program->Start(exe, L"\"" + exe + L"\"" + arguments));
        window_ = program->WaitForWindow(L"update-studio", 20000);
        ASSERT_TRUE(window_ != NULL);
    }
    HWND Item(int id) { return GetDlgItem(window_, id); }
    // Selects an old version in the list, as a click does.
    void SelectOld(int index) {
        SendMessageW(Item(IdOldList), LB_SETCURSEL, index, 0);
        SendMessageW(window_, WM_COMMAND, MAKEWPARAM(IdOldList, LBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(Item(IdOldList)));
    }
    // The old versions the window holds: folder and name of each, in order.
    std::vector<std::pair<std::wstring, std::wstring>> Olds() {
        std::vector<std::pair<std::wstring, std::wstring>> olds;
        LRESULT count = SendMessageW(Item(IdOldList), LB_GETCOUNT, 0, 0);
        for (int i = 0; i < count; ++i) {
            SelectOld(i);
            olds.push_back({ControlText(Item(IdFolderEdit + 0)), ControlText(Item(IdOldLabelEdit))});
        }
        return olds;
    }
    void Type(int id, const std::wstring& text) {
        SendMessageW(Item(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
    void TypeProject(const std::wstring& patch, const Texts& texts) {
        Type(IdFolderEdit + 0, oldGame_);
        Type(IdFolderEdit + 1, newGame_);
        Type(IdFolderEdit + 2, patch);
        for (int i = 0; i < 8; ++i) Type(IdTextEdit + i, texts.values[i]);
    }
    // Presses Make and waits until the window takes input again.
    std::wstring MakeAndWait(bool cancel) {
        PostMessageW(Item(IdMake), BM_CLICK, 0, 0);
        if (cancel) PostMessageW(window_, WM_COMMAND, IdCancel, 0);
        Sleep(200);
        EXPECT_TRUE(WaitUntil([](HWND make) { return IsWindowEnabled(make) != FALSE; }, Item(IdMake), 60000));
        return ControlText(Item(IdReport));
    }

    std::wstring folder_, oldGame_, newGame_;
    DrivenProgram studio_;
    HWND window_ = NULL;
};

// The whole road: folders with Japanese names and spaces and the texts typed,
// Make pressed; the patch is the one update-make makes from the same inputs,
// file for file and byte for byte.
TEST_F(StudioWindow, MakesThePatchUpdateMakeMakes) {
    // A project opened from its texts file, which Make saves again with the folders.
    const std::wstring project = folder_ + L"\\texts 1.ini";
    ASSERT_TRUE(WriteFileBytes(project, "[GameName]=x\r\n"));
    DWORD started = GetTickCount();
    ASSERT_NO_FATAL_FAILURE(StartStudio(L" \"" + project + L"\""));
    printf("the window took %lu ms to show\n", GetTickCount() - started);
    const std::wstring patch = folder_ + L"\\パッチ 1";
    const Texts texts = SampleTexts(L"Studio Test\\ゲーム");
    TypeProject(patch, texts);
    std::wstring report = MakeAndWait(false);
    EXPECT_TRUE(IsWindowEnabled(Item(IdOpenPatch))) << Utf8(report);
    // One old version: update-make's arguments as before there were several.
    EXPECT_EQ(report.find(L"--label"), std::wstring::npos) << Utf8(report);
    EXPECT_EQ(report.find(L"--also-whole"), std::wstring::npos) << Utf8(report);
    std::string folders;
    EXPECT_TRUE(ReadFileBytes(project + L".folders", &folders));
    EXPECT_NE(folders.find(Utf8(newGame_)), std::string::npos) << folders;

    // Check: update-check's report of the patch on the old game.
    PostMessageW(Item(IdCheck), BM_CLICK, 0, 0);
    Sleep(200);
    EXPECT_TRUE(WaitUntil([](HWND check) { return IsWindowEnabled(check) != FALSE; }, Item(IdCheck), 60000));
    report = ControlText(Item(IdReport));
    EXPECT_NE(report.find(L"データ\\追加.txt"), std::wstring::npos) << Utf8(report);

    // update-make with the same texts as options, and with the saved texts file.
    const wchar_t* options[] = {L"--game-name", L"--reg-path", L"--caption",  L"--width",
                                L"--height",    L"--comment0", L"--comment1", L"--attention1"};
    std::vector<std::wstring> byOptions, byTexts = {L"--texts", project};
    for (int i = 0; i < 8; ++i) byOptions.insert(byOptions.end(), {options[i], texts.values[i]});
    const std::map<std::wstring, std::string> made = FilesBelow(patch);
    EXPECT_GE(made.size(), 5u);  // update.exe, update.ini, update\, update\データ\, two files
    EXPECT_TRUE(made.count(L"update\\データ\\追加.txt"));
    int n = 2;
    for (std::vector<std::wstring> arguments : {byOptions, byTexts}) {
        arguments.insert(arguments.end(), {oldGame_, newGame_});
        ExpectSamePatch(made, PatchOfUpdateMake(arguments, folder_ + L"\\パッチ " + std::to_wstring(n++)),
                        Utf8(arguments[0]));
    }
}

// Two old versions, each named, and --also-whole: the window's patch is the one
// update-make makes from the same arguments (deltas from each version's content
// of a large file included), and the project opens again with both versions.
TEST_F(StudioWindow, SeveralOldVersionsMakeUpdateMakesPatchAndReopen) {
    const std::wstring encoder = BuiltFileWide(XDELTA3_EXE_PATH);
    if (!PathExists(encoder)) GTEST_SKIP() << "no " << XDELTA3_EXE_PATH << " (scripts/build-xdelta3 builds it)";
    PathWith path(encoder.substr(0, encoder.rfind(L'\\')));
    // xdelta3.exe opens its files by the system's code page: the games' names
    // are Japanese where it spells them, plain letters (and spaces) elsewhere.
    const bool japanese = GetACP() == 932;
    const std::wstring base = japanese ? folder_ : MakeTempFolder(L"studio versions");
    ASSERT_FALSE(base.empty());
    struct Removed {
        std::wstring folder;
        ~Removed() { RemoveTree(folder); }
    } removed{base == folder_ ? L"" : base};
    const std::wstring data = japanese ? L"\\データ" : L"\\data";
    const std::wstring archive = data + (japanese ? L"\\archive 大.dat" : L"\\archive 1.dat");
    // 1.01 changed the archive and the scene of 1.00; the new game changes both again.
    oldGame_ = base + (japanese ? L"\\旧 1.00" : L"\\old 1.00");
    const std::wstring older = base + (japanese ? L"\\旧 1.01" : L"\\old 1.01");
    newGame_ = base + (japanese ? L"\\新 1.02" : L"\\new 1.02");
    const struct {
        std::wstring folder;
        std::string scene;
        std::vector<size_t> changed;
    } games[] = {{oldGame_, "scene of 1.00\r\n", {}},
                 {older, "scene of 1.01\r\n", {5000}},
                 {newGame_, "scene of 1.02, longer\r\n", {5000, 70000}}};
    for (const auto& game : games) {
        ASSERT_TRUE(CreateDirectoryW(game.folder.c_str(), NULL));
        ASSERT_TRUE(CreateDirectoryW((game.folder + data).c_str(), NULL));
        ASSERT_TRUE(WriteFileBytes(game.folder + L"\\Tessoran.exe", std::string(5000, 'e')));
        ASSERT_TRUE(WriteFileBytes(game.folder + data + L"\\scene 1.txt", game.scene));
        ASSERT_TRUE(WriteFileBytes(game.folder + archive, GameBytes(96 * 1024, game.changed)));
    }

    const std::wstring project = folder_ + L"\\版 project.ini";
    ASSERT_TRUE(WriteFileBytes(project, "[GameName]=x\r\n"));
    ASSERT_NO_FATAL_FAILURE(StartStudio(L" \"" + project + L"\""));
    const std::wstring patch = base + (japanese ? L"\\パッチ 版" : L"\\patch 1.02");
    const Texts texts = SampleTexts(L"Studio Test\\ゲーム");
    TypeProject(patch, texts);
    Type(IdOldLabelEdit, L"1.00 初版");
    SendMessageW(Item(IdAddOld), BM_CLICK, 0, 0);
    Type(IdFolderEdit + 0, older);
    Type(IdOldLabelEdit, L"1.01");
    SendMessageW(Item(IdAlsoWhole), BM_CLICK, 0, 0);
    // A third version added and removed again leaves the two.
    SendMessageW(Item(IdAddOld), BM_CLICK, 0, 0);
    Type(IdFolderEdit + 0, folder_ + L"\\gone");
    SendMessageW(Item(IdRemoveOld), BM_CLICK, 0, 0);
    using Olds = std::vector<std::pair<std::wstring, std::wstring>>;
    const Olds typed = {{oldGame_, L"1.00 初版"}, {older, L"1.01"}};
    EXPECT_TRUE(this->Olds() == typed);

    std::wstring report = MakeAndWait(false);
    EXPECT_TRUE(IsWindowEnabled(Item(IdOpenPatch))) << Utf8(report);
    EXPECT_NE(report.find(L"--also-whole --label \"1.00 初版\" --label 1.01 \"" + oldGame_ + L"\" \"" + older),
              std::wstring::npos)
        << Utf8(report);
    TakeScreenshot(JapaneseSystemForShot() ? "author-window-ja.png" : "author-window-en.png", window_);

    std::map<std::wstring, std::string> made = FilesBelow(patch);
    size_t deltas = 0, whole = 0;
    for (const auto& file : made) {
        deltas += file.first.rfind(L"deltas\\", 0) == 0 && file.first.back() != L'\\';
        whole += file.first.rfind(L"whole\\", 0) == 0 && file.first.back() != L'\\';
    }
    EXPECT_EQ(deltas, 2u) << "one delta from each version's archive";
    EXPECT_EQ(whole, 1u) << "--also-whole carries the archive";
    ASSERT_TRUE(made.count(L"deltas.txt"));
    EXPECT_NE(made[L"deltas.txt"].find(WideToShiftJis(L"1.00 初版")), std::string::npos) << made[L"deltas.txt"];

    std::vector<std::wstring> arguments = {L"--also-whole", L"--label", L"1.00 初版", L"--label", L"1.01"};
    const wchar_t* options[] = {L"--game-name", L"--reg-path", L"--caption",  L"--width",
                                L"--height",    L"--comment0", L"--comment1", L"--attention1"};
    for (int i = 0; i < 8; ++i) arguments.insert(arguments.end(), {options[i], texts.values[i]});
    arguments.insert(arguments.end(), {oldGame_, older, newGame_});
    ExpectSamePatch(made, PatchOfUpdateMake(arguments, base + L"\\patch console"), "update-make");

    // The project Make saved opens again in a new window with both versions and the box.
    PostMessageW(window_, WM_CLOSE, 0, 0);
    DWORD exitCode = 99;
    EXPECT_TRUE(studio_.WaitForExit(&exitCode, 20000));
    DrivenProgram reopened;
    ASSERT_NO_FATAL_FAILURE(StartStudio(L" \"" + project + L"\"", &reopened));
    EXPECT_TRUE(this->Olds() == typed) << Utf8(ControlText(Item(IdReport)));
    EXPECT_EQ(SendMessageW(Item(IdAlsoWhole), BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(ControlText(Item(IdFolderEdit + 1)), newGame_);
    EXPECT_EQ(ControlText(Item(IdTextEdit + 2)), texts.values[2]);

    // A project an earlier window saved (one old= line, no names) opens with one version.
    const std::wstring earlier = folder_ + L"\\earlier.ini";
    ASSERT_TRUE(WriteFileBytes(earlier, "[GameName]=x\r\n"));
    ASSERT_TRUE(WriteFileBytes(earlier + L".folders", "old=" + Utf8(oldGame_) + "\r\nnew=" + Utf8(newGame_) +
                                                          "\r\npatch=" + Utf8(patch) + "\r\n"));
    DrivenProgram third;
    ASSERT_NO_FATAL_FAILURE(StartStudio(L" \"" + earlier + L"\"", &third));
    EXPECT_TRUE(this->Olds() == Olds({{oldGame_, L""}}));
    EXPECT_EQ(SendMessageW(Item(IdAlsoWhole), BM_GETCHECK, 0, 0), BST_UNCHECKED);
}

// A cancelled make leaves neither the patch folder nor its temporary folder.
TEST_F(StudioWindow, CancelledMakeLeavesNoFolder) {
    ASSERT_NO_FATAL_FAILURE(StartStudio());
    const std::wstring patch = folder_ + L"\\cancelled";
    TypeProject(patch, SampleTexts(L"Studio Test\\Game"));
    std::wstring report = MakeAndWait(true);
    EXPECT_FALSE(PathExists(patch)) << Utf8(report);
    EXPECT_TRUE(NamesStartingWith(folder_, L".cancelled").empty());
    EXPECT_NE(report.find(L"interrupted"), std::wstring::npos) << Utf8(report);
    // The next make in the same window is not cancelled by the last one's flag.
    report = MakeAndWait(false);
    EXPECT_TRUE(IsFolder(patch)) << Utf8(report);
}

// Each mistake update-make refuses or warns of shows at its field as it is typed,
// and goes when it is mended.
TEST_F(StudioWindow, MistakesShowAtTheirFields) {
    ASSERT_NO_FATAL_FAILURE(StartStudio());
    TypeProject(folder_ + L"\\p", SampleTexts(L"Maker\\Game"));
    struct Case {
        int field;
        std::wstring typed;
        std::wstring shown;  // a part of the message; empty: none
    } cases[] = {
        {1, L"HKEY_CURRENT_USER\\Software\\Maker\\Game", L"HKEY_CURRENT_USER"},
        {1, L"Software\\Maker\\Game", L"Software\\"},
        {1, L"Maker\\Game", L""},
        {1, L"", L"[RegPath]"},
        {2, L"パッチ〜ver1.01", L"U+FF5E"},
        {2, L"パッチ～ver1.01", L""},
        {0, L"", L"empty"},
        {3, L"", L"[Width]"},
        {3, L"500", L""},
    };
    for (const Case& c : cases) {
        Type(IdTextEdit + c.field, c.typed);
        std::wstring shown = WindowTextWide(Item(IdMistake + c.field));
        if (c.shown.empty())
            EXPECT_EQ(shown, L"") << Utf8(c.typed);
        else
            EXPECT_NE(shown.find(c.shown), std::wstring::npos) << Utf8(c.typed) << " -> " << Utf8(shown);
    }
}

// The preview is update.exe's own window: for the same update.ini its controls
// have the same places (relative to the client area) and the same texts.
TEST_F(StudioWindow, PreviewMatchesTheProgramsWindow) {
    const Texts texts = SampleTexts(L"Studio Test\\Preview");
    std::string ini;
    const char* keys[] = {"[GameName]", "[RegPath]", "[Caption]", "[Width]",
                          "[Height]",   "[Comment0]", "[Comment1]", "[Attention1]"};
    for (int i = 0; i < 8; ++i) ini += std::string(keys[i]) + "=" + WideToShiftJis(texts.values[i]) + "\r\n";
    const std::wstring programFolder = folder_ + L"\\program";
    ASSERT_TRUE(CreateDirectoryW(programFolder.c_str(), NULL));
    ASSERT_TRUE(WriteFileBytes(programFolder + L"\\update.ini", ini));
    ASSERT_TRUE(CopyFileOver(UpdateExePathWide(), programFolder + L"\\update.exe"));
    // The same file opens as the studio's project.
    const std::wstring project = folder_ + L"\\texts.ini";
    ASSERT_TRUE(WriteFileBytes(project, ini));

    DrivenProgram program;
    ASSERT_TRUE(program.Start(programFolder + L"\\update.exe"));
    HWND main = program.WaitForWindow(L"update");
    ASSERT_TRUE(main != NULL);
    ASSERT_NO_FATAL_FAILURE(StartStudio(L" \"" + project + L"\""));
    HWND preview = FindWindowExW(window_, NULL, L"update", NULL);
    ASSERT_TRUE(preview != NULL);
    EXPECT_EQ(ControlText(Item(IdTextEdit + 2)), texts.values[2]) << Utf8(ControlText(Item(IdReport)));

    RECT programClient, previewClient;
    GetClientRect(main, &programClient);
    GetClientRect(preview, &previewClient);
    EXPECT_EQ(programClient.right, 460);
    EXPECT_EQ(programClient.bottom, 230);
    EXPECT_EQ(previewClient.right, programClient.right);
    EXPECT_EQ(previewClient.bottom, programClient.bottom);
    EXPECT_EQ(WindowTextWide(preview), WindowTextWide(main));
    for (int id : {1000, 1001, 2000, 2001, 2002}) {
        HWND ours = GetDlgItem(preview, id), theirs = GetDlgItem(main, id);
        ASSERT_TRUE(ours != NULL && theirs != NULL) << id;
        Placed a = PlaceOf(ours), b = PlaceOf(theirs);
        EXPECT_TRUE(EqualRect(&a.rect, &b.rect)) << id << ": " << a.rect.left << "," << a.rect.top << " "
                                                 << a.rect.right << "," << a.rect.bottom << " vs " << b.rect.left
                                                 << "," << b.rect.top << " " << b.rect.right << "," << b.rect.bottom;
        EXPECT_EQ(a.text, b.text) << id;
        EXPECT_EQ(a.visible, b.visible) << id;
        EXPECT_EQ(SendMessageW(ours, WM_GETFONT, 0, 0) != 0, SendMessageW(theirs, WM_GETFONT, 0, 0) != 0) << id;
    }
    // A new text changes the preview.
    Type(IdTextEdit + 5, L"変わった文");
    preview = FindWindowExW(window_, NULL, L"update", NULL);
    ASSERT_TRUE(preview != NULL);
    EXPECT_EQ(WindowTextWide(GetDlgItem(preview, 1000)), L"変わった文");
    Type(IdTextEdit + 3, L"600");
    preview = FindWindowExW(window_, NULL, L"update", NULL);
    GetClientRect(preview, &previewClient);
    EXPECT_EQ(previewClient.right, 600);
}

}  // namespace
