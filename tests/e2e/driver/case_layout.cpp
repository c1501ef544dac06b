#include "case_layout.h"

#include <windows.h>

#include <algorithm>

#include "program_driver.h"
#include "report_text.h"

namespace {

std::wstring ReplaceAll(std::wstring text, const std::wstring& from, const std::wstring& to) {
    for (size_t at = text.find(from); at != std::wstring::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

// The Linux path of a folder under Wine (its own export); empty elsewhere.
std::wstring LinuxPath(const std::wstring& path) {
    typedef char*(__cdecl * UnixName)(const wchar_t*);
    UnixName unixName = (UnixName)(void*)GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name");
    char* name = unixName ? unixName(path.c_str()) : NULL;
    if (!name) return L"";
    std::wstring linux;
    int units = MultiByteToWideChar(CP_UTF8, 0, name, -1, NULL, 0);
    if (units > 1) {
        linux.resize((size_t)units - 1);
        MultiByteToWideChar(CP_UTF8, 0, name, -1, &linux[0], units);
    }
    HeapFree(GetProcessHeap(), 0, name);
    return linux;
}

std::string MachineOf(const std::wstring& exe) {
    std::string bytes;
    if (!ReadFileBytes(exe, &bytes) || bytes.size() < 0x40) return "unknown";
    unsigned pe = *(const unsigned*)(bytes.data() + 0x3C);
    if (pe + 6 > bytes.size()) return "unknown";
    unsigned short machine = *(const unsigned short*)(bytes.data() + pe + 4);
    return machine == 0x8664 ? "x86_64" : machine == 0x14C ? "i686" : "unknown";
}

bool StartsWithFolder(const std::wstring& path, const wchar_t* folder) {
    size_t length = wcslen(folder);
    return path.size() > length && CompareStringOrdinal(path.c_str(), (int)length, folder, -1, TRUE) == CSTR_EQUAL &&
           path[length] == L'\\';
}

std::wstring FirstComponent(const std::wstring& relative) { return relative.substr(0, relative.find(L'\\')); }

std::wstring ShortPath(const std::wstring& path) {
    wchar_t buffer[1024];
    DWORD length = GetShortPathNameW(path.c_str(), buffer, 1024);
    return length > 0 && length < 1024 ? std::wstring(buffer, length) : L"";
}

}  // namespace

std::wstring CaseLayout::Place(const std::wstring& relative) const {
    std::wstring expanded = ExpandPlaces(relative);
    if (expanded.size() > 2 && expanded[1] == L':' && expanded[2] == L'\\') return expanded;
    std::wstring first = FirstComponent(relative);
    std::wstring rest = relative.size() > first.size() ? relative.substr(first.size() + 1) : L"";
    if (CompareStringOrdinal(first.c_str(), -1, L"game", -1, TRUE) == CSTR_EQUAL)
        return rest.empty() ? gameFolder_ : gameFolder_ + L"\\" + rest;
    return programFolder_ + L"\\" + relative;
}

std::wstring CaseLayout::ShortForm(const std::wstring& folder) const {
    std::wstring work = ShortPath(workFolder_);
    std::wstring full = ShortPath(folder == L"program" ? programFolder_ : Place(folder));
    if (work.empty() || full.size() <= work.size() + 1 || full.compare(0, work.size(), work) != 0) return L"";
    return full.substr(work.size() + 1);
}

bool CaseLayout::Build() {
    std::wstring work = options_.workRoot.empty() ? MakeTempFolder(L"e2e-" + case_.name)
                                                  : options_.workRoot + L"\\" + case_.name;
    if (work.empty() || !MakeFolders(work)) {
        report_->Fail("cannot create the work folder " + WideToUtf8(work));
        return false;
    }
    workFolder_ = work;
    programFolder_ = work + L"\\" + case_.programFolder;
    gameFolder_ = work + L"\\" + case_.gameFolder;
    // Only the folders the driver lays out are ever removed.
    RemoveTree(work + L"\\" + FirstComponent(case_.programFolder));
    RemoveTree(work + L"\\" + FirstComponent(case_.gameFolder));

    if (!LayOutProgramFolder()) return false;
    if (case_.hasGame) {
        bool fromCase = PathExists(case_.gameSource);
        if (!(fromCase ? CopyTree(case_.gameSource, gameFolder_) : MakeFolders(gameFolder_))) {
            report_->Fail("cannot lay out the game folder " + WideToUtf8(gameFolder_));
            return false;
        }
    }
    for (const std::wstring& folder : case_.folders) {
        if (StartsWithFolder(folder, L"expected")) continue;
        if (!MakeFolders(Place(folder))) {
            report_->Fail("cannot create the folder " + WideToUtf8(folder));
            return false;
        }
    }
    for (const std::wstring& file : case_.readOnly) {
        if (StartsWithFolder(file, L"expected")) continue;
        if (!SetFileAttributesW(Place(file).c_str(), FILE_ATTRIBUTE_READONLY)) {
            report_->Fail("cannot mark " + WideToUtf8(file) + " read-only");
            return false;
        }
    }
    Print("program: " + WideToUtf8(exe_) + " (" + MachineOf(exe_) + " build)\n");
    if (!LayOutDriveRoot() || !SetRegistry()) return false;

    surroundings_ = Surroundings();
    gameExisted_ = ListTree(gameFolder_, &before_);
    PrintTree("game folder before: " + WideToUtf8(gameFolder_), gameExisted_, before_);
    return LoadExpectedTree();
}

bool CaseLayout::LayOutProgramFolder() {
    exe_ = programFolder_ + L"\\" + case_.program;
    if (!MakeFolders(programFolder_) || !CopyFileW(options_.program.c_str(), exe_.c_str(), FALSE)) {
        report_->Fail("cannot copy " + WideToUtf8(options_.program) + " to " + WideToUtf8(exe_));
        return false;
    }
    // A patch with deltas carries their list and the deltas beside update.ini,
    // and may carry the new files whole.
    for (const wchar_t* name : {L"update.ini", L"update", L"deltas.txt", L"deltas", L"whole"}) {
        std::wstring source = case_.patchSource + L"\\" + name;
        if (PathExists(source) && !CopyTree(source, programFolder_ + L"\\" + name)) {
            report_->Fail("cannot copy " + WideToUtf8(source));
            return false;
        }
    }
    return true;
}

// The decoy files go to the root of the program's drive, where a program that
// lost its folder would look; a name that is there already is left alone.
bool CaseLayout::LayOutDriveRoot() {
    if (case_.driveRootSource.empty()) return true;
    if (!IsFolder(case_.driveRootSource)) {
        report_->Fail("the drive-root folder " + WideToUtf8(case_.driveRootSource) + " does not exist");
        return false;
    }
    std::vector<TreeEntry> entries;
    ListTree(case_.driveRootSource, &entries);
    std::wstring root = programFolder_.substr(0, 3);
    for (const TreeEntry& entry : entries) {
        if (entry.path.find(L'\\') != std::wstring::npos) continue;  // copied with its folder
        std::wstring target = root + entry.path;
        if (PathExists(target)) {
            Print("drive root: " + WideToUtf8(target) + " exists already; the case runs without this decoy\n");
        } else if (CopyTree(case_.driveRootSource + L"\\" + entry.path, target)) {
            decoys_.push_back(target);
            Print("drive root: decoy " + WideToUtf8(target) + "\n");
        } else {
            RemoveTree(target);
            Print("drive root: " + WideToUtf8(target) + " cannot be written; the case runs without this decoy\n");
        }
    }
    return true;
}

bool CaseLayout::SetRegistry() {
    for (const RegistrySetting& setting : case_.registry) {
        std::wstring key = L"Software\\" + Utf8ToWide(setting.key);
        std::string shownKey = "registry: HKEY_CURRENT_USER\\" + WideToUtf8(key);
        RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str());
        keys_.push_back(key);
        if (!setting.createKey) {
            Print(shownKey + " does not exist\n");
            continue;
        }
        HKEY handle;
        if (RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &handle, NULL) !=
            ERROR_SUCCESS) {
            report_->Fail("cannot create the registry key " + WideToUtf8(key));
            return false;
        }
        if (setting.hasValue) {
            std::wstring value = ExpandPlaces(Utf8ToWide(Unescape(setting.value)));
            RegSetValueExW(handle, L"SAV_FOLDER", 0, REG_SZ, (const BYTE*)value.c_str(),
                           (DWORD)((value.size() + 1) * sizeof(wchar_t)));
            std::string shown = WideToUtf8(value.size() > 100 ? value.substr(0, 100) : value);
            if (value.size() > 100) shown += "... (" + std::to_string(value.size()) + " characters)";
            Print(shownKey + " SAV_FOLDER = " + shown + "\n");
        } else {
            Print(shownKey + " exists without SAV_FOLDER\n");
        }
        RegCloseKey(handle);
    }
    return true;
}

