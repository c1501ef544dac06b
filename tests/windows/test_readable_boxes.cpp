// Message boxes with Japanese text are readable whatever fonts the system has:
// a box is shown in this process through the real PlatformMessageBox (or
// ReadableMessageBox, which it calls, where the answer matters), and a second
// thread finds it, checks that the font of its text control has a glyph for
// every character and that the control holds the laid-out text, then presses
// a button. Run in the Japanese prefix, the English one whose Tahoma links a
// Japanese font, and a plain English prefix without that link (where the
// system's message font has no Japanese at all).
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "platform/platform.h"
#include "platform/win32/readable_message_box_win32.h"
#include "program_driver.h"

namespace {

// Characters of text (printable ones: line breaks are not drawn) for which
// font has no glyph.
int MissingGlyphs(HFONT font, const std::wstring& text) {
    HDC dc = GetDC(NULL);
    HGDIOBJ old = SelectObject(dc, font);
    std::wstring glyphs(text.size(), L'\0');
    int missing = -1;
    if (GetGlyphIndicesW(dc, text.c_str(), (int)text.size(), (WORD*)&glyphs[0], GGI_MARK_NONEXISTING_GLYPHS) !=
        GDI_ERROR) {
        missing = 0;
        for (size_t k = 0; k < text.size(); ++k)
            if (text[k] >= L' ' && (WORD)glyphs[k] == 0xFFFF) ++missing;
    }
    SelectObject(dc, old);
    ReleaseDC(NULL, dc);
    return missing;
}

// The face and height of a font, for the messages (read while the box is open:
// the box deletes its font when it closes).
std::string FaceOf(HFONT font) {
    LOGFONTW description = {};
    GetObjectW(font, sizeof description, &description);
    return WideToShiftJis(description.lfFaceName) + " " + std::to_string(description.lfHeight);
}

RECT ClientRectOf(HWND control, HWND box) {
    RECT r;
    GetWindowRect(control, &r);
    MapWindowPoints(NULL, box, (POINT*)&r, 2);
    return r;
}

// What the checking thread saw of a box.
struct SeenLayout {
    bool found = false;
    HWND owner = NULL;
    std::wstring text;
    HFONT textFont = NULL, buttonFont = NULL;
    std::string textFace, buttonFace;
    int missing = -1;           // characters of the text its font has no glyph for
    int missingInBoxFont = -1;  // ... the buttons' font (the box's own) has none for
    int missingNonCharacter = -1;
    SIZE control = {}, laidOut = {};
    RECT client = {}, textRect = {};
    RECT buttons[2] = {};
    int buttonCount = 0;
};

// Waits for this process's message box, records its layout, takes a picture of
// it when screenshot is given, and presses the button with id press.
void CheckBox(SeenLayout* seen, int press, const char* screenshot) {
    HWND box = NULL;
    for (DWORD start = GetTickCount(); !box && GetTickCount() - start < 10000; Sleep(20))
        box = FindWindowOfProcess(GetCurrentProcessId(), L"#32770");
    if (!box) return;
    seen->found = true;
    seen->owner = GetWindow(box, GW_OWNER);
    HWND text = GetDlgItem(box, 0xFFFF);
    seen->text = BoxTextWide(box);
    seen->textFont = (HFONT)SendMessageW(text, WM_GETFONT, 0, 0);
    seen->missing = MissingGlyphs(seen->textFont, seen->text);
    seen->missingNonCharacter = MissingGlyphs(seen->textFont, L"\xFFFF");
    HWND pressed = GetDlgItem(box, press);
    seen->buttonFont = (HFONT)SendMessageW(pressed, WM_GETFONT, 0, 0);
    seen->missingInBoxFont = MissingGlyphs(seen->buttonFont, seen->text);
    seen->textFace = FaceOf(seen->textFont);
    seen->buttonFace = FaceOf(seen->buttonFont);

    // The text as the static control lays it out, in the control's width.
    GetClientRect(box, &seen->client);
    seen->textRect = ClientRectOf(text, box);
    seen->control = {seen->textRect.right - seen->textRect.left, seen->textRect.bottom - seen->textRect.top};
    LONG style = GetWindowLongW(text, GWL_STYLE);
    UINT flags = DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS | ((style & SS_NOPREFIX) ? DT_NOPREFIX : 0) |
                 ((style & SS_EDITCONTROL) ? DT_EDITCONTROL : 0);
    RECT laidOut = {0, 0, seen->control.cx, 0};
    HDC dc = GetDC(text);
    HGDIOBJ old = SelectObject(dc, seen->textFont);
    DrawTextW(dc, seen->text.c_str(), -1, &laidOut, flags);
    SelectObject(dc, old);
    ReleaseDC(text, dc);
    seen->laidOut = {laidOut.right, laidOut.bottom};

    for (int id = IDOK; id <= IDCONTINUE && seen->buttonCount < 2; ++id) {
        HWND button = GetDlgItem(box, id);
        if (button && IsWindowVisible(button)) seen->buttons[seen->buttonCount++] = ClientRectOf(button, box);
    }
    if (screenshot) TakeScreenshot(screenshot, box);
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(press, BN_CLICKED), (LPARAM)pressed);
}

