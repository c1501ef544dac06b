#include "platform/win32/readable_message_box_win32.h"

#include <string.h>
#include <wchar.h>

#include "platform/platform.h"
#include "platform/windows_text.h"

namespace {

// The box being opened: its text, the hook that waits for its dialog (0 once
// the box has been seen to) and the font its text got (deleted when the box is
// gone). A box opened from within a box's message loop stacks its own.
struct BoxRequest {
    const wchar_t* text;
    HHOOK hook;
    HFONT font;
};
BoxRequest* Opening;

// The glyphs of a box's text (ToWide bounds every text to WideTextUnits).
WORD Glyphs[WideTextUnits];

// Whether the font selected into dc lacks a glyph for a character of the text
// (count units). Control characters (line breaks) are not drawn and not asked
// about; where the system cannot tell, nothing is lacking.
bool LacksGlyph(HDC dc, const wchar_t* text, int count) {
    if (GetGlyphIndicesW(dc, text, count, Glyphs, GGI_MARK_NONEXISTING_GLYPHS) == GDI_ERROR) return false;
    for (int k = 0; k < count; ++k)
        if (Glyphs[k] == 0xFFFF && text[k] >= L' ') return true;
    return false;
}

// Moves window by (dx, dy) and grows it by (dw, dh), in the client
// coordinates of parent (the screen's for NULL).
void Reshape(HWND window, HWND parent, int dx, int dy, int dw, int dh) {
    RECT r;
    GetWindowRect(window, &r);
    MapWindowPoints(NULL, parent, (POINT*)&r, 2);
    SetWindowPos(window, NULL, r.left + dx, r.top + dy, r.right - r.left + dw, r.bottom - r.top + dh,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

// Where the box's font lacks a glyph for a character of the text, the text gets
// a font of the box's size and weight with the program's face and the
// Shift-JIS character set, which the system maps to a Japanese font. The text keeps the width it was given or wraps at half the
// screen, whichever is wider; its control grows to hold it, the buttons move
// down (and stay centred below it), and the box grows about its centre.
void UseJapaneseFontWhereNeeded(HWND box, BoxRequest* request) {
    const wchar_t* text = request->text;
    int count = (int)wcslen(text);
    HWND textControl = GetDlgItem(box, 0xFFFF);
    HGDIOBJ boxFont = (HGDIOBJ)SendMessageW(textControl, WM_GETFONT, 0, 0);
    LOGFONTW description;
    if (!boxFont || !GetObjectW(boxFont, sizeof description, &description)) return;
    HDC dc = GetDC(textControl);
    HGDIOBJ original = SelectObject(dc, boxFont);
    description.lfCharSet = SHIFTJIS_CHARSET;
    HFONT japanese;
    if (LacksGlyph(dc, text, count) && ToWide(ProgramFontFace, description.lfFaceName, LF_FACESIZE) == 0 &&
        (japanese = request->font = CreateFontIndirectW(&description))) {
        SelectObject(dc, japanese);
        SendMessageW(textControl, WM_SETFONT, (WPARAM)japanese, TRUE);

        RECT now;
        GetWindowRect(textControl, &now);
        int width = now.right - now.left, height = now.bottom - now.top;
        int half = GetSystemMetrics(SM_CXSCREEN) / 2;
        RECT needed = {0, 0, width > half ? width : half, 0};
        // As the static control draws it: SS_NOPREFIX << 4 is DT_NOPREFIX, and
        // SS_EDITCONTROL is DT_EDITCONTROL.
        LONG style = GetWindowLongW(textControl, GWL_STYLE);
        DrawTextW(dc, text, count, &needed,
                  DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS | (style & SS_NOPREFIX) << 4 | (style & SS_EDITCONTROL));
        unsigned dw = needed.right > width ? needed.right - width : 0;
        int dh = needed.bottom > height ? needed.bottom - height : 0;
        Reshape(textControl, box, 0, 0, dw, dh);
        for (int id = IDOK; id <= IDCONTINUE; ++id) {
            HWND button = GetDlgItem(box, id);
            if (button) Reshape(button, box, dw / 2, dh, 0, 0);
        }
        Reshape(box, NULL, -(int)(dw / 2), -dh / 2, dw, dh);
    }
    SelectObject(dc, original);
    ReleaseDC(textControl, dc);
}

// Sees to the box once its dialog procedure has laid it out, before it is shown.
LRESULT CALLBACK AfterMessage(int code, WPARAM wParam, LPARAM lParam) {
    const CWPRETSTRUCT* message = (const CWPRETSTRUCT*)lParam;
    BoxRequest* request = Opening;
    if (code == HC_ACTION && message->message == WM_INITDIALOG && request->hook) {
        UnhookWindowsHookEx(request->hook);
        request->hook = NULL;
        UseJapaneseFontWhereNeeded(message->hwnd, request);
    }
    return CallNextHookEx(NULL, code, wParam, lParam);
}

}  // namespace

int ReadableMessageBox(HWND owner, const wchar_t* text, const wchar_t* title, UINT type) {
    BoxRequest request = {text, NULL, NULL};
    BoxRequest* outer = Opening;
    Opening = &request;
    request.hook = SetWindowsHookExW(WH_CALLWNDPROCRET, AfterMessage, NULL, GetCurrentThreadId());
    int answer = MessageBoxW(owner, text, title, type);
    if (request.hook) UnhookWindowsHookEx(request.hook);
    Opening = outer;
    if (request.font) DeleteObject(request.font);
    return answer;
}
