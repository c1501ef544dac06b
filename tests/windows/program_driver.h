// Drives a program under test from inside the same Wine session: starts it,
// finds and reads its message boxes, answers them, waits for its exit. Every
// wait has a limit; a program still running at the end is ended.
#ifndef UPDATE_PROGRAM_DRIVER_H
#define UPDATE_PROGRAM_DRIVER_H

#include <windows.h>

#include <string>

// A Unix path as Wine sees it (Z:\...), other paths unchanged.
std::string WindowsPath(const std::string& path);

// A Unix path in the checkout as the test programs read it: its staged copy when
// the scripts stage the checkout for the user Wine runs as (UPDATE_CHECKOUT,
// UPDATE_STAGE); any other path as it is.
std::string StagedUnixPath(const std::string& path);

// The built update.exe.
std::string UpdateExePath();

// A fresh folder below the temporary folder; removed by RemoveTree.
std::string MakeTempFolder(const std::string& stem);
void RemoveTree(const std::string& path);
bool WriteFileBytes(const std::string& path, const std::string& bytes);
bool ReadFileBytes(const std::string& path, std::string* bytes);

// Runs a Unix shell command (Wine starts Unix programs by path) that writes
// unixFile, and waits until the file appears with more than minimumSize bytes.
// The command should write elsewhere and rename, so the file appears complete.
bool RunUnixCommandForFile(const std::string& shellCommand, const std::string& unixFile,
                           DWORD timeoutMs, DWORD minimumSize = 0);

struct SeenBox {
    HWND handle;
    HWND owner;
    std::string title;
    std::string text;
    bool hasIcon;  // shows an icon (warning boxes do; plain OK boxes do not)
};

class DrivenProgram {
public:
    DrivenProgram();
    ~DrivenProgram();  // ends the program if it still runs

    // Starts exePath with the given command line (the program path, quoted, when empty)
    // in workingFolder.
    bool Start(const std::string& exePath, const std::string& commandLine = "",
               const std::string& workingFolder = "");
    // The next visible message box of the program, within the time limit.
    bool WaitForBox(SeenBox* box, DWORD timeoutMs = 10000);
    // Presses OK on a box.
    static void Dismiss(const SeenBox& box);
    // The program's top-level window of the given class, within the time limit.
    HWND WaitForWindow(const char* className, DWORD timeoutMs = 10000);
    // Waits for the exit; false on a timeout, after ending the program.
    bool WaitForExit(DWORD* exitCode, DWORD timeoutMs = 10000);
    DWORD ProcessId() const { return process_.dwProcessId; }

private:
    PROCESS_INFORMATION process_;
    bool running_;
};

#endif
