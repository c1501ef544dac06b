#include "shell/command_line_choices_reader.h"

#include <string.h>

#include "platform/command_line_syntax.h"
#include "platform/platform.h"

namespace {

// Copies the span into field; false, and the field empty, when it does not fit.
bool CopySpan(const char* line, int start, int end, char* field, size_t size) {
    size_t length = (size_t)(end - start);
    field[0] = '\0';
    if (length >= size) return false;
    memcpy(field, line + start, length);
    field[length] = '\0';
    return true;
}

}  // namespace

void ReadCommandLineChoices() {
    const char* line = PlatformCommandLine();
    CommandLineSpans spans;
    SplitCommandLine(line, &spans);
    CommandLineChoicesRecord& choices = CommandLineChoices;
    choices.Silent = spans.silent;
    choices.LogFile[0] = '\0';
    if (spans.logStart >= 0) CopySpan(line, spans.logStart, spans.logEnd, choices.LogFile, sizeof choices.LogFile);
    choices.GameFolderGiven = spans.folderStart >= 0;
    choices.GameFolderFits = choices.GameFolderGiven &&
                             CopySpan(line, spans.folderStart, spans.folderEnd, choices.GameFolderArgument,
                                      sizeof choices.GameFolderArgument);
}
