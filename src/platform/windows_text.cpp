#include "platform/windows_text.h"

#include <string.h>

#include "platform/command_line_syntax.h"

namespace {

int WideLength(const WideChar* wide) {
    int length = 0;
    while (wide[length]) ++length;
    return length;
}

bool IsHighSurrogate(WideChar unit) { return unit >= 0xD800 && unit < 0xDC00; }

// Ends text after count bytes, or empties it when the conversion did not fit.
int Terminate(char* text, int count) {
    text[count < 0 ? 0 : count] = '\0';
    return count < 0 ? 1 : 0;
}

}  // namespace

int ToWide(const char* text, WideChar* wide, int wideSize) {
    if (wideSize < 1) return 1;
    int count = ShiftJisToUtf16(text, (int)strlen(text), wide, wideSize - 1);
    wide[count < 0 ? 0 : count] = 0;
    return count < 0 ? 1 : 0;
}

int ConvertNamingForm(const WideChar* wide, int length, const WideChar* shortForm, int shortLength, char* text,
                      int size) {
    // Failing both, the '?' form stands: it names nothing, so whatever uses it
    // fails where it would for a missing file.
    int inexact = 0;
    int count = Utf16ToShiftJis(wide, length, text, size, &inexact);
    if ((count >= 0 && !inexact) || !shortForm || shortLength <= 0) return count;
    int shortInexact = 0;
    int shortCount = Utf16ToShiftJis(shortForm, shortLength, text, size, &shortInexact);
    if (shortCount >= 0 && !shortInexact) return shortCount;
    return Utf16ToShiftJis(wide, length, text, size, &inexact);  // the short form overwrote it
}

int NameFromWide(const WideChar* name, const WideChar* shortForm, char* text, int size) {
    if (size < 1) return 1;
    return Terminate(text, ConvertNamingForm(name, WideLength(name), shortForm, shortForm ? WideLength(shortForm) : 0,
                                             text, size - 1));
}

namespace {

// Converts units [from, to) of line one character at a time into text from
// *used on; false when a character did not fit.
bool ConvertCharacters(const WideChar* line, int from, int to, char* text, int size, int* used) {
    int inexact = 0;
    for (int i = from; i < to;) {
        int units = IsHighSurrogate(line[i]) && i + 1 < to ? 2 : 1;
        int count = Utf16ToShiftJis(line + i, units, text + *used, size - 1 - *used, &inexact);
        if (count < 0) return false;
        *used += count;
        i += units;
    }
    return true;
}

}  // namespace

namespace {

// The value of span as a name in Shift-JIS (its full form where resolve is set,
// its short one where only that converts exactly) into path; "|", which names
// nothing, when the value or its form does not fit, so that a cut path can
// never name another file or folder.
void ConvertValue(const WideChar* line, const ArgumentSpan& span, LookUpPathForms lookUp, char* path, int size) {
    static WideChar value[WideTextUnits];
    static PathForms forms;
    int length = ArgumentValue(line, span, value, WideTextUnits);
    forms.full[0] = forms.shortForm[0] = 0;
    if (length >= 0 && lookUp) lookUp(value, length, true, &forms);
    const WideChar* full = forms.full[0] ? forms.full : value;
    int written = length < 0 ? -1
                             : ConvertNamingForm(full, WideLength(full), forms.shortForm, WideLength(forms.shortForm),
                                                 path, size - 1);
    if (written < 0) written = 0, path[written++] = '|';
    path[written] = '\0';
}

}  // namespace

int CommandLineFromWide(const WideChar* line, LookUpPathForms lookUp, char* text, int size) {
    if (size < 2) return 1;
    CommandLineSpans spans;
    SplitCommandLine(line, &spans);
    int used = 0;
    // The program path as it stands, only its short form looked up.
    if (!ConvertCharacters(line, 0, spans.programStart, text, size, &used)) return Terminate(text, used);
    static PathForms forms;
    forms.full[0] = forms.shortForm[0] = 0;
    if (lookUp) lookUp(line + spans.programStart, spans.programEnd - spans.programStart, false, &forms);
    int written = ConvertNamingForm(line + spans.programStart, spans.programEnd - spans.programStart,
                                    forms.shortForm, WideLength(forms.shortForm), text + used, size - 1 - used);
    if (written < 0) return Terminate(text, -1);
    used += written;
    int programEnd = spans.programEnd + (spans.programStart > 0 && line[spans.programEnd] ? 1 : 0);
    if (!ConvertCharacters(line, spans.programEnd, programEnd, text, size, &used)) return Terminate(text, used);

    // The choices written anew, in quotes, the game folder before the log file
    // (whose loss only loses the log); the arguments not understood as they stand.
    static char path[WideTextUnits * 2];
    // Without /S or the game folder the run would be another one: a window, or
    // the registry's folder. Where they do not fit, the whole line fails.
    if (spans.silent) {
        if (used + 3 >= size) return Terminate(text, -1);
        memcpy(text + used, " /S", 3);
        used += 3;
    }
    if (spans.folder.start >= 0) {
        ConvertValue(line, spans.folder, lookUp, path, sizeof path);
        if (!AppendQuotedArgument(text, size, &used, "/D=", path) && !AppendQuotedArgument(text, size, &used, "/D=", "|"))
            return Terminate(text, -1);
    }
    if (spans.log.start >= 0) {
        ConvertValue(line, spans.log, lookUp, path, sizeof path);
        if (!AppendQuotedArgument(text, size, &used, "/LOG=", path) &&
            !AppendQuotedArgument(text, size, &used, "/LOG=", "|"))
            return Terminate(text, used);
    }
    for (int k = 0; k < spans.unknownCount && k < UnknownArgumentCapacity; ++k) {
        int before = used;
        if (used + 1 >= size) break;
        text[used++] = ' ';
        if (!ConvertCharacters(line, spans.unknown[k].start, spans.unknown[k].end, text, size, &used)) {
            used = before;  // never half an argument
            break;
        }
    }
    return Terminate(text, used);
}
