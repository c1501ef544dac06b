// update-studio: the patch author's window. The folders (one or more old
// versions, each with an optional name, the new game, the patch), the texts of
// update.ini with update-make's own checks shown at each field as it is typed,
// a live preview of the player's window built by update.exe's own window code,
// and Check and Make, which run update-check's and update-make's code on a
// worker thread.
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "author_tools/host/folder_reader.h"
#include "author_tools/host/local_files.h"
#include "author_tools/host/wide_text.h"
#include "author_tools/host/windows_path.h"
#include "author_tools/run/patch_check.h"
#include "author_tools/run/report_writers.h"
#include "author_tools/studio/studio_ids.h"
#include "author_tools/studio/studio_project.h"
#include "author_tools/studio/studio_texts.h"
#include "author_tools/update_make/make_tool.h"
#include "author_tools/update_make/old_versions.h"
#include "description/update_description.h"
#include "shell/font_holder.h"
#include "shell/main_window.h"
#include "state/window_handles.h"
#include "update/program_reset.h"

namespace {

enum { JobDoneMessage = WM_APP + 1 };

// The left column's geometry; the preview lies to its right.
const int LabelWidth = 190;
const int FieldX = 204;
const int FieldWidth = 390;
const int ColumnWidth = 640;
const int RowHeight = 22;
const int FolderTop = 30;
const int FolderStep = 28;
// The old versions' list, then the selected one's folder and name, then the
// new game's and the patch's folders.
const int OldListHeight = 70;
const int OldFolderTop = FolderTop + OldListHeight + 6;
const int OldLabelTop = OldFolderTop + FolderStep;
const int TextTop = OldLabelTop + 3 * FolderStep + 10;
const int TextStep = 52;
const int ButtonTop = TextTop + TextCount * TextStep + 4;
const int ProgressTop = ButtonTop + 32;
const int ReportTop = ProgressTop + 22;
const int ReportHeight = 200;
const int ClientHeight = ReportTop + ReportHeight + 8;
const int PreviewX = ColumnWidth + 12;
const int PreviewTop = 30;
// The preview is drawn at the size given, up to this many pixels each way.
const int PreviewLimit = 4000;

int RowTop(int folder) { return folder == FolderOld ? OldFolderTop : OldLabelTop + folder * FolderStep; }

struct Job {
    bool make = false;
    size_t checked = 0;  // the old version Check runs on
    StudioProject project;
    std::string out, err;
    int status = 0;
};

HWND Studio = 0;
HWND Preview = 0;
HFONT InterfaceFont = 0;
HFONT PreviewFont = 0;
HWND Controls[500];
bool Running = false;
bool CloseWhenDone = false;
std::wstring ProjectPath;  // the texts file, once opened or saved
bool Filling = false;      // the fields are being filled: one preview at the end
// The old versions as typed (UTF-8); the folder and name fields edit the selected one.
std::vector<StudioOldVersion> Olds(1);
size_t Selected = 0;

HWND Control(int id) { return Controls[id]; }

HWND AddControl(const wchar_t* className, const wchar_t* text, DWORD style, int x, int y, int width, int height,
                int id, DWORD exStyle = 0) {
    HWND control = CreateWindowExW(exStyle, className, text, WS_CHILD | WS_VISIBLE | style, x, y, width, height,
                                   Studio, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                   GetModuleHandleW(0), 0);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(InterfaceFont), 0);
    Controls[id] = control;
    return control;
}

std::wstring Wide(const std::string& utf8) {
    std::wstring wide;
    if (Utf8ToWide(utf8, &wide) != 0) wide = L"?";
    return wide;
}

std::wstring WideLines(const std::string& utf8) {
    std::wstring text, wide = Wide(utf8);
    for (wchar_t c : wide) {
        if (c == L'\n') text += L'\r';
        text += c;
    }
    return text;
}

std::wstring FieldText(HWND edit) {
    int length = GetWindowTextLengthW(edit);
    std::wstring text(length + 1, L'\0');
    GetWindowTextW(edit, &text[0], length + 1);
    text.resize(wcslen(text.c_str()));
    return text;
}

StudioProject ProjectOfFields() {
    StudioProject project;
    project.olds = Olds;
    project.newFolder = WideToUtf8(FieldText(Control(IdFolderEdit + FolderNew)));
    project.patchFolder = WideToUtf8(FieldText(Control(IdFolderEdit + FolderPatch)));
    project.alsoWhole = SendMessageW(Control(IdAlsoWhole), BM_GETCHECK, 0, 0) == BST_CHECKED;
    for (int text = 0; text < TextCount; ++text)
        project.texts[text] = WideToUtf8(FieldText(Control(IdTextEdit + text)));
    return project;
}

