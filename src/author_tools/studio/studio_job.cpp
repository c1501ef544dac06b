// Check and Make: update-check's and update-make's own code on a worker
// thread, the window's controls held while it runs, and its report.
#include <windows.h>
#include <commctrl.h>

#include "author_tools/host/folder_reader.h"
#include "author_tools/host/local_files.h"
#include "author_tools/host/wide_text.h"
#include "author_tools/host/windows_path.h"
#include "author_tools/run/patch_check.h"
#include "author_tools/run/report_writers.h"
#include "author_tools/studio/studio_ids.h"
#include "author_tools/studio/studio_texts.h"
#include "author_tools/studio/studio_window.h"
#include "author_tools/update_make/make_tool.h"
#include "shell/font_holder.h"
#include "update/program_reset.h"

namespace studio {

namespace {

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

}  // namespace

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

}  // namespace studio
