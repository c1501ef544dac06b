// The platform boundary on an in-memory machine. It mirrors the Win32 behaviour
// the program relies on and nothing more. This file holds the machine itself,
// the process, message boxes, the registry, windows and fonts; the files are
// the other memory_*.cpp files (see memory_machine.h).
#include "platform/memory/platform_memory.h"

#include "platform/command_line_syntax.h"
#include "platform/memory/memory_machine.h"

namespace memory_platform {

Machine& State() {
    static Machine machine;
    return machine;
}

void Reset() { State() = Machine(); }

void SetCommandLine(const std::string& commandLine) {
    State().commandLine = commandLine;
    State().commandLineRead = false;
}

const std::string& CurrentDirectory() { return State().currentDirectory; }

const std::vector<MessageBoxRecord>& MessageBoxes() { return State().boxes; }

void AddRegistryKey(const std::string& keyPath) { State().registry[LowerAscii(keyPath)]; }

void SetRegistryValue(const std::string& keyPath, const std::string& name, unsigned type,
                      const std::string& bytes) {
    State().registry[LowerAscii(keyPath)][LowerAscii(name)] = RegistryValue{type, bytes};
}

void SetRegistryString(const std::string& keyPath, const std::string& name, const std::string& text) {
    SetRegistryValue(keyPath, name, RegistryString, text + std::string(1, '\0'));
}

int OpenKeyCount() { return State().openKeys; }

int FlushCount() { return State().flushes; }

const std::vector<WindowCall>& WindowCalls() { return State().windowCalls; }

const std::vector<FontDescription>& CreatedFonts() { return State().fonts; }

int LiveFontCount() { return State().liveFonts; }

void FailFontCreation(bool fail) { State().failFonts = fail; }

}  // namespace memory_platform

using namespace memory_platform;

// ---- The boundary ----

// As the Win32 boundary hands it over: the program path as it stands, then /S,
// the game folder and the log file written anew in quotes, a relative one
// resolved against the folder the program was started in (before start-up
// changes the current folder), then the arguments not understood as they stand.
const char* PlatformCommandLine() {
    Machine& machine = State();
    if (machine.commandLineRead) return machine.commandLineAsRead.c_str();
    machine.commandLineRead = true;
    std::string line = machine.commandLine.c_str();  // the program sees it up to its first NUL
    CommandLineSpans spans;
    SplitCommandLine(line.c_str(), &spans);
    auto resolved = [&](const ArgumentSpan& span) {
        std::vector<char> value(line.size() + 1);
        ArgumentValue(line.c_str(), span, value.data(), (int)value.size());
        std::string path = value.data();
        const std::string& current = machine.currentDirectory;
        if (current.empty()) return path;
        // Wine takes a path in forward slashes from the root for a Linux path:
        // Z:, the Linux root. A backslash from the root stays on the current drive.
        bool linuxPath = path.size() > 1 && path[0] == '/' && path[1] != '/';
        for (char& unit : path)
            if (unit == '/') unit = '\\';  // as the system's full form has it
        bool fromRoot = !path.empty() && path[0] == '\\' && !(path.size() > 1 && path[1] == '\\');
        if (path.size() > 1 && path[1] == ':') return path;
        if (linuxPath) return "Z:" + path;
        if (fromRoot) return current.substr(0, 2) + path;
        if (path.empty() || path[0] == '\\') return path;
        return current + "\\" + path;
    };
    size_t programEnd = (size_t)spans.programEnd + (line[0] == '"' && line[(size_t)spans.programEnd] ? 1 : 0);
    std::string read = line.substr(0, programEnd);
    auto append = [&](const char* name, const std::string& value) {
        std::vector<char> text(value.size() * 2 + 16);
        int used = 0;
        AppendQuotedArgument(text.data(), (int)text.size(), &used, name, value.c_str());
        read += text.data();
    };
    if (spans.silent) read += " /S";
    if (spans.folder.start >= 0) append("/D=", resolved(spans.folder));
    if (spans.log.start >= 0) append("/LOG=", resolved(spans.log));
    for (int k = 0; k < spans.unknownCount && k < UnknownArgumentCapacity; ++k)
        read += " " + line.substr((size_t)spans.unknown[k].start, (size_t)(spans.unknown[k].end - spans.unknown[k].start));
    machine.commandLineAsRead = read;
    return machine.commandLineAsRead.c_str();
}

int PlatformSetCurrentDirectory(const char* path) {
    if (!IsDirectory(path)) return 1;
    State().currentDirectory = path;
    return 0;
}

void PlatformMessageBox(WindowHandle owner, const char* text, const char* title, unsigned type) {
    State().boxes.push_back(MessageBoxRecord{owner, text, title, type});
}

unsigned PlatformLastError() { return State().lastError; }

// The machine knows no texts of the system: the log gives the number alone.
int PlatformErrorText(unsigned, char*, size_t) { return 1; }

int PlatformIsLeadByte(unsigned char byte) { return IsShiftJisLeadByte(byte) ? 1 : 0; }

int PlatformOpenUserKey(const char* keyPath, RegistryKey* key) {
    std::string wanted = LowerAscii(keyPath);
    bool exists = wanted.empty();
    for (const auto& [path, values] : State().registry)
        if (path == wanted || path.compare(0, wanted.size() + 1, wanted + "\\") == 0) exists = true;
    if (!exists) return 1;
    ++State().openKeys;
    *key = new std::string(wanted);
    return 0;
}

int PlatformQueryValue(RegistryKey key, const char* valueName, unsigned* type, void* buffer,
                       unsigned* size) {
    auto keyFound = State().registry.find(*(std::string*)key);
    if (keyFound == State().registry.end()) return 1;
    auto valueFound = keyFound->second.find(LowerAscii(valueName));
    if (valueFound == keyFound->second.end()) return 1;
    const RegistryValue& value = valueFound->second;
    if (value.bytes.size() > *size) return 1;  // ERROR_MORE_DATA; the buffer stays untouched
    value.bytes.copy((char*)buffer, value.bytes.size());
    *type = value.type;
    *size = (unsigned)value.bytes.size();
    return 0;
}

void PlatformFlushKey(RegistryKey) { ++State().flushes; }

void PlatformCloseKey(RegistryKey key) {
    delete (std::string*)key;
    --State().openKeys;
}

void PlatformShowWindow(WindowHandle window, int command) {
    State().windowCalls.push_back(WindowCall{"show", window, command, ""});
}

void PlatformSetWindowText(WindowHandle window, const char* text) {
    State().windowCalls.push_back(WindowCall{"text", window, 0, text});
}

void PlatformSetFocus(WindowHandle window) {
    State().windowCalls.push_back(WindowCall{"focus", window, 0, ""});
}

void PlatformDestroyWindow(WindowHandle window) {
    State().windowCalls.push_back(WindowCall{"destroy", window, 0, ""});
}

FontHandle PlatformCreateFont(const FontDescription* description) {
    State().fonts.push_back(*description);
    if (State().failFonts) return 0;
    ++State().liveFonts;
    return (FontHandle)(intptr_t)State().fonts.size();
}

void PlatformDeleteFont(FontHandle) { --State().liveFonts; }
