#include "case_run.h"

#include <windows.h>

#include <stdlib.h>

#include <map>
#include <memory>
#include <set>
#include <vector>

#include "case_layout.h"
#include "case_report.h"
#include "desktop.h"
#include "program_driver.h"
#include "report_text.h"

namespace {

const DWORD AppearLimitMs = 10000;  // a window or a box to show
const DWORD ExitLimitMs = 10000;    // the program to end
const DWORD AnswerLimitMs = 3000;   // a box to go once answered
const DWORD FocusLimitMs = 3000;    // the focus to arrive
const DWORD PersonLimitMs = 3600000;  // a person using the program

const int TopTextId = 1000;
const int BodyTextId = 1001;

struct Button {
    const char* name;
    int id;
};
const Button Buttons[] = {{"Start", 2000}, {"Cancel", 2001}, {"Finish", 2002}};

std::wstring ClassOf(HWND window) {
    wchar_t name[64] = L"";
    GetClassNameW(window, name, 64);
    return name;
}

std::string Quoted(const std::wstring& text) { return "\"" + Visible(WideToUtf8(text)) + "\""; }

struct WindowFinder {
    DWORD processId;
    HWND mainWindow;
    HWND box;
    const std::set<HWND>* skip;
};

BOOL CALLBACK FindWindows(HWND window, LPARAM parameter) {
    WindowFinder* finder = (WindowFinder*)parameter;
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != finder->processId || !IsWindowVisible(window)) return TRUE;
    std::wstring name = ClassOf(window);
    if (name == L"update" && !finder->mainWindow) finder->mainWindow = window;
    if (name == L"#32770" && !finder->box && !finder->skip->count(window)) finder->box = window;
    return TRUE;
}

class CaseRun {
public:
    CaseRun(const TestCase& testCase, const RunOptions& options)
        : case_(testCase), options_(options), layout_(testCase, options, &report_) {}

    bool Run() {
        Print("== case " + WideToUtf8(case_.name) + (case_.about.empty() ? "" : ": " + case_.about) + "\n");
        if (!layout_.Build()) {
            layout_.Remove();
            return false;
        }
        if (options_.interactive) {
            RunForPerson();
        } else {
            RunSteps();
        }
        // A program still running is ended before its folders go.
        EndProgram();
        report_.line = 0;
        layout_.CheckGameFolder(!options_.interactive);
        layout_.Remove();
        if (!options_.interactive)
            Print(report_.failures == 0 ? "result: PASS\n" : "result: FAIL (" + std::to_string(report_.failures) + ")\n");
        return report_.failures == 0;
    }

private:
    // ---- Reporting ----

    void Fail(const std::string& message) { report_.Fail(message); }

    void Check(const std::string& what, const std::wstring& expected, const std::wstring& actual) {
        if (expected != actual) Fail(what + ": expected " + Quoted(expected) + ", found " + Quoted(actual));
    }
    // ---- The program ----

    // Waits for the main window or a box that was not answered yet, whichever shows first.
    bool WaitForSight(DWORD limitMs, HWND* mainWindow, HWND* box) {
        *mainWindow = *box = NULL;
        if (!program_) return false;
        DWORD start = GetTickCount();
        for (;;) {
            WindowFinder finder = {program_->ProcessId(), NULL, NULL, &answered_};
            EnumWindows(FindWindows, (LPARAM)&finder);
            *mainWindow = finder.mainWindow;
            *box = finder.box;
            if (*mainWindow || *box) return true;
            DWORD code;
            if (exited_ || GetTickCount() - start >= limitMs) return false;
            if (program_->WaitForExit(&code, 20)) {
                exited_ = true;
                exitCode_ = code;
            }
        }
    }

    // Ends the program if it still runs (by its process handle) and forgets it.
    void EndProgram() {
        program_.reset();
        exited_ = true;
    }

