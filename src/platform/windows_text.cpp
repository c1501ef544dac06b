#include "windows_text.h"

#include <string.h>

#include "command_line_syntax.h"

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

int CommandLineFromWide(const WideChar* line, LookUpPathForms lookUp, char* text, int size) {
    if (size < 2) return 1;
    CommandLineSpans spans;
    SplitCommandLine(line, &spans);
    const int starts[] = {spans.programStart, spans.logStart, spans.folderStart};
    const int ends[] = {spans.programEnd, spans.logEnd, spans.folderEnd};
    static PathForms forms;
    int used = 0;
    int at = 0;
    for (int p = 0; p < 3; ++p) {
        if (starts[p] < 0) continue;
        if (!ConvertCharacters(line, at, starts[p], text, size, &used)) return Terminate(text, used);
        bool resolve = p > 0;
        forms.full[0] = forms.shortForm[0] = 0;
        if (lookUp) lookUp(line + starts[p], ends[p] - starts[p], resolve, &forms);
        const WideChar* full = resolve && forms.full[0] ? forms.full : line + starts[p];
        int fullLength = resolve && forms.full[0] ? WideLength(forms.full) : ends[p] - starts[p];
        int written = ConvertNamingForm(full, fullLength, forms.shortForm, WideLength(forms.shortForm), text + used,
                                        size - 1 - used);
        if (written < 0) {
            if (p == 0) return Terminate(text, -1);
            if (used + 1 < size) text[used++] = '|';
            return Terminate(text, used);
        }
        used += written;
        at = ends[p];
    }
    ConvertCharacters(line, at, WideLength(line), text, size, &used);
    return Terminate(text, used);
}
