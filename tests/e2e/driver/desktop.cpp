#include "desktop.h"

#include <stdio.h>
#include <stdlib.h>

#include <vector>

#include "program_driver.h"

namespace {

struct KeyName {
    const char* name;
    WORD key;
    bool extended;
};

const KeyName Keys[] = {
    {"Enter", VK_RETURN, false}, {"Escape", VK_ESCAPE, false}, {"Tab", VK_TAB, false},
    {"Space", VK_SPACE, false},  {"Up", VK_UP, true},          {"Down", VK_DOWN, true},
    {"Left", VK_LEFT, true},     {"Right", VK_RIGHT, true},    {"F4", VK_F4, false},
    {"Shift", VK_SHIFT, false},  {"Ctrl", VK_CONTROL, false},  {"Alt", VK_MENU, false},
};

const KeyName* FindKey(const std::string& name) {
    for (const KeyName& key : Keys)
        if (name == key.name) return &key;
    return NULL;
}

INPUT KeyInput(const KeyName& key, bool up) {
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key.key;
    input.ki.wScan = (WORD)MapVirtualKeyW(key.key, MAPVK_VK_TO_VSC);
    input.ki.dwFlags = (up ? KEYEVENTF_KEYUP : 0) | (key.extended ? KEYEVENTF_EXTENDEDKEY : 0);
    return input;
}

// 32-bit pixels of a screen-sized bitmap drawn by a callback.
struct Pixels {
    int width = 0;
    int height = 0;
    std::vector<DWORD> data;
};

template <typename Draw>
bool Render(int width, int height, Pixels* pixels, Draw draw) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = NULL;
    HDC screen = GetDC(NULL);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, NULL, 0);
    bool ok = bitmap != NULL;
    if (ok) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        ok = draw(memory, screen);
        GdiFlush();
        pixels->width = width;
        pixels->height = height;
        pixels->data.assign((DWORD*)bits, (DWORD*)bits + width * height);
        SelectObject(memory, old);
        DeleteObject(bitmap);
    }
    DeleteDC(memory);
    ReleaseDC(NULL, screen);
    return ok;
}

bool Near(DWORD a, DWORD b) {
    for (int shift = 0; shift < 24; shift += 8) {
        int difference = (int)((a >> shift) & 0xFF) - (int)((b >> shift) & 0xFF);
        if (difference > 24 || difference < -24) return false;
    }
    return true;
}

// The share of the icon's opaque pixels that the screen shows in the icon's colour.
double Likeness(const Pixels& screen, HICON icon) {
    Pixels onBlack, onWhite;
    auto drawOn = [&](COLORREF background) {
        return [&, background](HDC memory, HDC) {
            RECT all = {0, 0, screen.width, screen.height};
            HBRUSH brush = CreateSolidBrush(background);
            FillRect(memory, &all, brush);
            DeleteObject(brush);
            return DrawIconEx(memory, 0, 0, icon, screen.width, screen.height, 0, NULL, DI_NORMAL) != 0;
        };
    };
    if (!Render(screen.width, screen.height, &onBlack, drawOn(RGB(0, 0, 0))) ||
        !Render(screen.width, screen.height, &onWhite, drawOn(RGB(255, 255, 255))))
        return 0;
    int opaque = 0, same = 0;
    for (size_t i = 0; i < screen.data.size(); ++i) {
        if ((onBlack.data[i] & 0xFFFFFF) != (onWhite.data[i] & 0xFFFFFF)) continue;  // shows the background
        ++opaque;
        if (Near(onBlack.data[i], screen.data[i])) ++same;
    }
    return opaque ? (double)same / opaque : 0;
}

}  // namespace

bool BringToFront(HWND window, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    do {
        if (GetForegroundWindow() == window) return true;
        SetForegroundWindow(window);
        Sleep(20);
    } while (GetTickCount() - start < timeoutMs);
    return GetForegroundWindow() == window;
}

bool PressKeys(const std::string& combination) {
    std::vector<const KeyName*> keys;
    size_t start = 0;
    for (;;) {
        size_t plus = combination.find('+', start);
        const KeyName* key = FindKey(combination.substr(start, plus == std::string::npos ? std::string::npos : plus - start));
        if (!key) return false;
        keys.push_back(key);
        if (plus == std::string::npos) break;
        start = plus + 1;
    }
    // Modifiers down in order, the last key pressed and released, modifiers up in reverse.
    std::vector<INPUT> inputs;
    for (const KeyName* key : keys) inputs.push_back(KeyInput(*key, false));
    for (size_t i = keys.size(); i-- > 0;) inputs.push_back(KeyInput(*keys[i], true));
    SendInput((UINT)inputs.size(), inputs.data(), sizeof(INPUT));
    return true;
}

