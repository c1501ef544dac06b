#include "windows_text.h"

#include <string.h>

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

void ProgramPathSpan(const WideChar* line, int* start, int* end) {
    int i = 0;
    if (line[0] == '"') {
        i = 1;
        *start = 1;
        while (line[i] && line[i] != '"') ++i;
    } else {
        *start = 0;
        while (line[i] && line[i] != ' ' && line[i] != '\t') ++i;
    }
    *end = i;
}

int CommandLineFromWide(const WideChar* line, const WideChar* shortProgramPath, char* text, int size) {
    int start, end;
    ProgramPathSpan(line, &start, &end);
    if (size < 2) return 1;
    int used = 0;
    int inexact = 0;
    if (start > 0) text[used++] = '"';  // the opening quote
    int count = ConvertNamingForm(line + start, end - start, shortProgramPath,
                                  shortProgramPath ? WideLength(shortProgramPath) : 0, text + used, size - 1 - used);
    if (count < 0) return Terminate(text, count);
    used += count;
    // The rest, one character at a time, as much of it as fits.
    const WideChar* rest = line + end;
    int restLength = WideLength(rest);
    for (int i = 0; i < restLength;) {
        int units = IsHighSurrogate(rest[i]) && i + 1 < restLength ? 2 : 1;
        count = Utf16ToShiftJis(rest + i, units, text + used, size - 1 - used, &inexact);
        if (count < 0) break;
        used += count;
        i += units;
    }
    return Terminate(text, used);
}
