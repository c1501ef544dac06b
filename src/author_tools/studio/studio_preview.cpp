// The live preview: the player's window built by update.exe's own window code
// from the texts as typed, placed inside the studio.
#include <windows.h>

#include <cstring>

#include "author_tools/studio/studio_ids.h"
#include "author_tools/studio/studio_window.h"
#include "description/update_description.h"
#include "shell/font_holder.h"
#include "shell/main_window.h"
#include "state/window_handles.h"

namespace studio {

namespace {

// The preview is drawn at the size given, up to this many pixels each way.
const int PreviewLimit = 4000;

// Shift-JIS as the program will hold it; a character without a form shows as '?'
// (its field shows the mistake). At most size - 1 bytes.
void ShiftJisField(const std::wstring& text, char* field, int size) {
    int length = WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, text.c_str(), (int)text.size(), field, size - 1,
                                     "?", 0);
    if (length <= 0 && !text.empty()) {
        // Too long for the field: the program refuses it, the preview cuts it.
        std::string all(text.size() * 2 + 1, '\0');
        length = WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, text.c_str(), (int)text.size(), &all[0],
                                     (int)all.size(), "?", 0);
        if (length > size - 1) length = size - 1;
        if (length < 0) length = 0;
        memcpy(field, all.data(), length);
    }
    field[length < 0 ? 0 : length] = '\0';
}

int PixelsOf(const std::wstring& text) {
    long value = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') return 0;
        value = value * 10 + (c - L'0');
        if (value > PreviewLimit) value = PreviewLimit;
    }
    return (int)value;
}

LRESULT CALLBACK PreviewProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:   // the preview's buttons press nothing
    case WM_DESTROY:   // nor does its end end the studio
    case WM_SETFOCUS:
    case WM_ACTIVATEAPP:
        return 0;
    case WM_NCHITTEST:
        return HTCLIENT;  // it cannot be moved or closed by its caption
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

}  // namespace

// The player's window as update.exe builds it (its own BuildMainWindow, fonts
// and controls), from the texts as typed, placed inside the studio.
void RebuildPreview() {
    ResetUpdateDescription();
    UpdateDescriptionRecord& d = UpdateDescription;
    ShiftJisField(FieldText(Control(IdTextEdit + TextCaption)), d.Caption, sizeof d.Caption);
    ExpandLineBreaks(d.Caption);
    ShiftJisField(FieldText(Control(IdTextEdit + TextComment0)), d.Comment0, sizeof d.Comment0);
    ExpandLineBreaks(d.Comment0);
    ShiftJisField(FieldText(Control(IdTextEdit + TextComment1)), d.Comment1, sizeof d.Comment1);
    ExpandLineBreaks(d.Comment1);
    d.Width = PixelsOf(FieldText(Control(IdTextEdit + TextWidth)));
    d.Height = PixelsOf(FieldText(Control(IdTextEdit + TextHeight)));

    TopText.DestroyOwnWindow();
    BodyText.DestroyOwnWindow();
    StartButton.DestroyOwnWindow();
    CancelButton.DestroyOwnWindow();
    FinishButton.DestroyOwnWindow();
    if (Preview) DestroyWindow(Preview);
    Preview = 0;

    // The program's font, which its start-up makes: the class default but 13 pixels high.
    ControlFont.font = reinterpret_cast<FontHandle>(PreviewFont);
    if (BuildMainWindow() == 0) Preview = static_cast<HWND>(WindowHandles.MainWindow);
    ControlFont.font = 0;
    WindowHandles.MainWindow = 0;
    if (Preview) {
        SetWindowLongPtrW(Preview, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(PreviewProc));
        LONG_PTR style = GetWindowLongPtrW(Preview, GWL_STYLE);
        SetWindowLongPtrW(Preview, GWL_STYLE, (style & ~WS_POPUP) | WS_CHILD | WS_CLIPSIBLINGS);
        SetParent(Preview, Studio);
        SetWindowPos(Preview, HWND_BOTTOM, PreviewX, PreviewTop, 0, 0,
                     SWP_NOSIZE | SWP_NOACTIVATE | SWP_FRAMECHANGED | SWP_SHOWWINDOW);
        EnableWindow(Preview, FALSE);
    }

    // The studio grows to show the whole preview, as far as the screen allows.
    RECT outer = {0, 0, ColumnWidth, ClientHeight};
    if (Preview) {
        RECT previewRect;
        GetWindowRect(Preview, &previewRect);
        int right = PreviewX + (previewRect.right - previewRect.left) + 10;
        int bottom = PreviewTop + (previewRect.bottom - previewRect.top) + 10;
        if (right > outer.right) outer.right = right;
        if (bottom > outer.bottom) outer.bottom = bottom;
    }
    AdjustWindowRectEx(&outer, GetWindowLongW(Studio, GWL_STYLE), FALSE, GetWindowLongW(Studio, GWL_EXSTYLE));
    int width = outer.right - outer.left, height = outer.bottom - outer.top;
    int screenWidth = GetSystemMetrics(SM_CXSCREEN), screenHeight = GetSystemMetrics(SM_CYSCREEN);
    if (width > screenWidth) width = screenWidth;
    if (height > screenHeight) height = screenHeight;
    SetWindowPos(Studio, 0, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    RedrawWindow(Studio, 0, 0, RDW_ERASE | RDW_INVALIDATE | RDW_FRAME | RDW_ALLCHILDREN);
}

}  // namespace studio
