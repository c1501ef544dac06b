#include "state/user_messages.h"

#include "state/command_line_choices.h"
#include "state/progress.h"

namespace {

// Room for an escaped piece: a character escapes to two bytes at most.
enum { PieceSize = 512 };

// Appends text with its escapes, a piece at a time.
void AppendEscaped(FileWriter log, const char* text) {
    char piece[PieceSize];
    size_t used = 0;
    for (const char* p = text; *p;) {
        size_t length = PlatformIsLeadByte((unsigned char)*p) && p[1] ? 2 : 1;
        const char* escape = *p == '\\' ? "\\\\" : *p == '\n' ? "\\n" : *p == '\r' ? "\\r" : *p == '\t' ? "\\t" : 0;
        if (used + 2 >= sizeof piece) {
            piece[used] = '\0';
            PlatformAppendText(log, piece);
            used = 0;
        }
        if (escape) {
            piece[used++] = escape[0];
            piece[used++] = escape[1];
            ++p;
        } else {
            for (size_t i = 0; i < length && *p; ++i) piece[used++] = *p++;
        }
    }
    piece[used] = '\0';
    PlatformAppendText(log, piece);
}

}  // namespace

void ShowUserMessage(WindowHandle owner, const char* text, const char* title, unsigned type) {
    // Every box ends the progress shown before it: the box stands alone, as it always has.
    ProgressEnd();
    if (!CommandLineChoices.Silent) {
        PlatformMessageBox(owner, text, title, type);
        return;
    }
    FileWriter log;
    if (CommandLineChoices.LogFile[0] == '\0' || PlatformOpenFileForAppending(CommandLineChoices.LogFile, &log) != 0)
        return;
    AppendEscaped(log, title);
    PlatformAppendText(log, "\t");
    AppendEscaped(log, text);
    PlatformAppendText(log, "\r\n");
    PlatformCloseFileWriter(log);
}
