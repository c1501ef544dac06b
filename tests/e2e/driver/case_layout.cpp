#include "case_layout.h"

#include <windows.h>

#include "program_driver.h"
#include "report_text.h"

namespace {

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

std::string MachineOf(const std::string& exe) {
    std::string bytes;
    if (!ReadFileBytes(exe, &bytes) || bytes.size() < 0x40) return "unknown";
    unsigned pe = *(const unsigned*)(bytes.data() + 0x3C);
    if (pe + 6 > bytes.size()) return "unknown";
    unsigned short machine = *(const unsigned short*)(bytes.data() + pe + 4);
    return machine == 0x8664 ? "x86_64" : machine == 0x14C ? "i686" : "unknown";
}

bool StartsWithFolder(const std::string& path, const char* folder) {
    size_t length = strlen(folder);
    return path.size() > length && _strnicmp(path.c_str(), folder, length) == 0 && path[length] == '\\';
}

}  // namespace

std::string CaseLayout::Place(const std::string& relative) const {
    std::string first = relative.substr(0, relative.find('\\'));
    std::string rest = relative.size() > first.size() ? relative.substr(first.size() + 1) : "";
    if (_stricmp(first.c_str(), "game") == 0) return rest.empty() ? gameFolder_ : gameFolder_ + "\\" + rest;
    return patchFolder_ + "\\" + relative;
}

bool CaseLayout::Build() {
    std::string work = options_.workRoot.empty() ? MakeTempFolder("e2e-" + case_.name)
                                                 : options_.workRoot + "\\" + case_.name;
    if (work.empty() || !MakeFolders(work)) {
        report_->Fail("cannot create the work folder " + work);
        return false;
    }
    workFolder_ = work;
    patchFolder_ = work + "\\patch";
    gameFolder_ = work + "\\game";
    // Only the two folders the driver lays out are ever removed.
    RemoveTree(patchFolder_);
    RemoveTree(gameFolder_);

    exe_ = patchFolder_ + "\\" + Utf8ToAnsi(case_.program);
    bool ok = MakeFolders(patchFolder_) && CopyFileA(options_.program.c_str(), exe_.c_str(), FALSE);
    if (!ok) {
        report_->Fail("cannot copy " + options_.program + " to " + exe_);
        return false;
    }
    std::string description = case_.patchSource + "\\update.ini";
    if (GetFileAttributesA(description.c_str()) != INVALID_FILE_ATTRIBUTES &&
        !CopyFileA(description.c_str(), (patchFolder_ + "\\update.ini").c_str(), FALSE)) {
        report_->Fail("cannot copy " + description);
        return false;
    }
    std::string tree = case_.patchSource + "\\update";
    if (GetFileAttributesA(tree.c_str()) != INVALID_FILE_ATTRIBUTES && !CopyTree(tree, patchFolder_ + "\\update")) {
        report_->Fail("cannot copy " + tree);
        return false;
    }
    if (case_.hasGame) {
        bool fromCase = GetFileAttributesA(case_.gameSource.c_str()) != INVALID_FILE_ATTRIBUTES;
        if (!(fromCase ? CopyTree(case_.gameSource, gameFolder_) : MakeFolders(gameFolder_))) {
            report_->Fail("cannot lay out the game folder " + gameFolder_);
            return false;
        }
    }
    for (const std::string& folder : case_.folders) {
        if (StartsWithFolder(folder, "expected")) continue;
        if (!MakeFolders(Place(Utf8ToAnsi(folder)))) {
            report_->Fail("cannot create the folder " + folder);
            return false;
        }
    }
    for (const std::string& file : case_.readOnly) {
        if (StartsWithFolder(file, "expected")) continue;
        if (!SetFileAttributesA(Place(Utf8ToAnsi(file)).c_str(), FILE_ATTRIBUTE_READONLY)) {
            report_->Fail("cannot mark " + file + " read-only");
            return false;
        }
    }
    Print("program: " + AnsiToUtf8(exe_) + " (" + MachineOf(exe_) + " build)\n");
    if (!SetRegistry()) return false;

    gameExisted_ = ListTree(gameFolder_, &before_);
    PrintTree("game folder before: " + AnsiToUtf8(gameFolder_), gameExisted_, before_);
    return LoadExpectedTree();
}

