#include "program_driver.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#ifndef UPDATE_EXE_PATH
#error "UPDATE_EXE_PATH names the built update.exe"
#endif

namespace {

const UINT ShiftJisCodePage = 932;

}  // namespace

std::wstring CodePageToWide(const std::string& text, UINT codePage) {
    if (text.empty()) return std::wstring();
    int count = MultiByteToWideChar(codePage, 0, text.data(), (int)text.size(), NULL, 0);
    std::wstring wide(count, L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), (int)text.size(), &wide[0], count);
    return wide;
}

std::string WideToCodePage(const std::wstring& text, UINT codePage) {
    if (text.empty()) return std::string();
    // UTF-8 spells every character and takes no flags.
    DWORD flags = codePage == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
    int count = WideCharToMultiByte(codePage, flags, text.data(), (int)text.size(), NULL, 0, NULL, NULL);
    std::string bytes(count, '\0');
    WideCharToMultiByte(codePage, flags, text.data(), (int)text.size(), &bytes[0], count, NULL, NULL);
    return bytes;
}

std::wstring ShiftJisToWide(const std::string& text) { return CodePageToWide(text, ShiftJisCodePage); }

std::string WideToShiftJis(const std::wstring& text) { return WideToCodePage(text, ShiftJisCodePage); }

std::wstring WindowsPath(const std::wstring& path) {
    if (path.empty() || path[0] != L'/') return path;
    std::wstring converted = L"Z:" + path;
    for (wchar_t& c : converted)
        if (c == L'/') c = L'\\';
    return converted;
}

std::string WindowsPath(const std::string& path) {
    if (path.empty() || path[0] != '/') return path;
    std::string converted = "Z:" + path;
    for (char& c : converted)
        if (c == '/') c = '\\';
    return converted;
}

std::string StagedUnixPath(const std::string& path) {
    const char* checkout = getenv("UPDATE_CHECKOUT");
    const char* stage = getenv("UPDATE_STAGE");
    if (!checkout || !stage || !checkout[0]) return path;
    size_t length = strlen(checkout);
    if (path.compare(0, length, checkout) != 0 || (path.size() > length && path[length] != '/')) return path;
    return stage + path.substr(length);
}

std::string UpdateExePath() { return WindowsPath(StagedUnixPath(UPDATE_EXE_PATH)); }

std::wstring BuiltFileWide(const char* unixPath) { return WindowsPath(ShiftJisToWide(StagedUnixPath(unixPath))); }

std::wstring UpdateExePathWide() { return BuiltFileWide(UPDATE_EXE_PATH); }

std::wstring MakeTempFolder(const std::wstring& stem) {
    wchar_t base[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    static int counter = 0;
    for (;;) {
        wchar_t folder[MAX_PATH];
        swprintf(folder, MAX_PATH, L"%ls%ls-%lu-%d", base, stem.c_str(), GetCurrentProcessId(), ++counter);
        if (CreateDirectoryW(folder, NULL)) return folder;
        if (GetLastError() != ERROR_ALREADY_EXISTS) return L"";
    }
}

std::string MakeTempFolder(const std::string& stem) {
    return WideToShiftJis(MakeTempFolder(ShiftJisToWide(stem)));
}

bool PathExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool IsFolder(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void RemoveTree(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return;
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        DeleteFileW(path.c_str());
        return;
    }
    WIN32_FIND_DATAW data;
    HANDLE search = FindFirstFileW((path + L"\\*").c_str(), &data);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = data.cFileName;
            if (name != L"." && name != L"..") RemoveTree(path + L"\\" + name);
        } while (FindNextFileW(search, &data));
        FindClose(search);
    }
    RemoveDirectoryW(path.c_str());
}

void RemoveTree(const std::string& path) { RemoveTree(ShiftJisToWide(path)); }

bool WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = WriteFile(file, bytes.data(), (DWORD)bytes.size(), &written, NULL);
    CloseHandle(file);
    return ok && written == bytes.size();
}

bool WriteFileBytes(const std::string& path, const std::string& bytes) {
    return WriteFileBytes(ShiftJisToWide(path), bytes);
}

