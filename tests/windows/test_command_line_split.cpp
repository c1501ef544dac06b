// The command line's arguments as the system splits them: every argument that
// is not the game folder is read by the rules of CommandLineToArgvW, so the
// program's reading of each line here must match the system's own.
#include <gtest/gtest.h>
#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "platform/command_line_syntax.h"

namespace {

std::vector<std::wstring> SplitAsTheProgramDoes(const wchar_t* line) {
    using namespace command_line_syntax;
    CommandLineSpans spans;
    SplitCommandLine(line, &spans);
    int i = spans.programEnd + (line[0] == L'"' && line[spans.programEnd] ? 1 : 0);
    std::vector<std::wstring> arguments;
    for (;;) {
        while (IsBlank(line[i])) ++i;
        if (!line[i]) return arguments;
        wchar_t text[256];
        ArgumentSink sink = SinkInto(text, 256, 0);
        i = ReadArgument(UnitsOf(line), i, -1, false, &sink);
        text[sink.count < 255 ? sink.count : 255] = 0;
        arguments.push_back(text);
    }
}

std::vector<std::wstring> SplitAsTheSystemDoes(const wchar_t* line) {
    int count = 0;
    wchar_t** argv = CommandLineToArgvW(line, &count);
    std::vector<std::wstring> arguments;
    for (int k = 1; k < count; ++k) arguments.push_back(argv[k]);
    LocalFree(argv);
    return arguments;
}

TEST(CommandLineSplit, ArgumentsAreTheOnesCommandLineToArgvWGives) {
    const wchar_t* lines[] = {
        L"\"C:\\Patch\\update.exe\" /S \"/LOG=C:\\My Logs\\x.log\"",
        L"update.exe /LOG=\"C:\\My Logs\"\\x.log \"x\"y\"z\"",
        L"update.exe \"/LOG=C:\\a \\\"quoted\\\" name.log\" /s",
        L"update.exe \"/LOG=C:\\logs\\\\\" a\\\\\\\"b \"c\\\\\" d\\\\e",
        L"update.exe \"/LOG=C:\\a\"\"b.log\" x",
        L"update.exe \"a\"\"b c\" d",
        L"update.exe \"\"\"a\"\"\" b \"\"\"\"",
        L"update.exe \"\" x\t\t/Y=\"1 2\"",
        L"update.exe \"/X=an unclosed quote",
        L"update.exe /LOG=C:\\\"My Logs\"\\x.log",
        L"\"C:\\Patch\\update.exe\" ",
    };
    for (const wchar_t* line : lines) {
        SCOPED_TRACE(::testing::PrintToString(std::wstring(line)));
        EXPECT_EQ(SplitAsTheProgramDoes(line), SplitAsTheSystemDoes(line));
    }
}

}  // namespace