    bool StartProgram() {
        program_.reset(new DrivenProgram);
        // A command line of the case is typed in the program's own folder.
        if (case_.commandLine.empty()) {
            started_ = program_->Start(layout_.Program());
        } else {
            std::wstring commandLine = layout_.ExpandPlaces(case_.commandLine);
            Print("-- start in " + WideToUtf8(layout_.ProgramFolder()) + " with the command line " +
                  Quoted(commandLine) + "\n");
            started_ = program_->Start(layout_.Program(), commandLine, layout_.ProgramFolder());
        }
        std::string error = " (error " + std::to_string(program_->StartError()) + ")";
        if (!started_) Fail("cannot start " + WideToUtf8(layout_.Program()) + error);
        else if (program_->FailedStarts() > 0)
            Print("   Wine failed to start the program " + std::to_string(program_->FailedStarts()) +
                  " time(s)" + error + "; the next try started it\n");
        return started_;
    }

    void Screenshot(HWND window, const std::string& what) {
        if (options_.shotsUnix.empty()) return;
        std::string file = options_.shotsUnix + "/" + WideToUtf8(case_.name) + "-" + what + ".png";
        Sleep(300);  // let the window finish painting
        if (SaveScreenshot(window, file)) Print("   screenshot: " + file + "\n");
        else Fail("no screenshot was saved at " + file);
    }

    // Prints a text as a person reads it, line by line below a heading.
    static void PrintLines(const std::string& heading, const std::wstring& wide) {
        Print(heading + "\n");
        std::string text = WideToUtf8(wide);
        size_t start = 0;
        do {
            size_t end = text.find('\n', start);
            Print("   | " + text.substr(start, end == std::string::npos ? std::string::npos : end - start) + "\n");
            start = end == std::string::npos ? std::string::npos : end + 1;
        } while (start != std::string::npos);
    }

    void ShowWindowContents() {
        Print("-- window " + Quoted(WindowTextWide(main_)) + "\n");
        PrintLines("   upper text:", WindowTextWide(GetDlgItem(main_, TopTextId)));
        PrintLines("   lower text:", WindowTextWide(GetDlgItem(main_, BodyTextId)));
        std::string shown;
        for (const Button& button : Buttons) {
            HWND handle = GetDlgItem(main_, button.id);
            if (handle && IsWindowVisible(handle)) shown += (shown.empty() ? "" : ", ") + Quoted(WindowTextWide(handle));
        }
        Print("   buttons: " + shown + "\n");
        Screenshot(main_, "window");
    }

    HWND ButtonWindow(const std::string& name) {
        for (const Button& button : Buttons)
            if (name == button.name) return GetDlgItem(main_, button.id);
        return NULL;
    }

    std::string NameOf(HWND window) {
        if (!window) return "nothing";
        for (const Button& button : Buttons)
            if (GetDlgItem(main_, button.id) == window) return button.name;
        return "a window of class " + WideToUtf8(ClassOf(window));
    }

    void ShowBox(HWND box, std::string* iconKind, HWND* owner) {
        std::wstring title = WindowTextWide(box);
        std::wstring text = BoxTextWide(box);
        *owner = GetWindow(box, GW_OWNER);
        *iconKind = BoxIconKind(box);
        std::string ownerName = !*owner ? "no owner" : *owner == main_ ? "owned by the main window" : "owned by another window";
        PrintLines("-- box " + std::to_string(++boxes_) + ": " + Quoted(title) + " (" +
                       (*iconKind == "none" ? std::string("no icon") : *iconKind + " icon") + ", " + ownerName + ")",
                   text);
        Screenshot(box, "box-" + std::to_string(boxes_));
    }

    bool AnswerBox(HWND box) {
        answered_.insert(box);
        // A person reads the box and presses Enter on its OK button.
        BringToFront(box, 1000);
        PressKeys("Enter");
        DWORD start = GetTickCount();
        while (GetTickCount() - start < AnswerLimitMs) {
            if (!IsWindow(box) || !IsWindowVisible(box)) return true;
            Sleep(20);
        }
        Fail("the box did not go on Enter; closing it with its OK button");
        DrivenProgram::Dismiss(box);
        return false;
    }

    // ---- Steps ----

