#include "state/user_messages.h"

#include <stdarg.h>

#include "text/text.h"
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

// One line of the log: first, then a tab and second when there is a second.
void AppendLogLine(const char* first, const char* second) {
    FileWriter log;
    if (CommandLineChoices.LogFile[0] == '\0' || PlatformOpenFileForAppending(CommandLineChoices.LogFile, &log) != 0)
        return;
    AppendEscaped(log, first);
    if (second) {
        PlatformAppendText(log, "\t");
        AppendEscaped(log, second);
    }
    PlatformAppendText(log, "\r\n");
    PlatformCloseFileWriter(log);
}

// Ends a text cut at size - 1 bytes at its last whole character.
void EndAtCharacter(char* text, size_t size) {
    size_t i = 0;
    while (text[i]) {
        size_t length = CharacterLength(text + i);
        if (i + length > size - 1) break;
        i += length;
    }
    text[i] = '\0';
}

}  // namespace

void ShowUserMessage(WindowHandle owner, const char* text, const char* title, unsigned type) {
    // Every box ends the progress shown before it: the box stands alone, as it always has.
    ProgressEnd();
    if (!CommandLineChoices.Silent) {
        PlatformMessageBox(owner, text, title, type);
        return;
    }
    AppendLogLine(title, text);
}

void NoteInLog(const char* format, ...) {
    if (CommandLineChoices.LogFile[0] == '\0') return;
    static char note[NoteSize];
    note[0] = '#';
    note[1] = ' ';
    va_list arguments;
    va_start(arguments, format);
    int cut = FormatTextList(note + 2, sizeof note - 2, format, arguments);
    va_end(arguments);
    if (cut) EndAtCharacter(note, sizeof note);
    // A tab in an argument would be escaped anyway; none is written raw.
    AppendLogLine(note, 0);
}

void NoteStoppedAt(const char* stage, const char* path, unsigned error) {
    // The system's texts are short; one that is not is left out.
    char reason[512];
    if (PlatformErrorText(error, reason, sizeof reason) == 0)
        NoteInLog("%sが止まりました: %s: %s (エラー %u)", stage, path, reason, error);
    else
        NoteInLog("%sが止まりました: %s: エラー %u", stage, path, error);
}
