// How the program reads its command line, for any text unit: the Shift-JIS
// bytes the program works with and the UTF-16 units Windows hands over, so that
// the boundary converts exactly the spans the program will take as paths.
//
//   "C:\Patch\update.exe" [/S] [/LOG=FILE] ["D:\Games\Title\" | D:\Games\Title | /D=D:\Games\Title]
//
// The program path comes first: quoted up to its closing quote, else up to the
// first blank. Options follow, in any order and in any letter case; an option
// the program does not know is skipped. The first argument that is not an
// option names the game folder, and nothing after it is read: quoted, it ends
// at the next quote (a backslash before that quote belongs to the path, as in
// "D:\"); unquoted, and after /D=, it runs to the end of the line, trailing
// blanks left out, so a path with spaces needs no quotes. A /LOG= value is
// quoted or ends at the next blank.
//
// Every syntax character is ASCII below 0x40, which is never the second byte
// of a Shift-JIS character, so the bytes can be read one at a time.
#ifndef UPDATE_COMMAND_LINE_SYNTAX_H
#define UPDATE_COMMAND_LINE_SYNTAX_H

// Unit positions into the line; a span that is absent has start -1.
struct CommandLineSpans {
    int programStart, programEnd;  // without the quotes
    bool silent;                   // /S
    int logStart, logEnd;          // the /LOG= value, without quotes
    int folderStart, folderEnd;    // the game folder, without quotes
};

namespace command_line_syntax {

template <typename Unit>
bool IsBlank(Unit unit) {
    return unit == ' ' || unit == '\t';
}

template <typename Unit>
bool EndsArgument(Unit unit) {
    return unit == 0 || IsBlank(unit);
}

// The option at line[at] ("/" already seen there) is name, in any letter case,
// up to and including name's last character.
template <typename Unit>
bool IsOption(const Unit* line, int at, const char* name) {
    for (int i = 0; name[i]; ++i) {
        Unit unit = line[at + 1 + i];
        if (unit >= 'a' && unit <= 'z') unit = (Unit)(unit - 'a' + 'A');
        if (unit != (Unit)name[i]) return false;
    }
    return true;
}

// A value from at: quoted up to the next quote, else up to the next blank
// (toLineEnd false) or to the end of the line less trailing blanks. The
// position after the value.
template <typename Unit>
int TakeValue(const Unit* line, int at, bool toLineEnd, int* start, int* end) {
    int i = at;
    if (line[i] == '"') {
        *start = ++i;
        while (line[i] && line[i] != '"') ++i;
        *end = i;
        return line[i] ? i + 1 : i;
    }
    *start = i;
    if (toLineEnd) {
        while (line[i]) ++i;
        int last = i;
        while (last > at && IsBlank(line[last - 1])) --last;
        *end = last;
        return i;
    }
    while (!EndsArgument(line[i])) ++i;
    *end = i;
    return i;
}

}  // namespace command_line_syntax

template <typename Unit>
void SplitCommandLine(const Unit* line, CommandLineSpans* spans) {
    using namespace command_line_syntax;
    *spans = CommandLineSpans{0, 0, false, -1, -1, -1, -1};
    int i = 0;
    if (line[0] == '"') {
        spans->programStart = i = 1;
        while (line[i] && line[i] != '"') ++i;
        spans->programEnd = i;
        if (line[i]) ++i;
    } else {
        while (!EndsArgument(line[i])) ++i;
        spans->programEnd = i;
    }
    for (;;) {
        while (IsBlank(line[i])) ++i;
        if (!line[i]) return;
        if (line[i] != '/') {
            TakeValue(line, i, true, &spans->folderStart, &spans->folderEnd);
            return;
        }
        if (IsOption(line, i, "S") && EndsArgument(line[i + 2])) {
            spans->silent = true;
            i += 2;
        } else if (IsOption(line, i, "LOG=")) {
            i = TakeValue(line, i + 5, false, &spans->logStart, &spans->logEnd);
        } else if (IsOption(line, i, "D=")) {
            TakeValue(line, i + 3, true, &spans->folderStart, &spans->folderEnd);
            return;
        } else {
            while (!EndsArgument(line[i])) ++i;  // an option the program does not know
        }
    }
}

#endif
