// The author's window's shared parts: its layout, its state (the window, the
// old versions as typed, whether a job runs) and the procedures its files call
// each other by. The state is defined once, in studio_window.cpp.
#ifndef UPDATE_STUDIO_WINDOW_H
#define UPDATE_STUDIO_WINDOW_H

#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "author_tools/studio/studio_project.h"

// The studio's own names stay out of the global space the linked tools share.
namespace studio {

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

inline int RowTop(int folder) { return folder == FolderOld ? OldFolderTop : OldLabelTop + folder * FolderStep; }

struct Job {
    bool make = false;
    size_t checked = 0;  // the old version Check runs on
    StudioProject project;
    std::string out, err;
    int status = 0;
};

extern HWND Studio;
extern HWND Preview;
extern HFONT PreviewFont;
extern HWND Controls[500];
extern bool Running;
extern bool CloseWhenDone;
extern std::wstring ProjectPath;  // the texts file, once opened or saved
extern bool Filling;              // the fields are being filled: one preview at the end
// The old versions as typed (UTF-8); the folder and name fields edit the selected one.
extern std::vector<StudioOldVersion> Olds;
extern size_t Selected;

// The fields (studio_window.cpp).
HWND Control(int id);
std::wstring Wide(const std::string& utf8);
std::wstring WideLines(const std::string& utf8);
std::wstring FieldText(HWND edit);
StudioProject ProjectOfFields();
void SetFields(const StudioProject& project);
void ShowMistake(int text);
void SetReport(const std::wstring& text);

// The old versions' list (studio_old_versions.cpp).
void ShowOlds(bool fields);
void SelectOld(size_t index);
void AddOld(const std::wstring& folder);
void RemoveOld();

// The player's window as the texts build it (studio_preview.cpp).
void RebuildPreview();

// Check and Make on a worker thread (studio_job.cpp).
void StartJob(bool make);
void JobDone(Job* job);

// Folders, project files and drops (studio_files.cpp).
void PickFolder(int folder);
bool LoadProject(const std::wstring& path);
bool SaveProject(const std::wstring& path);
std::wstring AskProjectFile(bool save);
void OnDrop(HDROP drop);

}  // namespace studio

#endif
