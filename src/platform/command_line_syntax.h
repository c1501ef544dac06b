// How the program reads its command line, for any text unit: the Shift-JIS
// bytes the program works with and the UTF-16 units Windows hands over, so that
// the boundary converts exactly the arguments the program will take as paths.
//
//   "C:\Patch\update.exe" [/S] [/LOG=FILE] ["D:\Games\Title\" | D:\Games\Title | /D=D:\Games\Title] [/S] ...
//
// The program path comes first: quoted up to its closing quote, else up to the
// first blank. The arguments follow, split as Windows programs split them
// (CommandLineToArgvW): blanks outside quotes separate; a quote starts or ends
// a quoted part anywhere in an argument; 2n backslashes before a quote are n
// backslashes and the quote counts, 2n+1 are n and a literal quote; inside
// quotes "" is a literal quote and ends the quoted part; other backslashes are
// themselves. So "/LOG=C:\My Logs\x.log", /LOG="C:\My Logs\x.log" and
// /LOG="C:\My Logs"\x.log are one argument with one value.
//
// An argument whose text starts with "/" is an option, in any letter case: /S,
// /LOG=FILE (the last one counts), /D=FOLDER. Any other option is not
// understood, and neither is a second game folder. An argument that is not an
// option names the game folder, as does one that looks like an option but is a
// path with forward slashes (/home/deck/Games/X, a path from the root of the
// current drive, Z: under Wine started from a Linux folder).
//
// The game folder (bare or after /D=) keeps rules of its own. Its quotes never
// belong to the path, and an odd run of backslashes before a quote stays whole:
// Explorer passes a dropped drive root as "D:\", where the backslash is the
// path's; an even run is halved, as launchers double the backslashes before a
// closing quote ("D:\My Games\\"). A folder with a quote before its first blank
// outside quotes ends at that blank, and options after it count; a folder
// without one runs to the end of the line, trailing blanks left out, so that a
// path with spaces needs no quotes (and options after it are part of it).
//
// Every syntax character is ASCII below 0x60; the second byte of a Shift-JIS
// character may be a backslash (表 is 0x95 0x5C), so bytes are read a
// character at a time: a lead byte takes the byte after it along.
#ifndef UPDATE_COMMAND_LINE_SYNTAX_H
#define UPDATE_COMMAND_LINE_SYNTAX_H

// One argument: the units [start, end) of the line as written, whose text
// (quotes and escapes read) less its first skip units is the value. start is
// -1 when there is none.
struct ArgumentSpan {
    int start, end;
    int skip;         // the option's name: 5 for /LOG=, 3 for /D=, 0 otherwise
    bool folderRule;  // read with the game folder's rules
};

enum { UnknownArgumentCapacity = 8 };

struct CommandLineSpans {
    int programStart, programEnd;  // without the quotes
    bool silent;                   // /S
    ArgumentSpan log;              // the /LOG= option
    ArgumentSpan folder;           // the game folder, bare or /D=
    // The arguments not understood, in order: the first ones, and how many in all.
    int unknownCount;
    ArgumentSpan unknown[UnknownArgumentCapacity];
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

// Whether a unit starts a two-unit character: a Shift-JIS lead byte. A UTF-16
// unit is always one character as far as the syntax goes.
inline bool IsLeadUnit(char unit) {
    unsigned char byte = (unsigned char)unit;
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}
template <typename Unit>
bool IsLeadUnit(Unit) {
    return false;
}

// The units of the character at line[i]: 2 for a lead byte followed by a byte.
template <typename Unit>
int CharacterUnits(const Unit* line, int i) {
    return IsLeadUnit(line[i]) && line[i + 1] ? 2 : 1;
}

// Reads the argument at line[at] (not a blank) up to end (-1: up to where it
// ends), giving each unit of its text to emit(unit, context). The position
// after the argument.
template <typename Unit, typename Emit>
int ReadArgument(const Unit* line, int at, int end, bool folderRule, Emit emit) {
    bool quoted = false;
    int i = at;
    for (;;) {
        if (end >= 0 ? i >= end : (!line[i] || (!quoted && IsBlank(line[i])))) return i;
        if (line[i] == '\\') {
            int run = 0;
            while (line[i + run] == '\\' && (end < 0 || i + run < end)) ++run;
            bool beforeQuote = line[i + run] == '"' && (end < 0 || i + run < end);
            int kept = !beforeQuote ? run : folderRule ? (run % 2 ? run : run / 2) : run / 2;
            for (int k = 0; k < kept; ++k) emit((Unit)'\\');
            i += run;
            if (beforeQuote && !folderRule && run % 2) {
                emit((Unit)'"');
                ++i;
            }
        } else if (line[i] == '"') {
            ++i;
            if (quoted && !folderRule && line[i] == '"' && (end < 0 || i < end)) {
                emit((Unit)'"');  // "" inside quotes: a literal quote, and the quoted part ends
                ++i;
            }
            quoted = !quoted;
        } else {
            int units = CharacterUnits(line, i);
            for (int k = 0; k < units; ++k) emit(line[i + k]);
            i += units;
        }
    }
}

// Where the game folder at line[at] ends: a quote before its first blank outside
// quotes ends it at that blank, else it runs to the end of the line less
// trailing blanks.
template <typename Unit>
int FolderEnd(const Unit* line, int at) {
    bool quoted = false, sawQuote = false;
    int i = at;
    for (; line[i]; i += CharacterUnits(line, i)) {
        if (line[i] == '"') quoted = !quoted, sawQuote = true;
        else if (!quoted && IsBlank(line[i]) && sawQuote) return i;
    }
    while (i > at && IsBlank(line[i - 1])) --i;
    return i;
}

// The first units of an argument's text, upper-cased, NUL-terminated; how many
// there are in all.
template <typename Unit>
int ArgumentHead(const Unit* line, int at, int end, char* head, int size) {
    int count = 0;
    ReadArgument(line, at, end, false, [&](Unit unit) {
        if (count < size - 1) head[count] = unit >= 'a' && unit <= 'z' ? (char)(unit - 'a' + 'A')
                                            : unit > 0 && unit < 0x80  ? (char)unit
                                                                       : '?';
        ++count;
    });
    head[count < size - 1 ? count : size - 1] = '\0';
    return count;
}

// Whether the argument's text, starting with "/", is a path with forward
// slashes: a second "/" after a first component that holds no "=" or ":".
template <typename Unit>
bool IsSlashPath(const Unit* line, int at, int end) {
    int slashes = 0;
    bool optionLike = false;
    ReadArgument(line, at, end, false, [&](Unit unit) {
        if (unit == '/') ++slashes;
        else if (slashes == 1 && (unit == '=' || unit == ':')) optionLike = true;
    });
    return slashes >= 2 && !optionLike;
}

inline bool HeadIs(const char* head, const char* name) {
    for (int i = 0; name[i]; ++i)
        if (head[i] != name[i]) return false;
    return true;
}

}  // namespace command_line_syntax

