// The author's window's state and its fields: the texts and folders as typed,
// read into a project and filled from one.
#include "author_tools/studio/studio_window.h"

#include "author_tools/host/wide_text.h"
#include "author_tools/studio/studio_ids.h"
#include "author_tools/studio/studio_texts.h"

namespace studio {

HWND Studio = 0;
HWND Preview = 0;
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

void ShowMistake(int text) {
    std::string value = WideToUtf8(FieldText(Control(IdTextEdit + text)));
    SetWindowTextW(Control(IdMistake + text), Wide(TextMistake(text, value, JapaneseSystem())).c_str());
}

void SetReport(const std::wstring& text) { SetWindowTextW(Control(IdReport), text.c_str()); }

}  // namespace studio