    bool Step(const CaseStep& step) {
        report_.line = step.line;
        const std::string& verb = step.verb;
        std::wstring argument = Utf8ToWide(Unescape(step.argument));
        if (verb == "window") return StepWindow();
        if (verb == "title" || verb == "top" || verb == "body") {
            if (!NeedWindow()) return false;
            HWND control = verb == "title" ? main_ : GetDlgItem(main_, verb == "top" ? TopTextId : BodyTextId);
            Check(verb == "title" ? "window title" : verb == "top" ? "upper text" : "lower text", argument,
                  WindowTextWide(control));
            return true;
        }
        if (verb == "buttons") return StepButtons(step.argument);
        if (verb == "focus") return StepFocus(step.argument);
        if (verb == "key") {
            Print("-- key " + step.argument + "\n");
            if (main_ && IsWindowVisible(main_) && !BringToFront(main_)) Fail("the window did not come to the front");
            if (!PressKeys(step.argument)) {
                Fail("unknown key " + step.argument);
                return false;
            }
            return true;
        }
        if (verb == "click") return StepClick(step.argument);
        if (verb == "switch") return StepSwitch();
        if (verb == "restore") return StepRestore();
        if (verb == "box") return StepBox(step.argument);
        if (verb == "answer") {
            if (!currentBox_) {
                Fail("no box to answer");
                return false;
            }
            Print("-- answer: Enter\n");
            HWND box = currentBox_;
            currentBox_ = NULL;
            return AnswerBox(box);
        }
        if (verb == "hidden" || verb == "shown") {
            if (!NeedWindow()) return false;
            bool visible = IsWindowVisible(main_) != 0;
            if (visible != (verb == "shown")) Fail(std::string("the window is ") + (visible ? "shown" : "hidden"));
            return true;
        }
        if (verb == "present" || verb == "absent") {
            bool exists = PathExists(layout_.Place(argument));
            Print("-- " + step.argument + (exists ? " exists\n" : " does not exist\n"));
            if (exists != (verb == "present")) Fail(step.argument + (exists ? " exists" : " does not exist"));
            return true;
        }
        if (verb == "short") return StepShort(step.argument);
        if (verb == "still") return StepStill(atoi(step.argument.c_str()));
        if (verb == "exit") return StepExit(step.argument.empty() ? 0 : strtoul(step.argument.c_str(), NULL, 10));
        if (verb == "logged") return StepLogged(step.argument);
        if (verb == "noted") return StepNoted(step.argument);
        Fail("unknown step " + verb);
        return false;
    }

    bool NeedWindow() {
        if (!main_) Fail("no window was seen before this step");
        return main_ != NULL;
    }

    bool StepWindow() {
        if (!started_ && !StartProgram()) return false;
        HWND window, box;
        if (!WaitForSight(AppearLimitMs, &window, &box)) {
            Fail(exited_ ? "the program ended without showing its window" : "no window within the limit");
            return false;
        }
        if (!window) {
            Fail("a box showed instead of the window: " + Quoted(WindowTextWide(box)) + " " + Quoted(BoxTextWide(box)));
            return false;
        }
        main_ = window;
        ShowWindowContents();
        return true;
    }

    bool StepButtons(const std::string& names) {
        if (!NeedWindow()) return false;
        std::string shown;
        for (const Button& button : Buttons) {
            HWND handle = GetDlgItem(main_, button.id);
            // The window itself may be hidden; the buttons' own visibility counts.
            if (handle && (GetWindowLongPtrW(handle, GWL_STYLE) & WS_VISIBLE))
                shown += (shown.empty() ? "" : " ") + std::string(button.name);
        }
        if (shown != names) Fail("visible buttons: expected " + names + ", found " + shown);
        return true;
    }

