// The old versions' list: every old version, and the fields below it for the
// selected one.
#include <windows.h>

#include "author_tools/host/wide_text.h"
#include "author_tools/studio/studio_ids.h"
#include "author_tools/studio/studio_texts.h"
#include "author_tools/studio/studio_window.h"

namespace studio {

namespace {

std::wstring OldItemText(const StudioOldVersion& old) {
    std::wstring folder = old.folder.empty() ? std::wstring(Word(WordNoFolderYet)) : Wide(old.folder);
    return old.label.empty() ? folder : Wide(old.label) + L":  " + folder;
}

}  // namespace

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

}  // namespace studio