// The work folder without the game and the program folder, what lies in them
// and the folders on the way to them (a program may create the game folder):
// what remains is no business of the program's.
std::wstring CaseLayout::ExpandPlaces(const std::wstring& text) const {
    // {linux-game}: the game folder as Linux names it.
    return ReplaceAll(ReplaceAll(ReplaceAll(ReplaceAll(text, L"{linux-game}", LinuxPath(gameFolder_)), L"{game}",
                                            gameFolder_),
                                 L"{program}", exe_),
                      L"{work}", workFolder_);
}

void CaseLayout::ExpectWritten(const std::wstring& path) {
    if (path.size() > workFolder_.size() + 1 && path.compare(0, workFolder_.size() + 1, workFolder_ + L"\\") == 0)
        written_.push_back(path.substr(workFolder_.size() + 1));
}

std::vector<TreeEntry> CaseLayout::Surroundings() const {
    std::vector<TreeEntry> all, outside;
    ListTree(workFolder_, &all);
    std::wstring game = case_.gameFolder + L"\\", program = case_.programFolder + L"\\";
    auto within = [](const std::wstring& path, const std::wstring& folder) {
        return path.compare(0, folder.size(), folder) == 0 || folder.compare(0, path.size() + 1, path + L"\\") == 0;
    };
    for (const TreeEntry& entry : all)
        if (!within(entry.path, game) && !within(entry.path, program) &&
            std::find(written_.begin(), written_.end(), entry.path) == written_.end())
            outside.push_back(entry);
    return outside;
}