bool CaseLayout::SetRegistry() {
    for (const RegistrySetting& setting : case_.registry) {
        std::string key = "Software\\" + Utf8ToAnsi(setting.key);
        RegDeleteTreeA(HKEY_CURRENT_USER, key.c_str());
        keys_.push_back(key);
        if (!setting.createKey) {
            Print("registry: HKEY_CURRENT_USER\\" + AnsiToUtf8(key) + " does not exist\n");
            continue;
        }
        HKEY handle;
        if (RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &handle, NULL) !=
            ERROR_SUCCESS) {
            report_->Fail("cannot create the registry key " + AnsiToUtf8(key));
            return false;
        }
        if (setting.hasValue) {
            std::string value = ReplaceAll(Utf8ToAnsi(Unescape(setting.value)), "{game}", gameFolder_);
            RegSetValueExA(handle, "SAV_FOLDER", 0, REG_SZ, (const BYTE*)value.c_str(), (DWORD)value.size() + 1);
            std::string shown = value.size() > 100 ? value.substr(0, 100) + "... (" +
                                                         std::to_string(value.size()) + " bytes)"
                                                   : value;
            Print("registry: HKEY_CURRENT_USER\\" + AnsiToUtf8(key) + " SAV_FOLDER = " + AnsiToUtf8(shown) + "\n");
        } else {
            Print("registry: HKEY_CURRENT_USER\\" + AnsiToUtf8(key) + " exists without SAV_FOLDER\n");
        }
        RegCloseKey(handle);
    }
    return true;
}

bool CaseLayout::LoadExpectedTree() {
    if (case_.expectedSource.empty()) {
        expected_ = before_;
        expectedExists_ = gameExisted_;
        return true;
    }
    expectedExists_ = ListTree(case_.expectedSource, &expected_);
    if (!expectedExists_) {
        report_->Fail("the expected folder " + case_.expectedSource + " does not exist");
        return false;
    }
    for (const std::string& folder : case_.folders)
        if (StartsWithFolder(folder, "expected")) expected_.push_back({Utf8ToAnsi(folder.substr(9)), true, false, ""});
    for (const std::string& file : case_.readOnly) {
        if (!StartsWithFolder(file, "expected")) continue;
        std::string path = Utf8ToAnsi(file.substr(9));
        bool marked = false;
        for (TreeEntry& entry : expected_)
            if (_stricmp(entry.path.c_str(), path.c_str()) == 0) entry.readOnly = marked = true;
        if (!marked) report_->Fail("readonly: " + file + " is not a file of the expected folder");
    }
    return true;
}

void CaseLayout::Remove() {
    if (options_.keep) {
        Print("kept: " + AnsiToUtf8(workFolder_) + " and the registry value\n");
        return;
    }
    for (const std::string& key : keys_) {
        RegDeleteTreeA(HKEY_CURRENT_USER, key.c_str());
        // Parents that the case made and left empty go as well.
        std::string parent = key;
        for (size_t slash; (slash = parent.find_last_of('\\')) != std::string::npos && slash > 8;) {
            parent.resize(slash);
            if (RegDeleteKeyA(HKEY_CURRENT_USER, parent.c_str()) != ERROR_SUCCESS) break;
        }
    }
    if (workFolder_.empty()) return;
    if (report_->failures > 0 && options_.workRoot.empty()) {
        Print("left for a look: " + AnsiToUtf8(workFolder_) + "\n");
        return;
    }
    RemoveTree(patchFolder_);
    RemoveTree(gameFolder_);
    if (options_.workRoot.empty()) RemoveTree(workFolder_);
}

void CaseLayout::CheckGameFolder(bool compare) {
    std::vector<TreeEntry> after;
    bool exists = ListTree(gameFolder_, &after);
    PrintTree("game folder after: " + AnsiToUtf8(gameFolder_), exists, after);
    if (!compare) return;
    if (exists != expectedExists_) {
        report_->Fail(std::string("the game folder ") + (exists ? "exists" : "does not exist"));
        return;
    }
    std::vector<std::string> differences = CompareTrees(expected_, after);
    for (const std::string& difference : differences) report_->Fail("game folder: " + difference);
    if (differences.empty())
        Print(std::string("game folder as expected") + (case_.expectedSource.empty() ? " (unchanged)" : "") + "\n");
}
