// Fuzz target for the command-line and path composition of start-up and the
// update run. An input is a list of lines, each a tag byte and its text:
//
//   C<command line>       the process command line (default: "C:\Patch\setup.exe" quoted);
//                         a game folder named on it takes the registry value's place
//   S<bytes>              the SAV_FOLDER value as stored, no terminator added
//   s<text>               the SAV_FOLDER value as a string (default C:\Game)
//   T<digit>              the registry type of SAV_FOLDER (default REG_SZ)
//   N                     no engine executable in the game folder
//   U<relative path>      a file of the update tree   (R: read-only, W: hidden)
//   u<relative path>      a directory of the update tree
//   G<relative path>      a file of the game folder   (O: read-only, H: hidden)
//   g<relative path>      a directory of the game folder
//   A<entry> / D<entry>   an [AddFile] / [DelFile] entry
//   X<c|d|m|a|f><n>       the n-th copy / delete / mkdir / attribute / search call fails
//
// The command line goes through LocateProgramFolder, the rest through RunUpdate.
// Checked: no sanitizer report; ProgramFolder is the command line's folder; the
// boxes are exactly one row of the run's failure table and the result matches
// it; the window is hidden first and destroyed last; the program folder is never
// changed; a run that fails before the copy leaves the game folder as it was (but
// for the engine executable after a failed verification); a failed copy deletes
// nothing and writes nothing but update files; a completed run has every update
// file in the game folder; an injected copy or directory failure that was hit is
// never reported as success (a failed search is not a failure: it counts as an
// empty folder).
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <map>
#include <string>
#include <vector>

#include "description/update_description.h"
#include "fuzz_support.h"
#include "platform/memory/platform_memory.h"
#include "shell/command_line_choices_reader.h"
#include "shell/program_folder.h"
#include "state/window_handles.h"
#include "update/game_folder.h"
#include "update/room_check.h"
#include "update/update_run.h"

namespace mp = memory_platform;

namespace {

const char KeyPath[] = "Software\\Maker\\Game";
const char ContentMark[] = "new:";
char MainWindow, TopText, BodyText, StartButton, CancelButton, FinishButton;

struct Input {
    std::string commandLine = "\"C:\\Patch\\setup.exe\"";
    std::string savFolder = std::string("C:\\Game") + '\0';
    unsigned type = RegistryString;
    bool engine = true;
    std::vector<std::pair<char, std::string>> entries;
    std::vector<std::pair<char, int>> failures;
    uint64_t freeBytes = mp::UnlimitedSpace;  // 'F': the game volume's free space
};

bool IsLeadByte(unsigned char byte) { return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC); }

// Whether the command line's program path (quoted up to the closing quote, or
// up to a space or tab) has a backslash of its own, not the second byte of a
// double-byte character. The program sees the line up to its first NUL.
bool ProgramPathHasSeparator(const std::string& commandLine) {
    const std::string line = commandLine.substr(0, commandLine.find('\0'));
    const bool quoted = !line.empty() && line[0] == '"';
    size_t end = quoted ? line.find('"', 1) : line.find_first_of(" \t");
    if (end == std::string::npos) end = line.size();
    for (size_t i = quoted ? 1 : 0; i < end; ++i) {
        if (line[i] == '\\') return true;
        if (IsLeadByte((unsigned char)line[i]) && i + 1 < end) ++i;
    }
    return false;
}

// A relative path the in-memory machine stores as it is: components of 1 to 255
// bytes without NUL, no "." or "..". Like the machine, a double-byte character's second
// byte never separates. Other paths would test the machine, not the program.
bool IsPlainRelativePath(const std::string& path) {
    if (path.empty() || path.size() > 600 || path.find('\0') != std::string::npos) return false;
    std::string part;
    for (size_t i = 0; i <= path.size(); ++i) {
        unsigned char byte = i < path.size() ? (unsigned char)path[i] : 0;
        if (byte == '\\' || byte == 0) {
            if (part.empty() || part.size() > 255 || part == "." || part == "..") return false;
            part.clear();
            continue;
        }
        part.push_back((char)byte);
        if (IsLeadByte(byte) && i + 1 < path.size())
            part.push_back(path[++i]);
    }
    return true;
}

