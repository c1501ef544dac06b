#include "shell/command_line_choices_reader.h"

#include "platform/command_line_syntax.h"
#include "platform/platform.h"
#include "state/user_messages.h"

namespace {

// Room for the text of an argument not understood, as it is noted: a longer
// one is noted cut.
enum { NotedArgumentSize = 256 };

// The text of an argument not understood, cut at a character when it is long.
void NoteNotUnderstood(const char* line, const ArgumentSpan& span) {
    char text[NotedArgumentSize];
    if (ArgumentValue(line, span, text, sizeof text) < 0) {
        ArgumentSpan head = span;
        int at = span.start;
        // The first characters as they stand, well inside the text's room.
        while (at < span.end && at - span.start < NotedArgumentSize - 8)
            at += command_line_syntax::CharacterUnits(line, at);
        head.end = at;
        if (ArgumentValue(line, head, text, sizeof text) < 0) text[0] = '\0';
        NoteInLog("分からない引数を読み飛ばしました: %s…", text);
        return;
    }
    NoteInLog("分からない引数を読み飛ばしました: %s", text);
}

}  // namespace

void ReadCommandLineChoices() {
    const char* line = PlatformCommandLine();
    CommandLineSpans spans;
    SplitCommandLine(line, &spans);
    CommandLineChoicesRecord& choices = CommandLineChoices;
    choices.Silent = spans.silent;
    choices.LogFile[0] = '\0';
    // A log file that does not fit names none.
    if (spans.log.start >= 0) ArgumentValue(line, spans.log, choices.LogFile, sizeof choices.LogFile);
    choices.GameFolderGiven = spans.folder.start >= 0;
    choices.GameFolderFits =
        choices.GameFolderGiven &&
        ArgumentValue(line, spans.folder, choices.GameFolderArgument, sizeof choices.GameFolderArgument) >= 0;
    // The boundary hands over the first UnknownArgumentCapacity of them.
    for (int k = 0; k < spans.unknownCount && k < UnknownArgumentCapacity; ++k) NoteNotUnderstood(line, spans.unknown[k]);
}
