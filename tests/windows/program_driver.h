// Drives a program under test from inside the same Wine session: starts it,
// finds and reads its message boxes, answers them, waits for its exit. Every
// wait has a limit; a program still running at the end is ended.
//
// Every call goes through the system's UTF-16 interfaces, so the driver works
// whatever the ANSI code page is. Every std::string it takes or gives (paths,
// window and box texts) is Shift-JIS, converted explicitly with code page 932;
// the std::wstring forms take and give UTF-16 as the system has it, for names
// that Shift-JIS cannot spell.
#ifndef UPDATE_PROGRAM_DRIVER_H
#define UPDATE_PROGRAM_DRIVER_H

#include <windows.h>

#include <functional>
#include <map>
#include <string>

// Text in a code page to UTF-16 and back, whatever the ANSI code page. A
// character without a form in the code page becomes '?', never a best fit.
std::wstring CodePageToWide(const std::string& text, UINT codePage);
std::string WideToCodePage(const std::wstring& text, UINT codePage);
// Shift-JIS (code page 932) to UTF-16 and back.
std::wstring ShiftJisToWide(const std::string& text);
std::string WideToShiftJis(const std::wstring& text);

// A Unix path as Wine sees it (Z:\...), other paths unchanged.
std::string WindowsPath(const std::string& path);
std::wstring WindowsPath(const std::wstring& path);

// A Unix path in the checkout as the test programs read it: its staged copy when
// the scripts stage the checkout for the user Wine runs as (UPDATE_CHECKOUT,
// UPDATE_STAGE); any other path as it is.
std::string StagedUnixPath(const std::string& path);

// A file built into the build tree (a Unix path), as the test programs reach it.
std::wstring BuiltFileWide(const char* unixPath);
// The built update.exe.
std::string UpdateExePath();
std::wstring UpdateExePathWide();

// A fresh folder below the temporary folder.
std::string MakeTempFolder(const std::string& stem);
std::wstring MakeTempFolder(const std::wstring& stem);
// Whether something, or a folder, exists at a path.
bool PathExists(const std::wstring& path);
bool IsFolder(const std::wstring& path);
// Removes a file, or a folder and everything in it, read-only files included.
void RemoveTree(const std::string& path);
void RemoveTree(const std::wstring& path);
bool WriteFileBytes(const std::string& path, const std::string& bytes);
bool WriteFileBytes(const std::wstring& path, const std::string& bytes);
bool ReadFileBytes(const std::string& path, std::string* bytes);
bool ReadFileBytes(const std::wstring& path, std::string* bytes);
bool CopyFileOver(const std::string& source, const std::string& destination);
bool CopyFileOver(const std::wstring& source, const std::wstring& destination);
// Every object below root: a file's path relative to it -> what describe says
// of the file (given its full path and attributes), a folder's "path\\" -> "".
std::map<std::wstring, std::string> TreeBelow(
    const std::wstring& root, const std::function<std::string(const std::wstring& path, DWORD attributes)>& describe);

// A window's text, read in UTF-16; the first form converts it to Shift-JIS.
std::string WindowText(HWND window);
std::wstring WindowTextWide(HWND window);
// The text of a message box.
std::wstring BoxTextWide(HWND box);
// A visible top-level window of a process with the given class (message boxes
// are "#32770"); NULL when there is none.
HWND FindWindowOfProcess(DWORD processId, const wchar_t* className);

// Runs a Unix shell command (Wine starts Unix programs by path) that writes
// unixFile, and waits until the file appears with more than minimumSize bytes.
// The command should write elsewhere and rename, so the file appears complete.
bool RunUnixCommandForFile(const std::string& shellCommand, const std::string& unixFile,
                           DWORD timeoutMs, DWORD minimumSize = 0);

// The folder for files a person looks at after the run: build/artifacts beside
// the build folders (a Unix path; update.exe lies in <build>/src/shell).
std::string ArtifactsFolder();
// A picture of the screen, or of that window's rectangle of it, taken by
// ImageMagick's import as a Unix program, saved as name in ArtifactsFolder.
bool TakeScreenshot(const std::string& name, HWND window = NULL);
// Creates a folder (Shift-JIS path).
bool MakeFolder(const std::string& path);

struct SeenBox {
    HWND handle;
    HWND owner;
    std::string title;  // Shift-JIS
    std::string text;   // Shift-JIS
    bool hasIcon;       // shows an icon (warning boxes do; plain OK boxes do not)
};

class DrivenProgram {
public:
    DrivenProgram();
    ~DrivenProgram();  // ends the program if it still runs

    // Starts exePath with the given command line (the program path, quoted, when empty)
    // in workingFolder (the driver's own when empty).
    bool Start(const std::string& exePath, const std::string& commandLine = "",
               const std::string& workingFolder = "");
    bool Start(const std::wstring& exePath, const std::wstring& commandLine = L"",
               const std::wstring& workingFolder = L"");
    // The next visible message box of the program, within the time limit.
    bool WaitForBox(SeenBox* box, DWORD timeoutMs = 10000);
    // Presses OK on a box.
    static void Dismiss(HWND box);
    // The program's top-level window of the given class, within the time limit.
    HWND WaitForWindow(const wchar_t* className, DWORD timeoutMs = 10000);
    // Waits for the exit; false on a timeout (the destructor then ends the program).
    bool WaitForExit(DWORD* exitCode, DWORD timeoutMs = 10000);
    DWORD ProcessId() const { return process_.dwProcessId; }
    // How many tries to start failed, and GetLastError of the last of them.
    int FailedStarts() const { return failedStarts_; }
    DWORD StartError() const { return startError_; }

private:
    static const int StartAttempts = 3;
    PROCESS_INFORMATION process_;
    bool running_;
    DWORD startError_;
    int failedStarts_;
};

#endif