bool Inside(const RECT& inner, const RECT& outer) {
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

// The name the prefix's folder gives a picture: message-box-wine-en_US-plain.png.
std::string ScreenshotName() {
    char prefix[512] = "";
    GetEnvironmentVariableA("WINEPREFIX", prefix, sizeof prefix);
    std::string name = prefix;
    return "message-box-" + name.substr(name.find_last_of("/\\") + 1) + ".png";
}

struct BoxCase {
    const char* what;
    const wchar_t* text;
    UINT type;
    int press;
    int answer;  // 0: shown through PlatformMessageBox, which gives none
    bool withOwner;
};

TEST(ReadableBoxes, EveryCharacterHasAGlyphAndTheTextFits) {
    const BoxCase cases[] = {
        {"the not-installed box, through the program's own call",
         L"星見の丘がインストールされていません。", MB_OK | MB_ICONWARNING, IDOK, 0, false},
        {"several lines, a tab, an ampersand, a long unbroken line; answered No",
         L"ファイルのコピーに失敗しました。\r\n"
         L"C:\\Games\\星見の丘\\data\\シナリオ&ボイス\\第一章.dat\r\n\t続行しますか？\r\n"
         L"あいうえおかきくけこさしすせそたちつてとなにぬねのはひふへほまみむめもやゆよらりるれろわをん"
         L"アイウエオカキクケコサシスセソタチツテトナニヌネノハヒフヘホマミムメモヤユヨラリルレロワヲン"
         L"あいうえおかきくけこさしすせそたちつてとなにぬねのはひふへほまみむめもやゆよらりるれろわをん"
         L"アイウエオカキクケコサシスセソタチツテトナニヌネノハヒフヘホマミムメモヤユヨラリルレロワヲン",
         MB_YESNOCANCEL | MB_ICONQUESTION, IDNO, IDNO, true},
        {"text every font draws: the box is left as it is; answered Cancel",
         L"Plain text in ASCII.", MB_OKCANCEL, IDCANCEL, IDCANCEL, false},
    };
    for (const BoxCase& c : cases) {
        SCOPED_TRACE(c.what);
        HWND owner = NULL;
        if (c.withOwner) {
            owner = CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 200, 100, NULL,
                                    NULL, NULL, NULL);
            ASSERT_TRUE(owner != NULL);
        }
        SeenLayout seen;
        std::string screenshot = ScreenshotName();
        std::thread checker(CheckBox, &seen, c.press, c.answer ? nullptr : screenshot.c_str());
        int answer = 0;
        if (c.answer)
            answer = ReadableMessageBox(owner, c.text, L"アップデート", c.type);
        else
            PlatformMessageBox(owner, WideToShiftJis(c.text).c_str(), "アップデート", c.type);
        checker.join();
        if (owner) DestroyWindow(owner);

        ASSERT_TRUE(seen.found);
        EXPECT_EQ(seen.owner, owner);
        EXPECT_EQ(answer, c.answer);
        EXPECT_EQ(WideToShiftJis(seen.text), WideToShiftJis(c.text));
        // The check can tell a missing glyph: no font has one for U+FFFF.
        EXPECT_EQ(seen.missingNonCharacter, 1) << seen.textFace;
        EXPECT_EQ(seen.missing, 0) << "the text's font: " << seen.textFace << "; the box's: " << seen.buttonFace;
        // Where the box's own font draws the text, the text keeps it.
        if (seen.missingInBoxFont == 0) {
            EXPECT_EQ(seen.textFont, seen.buttonFont) << seen.textFace << "; the box's: " << seen.buttonFace;
        }
        // The text control holds the text as it is drawn, and lies in the box
        // above its buttons, which lie in the box too.
        EXPECT_LE(seen.laidOut.cx, seen.control.cx);
        EXPECT_LE(seen.laidOut.cy, seen.control.cy);
        EXPECT_TRUE(Inside(seen.textRect, seen.client));
        ASSERT_GE(seen.buttonCount, 1);
        for (int k = 0; k < seen.buttonCount; ++k) {
            EXPECT_TRUE(Inside(seen.buttons[k], seen.client)) << "button " << k;
            EXPECT_GE(seen.buttons[k].top, seen.textRect.bottom) << "button " << k;
        }
    }
}

}  // namespace