void ShowMistake(int text);
void RebuildPreview();

std::wstring OldItemText(const StudioOldVersion& old) {
    std::wstring folder = old.folder.empty() ? std::wstring(Word(WordNoFolderYet)) : Wide(old.folder);
    return old.label.empty() ? folder : Wide(old.label) + L":  " + folder;
}

// The list shows every old version; the fields below it the selected one.
void ShowOlds(bool fields) {
    HWND list = Control(IdOldList);
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    SendMessageW(list, LB_RESETCONTENT, 0, 0);
    for (const StudioOldVersion& old : Olds)
        SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(OldItemText(old).c_str()));
    SendMessageW(list, LB_SETCURSEL, Selected, 0);
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, 0, TRUE);
    if (!fields) return;
    bool filling = Filling;
    Filling = true;
    SetWindowTextW(Control(IdFolderEdit + FolderOld), Wide(Olds[Selected].folder).c_str());
    SetWindowTextW(Control(IdOldLabelEdit), Wide(Olds[Selected].label).c_str());
    Filling = filling;
}

void SelectOld(size_t index) {
    Selected = index < Olds.size() ? index : Olds.size() - 1;
    ShowOlds(true);
}

void AddOld(const std::wstring& folder) {
    Olds.push_back(StudioOldVersion{WideToUtf8(folder), ""});
    SelectOld(Olds.size() - 1);
}

void RemoveOld() {
    Olds.erase(Olds.begin() + Selected);
    if (Olds.empty()) Olds.resize(1);  // one row to type the old folder into stays
    SelectOld(Selected);
}

void SetFields(const StudioProject& project) {
    Filling = true;
    Olds = project.olds;
    if (Olds.empty()) Olds.resize(1);
    SelectOld(0);
    SetWindowTextW(Control(IdFolderEdit + FolderNew), Wide(project.newFolder).c_str());
    SetWindowTextW(Control(IdFolderEdit + FolderPatch), Wide(project.patchFolder).c_str());
    SendMessageW(Control(IdAlsoWhole), BM_SETCHECK, project.alsoWhole ? BST_CHECKED : BST_UNCHECKED, 0);
    for (int text = 0; text < TextCount; ++text)
        SetWindowTextW(Control(IdTextEdit + text), Wide(project.texts[text]).c_str());
    Filling = false;
    for (int text = 0; text < TextCount; ++text) ShowMistake(text);
    RebuildPreview();
}

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

void ShowMistake(int text) {
    std::string value = WideToUtf8(FieldText(Control(IdTextEdit + text)));
    SetWindowTextW(Control(IdMistake + text), Wide(TextMistake(text, value, JapaneseSystem())).c_str());
}

void SetReport(const std::wstring& text) { SetWindowTextW(Control(IdReport), text.c_str()); }

void SetRunning(bool running) {
    Running = running;
    for (int folder = 0; folder < FolderCount; ++folder) {
        EnableWindow(Control(IdFolderEdit + folder), !running);
        EnableWindow(Control(IdBrowse + folder), !running);
    }
    for (int text = 0; text < TextCount; ++text) EnableWindow(Control(IdTextEdit + text), !running);
    for (int id : {IdOpenProject, IdSaveProject, IdCheck, IdMake, IdOldList, IdAddOld, IdRemoveOld, IdOldLabelEdit,
                   IdAlsoWhole})
        EnableWindow(Control(id), !running);
    EnableWindow(Control(IdCancel), running);
    // update-make tells no progress: the bar moves while it works, and is empty at rest.
    HWND progress = Control(IdProgress);
    LONG_PTR style = GetWindowLongPtrW(progress, GWL_STYLE);
    SetWindowLongPtrW(progress, GWL_STYLE, running ? style | PBS_MARQUEE : style & ~PBS_MARQUEE);
    SendMessageW(progress, PBM_SETMARQUEE, running ? TRUE : FALSE, 30);
    if (!running) SendMessageW(progress, PBM_SETPOS, 0, 0);
    InvalidateRect(progress, 0, TRUE);
}

