// The benchmark's Windows-side driver. It runs inside the Wine session and times
// programs with the performance counter:
//
//   bench_driver setkey KEYPATH VALUE          HKCU\Software\KEYPATH, SAV_FOLDER = VALUE
//   bench_driver apply UPDATE_EXE complete|verify
//       starts update.exe, waits for its window with the focus on Start, presses
//       Enter, answers the boxes (the completion box, or the verification warning
//       and the closing box) and waits for the exit
//   bench_driver run PROGRAM [ARGUMENTS...]    process start to exit of any program
//   bench_driver exists LIST_FILE              one existence check per listed path
//   bench_driver startup RUNS PROGRAM CLASS [PROGRAM CLASS...]
//       process start to its window shown, the programs taking turns
//
// Each prints one line of name=value pairs; times are milliseconds. Waits for a
// window poll with FindWindowEx every few milliseconds, which filters by class in
// one server call and so costs the measured program next to nothing. Every wait
// has a limit; a program still running at the end is ended and reported.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

const char CompletionText[] = "アップデートが完了しました。";
const char ClosingText[] = "アップデートを終了します。";
const DWORD PollMs = 2;
const int StartButtonId = 2000;

double Now() {
    static LARGE_INTEGER frequency = {};
    if (frequency.QuadPart == 0) QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return counter.QuadPart * 1000.0 / frequency.QuadPart;
}

bool StartProcess(const std::string& program, const std::string& arguments, PROCESS_INFORMATION* process) {
    std::string line = "\"" + program + "\"" + (arguments.empty() ? "" : " " + arguments);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    return CreateProcessA(program.c_str(), &line[0], NULL, NULL, FALSE, 0, NULL, NULL, &startup, process) != 0;
}

void EndProcess(PROCESS_INFORMATION& process) {
    if (WaitForSingleObject(process.hProcess, 0) != WAIT_OBJECT_0) {
        TerminateProcess(process.hProcess, 99);
        WaitForSingleObject(process.hProcess, 5000);
    }
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
}

// A visible top-level window of the process with the class, or none.
HWND FindProcessWindow(DWORD processId, const char* className) {
    HWND window = NULL;
    while ((window = FindWindowExA(NULL, window, className, NULL)) != NULL) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == processId && IsWindowVisible(window)) return window;
    }
    return NULL;
}

HWND WaitForProcessWindow(const PROCESS_INFORMATION& process, const char* className, DWORD timeoutMs) {
    double limit = Now() + timeoutMs;
    while (Now() < limit) {
        HWND window = FindProcessWindow(process.dwProcessId, className);
        if (window) return window;
        if (WaitForSingleObject(process.hProcess, PollMs) == WAIT_OBJECT_0) return NULL;
    }
    return NULL;
}

std::string BoxText(HWND box) {
    char text[2048] = "";
    GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
    return text;
}

void Dismiss(HWND box) {
    PostMessageA(box, WM_COMMAND, IDOK, 0);
}

// Waits until the box has gone, so that the next search does not find it again.
void WaitUntilGone(HWND box, const PROCESS_INFORMATION& process) {
    double limit = Now() + 10000;
    while (IsWindow(box) && IsWindowVisible(box) && Now() < limit)
        if (WaitForSingleObject(process.hProcess, PollMs) == WAIT_OBJECT_0) return;
}

void PressEnter() {
    INPUT inputs[2] = {};
    for (INPUT& input : inputs) {
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = VK_RETURN;
        input.ki.wScan = (WORD)MapVirtualKeyA(VK_RETURN, MAPVK_VK_TO_VSC);
    }
    inputs[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, inputs, sizeof(INPUT));
}

HWND FocusOf(HWND window) {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    DWORD thread = GetWindowThreadProcessId(window, NULL);
    if (!GetGUIThreadInfo(thread, &info)) return NULL;
    return info.hwndFocus;
}

int SetKey(const char* keyPath, const char* value) {
    HKEY key;
    std::string path = std::string("Software\\") + keyPath;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL) != ERROR_SUCCESS)
        return 1;
    LONG result = RegSetValueExA(key, "SAV_FOLDER", 0, REG_SZ, (const BYTE*)value, (DWORD)strlen(value) + 1);
    RegCloseKey(key);
    printf("setkey=%s\n", result == ERROR_SUCCESS ? "ok" : "failed");
    return result == ERROR_SUCCESS ? 0 : 1;
}

