// update-studio: the patch author's window. The folders (one or more old
// versions, each with an optional name, the new game, the patch), the texts of
// update.ini with update-make's own checks shown at each field as it is typed,
// a live preview of the player's window built by update.exe's own window code,
// and Check and Make, which run update-check's and update-make's code on a
// worker thread.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <cstring>

#include "author_tools/host/local_files.h"
#include "author_tools/host/wide_text.h"
#include "author_tools/studio/studio_ids.h"
#include "author_tools/studio/studio_texts.h"
#include "author_tools/studio/studio_window.h"
#include "shell/font_holder.h"
#include "shell/main_window.h"

namespace studio {

namespace {

// Only the studio's own controls use it; the preview has update.exe's font.
HFONT InterfaceFont = 0;

HWND AddControl(const wchar_t* className, const wchar_t* text, DWORD style, int x, int y, int width, int height,
                int id, DWORD exStyle = 0) {
    HWND control = CreateWindowExW(exStyle, className, text, WS_CHILD | WS_VISIBLE | style, x, y, width, height,
                                   Studio, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                   GetModuleHandleW(0), 0);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(InterfaceFont), 0);
    Controls[id] = control;
    return control;
}

void OnCommand(int id, int code) {
    if (id >= IdTextEdit && id < IdTextEdit + TextCount && code == EN_CHANGE && !Filling) {
        ShowMistake(id - IdTextEdit);
        RebuildPreview();
        return;
    }
    if ((id == IdFolderEdit + FolderOld || id == IdOldLabelEdit) && code == EN_CHANGE && !Filling) {
        std::string typed = WideToUtf8(FieldText(Control(id)));
        (id == IdOldLabelEdit ? Olds[Selected].label : Olds[Selected].folder) = typed;
        ShowOlds(false);
        return;
    }
    if (id == IdOldList && code == LBN_SELCHANGE) {
        LRESULT index = SendMessageW(Control(IdOldList), LB_GETCURSEL, 0, 0);
        if (index >= 0) SelectOld((size_t)index);
        return;
    }
    if (id >= IdBrowse && id < IdBrowse + FolderCount) return PickFolder(id - IdBrowse);
    switch (id) {
    case IdAddOld:
        AddOld(L"");
        SetFocus(Control(IdFolderEdit + FolderOld));
        return;
    case IdRemoveOld: return RemoveOld();
    case IdOpenProject: {
        std::wstring path = AskProjectFile(false);
        if (!path.empty()) LoadProject(path);
        return;
    }
    case IdSaveProject: {
        std::wstring path = AskProjectFile(true);
        if (!path.empty()) SaveProject(path);
        return;
    }
    case IdCheck: return StartJob(false);
    case IdMake:
        // An opened project keeps what was made from it, for the console tool too.
        if (!ProjectPath.empty() && !SaveProject(ProjectPath)) return;
        return StartJob(true);
    case IdCancel:
        SetInterruption(true);
        return;
    case IdOpenPatch:
        ShellExecuteW(Studio, L"open", FieldText(Control(IdFolderEdit + FolderPatch)).c_str(), 0, 0, SW_SHOWNORMAL);
        return;
    }
}

void CreateStudioControls() {
    AddControl(L"STATIC", Word(WordDropHint), SS_LEFT, 8, 8, ColumnWidth - 16, 18, IdHint);
    AddControl(L"STATIC", Word(WordOldVersions), SS_LEFT, 8, FolderTop + 3, LabelWidth, RowHeight, IdOldListLabel);
    AddControl(L"BUTTON", Word(WordAddOld), WS_TABSTOP | BS_PUSHBUTTON, 8, FolderTop + 26, 70, 24, IdAddOld);
    AddControl(L"BUTTON", Word(WordRemoveOld), WS_TABSTOP | BS_PUSHBUTTON, 82, FolderTop + 26, 70, 24, IdRemoveOld);
    AddControl(L"LISTBOX", L"", WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT, FieldX, FolderTop,
               FieldWidth + 40, OldListHeight, IdOldList, WS_EX_CLIENTEDGE);
    AddControl(L"STATIC", Word(WordOldLabel), SS_LEFT, 8, OldLabelTop + 3, LabelWidth, RowHeight, IdOldLabelLabel);
    AddControl(L"EDIT", L"", WS_TABSTOP | ES_AUTOHSCROLL, FieldX, OldLabelTop, 150, RowHeight, IdOldLabelEdit,
               WS_EX_CLIENTEDGE);
    AddControl(L"BUTTON", Word(WordAlsoWhole), WS_TABSTOP | BS_AUTOCHECKBOX, FieldX + 164, OldLabelTop,
               FieldWidth + 40 - 164, RowHeight, IdAlsoWhole);
    const StudioWord folderWords[FolderCount] = {WordOld, WordNew, WordPatch};
    for (int folder = 0; folder < FolderCount; ++folder) {
        int y = RowTop(folder);
        AddControl(L"STATIC", Word(folderWords[folder]), SS_LEFT, 8, y + 3, LabelWidth, RowHeight,
                   IdFolderLabel + folder);
        AddControl(L"EDIT", L"", WS_TABSTOP | ES_AUTOHSCROLL, FieldX, y, FieldWidth, RowHeight,
                   IdFolderEdit + folder, WS_EX_CLIENTEDGE);
        AddControl(L"BUTTON", Word(WordBrowse), WS_TABSTOP | BS_PUSHBUTTON, FieldX + FieldWidth + 4, y, 36,
                   RowHeight, IdBrowse + folder);
    }
    const StudioWord textWords[TextCount] = {WordGameName, WordRegPath,  WordCaption,  WordWidth,
                                             WordHeight,   WordComment0, WordComment1, WordAttention1};
    for (int text = 0; text < TextCount; ++text) {
        int y = TextTop + text * TextStep;
        AddControl(L"STATIC", Word(textWords[text]), SS_LEFT, 8, y + 3, LabelWidth, RowHeight, IdTextLabel + text);
        bool number = text == TextWidth || text == TextHeight;
        AddControl(L"EDIT", L"", WS_TABSTOP | ES_AUTOHSCROLL | (number ? ES_NUMBER : 0), FieldX, y,
                   number ? 80 : ColumnWidth - FieldX - 8, RowHeight, IdTextEdit + text, WS_EX_CLIENTEDGE);
        AddControl(L"STATIC", L"", SS_LEFT | SS_NOPREFIX, FieldX, y + RowHeight + 1, ColumnWidth - FieldX - 8, 28,
                   IdMistake + text);
    }
    const int buttons[] = {IdOpenProject, IdSaveProject, IdCheck, IdMake, IdCancel, IdOpenPatch};
    const StudioWord buttonWords[] = {WordOpenProject, WordSaveProject, WordCheck, WordMake, WordCancel, WordOpenPatch};
    const int widths[] = {130, 130, 64, 64, 80, 130};
    int x = 8;
    for (int i = 0; i < 6; ++i) {
        AddControl(L"BUTTON", Word(buttonWords[i]), WS_TABSTOP | BS_PUSHBUTTON, x, ButtonTop, widths[i], 26,
                   buttons[i]);
        x += widths[i] + 4;
    }
    AddControl(PROGRESS_CLASSW, L"", 0, 8, ProgressTop, ColumnWidth - 16, 16, IdProgress);
    AddControl(L"EDIT", L"", WS_TABSTOP | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | WS_VSCROLL | WS_HSCROLL,
               8, ReportTop, ColumnWidth - 16, ReportHeight, IdReport, WS_EX_CLIENTEDGE);
    AddControl(L"STATIC", Word(WordPreview), SS_LEFT, PreviewX, 8, 300, 18, IdPreviewLabel);
    EnableWindow(Control(IdCancel), FALSE);
    EnableWindow(Control(IdOpenPatch), FALSE);
}

LRESULT CALLBACK StudioProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        OnCommand(LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_DROPFILES:
        OnDrop(reinterpret_cast<HDROP>(wParam));
        return 0;
    case WM_CTLCOLORSTATIC: {
        int id = GetDlgCtrlID(reinterpret_cast<HWND>(lParam));
        if (id < IdMistake || id >= IdMistake + TextCount) break;
        HDC dc = reinterpret_cast<HDC>(wParam);
        SetTextColor(dc, RGB(192, 0, 0));
        SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    }
    case JobDoneMessage:
        JobDone(reinterpret_cast<Job*>(lParam));
        return 0;
    case WM_CLOSE:
        // A make in progress is interrupted and removes its temporary folder first.
        if (Running) {
            CloseWhenDone = true;
            SetInterruption(true);
            return 0;
        }
        DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

}  // namespace studio

// wWinMain is the program's entry and stays global; it uses the studio's names.
using namespace studio;

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
    CoInitializeEx(0, COINIT_APARTMENTTHREADED);
    INITCOMMONCONTROLSEX common = {sizeof common, ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&common);
    ProgramInstance = instance;
    RegisterMainWindowClass();