DWORD WINAPI RunJob(void* context) {
    Job* job = static_cast<Job*>(context);
    const StudioProject& project = job->project;
    if (job->make) {
        job->status = RunUpdateMake(MakeArguments(project), &job->out, &job->err);
    } else {
        // update-check PATCH OLD, as its console does it.
        std::string problem;
        CheckInput input;
        const std::string& old = project.olds[job->checked].folder;
        input.patchShown = project.patchFolder;
        input.gameShown = old;
        if (WindowsPath("--patch-path", "C:\\Patch", &input.patchPath, &problem) != 0 ||
            WindowsPath("--game-path", "C:\\Game", &input.gamePath, &problem) != 0 ||
            ReadFolder(project.patchFolder, "update.ini", &input.patch, &problem) != 0 ||
            ReadFolder(old, "update.ini", &input.game, &problem) != 0) {
            job->err = "update-check: " + problem + "\n";
            job->status = 3;
        } else {
            ResetProgramGlobals();
            ControlFont.font = 0;
            CheckReport report;
            if (CheckPatch(input, &report, &problem) != 0) {
                job->err = "update-check: " + problem + "\n";
                job->status = 3;
            } else {
                job->out = ReportAsText(report, false);
                job->status = !report.completes ? 2 : report.warnings.empty() ? 0 : 1;
            }
        }
    }
    PostMessageW(Studio, JobDoneMessage, 0, reinterpret_cast<LPARAM>(job));
    return 0;
}

void StartJob(bool make) {
    if (Running) return;
    Job* job = new Job;
    job->make = make;
    job->project = ProjectOfFields();
    job->checked = Selected;
    // Make needs every folder; Check the patch and the selected old version.
    bool missing = job->project.patchFolder.empty() || job->project.olds[Selected].folder.empty();
    if (make) {
        missing = missing || job->project.newFolder.empty();
        for (const StudioOldVersion& old : job->project.olds) missing = missing || old.folder.empty();
    }
    if (missing) {
        SetReport(Word(WordFolderMissing));
        delete job;
        return;
    }
    SetInterruption(false);
    SetReport(Word(make ? WordMaking : WordChecking));
    EnableWindow(Control(IdOpenPatch), FALSE);
    SetRunning(true);
    HANDLE thread = CreateThread(0, 0, RunJob, job, 0, 0);
    if (!thread) {
        SetRunning(false);
        SetReport(Wide(SystemErrorText(GetLastError())));
        delete job;
        return;
    }
    CloseHandle(thread);
}

void JobDone(Job* job) {
    SetRunning(false);
    std::wstring report;
    if (job->make) {
        bool made = job->status == MadeAndProven || job->status == MadeWithWarnings;
        bool cancelled = !made && job->err.find("interrupted") != std::string::npos;
        report = Word(made ? WordMade : cancelled ? WordCancelled : WordNotMade);
        report += L"\r\n" + WideLines(MakeCommandLine(job->project)) + L"\r\n\r\n";
        EnableWindow(Control(IdOpenPatch), made);
    }
    report += WideLines(job->err) + WideLines(job->out);
    SetReport(report);
    delete job;
    if (CloseWhenDone) DestroyWindow(Studio);
}

void PickFolder(int folder) {
    BROWSEINFOW info;
    memset(&info, 0, sizeof info);
    info.hwndOwner = Studio;
    info.lpszTitle = Word(WordPickFolder);
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    PIDLIST_ABSOLUTE list = SHBrowseForFolderW(&info);
    if (!list) return;
    wchar_t path[MAX_PATH];
    if (SHGetPathFromIDListW(list, path)) SetWindowTextW(Control(IdFolderEdit + folder), path);
    CoTaskMemFree(list);
}

bool ReadWholeFile(const std::wstring& path, std::string* bytes) {
    std::string reason;
    return ReadLocalFile(WideToUtf8(path), bytes, &reason, 1 << 20) == 0;
}

bool WriteWholeFile(const std::wstring& path, const std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, 0, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, 0);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool ok = WriteFile(file, bytes.data(), (DWORD)bytes.size(), &written, 0) && written == bytes.size();
    return CloseHandle(file) && ok;
}

bool LoadProject(const std::wstring& path) {
    std::string bytes, problem;
    StudioProject project;
    if (!ReadWholeFile(path, &bytes)) {
        SetReport(path + L": " + Wide(SystemErrorText(GetLastError())));
        return false;
    }
    ParseProjectTexts(bytes, &project, &problem);
    std::string folders;
    if (ReadWholeFile(Wide(FoldersFileOf(WideToUtf8(path))), &folders)) ParseProjectFolders(folders, &project);
    ProjectPath = path;
    SetFields(project);
    SetReport(path);
    return true;
}