    bool StepFocus(const std::string& name) {
        if (!NeedWindow()) return false;
        HWND wanted = name == "none" ? NULL : ButtonWindow(name);
        if (name != "none" && !wanted) {
            Fail("unknown control " + name);
            return false;
        }
        DWORD start = GetTickCount();
        HWND focus = FocusOfThread(main_);
        while (focus != wanted && GetTickCount() - start < FocusLimitMs) {
            Sleep(20);
            focus = FocusOfThread(main_);
        }
        Print("   focus: " + NameOf(focus) + "\n");
        if (focus != wanted) Fail("the focus is on " + NameOf(focus) + ", not on " + name);
        return true;
    }

    bool StepClick(const std::string& name) {
        if (!NeedWindow()) return false;
        Print("-- click " + name + "\n");
        POINT point;
        if (name == "close" || name == "minimize") {
            if (!FindCaptionButton(main_, name == "close" ? HTCLOSE : HTMINBUTTON, &point)) {
                Fail("the window has no " + name + " box");
                return false;
            }
        } else {
            HWND button = ButtonWindow(name);
            RECT rect;
            if (!button || !GetWindowRect(button, &rect)) {
                Fail("unknown control " + name);
                return false;
            }
            point.x = (rect.left + rect.right) / 2;
            point.y = (rect.top + rect.bottom) / 2;
        }
        BringToFront(main_);
        ClickAt(point);
        return true;
    }

