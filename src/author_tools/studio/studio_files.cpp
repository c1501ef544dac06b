// What comes from outside the window: picked folders, the project's texts
// file opened and saved, and folders and files dropped on it.
#include <windows.h>
#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstring>

#include "author_tools/host/local_files.h"
#include "author_tools/host/wide_text.h"
#include "author_tools/studio/studio_ids.h"
#include "author_tools/studio/studio_texts.h"
#include "author_tools/studio/studio_window.h"

namespace studio {

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

namespace {

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

}  // namespace

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

}  // namespace studio