Input Parse(const uint8_t* data, size_t size) {
    Input input;
    std::string text((const char*)data, size);
    size_t start = 0;
    while (start < text.size() && input.entries.size() < 64) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        if (line.empty()) continue;
        char tag = line[0];
        std::string value = line.substr(1);
        switch (tag) {
        case 'C': input.commandLine = value.substr(0, value.find('\0')); break;
        case 'S': input.savFolder = value; break;
        case 's': input.savFolder = value + '\0'; break;
        case 'T': input.type = value.empty() ? 0 : (unsigned)(value[0] - '0'); break;
        case 'N': input.engine = false; break;
        case 'F': input.freeBytes = strtoull(value.c_str(), nullptr, 10); break;
        case 'X':
            if (value.size() >= 2 && input.failures.size() < 4)
                input.failures.push_back({value[0], atoi(value.c_str() + 1) % 1000});
            break;
        case 'A':
        case 'D': input.entries.push_back({tag, value.substr(0, 511)}); break;
        default:
            if (strchr("UuRWGgOH", tag) && IsPlainRelativePath(value)) input.entries.push_back({tag, value});
        }
    }
    return input;
}

std::string Join(const std::string& root, const std::string& relative) { return root + "\\" + relative; }

// Every object on the machine's drive C: with its content and marks, by its
// stored path (the machine keeps one name per folded name).
std::map<std::string, std::string> Snapshot() {
    std::map<std::string, std::string> objects;
    for (const auto& relative : mp::ListTree("C:")) {
        std::string path = Join("C:", relative);
        objects[relative] =
            (mp::IsDirectory(path) ? "dir" : "file:" + mp::FileContent(path)) + "/" + std::to_string(mp::Attributes(path));
    }
    return objects;
}

enum Outcome { NotInstalled, CopyFailure, VerifyFailure, NoRoom, Completed };

Outcome ReadOutcome() {
    const UpdateDescriptionRecord& d = UpdateDescription;
    const auto& boxes = mp::MessageBoxes();
    for (const auto& box : boxes) Require(box.owner == &MainWindow, "every box of the run has the main window as owner");
    if (boxes.size() == 2) {
        bool noRoom = boxes[0].text.compare(0, 48, "ディスクの空き容量が足りません。") == 0;
        Require(boxes[0].title == std::string(d.Caption) + " 注意" && (noRoom || boxes[0].text == d.Attention1) &&
                    boxes[0].type == BoxIconWarning,
                "verification or room warning", boxes[0].title + "|" + boxes[0].text);
        Require(boxes[1].title == d.Caption && boxes[1].text == "アップデートを終了します。" && boxes[1].type == BoxOk,
                "closing box", boxes[1].title + "|" + boxes[1].text);
        return noRoom ? NoRoom : VerifyFailure;
    }
    Require(boxes.size() == 1, "a run shows one box, or the warning and the closing box",
            std::to_string(boxes.size()));
    const auto& box = boxes[0];
    if (box.text == std::string(d.GameName) + "がインストールされていません。") {
        Require(box.title == d.Caption && box.type == BoxIconWarning, "not-installed box");
        return NotInstalled;
    }
    if (box.text == "ファイルのコピーに失敗しました。") {
        Require(box.title == "アップデートエラー" && box.type == BoxIconWarning, "copy-failure box");
        return CopyFailure;
    }
    Require(box.text == "アップデートが完了しました。" && box.title == d.Caption && box.type == BoxOk,
            "completion box", box.title + "|" + box.text);
    return Completed;
}