    // The person clicks another program's window, then the lower text of this
    // program's window to come back to it.
    bool StepSwitch() {
        if (!NeedWindow()) return false;
        Print("-- switch to another program and back with clicks\n");
        OtherProgramWindow other;
        RECT rect;
        GetWindowRect(other.Window(), &rect);
        POINT away = {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
        ClickAt(away);
        DWORD start = GetTickCount();
        while (GetForegroundWindow() != other.Window() && GetTickCount() - start < FocusLimitMs) OtherProgramWindow::Pump(20);
        if (GetForegroundWindow() != other.Window()) Fail("the other program did not come to the front");
        OtherProgramWindow::Pump(200);
        GetWindowRect(GetDlgItem(main_, BodyTextId), &rect);
        POINT back = {(rect.left + rect.right) / 2, rect.bottom - 4};
        ClickAt(back);
        start = GetTickCount();
        while (GetForegroundWindow() != main_ && GetTickCount() - start < FocusLimitMs) OtherProgramWindow::Pump(20);
        if (GetForegroundWindow() != main_) Fail("the window did not come back to the front");
        return true;
    }

    // A minimised window is restored from the taskbar, which sends the window
    // the system command SC_RESTORE; the driver sends it the same way.
    bool StepRestore() {
        if (!NeedWindow()) return false;
        Print("-- restore the window (as from the taskbar)\n");
        DWORD start = GetTickCount();
        while (!IsIconic(main_) && GetTickCount() - start < FocusLimitMs) Sleep(20);
        if (!IsIconic(main_)) Fail("the window was not minimised");
        PostMessageW(main_, WM_SYSCOMMAND, SC_RESTORE, 0);
        start = GetTickCount();
        while (IsIconic(main_) && GetTickCount() - start < FocusLimitMs) Sleep(20);
        if (IsIconic(main_)) Fail("the window was not restored");
        BringToFront(main_);
        return true;
    }

    // "box <icon> <owner> | <title> | <text>"
    bool StepBox(const std::string& expectation) {
        if (!started_ && !StartProgram()) return false;
        size_t first = expectation.find(" | ");
        size_t second = first == std::string::npos ? first : expectation.find(" | ", first + 3);
        if (second == std::string::npos) {
            Fail("a box step reads: box <icon> <owner> | <title> | <text>");
            return false;
        }
        std::string head = expectation.substr(0, first);
        std::string icon = head.substr(0, head.find(' '));
        std::string owner = head.find(' ') == std::string::npos ? "" : head.substr(head.find(' ') + 1);
        std::wstring title = Utf8ToWide(Unescape(expectation.substr(first + 3, second - first - 3)));
        std::wstring text = Utf8ToWide(Unescape(expectation.substr(second + 3)));

        HWND window, box = NULL;
        DWORD start = GetTickCount();
        while (!box) {
            DWORD spent = GetTickCount() - start;
            if (spent >= AppearLimitMs || !WaitForSight(AppearLimitMs - spent, &window, &box)) {
                Fail(exited_ ? "the program ended without this box: " + Quoted(text) : "no box within the limit: " + Quoted(text));
                return false;
            }
            if (!box) Sleep(20);  // only the window is there yet
        }
        currentBox_ = box;
        std::string iconKind;
        HWND boxOwner;
        ShowBox(box, &iconKind, &boxOwner);
        Check("box title", title, WindowTextWide(box));
        Check("box text", text, BoxTextWide(box));
        if (icon != iconKind) Fail("box icon: expected " + icon + ", found " + iconKind);
        if (owner == "main" ? (!main_ || boxOwner != main_) : owner == "none" ? boxOwner != NULL : true)
            Fail("box owner: expected " + owner + ", found " +
                 (!boxOwner ? std::string("none") : boxOwner == main_ ? std::string("main") : NameOf(boxOwner)));
        if (owner != "main" && owner != "none") Fail("box owner must be main or none, not " + owner);
        return true;
    }

    // "short game Jeux\CAF_~EZK": the short (8.3) form the file system gives
    // the game folder (or "program": the program folder) below the work folder.
    bool StepShort(const std::string& argument) {
        size_t space = argument.find(' ');
        std::wstring folder = Utf8ToWide(argument.substr(0, space));
        std::wstring expected = space == std::string::npos ? L"" : Utf8ToWide(argument.substr(space + 1));
        if (folder != L"game" && folder != L"program") {
            Fail("a short step reads: short game|program SHORT\\FORM");
            return false;
        }
        std::wstring shortForm = layout_.ShortForm(folder);
        Print("-- short form of the " + WideToUtf8(folder) + " folder: " + WideToUtf8(shortForm) + "\n");
        Check("short form", expected, shortForm);
        return true;
    }

    bool StepStill(int milliseconds) {
        if (!started_) {
            Fail("the program was not started");
            return false;
        }
        Print("-- nothing happens for " + std::to_string(milliseconds) + " ms\n");
        DWORD start = GetTickCount();
        while (GetTickCount() - start < (DWORD)milliseconds) {
            HWND window, box;
            WaitForSight(0, &window, &box);
            if (exited_) {
                Fail("the program ended");
                return false;
            }
            if (box) {
                Fail("a box showed: " + Quoted(WindowTextWide(box)));
                return false;
            }
            if (main_ && !IsWindowVisible(main_)) {
                Fail("the window was hidden");
                return false;
            }
            Sleep(20);
        }
        return true;
    }

    // "logged <file> | <title> | <text>": the next box's line of the log file
    // (beside update.ini, or a full path with {work}): title, tab, text, with
    // the log's escapes. Notes before it are passed over.
    bool StepLogged(const std::string& expectation) {
        size_t first = expectation.find(" | ");
        size_t second = first == std::string::npos ? first : expectation.find(" | ", first + 3);
        if (second == std::string::npos) {
            Fail("a logged step reads: logged <file> | <title> | <text>");
            return false;
        }
        std::string entry = LogEscaped(Unescape(expectation.substr(first + 3, second - first - 3))) + "\t" +
                            LogEscaped(Unescape(expectation.substr(second + 3)));
        return CheckLogLine(expectation.substr(0, first), entry, true);
    }

    // "noted <file> | <text>": the next line of the log file is a note: "# ",
    // the text with {game}, {program} and {work} as full paths, and the escapes.
    bool StepNoted(const std::string& expectation) {
        size_t first = expectation.find(" | ");
        if (first == std::string::npos) {
            Fail("a noted step reads: noted <file> | <text>");
            return false;
        }
        std::string text = WideToUtf8(layout_.ExpandPlaces(Utf8ToWide(Unescape(expectation.substr(first + 3)))));
        return CheckLogLine(expectation.substr(0, first), "# " + LogEscaped(text), false);
    }

    bool CheckLogLine(const std::string& fileName, const std::string& entry, bool passOverNotes) {
        std::wstring file = layout_.Place(Utf8ToWide(fileName));
        layout_.ExpectWritten(file);
        std::string log;
        if (!ReadFileBytes(file, &log)) {
            Fail("no log " + WideToUtf8(file));
            return false;
        }
        size_t& read = logRead_[file];
        std::string line;
        do {
            size_t end = log.find("\r\n", read);
            line = end == std::string::npos ? log.substr(read) : log.substr(read, end - read);
            read = end == std::string::npos ? log.size() : end + 2;
            Print("-- logged: " + line + "\n");
        } while (passOverNotes && line.compare(0, 2, "# ") == 0 && line.find('\t') == std::string::npos &&
                 read < log.size());
        if (line != entry) Fail("log line: expected " + Quoted(Utf8ToWide(entry)) + ", found " + Quoted(Utf8ToWide(line)));
        return true;
    }

    static std::string LogEscaped(const std::string& utf8) {
        std::string escaped;
        for (char c : utf8)
            escaped += c == '\\' ? "\\\\" : c == '\n' ? "\\n" : c == '\r' ? "\\r" : c == '\t' ? "\\t" : std::string(1, c);
        return escaped;
    }

    bool StepExit(DWORD expectedCode) {
        if (!started_ && !StartProgram()) return false;
        if (currentBox_) {
            Fail("a box is still standing and was never answered");
            HWND box = currentBox_;
            currentBox_ = NULL;
            AnswerBox(box);
        }
        DWORD start = GetTickCount();
        while (!exited_) {
            DWORD code;
            if (program_->WaitForExit(&code, 20)) {
                exited_ = true;
                exitCode_ = code;
                break;
            }
            if (GetTickCount() - start >= ExitLimitMs) {
                Fail("the program did not end within the limit; it is ended now");
                EndProgram();
                return false;
            }
            HWND window, box;
            WaitForSight(0, &window, &box);
            if (box) {
                std::string iconKind;
                HWND owner;
                Fail("an unexpected box showed:");
                ShowBox(box, &iconKind, &owner);
                AnswerBox(box);
            }
            if (window && window != main_) {
                Fail("an unexpected window showed: " + Quoted(WindowTextWide(window)));
                main_ = window;
                PostMessageW(window, WM_CLOSE, 0, 0);
            }
        }
        Printf("-- the program ended with exit code %lu\n", exitCode_);
        if (exitCode_ != expectedCode)
            Fail("the exit code is " + std::to_string(exitCode_) + ", not " + std::to_string(expectedCode));
        return true;
    }

    void RunSteps() {
        for (const CaseStep& step : case_.steps)
            if (!Step(step)) break;
        report_.line = 0;
        if (started_ && !exited_) {
            DWORD code;
            if (!program_->WaitForExit(&code, 0)) Fail("the program still ran after the last step; it is ended now");
            EndProgram();
        }
    }

    // The person uses the program; the driver waits for its end.
    void RunForPerson() {
        if (!StartProgram()) return;
        HWND window, box;
        if (WaitForSight(AppearLimitMs, &window, &box) && window) {
            main_ = window;
            ShowWindowContents();
        }
        Print("-- the program is yours now: press its buttons; the driver waits for it to end\n");
        DWORD code = 0;
        if (program_->WaitForExit(&code, PersonLimitMs)) {
            exited_ = true;
            Printf("-- the program ended with exit code %lu\n", code);
        } else {
            Fail("the program still ran after an hour; it is ended now");
        }
    }

    const TestCase& case_;
    const RunOptions& options_;
    CaseReport report_;
    CaseLayout layout_;
    int boxes_ = 0;
    std::unique_ptr<DrivenProgram> program_;
    bool started_ = false;
    bool exited_ = false;
    DWORD exitCode_ = 0;
    HWND main_ = NULL;
    HWND currentBox_ = NULL;
    std::set<HWND> answered_;
    std::map<std::wstring, size_t> logRead_;  // bytes of each log already checked
};

}  // namespace

bool RunCase(const TestCase& testCase, const RunOptions& options) { return CaseRun(testCase, options).Run(); }