bool ReadFileBytes(const std::wstring& path, std::string* bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE) return false;
    bytes->clear();
    char chunk[4096];
    DWORD count = 0;
    while (ReadFile(file, chunk, sizeof chunk, &count, NULL) && count > 0) bytes->append(chunk, count);
    CloseHandle(file);
    return true;
}

bool ReadFileBytes(const std::string& path, std::string* bytes) {
    return ReadFileBytes(ShiftJisToWide(path), bytes);
}

namespace {

void WalkTree(const std::wstring& root, const std::wstring& relative,
              const std::function<std::string(const std::wstring& path, DWORD attributes)>& describe,
              std::map<std::wstring, std::string>* objects) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((root + L"\\" + relative + L"*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            (*objects)[relative + name + L"\\"] = "";
            WalkTree(root, relative + name + L"\\", describe, objects);
        } else {
            (*objects)[relative + name] = describe(root + L"\\" + relative + name, found.dwFileAttributes);
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

}  // namespace

std::map<std::wstring, std::string> TreeBelow(
    const std::wstring& root, const std::function<std::string(const std::wstring& path, DWORD attributes)>& describe) {
    std::map<std::wstring, std::string> objects;
    WalkTree(root, L"", describe, &objects);
    return objects;
}

bool CopyFileOver(const std::wstring& source, const std::wstring& destination) {
    return CopyFileW(source.c_str(), destination.c_str(), FALSE) != 0;
}

bool CopyFileOver(const std::string& source, const std::string& destination) {
    return CopyFileOver(ShiftJisToWide(source), ShiftJisToWide(destination));
}

std::wstring WindowTextWide(HWND window) {
    wchar_t text[2048] = L"";
    GetWindowTextW(window, text, 2048);
    return text;
}

std::string WindowText(HWND window) { return WideToShiftJis(WindowTextWide(window)); }

std::wstring BoxTextWide(HWND box) {
    wchar_t text[4096] = L"";
    GetDlgItemTextW(box, 0xFFFF, text, 4096);  // the box's static text
    return text;
}

bool RunUnixCommandForFile(const std::string& shellCommand, const std::string& unixFile,
                           DWORD timeoutMs, DWORD minimumSize) {
    std::wstring windowsFile = ShiftJisToWide(WindowsPath(unixFile));
    DeleteFileW(windowsFile.c_str());
    std::wstring command = L"/bin/sh -c \"" + ShiftJisToWide(shellCommand) + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(NULL, &command[0], NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process)) return false;
    // A Unix process gives no handle to wait on; the file tells the end.
    if (process.hProcess) CloseHandle(process.hProcess);
    if (process.hThread) CloseHandle(process.hThread);
    DWORD start = GetTickCount();
    while (GetTickCount() - start < timeoutMs) {
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (GetFileAttributesExW(windowsFile.c_str(), GetFileExInfoStandard, &data))
            return data.nFileSizeLow > minimumSize;
        Sleep(50);
    }
    return false;
}

std::string ArtifactsFolder() {
    std::string path = StagedUnixPath(UPDATE_EXE_PATH);
    for (int i = 0; i < 4; ++i) path = path.substr(0, path.rfind('/'));
    return path + "/artifacts";
}

bool TakeScreenshot(const std::string& name, HWND window) {
    std::string folder = ArtifactsFolder(), file = folder + "/" + name, crop;
    if (window) {
        RECT r;
        GetWindowRect(window, &r);
        char geometry[64];
        snprintf(geometry, sizeof geometry, " -crop %ldx%ld+%ld+%ld", r.right - r.left, r.bottom - r.top, r.left, r.top);
        crop = geometry;
    }
    return RunUnixCommandForFile("mkdir -p '" + folder + "' && import -window root" + crop + " '" + file +
                                     ".tmp.png' && mv '" + file + ".tmp.png' '" + file + "'",
                                 file, 20000, 1000);
}

bool MakeFolder(const std::string& path) { return CreateDirectoryW(ShiftJisToWide(path).c_str(), NULL) != 0; }

DrivenProgram::DrivenProgram() : process_(), running_(false), startError_(0), failedStarts_(0) {}

DrivenProgram::~DrivenProgram() {
    if (!running_) return;
    TerminateProcess(process_.hProcess, 99);
    WaitForSingleObject(process_.hProcess, 5000);
    CloseHandle(process_.hProcess);
    CloseHandle(process_.hThread);
}

bool DrivenProgram::Start(const std::wstring& exePath, const std::wstring& commandLine,
                          const std::wstring& workingFolder) {
    std::wstring line = commandLine.empty() ? L"\"" + exePath + L"\"" : commandLine;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    // Wine now and then fails to start a process whose file is fine (the new
    // process dies in its loader before it reports in); a second try starts it.
    // A program that cannot start fails every try, with the last error kept.
    for (int attempt = 0; attempt < StartAttempts && !running_; ++attempt) {
        if (attempt > 0) Sleep(200);
        running_ = CreateProcessW(exePath.c_str(), &line[0], NULL, NULL, FALSE, 0, NULL,
                                  workingFolder.empty() ? NULL : workingFolder.c_str(), &startup, &process_) != 0;
        if (!running_) {
            startError_ = GetLastError();
            ++failedStarts_;
        }
    }
    return running_;
}

bool DrivenProgram::Start(const std::string& exePath, const std::string& commandLine,
                          const std::string& workingFolder) {
    return Start(ShiftJisToWide(exePath), ShiftJisToWide(commandLine), ShiftJisToWide(workingFolder));
}

namespace {

struct WindowSearch {
    DWORD processId;
    const wchar_t* className;
    HWND found;
};

BOOL CALLBACK FindProcessWindow(HWND window, LPARAM parameter) {
    WindowSearch* search = (WindowSearch*)parameter;
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    wchar_t className[64];
    if (owner == search->processId && IsWindowVisible(window) && GetClassNameW(window, className, 64) &&
        wcscmp(className, search->className) == 0) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

HWND FindWindowOfProcess(DWORD processId, const wchar_t* className) {
    WindowSearch search = {processId, className, NULL};
    EnumWindows(FindProcessWindow, (LPARAM)&search);
    return search.found;
}

HWND DrivenProgram::WaitForWindow(const wchar_t* className, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    while (GetTickCount() - start < timeoutMs) {
        HWND window = FindWindowOfProcess(process_.dwProcessId, className);
        if (window) return window;
        if (WaitForSingleObject(process_.hProcess, 20) == WAIT_OBJECT_0) return NULL;
    }
    return NULL;
}

bool DrivenProgram::WaitForBox(SeenBox* box, DWORD timeoutMs) {
    HWND window = WaitForWindow(L"#32770", timeoutMs);
    if (!window) return false;
    box->handle = window;
    box->owner = GetWindow(window, GW_OWNER);
    box->title = WindowText(window);
    box->text = WideToShiftJis(BoxTextWide(window));
    // The icon of a message box is a static control, visible only when the box
    // has an icon. Which icon it is cannot be told from outside the process:
    // icon handles are per process under Wine, and GetIconInfo refuses a
    // foreign one. The host tests check the exact box type.
    HWND icon = GetDlgItem(window, 0x0440);
    box->hasIcon = icon && IsWindowVisible(icon) && SendMessageW(icon, STM_GETICON, 0, 0) != 0;
    return true;
}

void DrivenProgram::Dismiss(HWND box) {
    SendMessageW(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
    // A box that still stands (its button not found) is closed by its command.
    if (IsWindow(box)) PostMessageW(box, WM_COMMAND, IDOK, 0);
}

bool DrivenProgram::WaitForExit(DWORD* exitCode, DWORD timeoutMs) {
    if (!running_) return false;
    if (WaitForSingleObject(process_.hProcess, timeoutMs) != WAIT_OBJECT_0) return false;  // the destructor ends it
    GetExitCodeProcess(process_.hProcess, exitCode);
    CloseHandle(process_.hProcess);
    CloseHandle(process_.hThread);
    running_ = false;
    return true;
}