template <typename Unit>
void SplitCommandLine(const Unit* line, CommandLineSpans* spans) {
    using namespace command_line_syntax;
    *spans = CommandLineSpans{0, 0, false, {-1, -1, 0, false}, {-1, -1, 0, false}, 0, {}};
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
        int at = i;
        int end = ReadArgument(line, at, -1, false, [](Unit) {});
        char head[8];
        int length = ArgumentHead(line, at, end, head, sizeof head);
        ArgumentSpan argument = {at, end, 0, false};
        bool option = head[0] == '/';
        if (option && length == 2 && head[1] == 'S') {
            spans->silent = true;
        } else if (option && HeadIs(head, "/LOG=")) {
            spans->log = ArgumentSpan{at, end, 5, false};
        } else if (spans->folder.start < 0 &&
                   (!option || HeadIs(head, "/D=") || IsSlashPath(line, at, end))) {
            end = FolderEnd(line, at);
            spans->folder = ArgumentSpan{at, end, HeadIs(head, "/D=") ? 3 : 0, true};
        } else {
            // An option the program does not know, or a second game folder.
            if (spans->unknownCount < UnknownArgumentCapacity) spans->unknown[spans->unknownCount] = argument;
            ++spans->unknownCount;
        }
        i = end;
    }
}

// The value of an argument into text (size units), NUL-terminated: its length,
// or -1 and text empty when it does not fit.
template <typename Unit>
int ArgumentValue(const Unit* line, const ArgumentSpan& span, Unit* text, int size) {
    if (size < 1) return -1;
    int count = 0, skipped = 0;
    command_line_syntax::ReadArgument(line, span.start, span.end, span.folderRule, [&](Unit unit) {
        if (skipped < span.skip) {
            ++skipped;
            return;
        }
        if (count < size - 1) text[count] = unit;
        ++count;
    });
    if (count >= size) {
        text[0] = 0;
        return -1;
    }
    text[count] = 0;
    return count;
}

// Appends " " + name + "\"value\"" to text (size bytes, used so far), written
// so that SplitCommandLine reads back exactly value (Shift-JIS, no quote in a
// game folder): backslashes before a quote are doubled, a quote is escaped.
// false, and text as it was, when it does not fit.
inline bool AppendQuotedArgument(char* text, int size, int* used, const char* name, const char* value) {
    using command_line_syntax::CharacterUnits;
    int at = *used;
    auto put = [&](char unit) {
        if (at < size - 1) text[at] = unit;
        ++at;
    };
    put(' ');
    for (const char* p = name; *p; ++p) put(*p);
    put('"');
    int backslashes = 0;
    for (int i = 0; value[i];) {
        if (value[i] == '\\') {
            ++backslashes;
        } else {
            if (value[i] == '"') {
                for (int k = 0; k < backslashes + 1; ++k) put('\\');
            }
            backslashes = 0;
        }
        int units = CharacterUnits(value, i);
        for (int k = 0; k < units; ++k) put(value[i + k]);
        i += units;
    }
    for (int k = 0; k < backslashes; ++k) put('\\');
    put('"');
    if (at >= size) {
        text[*used] = '\0';
        return false;
    }
    text[at] = '\0';
    *used = at;
    return true;
}

#endif