    // update.exe's control font: the class's description, 13 pixels high (its start-up).
    FontHolder program;
    program.description.height = 13;
    program.description.width = 0;
    PreviewFont = (HFONT)PlatformCreateFont(&program.description);  // the program's own font, as update.exe makes it
    InterfaceFont = CreateFontW(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, SHIFTJIS_CHARSET, OUT_DEFAULT_PRECIS,
                                CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, L"MS UI Gothic");

    WNDCLASSW windowClass;
    memset(&windowClass, 0, sizeof windowClass);
    windowClass.lpfnWndProc = StudioProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(instance, L"" PROGRAM_ICON_NAME);
    windowClass.hCursor = LoadCursorW(0, MAKEINTRESOURCEW(32512));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    windowClass.lpszClassName = L"update-studio";
    RegisterClassW(&windowClass);
    Studio = CreateWindowExW(WS_EX_ACCEPTFILES, L"update-studio", Word(WordTitle),
                             WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN,
                             CW_USEDEFAULT, CW_USEDEFAULT, ColumnWidth, ClientHeight, 0, 0, instance, 0);
    if (!Studio) return 1;
    CreateStudioControls();

    // update-studio [TEXTS_FILE]: opens a saved project.
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!(arguments && count > 1 && LoadProject(arguments[1]))) {
        StudioProject project;
        DefaultTexts(&project);
        SetFields(project);
    }
    if (arguments) LocalFree(arguments);
    ShowWindow(Studio, show);
    UpdateWindow(Studio);

    MSG message;
    while (GetMessageW(&message, 0, 0, 0) > 0) {
        if (IsDialogMessageW(Studio, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    if (Preview) DestroyWindow(Preview);
    DeleteObject(PreviewFont);
    DeleteObject(InterfaceFont);
    CoUninitialize();
    return 0;
}