void ClickAt(POINT point) {
    // Two clicks at one spot in quick succession would make a double click.
    static POINT lastPoint = {-1, -1};
    static DWORD lastTime = 0;
    DWORD since = GetTickCount() - lastTime;
    if (point.x == lastPoint.x && point.y == lastPoint.y && since <= GetDoubleClickTime())
        Sleep(GetDoubleClickTime() - since + 50);
    int width = GetSystemMetrics(SM_CXSCREEN);
    int height = GetSystemMetrics(SM_CYSCREEN);
    INPUT inputs[3] = {};
    for (INPUT& input : inputs) {
        input.type = INPUT_MOUSE;
        input.mi.dx = MulDiv(point.x, 65535, width - 1);
        input.mi.dy = MulDiv(point.y, 65535, height - 1);
    }
    inputs[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN | MOUSEEVENTF_ABSOLUTE;
    inputs[2].mi.dwFlags = MOUSEEVENTF_LEFTUP | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &inputs[0], sizeof(INPUT));
    Sleep(50);
    SendInput(2, &inputs[1], sizeof(INPUT));
    lastPoint = point;
    lastTime = GetTickCount();
}

bool FindCaptionButton(HWND window, LRESULT hitCode, POINT* point) {
    RECT rect;
    if (!GetWindowRect(window, &rect)) return false;
    auto hit = [window, hitCode](int x, int y) {
        DWORD_PTR result = 0;
        SendMessageTimeoutW(window, WM_NCHITTEST, 0, MAKELPARAM(x, y), SMTO_ABORTIFHUNG, 1000, &result);
        return (LRESULT)result == hitCode;
    };
    // The caption lies in the top rows; look along its middle from the right.
    int y = rect.top + GetSystemMetrics(SM_CYFIXEDFRAME) + GetSystemMetrics(SM_CYCAPTION) / 2;
    int right = -1, left = -1;
    for (int x = rect.right - 1; x > rect.right - 120 && x > rect.left; --x) {
        bool onBox = hit(x, y);
        if (onBox && right < 0) right = x;
        if (!onBox && right >= 0) { left = x + 1; break; }
    }
    if (right < 0 || left < 0) return false;
    point->x = (left + right) / 2;
    point->y = y;
    return true;
}

namespace {

LRESULT CALLBACK OtherProgramProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

OtherProgramWindow::OtherProgramWindow() {
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = OtherProgramProc;
    windowClass.hInstance = GetModuleHandleW(NULL);
    windowClass.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
    windowClass.lpszClassName = L"E2EOtherProgram";
    RegisterClassW(&windowClass);
    window_ = CreateWindowExW(0, L"E2EOtherProgram", L"another program", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 20, 20,
                              240, 120, NULL, NULL, GetModuleHandleW(NULL), NULL);
    Pump(100);
}

OtherProgramWindow::~OtherProgramWindow() {
    if (window_) DestroyWindow(window_);
    Pump(50);
}

void OtherProgramWindow::Pump(DWORD milliseconds) {
    DWORD start = GetTickCount();
    do {
        MSG message;
        while (PeekMessageW(&message, NULL, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        MsgWaitForMultipleObjects(0, NULL, FALSE, 10, QS_ALLINPUT);
    } while (GetTickCount() - start < milliseconds);
}

HWND FocusOfThread(HWND window) {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, NULL), &info)) return NULL;
    return info.hwndFocus;
}

bool SaveScreenshot(HWND window, const std::string& unixFile) {
    RECT rect;
    if (!GetWindowRect(window, &rect)) return false;
    char geometry[64];
    snprintf(geometry, sizeof geometry, "%ldx%ld+%ld+%ld", rect.right - rect.left, rect.bottom - rect.top,
             rect.left, rect.top);
    return RunUnixCommandForFile("import -window root -crop " + std::string(geometry) + " +repage '" + unixFile +
                                     ".tmp.png' && mv '" + unixFile + ".tmp.png' '" + unixFile + "'",
                                 unixFile, 15000);
}

std::string BoxIconKind(HWND box) {
    HWND iconControl = GetDlgItem(box, 0x0440);
    if (!iconControl || !IsWindowVisible(iconControl) || !SendMessageW(iconControl, STM_GETICON, 0, 0))
        return "none";
    RECT client;
    GetClientRect(iconControl, &client);
    POINT origin = {0, 0};
    ClientToScreen(iconControl, &origin);
    struct Candidate {
        const char* kind;
        WORD id;
    };
    // The system's standard icons: IDI_WARNING, IDI_ERROR, IDI_INFORMATION, IDI_QUESTION.
    const Candidate candidates[] = {{"warning", 32515}, {"error", 32513}, {"information", 32516}, {"question", 32514}};
    // The box may not be painted yet when it first shows.
    DWORD start = GetTickCount();
    do {
        Pixels screen;
        Render(client.right, client.bottom, &screen, [&](HDC memory, HDC screenDc) {
            return BitBlt(memory, 0, 0, client.right, client.bottom, screenDc, origin.x, origin.y, SRCCOPY) != 0;
        });
        const char* best = NULL;
        double bestLikeness = 0;
        for (const Candidate& candidate : candidates) {
            double likeness = Likeness(screen, LoadIconW(NULL, MAKEINTRESOURCEW(candidate.id)));
            if (likeness > bestLikeness) {
                bestLikeness = likeness;
                best = candidate.kind;
            }
        }
        if (best && bestLikeness > 0.95) return best;
        Sleep(50);
    } while (GetTickCount() - start < 2000);
    return "unknown icon";
}
