#include "shell/program_folder.h"

#include <string.h>

#include "platform/command_line_syntax.h"
#include "platform/platform.h"

int LocateProgramFolder() {
    const char* commandLine = PlatformCommandLine();
    ProgramFolder[0] = '\0';

    // The program path is the first token; arguments never take part.
    CommandLineSpans spans;
    SplitCommandLine(commandLine, &spans);
    const char* start = commandLine + spans.programStart;
    const char* end = commandLine + spans.programEnd;
    if ((size_t)(end - start) >= ProgramFolderSize) return 1;

    // Last backslash of the path, stepping over double-byte characters whose
    // second byte happens to be 0x5C.
    const char* lastSeparator = 0;
    for (const char* p = start; p < end; ++p) {
        if (PlatformIsLeadByte((unsigned char)*p) && p + 1 < end) {
            ++p;
        } else if (*p == '\\') {
            lastSeparator = p;
        }
    }
    // A program started by its bare name (update typed in its own folder)
    // lies in the current folder, not at the root of the current drive.
    if (!lastSeparator) {
        if (end > start) strcpy(ProgramFolder, ".");
        return 0;
    }

    size_t length = (size_t)(lastSeparator - start);
    memcpy(ProgramFolder, start, length);
    ProgramFolder[length] = '\0';
    return 0;
}