int Apply(const char* exe, bool expectVerifyFailure) {
    PROCESS_INFORMATION process;
    double started = Now();
    if (!StartProcess(exe, "", &process)) {
        printf("error=start\n");
        return 1;
    }
    HWND main = WaitForProcessWindow(process, "update", 20000);
    double shown = Now();
    HWND start = main ? GetDlgItem(main, StartButtonId) : NULL;
    if (!start) {
        printf("error=no-window\n");
        EndProcess(process);
        return 1;
    }
    // The window takes the keyboard, with the focus on Start, before Enter is pressed.
    SetForegroundWindow(main);
    double limit = Now() + 5000;
    while ((GetForegroundWindow() != main || FocusOf(main) != start) && Now() < limit) Sleep(PollMs);
    double pressed = Now();
    PressEnter();

    std::vector<std::string> texts;
    double firstBox = 0;
    int expectedBoxes = expectVerifyFailure ? 2 : 1;
    for (int i = 0; i < expectedBoxes; ++i) {
        HWND box = WaitForProcessWindow(process, "#32770", 600000);
        if (!box) break;
        if (i == 0) firstBox = Now();
        texts.push_back(BoxText(box));
        Dismiss(box);
        WaitUntilGone(box, process);
    }
    bool exited = WaitForSingleObject(process.hProcess, 20000) == WAIT_OBJECT_0;
    double ended = Now();
    DWORD exitCode = 99;
    GetExitCodeProcess(process.hProcess, &exitCode);
    EndProcess(process);

    bool boxesRight = (int)texts.size() == expectedBoxes &&
                      (expectVerifyFailure ? texts[1] == ClosingText : texts[0] == CompletionText);
    printf("window_ms=%.1f press_to_box_ms=%.1f press_to_exit_ms=%.1f start_to_exit_ms=%.1f exit=%lu boxes=%s\n",
           shown - started, firstBox > 0 ? firstBox - pressed : -1.0, ended - pressed, ended - started,
           exitCode, boxesRight && exited ? "ok" : "wrong");
    return boxesRight && exited ? 0 : 1;
}

int Run(int argc, char** argv) {
    std::string arguments;
    for (int i = 3; i < argc; ++i) arguments += (i > 3 ? " " : "") + std::string(argv[i]);
    PROCESS_INFORMATION process;
    double started = Now();
    if (!StartProcess(argv[2], arguments, &process)) {
        printf("error=start\n");
        return 1;
    }
    bool exited = WaitForSingleObject(process.hProcess, 600000) == WAIT_OBJECT_0;
    double ended = Now();
    DWORD exitCode = 99;
    GetExitCodeProcess(process.hProcess, &exitCode);
    EndProcess(process);
    printf("run_ms=%.1f exit=%lu%s\n", ended - started, exitCode, exited ? "" : " timeout=1");
    return exited ? 0 : 1;
}

// The walker's check for a file: a search for the path, then closing it.
int Exists(const char* listFile) {
    FILE* list = fopen(listFile, "r");
    if (!list) {
        printf("error=list\n");
        return 1;
    }
    std::vector<std::string> paths;
    char line[2048];
    while (fgets(line, sizeof line, list)) {
        size_t length = strcspn(line, "\r\n");
        line[length] = '\0';
        if (length) paths.push_back(line);
    }
    fclose(list);
    int found = 0;
    double started = Now();
    for (const auto& path : paths) {
        WIN32_FIND_DATAA data;
        HANDLE search = FindFirstFileA(path.c_str(), &data);
        if (search != INVALID_HANDLE_VALUE) {
            FindClose(search);
            if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) ++found;
        }
    }
    double searched = Now();
    int attributes = 0;
    for (const auto& path : paths) attributes += GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
    double ended = Now();
    printf("paths=%zu find_ms=%.1f found=%d attributes_ms=%.1f present=%d\n", paths.size(), searched - started, found,
           ended - searched, attributes);
    return 0;
}

// Process start to the window shown, or a negative time when it never shows.
double TimeToWindow(const char* exe, const char* className) {
    PROCESS_INFORMATION process;
    double started = Now();
    if (!StartProcess(exe, "", &process)) return -1;
    HWND window = NULL;
    double limit = started + 20000;
    while (!window && Now() < limit) {
        window = FindProcessWindow(process.dwProcessId, className);
        if (!window && WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0) break;
        if (!window) Sleep(1);
    }
    double shown = Now();
    if (window) {
        PostMessageA(window, WM_CLOSE, 0, 0);
        WaitForSingleObject(process.hProcess, 10000);
    }
    EndProcess(process);
    return window ? shown - started : -1;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The programs take turns, so that a machine busy with other work slows each of
// them alike; the ratios are taken run by run against the first program.
int Startup(int runs, int programs, char** pairs) {
    std::vector<std::vector<double>> times(programs), ratios(programs);
    for (int i = 0; i < runs; ++i) {
        for (int p = 0; p < programs; ++p) {
            double time = TimeToWindow(pairs[2 * p], pairs[2 * p + 1]);
            if (time < 0) {
                printf("error=no-window program=%d\n", p + 1);
                return 1;
            }
            times[p].push_back(time);
        }
        for (int p = 1; p < programs; ++p) ratios[p].push_back(times[0].back() / times[p].back());
    }
    printf("runs=%d", runs);
    for (int p = 0; p < programs; ++p) {
        printf(" median%d_ms=%.1f", p + 1, Median(times[p]));
        if (p > 0) printf(" ratio1to%d=%.3f", p + 1, Median(ratios[p]));
    }
    printf("\n");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    setvbuf(stdout, NULL, _IONBF, 0);
    std::string command = argc > 1 ? argv[1] : "";
    if (command == "setkey" && argc == 4) return SetKey(argv[2], argv[3]);
    if (command == "apply" && argc == 4) return Apply(argv[2], strcmp(argv[3], "verify") == 0);
    if (command == "run" && argc >= 3) return Run(argc, argv);
    if (command == "exists" && argc == 3) return Exists(argv[2]);
    if (command == "startup" && argc >= 5 && argc % 2 == 1) return Startup(atoi(argv[2]), (argc - 3) / 2, argv + 3);
    fprintf(stderr, "usage: bench_driver setkey|apply|run|exists|startup ...\n");
    return 2;
}
