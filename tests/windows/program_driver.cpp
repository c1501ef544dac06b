#include "program_driver.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#ifndef UPDATE_EXE_PATH
#error "UPDATE_EXE_PATH names the built update.exe"
#endif

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

std::string MakeTempFolder(const std::string& stem) {
    char base[MAX_PATH];
    GetTempPathA(sizeof base, base);
    static int counter = 0;
    for (;;) {
        char folder[MAX_PATH];
        snprintf(folder, sizeof folder, "%s%s-%lu-%d", base, stem.c_str(), GetCurrentProcessId(), ++counter);
        if (CreateDirectoryA(folder, NULL)) return folder;
        if (GetLastError() != ERROR_ALREADY_EXISTS) return "";
    }
}

void RemoveTree(const std::string& path) {
    WIN32_FIND_DATAA data;
    HANDLE search = FindFirstFileA((path + "\\*").c_str(), &data);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::string name = data.cFileName;
            if (name == "." || name == "..") continue;
            std::string child = path + "\\" + name;
            SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) RemoveTree(child);
            else DeleteFileA(child.c_str());
        } while (FindNextFileA(search, &data));
        FindClose(search);
    }
    RemoveDirectoryA(path.c_str());
}

bool WriteFileBytes(const std::string& path, const std::string& bytes) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = WriteFile(file, bytes.data(), (DWORD)bytes.size(), &written, NULL);
    CloseHandle(file);
    return ok && written == bytes.size();
}

bool ReadFileBytes(const std::string& path, std::string* bytes) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE) return false;
    bytes->clear();
    char chunk[4096];
    DWORD count = 0;
    while (ReadFile(file, chunk, sizeof chunk, &count, NULL) && count > 0) bytes->append(chunk, count);
    CloseHandle(file);
    return true;
}

bool RunUnixCommandForFile(const std::string& shellCommand, const std::string& unixFile,
                           DWORD timeoutMs, DWORD minimumSize) {
    std::string windowsFile = WindowsPath(unixFile);
    DeleteFileA(windowsFile.c_str());
    std::string command = "/bin/sh -c \"" + shellCommand + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(NULL, &command[0], NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process)) return false;
    // A Unix process gives no handle to wait on; the file tells the end.
    if (process.hProcess) CloseHandle(process.hProcess);
    if (process.hThread) CloseHandle(process.hThread);
    DWORD start = GetTickCount();
    while (GetTickCount() - start < timeoutMs) {
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (GetFileAttributesExA(windowsFile.c_str(), GetFileExInfoStandard, &data))
            return data.nFileSizeLow > minimumSize;
        Sleep(50);
    }
    return false;
}

DrivenProgram::DrivenProgram() : process_(), running_(false) {}

DrivenProgram::~DrivenProgram() {
    if (!running_) return;
    TerminateProcess(process_.hProcess, 99);
    WaitForSingleObject(process_.hProcess, 5000);
    CloseHandle(process_.hProcess);
    CloseHandle(process_.hThread);
}

bool DrivenProgram::Start(const std::string& exePath, const std::string& commandLine,
                          const std::string& workingFolder) {
    std::string line = commandLine.empty() ? "\"" + exePath + "\"" : commandLine;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    running_ = CreateProcessA(exePath.c_str(), &line[0], NULL, NULL, FALSE, 0, NULL,
                              workingFolder.empty() ? NULL : workingFolder.c_str(), &startup, &process_) != 0;
    return running_;
}

namespace {

struct WindowSearch {
    DWORD processId;
    const char* className;
    HWND found;
};

BOOL CALLBACK FindProcessWindow(HWND window, LPARAM parameter) {
    WindowSearch* search = (WindowSearch*)parameter;
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    char className[64];
    if (owner == search->processId && IsWindowVisible(window) &&
        GetClassNameA(window, className, sizeof className) && strcmp(className, search->className) == 0) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND FindWindowOfProcess(DWORD processId, const char* className) {
    WindowSearch search = {processId, className, NULL};
    EnumWindows(FindProcessWindow, (LPARAM)&search);
    return search.found;
}

std::string WindowText(HWND window) {
    char text[2048] = "";
    GetWindowTextA(window, text, sizeof text);
    return text;
}

}  // namespace

HWND DrivenProgram::WaitForWindow(const char* className, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    while (GetTickCount() - start < timeoutMs) {
        HWND window = FindWindowOfProcess(process_.dwProcessId, className);
        if (window) return window;
        if (WaitForSingleObject(process_.hProcess, 20) == WAIT_OBJECT_0) return NULL;
    }
    return NULL;
}

bool DrivenProgram::WaitForBox(SeenBox* box, DWORD timeoutMs) {
    HWND window = WaitForWindow("#32770", timeoutMs);
    if (!window) return false;
    box->handle = window;
    box->owner = GetWindow(window, GW_OWNER);
    box->title = WindowText(window);
    char text[2048] = "";
    GetDlgItemTextA(window, 0xFFFF, text, sizeof text);
    box->text = text;
    // The icon of a message box is a static control, visible only when the box
    // has an icon. Which icon it is cannot be told from outside the process:
    // icon handles are per process under Wine, and GetIconInfo refuses a
    // foreign one. The host tests check the exact box type.
    HWND icon = GetDlgItem(window, 0x0440);
    box->hasIcon = icon && IsWindowVisible(icon) && SendMessageA(icon, STM_GETICON, 0, 0) != 0;
    return true;
}

void DrivenProgram::Dismiss(const SeenBox& box) {
    SendMessageA(GetDlgItem(box.handle, IDOK), BM_CLICK, 0, 0);
    // A box that still stands (its button not found) is closed by its command.
    if (IsWindow(box.handle)) PostMessageA(box.handle, WM_COMMAND, IDOK, 0);
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