bool SaveProject(const std::wstring& path) {
    StudioProject project = ProjectOfFields();
    std::string texts, problem;
    if (ProjectTexts(project, &texts, &problem) != 0) {
        SetReport(std::wstring(Word(WordSaveFailed)) + L": " + Wide(problem));
        return false;
    }
    if (!WriteWholeFile(path, texts) || !WriteWholeFile(Wide(FoldersFileOf(WideToUtf8(path))), ProjectFolders(project))) {
        SetReport(std::wstring(Word(WordSaveFailed)) + L": " + path + L": " + Wide(SystemErrorText(GetLastError())));
        return false;
    }
    ProjectPath = path;
    SetReport(path);
    return true;
}

std::wstring AskProjectFile(bool save) {
    wchar_t path[MAX_PATH] = L"";
    if (!ProjectPath.empty() && ProjectPath.size() < MAX_PATH) wcscpy(path, ProjectPath.c_str());
    OPENFILENAMEW dialog;
    memset(&dialog, 0, sizeof dialog);
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = Studio;
    dialog.lpstrFilter = L"texts (*.ini)\0*.ini\0*.*\0*.*\0";
    dialog.lpstrFile = path;
    dialog.nMaxFile = MAX_PATH;
    dialog.lpstrDefExt = L"ini";
    dialog.Flags = save ? OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST : OFN_FILEMUSTEXIST;
    BOOL chosen = save ? GetSaveFileNameW(&dialog) : GetOpenFileNameW(&dialog);
    return chosen ? path : L"";
}

// A folder dropped on a folder's row goes there; elsewhere, each dropped folder
// fills the next empty folder field. A dropped texts file opens as the project.
void OnDrop(HDROP drop) {
    // While a make or check runs, its fields (and the program's globals the
    // preview fills) are the run's.
    if (Running) {
        DragFinish(drop);
        return;
    }
    POINT point;
    DragQueryPoint(drop, &point);
    int target = -1;
    for (int folder = 0; folder < FolderCount; ++folder) {
        int top = RowTop(folder) - 3;
        if (point.x < ColumnWidth && point.y >= top && point.y < top + FolderStep) target = folder;
    }
    // Folders dropped on the old versions' list are each an old version.
    bool onList = point.x < ColumnWidth && point.y >= FolderTop - 3 && point.y < OldFolderTop - 3;
    UINT count = DragQueryFileW(drop, 0xFFFFFFFF, 0, 0);
    for (UINT i = 0; i < count; ++i) {
        UINT length = DragQueryFileW(drop, i, 0, 0);
        std::wstring path(length + 1, L'\0');
        DragQueryFileW(drop, i, &path[0], length + 1);
        path.resize(length);
        DWORD attributes = GetFileAttributesW(path.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) continue;
        if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            LoadProject(path);
            continue;
        }
        if (onList) {
            if (Olds[Selected].folder.empty()) {
                Olds[Selected].folder = WideToUtf8(path);
                ShowOlds(true);
            } else {
                AddOld(path);
            }
            continue;
        }
        int field = target;
        for (int folder = 0; field < 0 && folder < FolderCount; ++folder)
            if (GetWindowTextLengthW(Control(IdFolderEdit + folder)) == 0) field = folder;
        if (field < 0) break;
        SetWindowTextW(Control(IdFolderEdit + field), path.c_str());
        target = -1;
    }
    DragFinish(drop);
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

HFONT MakeFont(const FontDescription& description) {
    LOGFONTW font;
    memset(&font, 0, sizeof font);
    font.lfHeight = description.height;
    font.lfWidth = description.width;
    font.lfWeight = description.weight;
    font.lfItalic = description.italic;
    font.lfUnderline = description.underline;
    font.lfStrikeOut = description.strikeOut;
    font.lfCharSet = description.charSet;
    font.lfOutPrecision = description.outPrecision;
    font.lfClipPrecision = description.clipPrecision;
    font.lfQuality = description.quality;
    font.lfPitchAndFamily = description.pitchAndFamily;
    char face[sizeof description.faceName + 1];
    memcpy(face, description.faceName, sizeof description.faceName);
    face[sizeof description.faceName] = '\0';
    MultiByteToWideChar(932, 0, face, -1, font.lfFaceName, LF_FACESIZE);
    return CreateFontIndirectW(&font);
}

}  // namespace

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
    PreviewFont = MakeFont(program.description);
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