bool CaseLayout::LoadExpectedTree() {
    if (case_.expectedSource.empty()) {
        expected_ = before_;
        expectedExists_ = gameExisted_;
        return true;
    }
    expectedExists_ = ListTree(case_.expectedSource, &expected_);
    if (!expectedExists_) {
        report_->Fail("the expected folder " + WideToUtf8(case_.expectedSource) + " does not exist");
        return false;
    }
    for (const std::wstring& folder : case_.folders)
        if (StartsWithFolder(folder, L"expected")) expected_.push_back({folder.substr(9), true, false, ""});
    for (const std::wstring& file : case_.readOnly) {
        if (!StartsWithFolder(file, L"expected")) continue;
        std::wstring path = file.substr(9);
        bool marked = false;
        for (TreeEntry& entry : expected_)
            if (CompareStringOrdinal(entry.path.c_str(), -1, path.c_str(), -1, TRUE) == CSTR_EQUAL)
                entry.readOnly = marked = true;
        if (!marked) report_->Fail("readonly: " + WideToUtf8(file) + " is not a file of the expected folder");
    }
    return true;
}

void CaseLayout::Remove() {
    if (options_.keep) {
        Print("kept: " + WideToUtf8(workFolder_) + (decoys_.empty() ? "" : ", the drive-root decoys") +
              " and the registry value\n");
        return;
    }
    for (const std::wstring& decoy : decoys_) RemoveTree(decoy);
    for (const std::wstring& key : keys_) {
        RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str());
        // Parents that the case made and left empty go as well.
        std::wstring parent = key;
        for (size_t slash; (slash = parent.find_last_of(L'\\')) != std::wstring::npos && slash > 8;) {
            parent.resize(slash);
            if (RegDeleteKeyW(HKEY_CURRENT_USER, parent.c_str()) != ERROR_SUCCESS) break;
        }
    }
    if (workFolder_.empty()) return;
    if (report_->failures > 0 && options_.workRoot.empty()) {
        Print("left for a look: " + WideToUtf8(workFolder_) + "\n");
        return;
    }
    RemoveTree(workFolder_ + L"\\" + FirstComponent(case_.programFolder));
    RemoveTree(workFolder_ + L"\\" + FirstComponent(case_.gameFolder));
    if (options_.workRoot.empty()) RemoveTree(workFolder_);
}

void CaseLayout::CheckGameFolder(bool compare) {
    std::vector<TreeEntry> after;
    bool exists = ListTree(gameFolder_, &after);
    PrintTree("game folder after: " + WideToUtf8(gameFolder_), exists, after);
    if (!compare) return;
    for (const std::string& difference : CompareTrees(surroundings_, Surroundings()))
        report_->Fail("around the game folder: " + difference);
    if (exists != expectedExists_) {
        report_->Fail(std::string("the game folder ") + (exists ? "exists" : "does not exist"));
        return;
    }
    std::vector<std::string> differences = CompareTrees(expected_, after);
    for (const std::string& difference : differences) report_->Fail("game folder: " + difference);
    if (differences.empty())
        Print(std::string("game folder as expected") + (case_.expectedSource.empty() ? " (unchanged)" : "") + "\n");
}
