#include "windows_text.h"

namespace {

int WideLength(const WideChar* wide) {
    int length = 0;
    while (wide[length]) ++length;
    return length;
}

int TextLength(const char* text) {
    int length = 0;
    while (text[length]) ++length;
    return length;
}

bool IsHighSurrogate(WideChar unit) { return unit >= 0xD800 && unit < 0xDC00; }

}  // namespace

int ToWide(const char* text, WideChar* wide, int wideSize) {
    if (wideSize < 1) return 1;
    int count = ShiftJisToUtf16(text, TextLength(text), wide, wideSize - 1);
    if (count < 0) return 1;
    wide[count] = 0;
    return 0;
}

int FromWide(const WideChar* wide, char* text, int size, int* inexact) {
    *inexact = 0;
    if (size < 1) return 1;
    int count = Utf16ToShiftJis(wide, WideLength(wide), text, size - 1, inexact);
    if (count < 0) {
        text[0] = '\0';
        return 1;
    }
    text[count] = '\0';
    return 0;
}

int ConvertNamingForm(const WideChar* wide, int length, const WideChar* shortForm, int shortLength, char* text,
                      int size) {
    int inexact = 0;
    int count = Utf16ToShiftJis(wide, length, text, size, &inexact);
    if (count >= 0 && !inexact) return count;
    if (shortForm && shortLength > 0) {
        int shortInexact = 0;
        int shortCount = Utf16ToShiftJis(shortForm, shortLength, text, size, &shortInexact);
        if (shortCount >= 0 && !shortInexact) return shortCount;
    }
    // The '?' form names nothing, so whatever uses it fails where it would
    // for a missing file.
    return Utf16ToShiftJis(wide, length, text, size, &inexact);
}

int NameFromWide(const WideChar* name, const WideChar* shortForm, char* text, int size) {
    if (size < 1) return 1;
    int count = ConvertNamingForm(name, WideLength(name), shortForm, shortForm ? WideLength(shortForm) : 0, text,
                                  size - 1);
    if (count < 0) {
        text[0] = '\0';
        return 1;
    }
    text[count] = '\0';
    return 0;
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
    if (count < 0) {
        text[0] = '\0';
        return 1;
    }
    used += count;
    // The rest, as much of it as fits, one character at a time once it does
    // not fit as a whole.
    const WideChar* rest = line + end;
    int restLength = WideLength(rest);
    count = Utf16ToShiftJis(rest, restLength, text + used, size - 1 - used, &inexact);
    if (count >= 0) {
        used += count;
    } else {
        for (int i = 0; i < restLength;) {
            int units = IsHighSurrogate(rest[i]) && i + 1 < restLength ? 2 : 1;
            count = Utf16ToShiftJis(rest + i, units, text + used, size - 1 - used, &inexact);
            if (count < 0) break;
            used += count;
            i += units;
        }
    }
    text[used] = '\0';
    return 0;
}

int RegistryStringFromWide(const WideChar* data, int units, char* buffer, unsigned* size, int* inexact) {
    *inexact = 0;
    int count = Utf16ToShiftJis(data, units, buffer, (int)*size, inexact);
    if (count < 0) return 1;
    *size = (unsigned)count;
    return 0;
}