mp::Operation OperationFor(char letter, bool* known) {
    *known = true;
    switch (letter) {
    case 'c': return mp::Operation::CopyFile;
    case 'd': return mp::Operation::DeleteFile;
    case 'm': return mp::Operation::CreateDirectory;
    case 'a': return mp::Operation::SetAttributes;
    case 'f': return mp::Operation::FindFirst;
    }
    *known = false;
    return mp::Operation::OpenFile;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ResetProgramState();
    Input input = Parse(data, size);

    // ---- Start-up: the program folder from the command line ----
    mp::SetCommandLine(input.commandLine);
    int located = LocateProgramFolder();
    Require(located == 0 || located == 1, "LocateProgramFolder result");
    Require(IsTerminatedWithin(ProgramFolder, sizeof ProgramFolder), "ProgramFolder terminated");
    size_t folderLength = strlen(ProgramFolder);
    if (located == 1) {
        Require(folderLength == 0, "a refused command line leaves ProgramFolder empty");
        return 0;  // start-up reports it and ends the program
    }
    const char* path = input.commandLine.c_str() + (input.commandLine[0] == '"' ? 1 : 0);
    // A bare program name (no backslash) lies in the current folder, ".".
    const bool currentFolder = strcmp(ProgramFolder, ".") == 0 && !ProgramPathHasSeparator(input.commandLine);
    Require(currentFolder || (strncmp(ProgramFolder, path, folderLength) == 0 &&
                              (folderLength == 0 || path[folderLength] == '\\')),
            "ProgramFolder is the command line's path up to a backslash", ProgramFolder);

    // ---- The machine ----
    const std::string programFolder = ProgramFolder;
    const std::string updateRoot = programFolder + "\\update";
    std::string gameRoot = input.savFolder.substr(0, input.savFolder.find('\0'));
    // The boxes are checked as a window shows them; the log of a run without
    // one, and the notes a log gets with a window, are another road.
    ReadCommandLineChoices();
    CommandLineChoices.Silent = false;
    CommandLineChoices.LogFile[0] = '\0';
    if (CommandLineChoices.GameFolderGiven)
        gameRoot = CommandLineChoices.GameFolderFits ? CommandLineChoices.GameFolderArgument : "";
    if (!gameRoot.empty() && gameRoot.back() == '\\') gameRoot.pop_back();
    // Asked to create a prefix that ends in a backslash (a game folder with two
    // backslashes in a row), the machine stores a directory with an empty name,
    // which no real file system reports. Inside the update tree the walk would
    // meet a folder whose relative path does not grow; that is the machine's
    // doing, not the program's, so such game folders stay out of the program folder.
    if (gameRoot.find("\\\\", 2) != std::string::npos && mp::IsSameOrBelow(gameRoot, programFolder)) return 0;
    mp::SetRegistryValue(KeyPath, "SAV_FOLDER", input.type, input.savFolder);
    if (input.engine) mp::AddFile(Join(gameRoot, "kovent9m.exe"), "old engine");
    UpdateDescriptionRecord& d = UpdateDescription;
    strcpy(d.RegistryKeyPath, KeyPath);
    strcpy(d.Caption, "Patch");
    strcpy(d.GameName, "Game");
    strcpy(d.Attention1, "Differs.");
    for (const auto& [tag, value] : input.entries) {
        // A file entry over a folder already made would leave the machine with a
        // file that has children, which no real file system has.
        const std::string& root = strchr("URW", tag) ? updateRoot : gameRoot;
        if (strchr("URWGOH", tag) && mp::IsDirectory(Join(root, value))) continue;
        switch (tag) {
        case 'U': mp::AddFile(Join(updateRoot, value), ContentMark + value); break;
        case 'R': mp::AddFile(Join(updateRoot, value), ContentMark + value, FileAttributeReadOnly); break;
        case 'W': mp::AddFile(Join(updateRoot, value), ContentMark + value, FileAttributeHidden); break;
        case 'u': mp::AddDirectory(Join(updateRoot, value)); break;
        case 'G': mp::AddFile(Join(gameRoot, value), "old"); break;
        case 'O': mp::AddFile(Join(gameRoot, value), "old", FileAttributeReadOnly); break;
        case 'H': mp::AddFile(Join(gameRoot, value), "old", FileAttributeHidden); break;
        case 'g': mp::AddDirectory(Join(gameRoot, value)); break;
        case 'A':
            if (d.AddFileCount < FileListCapacity) strcpy(d.AddFiles[d.AddFileCount++], value.c_str());
            break;
        case 'D':
            if (d.DelFileCount < FileListCapacity) strcpy(d.DelFiles[d.DelFileCount++], value.c_str());
            break;
        }
    }
    for (const auto& [letter, n] : input.failures) {
        bool known;
        mp::Operation op = OperationFor(letter, &known);
        if (known) mp::FailNthOperation(op, n);
    }
    WindowHandles = {&MainWindow, &TopText, &BodyText, &StartButton, &CancelButton, &FinishButton};
    mp::SetFreeSpace(input.freeBytes);
    const auto before = Snapshot();
    std::map<mp::Operation, int> countsBefore;
    for (auto op : {mp::Operation::CopyFile, mp::Operation::CreateDirectory})
        countsBefore[op] = mp::OperationCount(op);

    // ---- The run ----
    int result = RunUpdate();
    Outcome outcome = ReadOutcome();
    Require(result == (outcome == Completed ? 0 : 1), "result matches the boxes");
    Require(IsTerminatedWithin(GameFolder, sizeof GameFolder), "GameFolder terminated");
    Require(IsTerminatedWithin(UpdateFolder, sizeof UpdateFolder), "UpdateFolder terminated");
    const auto& calls = mp::WindowCalls();
    Require(!calls.empty() && calls.front().operation == "show" && calls.front().window == &MainWindow &&
                calls.front().command == ShowHide,
            "the main window is hidden first");
    Require(calls.back().operation == "destroy" && calls.back().window == &MainWindow, "the main window is destroyed last");
    int destroys = 0;
    for (const auto& call : calls) destroys += call.operation == "destroy";
    Require(destroys == 1, "the main window is destroyed once");

    // An injected failure of a copy or a directory creation that was hit is reported.
    for (const auto& [letter, n] : input.failures) {
        bool known;
        mp::Operation op = OperationFor(letter, &known);
        if (!known || (letter != 'c' && letter != 'm') || n < 1) continue;
        if (mp::OperationCount(op) - countsBefore[op] >= n)
            Require(outcome != Completed, "an injected copy or directory failure is never reported as success");
    }

    // ---- What changed: only checked where the two folders lie apart on drive C: ----
    const std::string gameFolder = GameFolder;
    bool apart = LowerAscii(programFolder).compare(0, 3, "c:\\") == 0 && LowerAscii(gameRoot).compare(0, 3, "c:\\") == 0 &&
                 !mp::IsSameOrBelow(programFolder, gameRoot) && !mp::IsSameOrBelow(gameRoot, programFolder);
    if (!apart) return 0;
    const auto after = Snapshot();
    for (const auto& [key, value] : before) {
        bool inProgram = mp::IsSameOrBelow("c:\\" + key, programFolder);
        auto found = after.find(key);
        if (inProgram) Require(found != after.end() && found->second == value, "the program folder never changes", key);
    }
    for (const auto& [key, value] : after)
        if (mp::IsSameOrBelow("c:\\" + key, programFolder))
            Require(before.count(key) == 1, "nothing appears in the program folder", key);

    if (outcome == NotInstalled) Require(before == after, "a not-installed run changes nothing");
    if (outcome == NoRoom) {
        Require(before == after, "a run refused for room changes nothing");
        Require(LastRoomCheck.measured && LastRoomCheck.bytesNeeded > input.freeBytes, "refused only when short of room");
    }

    if (outcome == VerifyFailure) {
        for (const auto& [key, value] : after) {
            auto found = before.find(key);
            if (found != before.end() && found->second == value) continue;
            bool engine = false;
            for (const char* name : EngineExecutables)
                engine = engine || mp::SamePath(Join("C:", key), Join(gameFolder, name));
            Require(engine, "a failed verification changes nothing but the engine executable", key);
        }
        Require(before.size() <= after.size(), "a failed verification deletes nothing");
    }
    if (outcome == CopyFailure) {
        for (const auto& [key, value] : before)
            Require(after.count(key) == 1, "a failed copy deletes nothing", key);
        for (const auto& [key, value] : after) {
            auto found = before.find(key);
            if (found == before.end() || found->second.compare(0, found->second.rfind('/'), value, 0, value.rfind('/')) == 0)
                continue;
            Require(value.compare(0, 5 + strlen(ContentMark), std::string("file:") + ContentMark) == 0,
                    "a failed copy writes nothing but update files", key);
        }
    }
    // A failed search of the update folder itself counts as an empty patch, so its
    // files are skipped without a failure; the completed-run check then does not apply.
    bool searchFailed = false;
    for (const auto& [letter, n] : input.failures)
        searchFailed = searchFailed || (letter == 'f' && n >= 1 && mp::OperationCount(mp::Operation::FindFirst) >= n);
    if (outcome == Completed && !searchFailed) {
        for (const auto& relative : mp::ListTree(updateRoot)) {
            if (relative.back() == '\\') continue;
            std::string source = Join(updateRoot, relative), destination = Join(gameFolder, relative);
            if (mp::IsFile(destination)) {
                Require(mp::FileContent(destination) == mp::FileContent(source), "a completed run copied every file",
                        destination);
                continue;
            }
            bool deleted = false;
            for (const auto& request : mp::DeleteRequests())
                deleted = deleted || (request.deleted && mp::SamePath(request.path, destination));
            Require(deleted, "a completed run copied every file", destination);
        }
    }
    return 0;
}
