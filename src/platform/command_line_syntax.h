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
// Of the syntax characters only the backslash can be the second byte of a
// Shift-JIS character (表 is 0x95 0x5C), so the bytes of an argument are read a
// character at a time: a lead byte takes the byte after it along.
#ifndef UPDATE_COMMAND_LINE_SYNTAX_H
#define UPDATE_COMMAND_LINE_SYNTAX_H

#include "platform/code_page_932.h"
#include "text/shift_jis.h"

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

// A line of Shift-JIS bytes or of UTF-16 units, read a unit at a time: one
// copy of the code below serves both.
struct LineUnits {
    const char* narrow;    // the Shift-JIS line, where wide is null
    const WideChar* wide;  // the UTF-16 line
    unsigned operator[](int i) const { return wide ? (unsigned)wide[i] : (unsigned char)narrow[i]; }
};
inline LineUnits UnitsOf(const char* line) { return LineUnits{line, nullptr}; }
inline LineUnits UnitsOf(const WideChar* line) { return LineUnits{nullptr, line}; }

inline bool IsBlank(unsigned unit) { return unit == ' ' || unit == '\t'; }

inline bool EndsArgument(unsigned unit) { return unit == 0 || IsBlank(unit); }

// The units of the character at line[i]: 2 for a Shift-JIS lead byte followed
// by a byte. A UTF-16 unit is always one character as far as the syntax goes.
inline int CharacterUnits(LineUnits line, int i) {
    return !line.wide && IsShiftJisLeadByte(line[i]) && line[i + 1] ? 2 : 1;
}
inline int CharacterUnits(const char* line, int i) { return CharacterUnits(UnitsOf(line), i); }

// Where the units of an argument's text go: after the first skip, into text
// (narrow or wide; both null: nowhere) while there is room, all of them
// counted; and whether the text is a path in forward slashes: a second "/"
// after a first component without "=" or ":".
struct ArgumentSink {
    char* narrow;
    WideChar* wide;
    int size;
    int skip;
    int count;
    int slashes;
    bool optionLike;
};
inline ArgumentSink SinkInto(char* text, int size, int skip) { return ArgumentSink{text, nullptr, size, skip, 0, 0, false}; }
inline ArgumentSink SinkInto(WideChar* text, int size, int skip) {
    return ArgumentSink{nullptr, text, size, skip, 0, 0, false};
}

inline void Put(ArgumentSink* sink, unsigned unit) {
    if (unit == '/') ++sink->slashes;
    else if (sink->slashes == 1 && (unit == '=' || unit == ':')) sink->optionLike = true;
    if (sink->skip > 0) {
        --sink->skip;
        return;
    }
    if (sink->count < sink->size - 1) {
        if (sink->wide) sink->wide[sink->count] = (WideChar)unit;
        else if (sink->narrow) sink->narrow[sink->count] = (char)unit;
    }
    ++sink->count;
}

// Reads the argument at line[at] (not a blank) up to end (-1: up to where it
// ends) into sink. The position after the argument.
inline int ReadArgument(LineUnits line, int at, int end, bool folderRule, ArgumentSink* sink) {
    bool quoted = false;
    int i = at;
    for (;;) {
        if (end >= 0 ? i >= end : (!line[i] || (!quoted && IsBlank(line[i])))) return i;
        if (line[i] == '\\') {
            int run = 0;
            while (line[i + run] == '\\' && (end < 0 || i + run < end)) ++run;
            bool beforeQuote = line[i + run] == '"' && (end < 0 || i + run < end);
            int kept = !beforeQuote ? run : folderRule ? (run % 2 ? run : run / 2) : run / 2;
            for (int k = 0; k < kept; ++k) Put(sink, '\\');
            i += run;
            if (beforeQuote && !folderRule && run % 2) {
                Put(sink, '"');
                ++i;
            }
        } else if (line[i] == '"') {
            ++i;
            if (quoted && !folderRule && line[i] == '"' && (end < 0 || i < end)) {
                Put(sink, '"');  // "" inside quotes: a literal quote, and the quoted part ends
                ++i;
            }
            quoted = !quoted;
        } else {
            int units = CharacterUnits(line, i);
            for (int k = 0; k < units; ++k) Put(sink, line[i + k]);
            i += units;
        }
    }
}

// Where the game folder at line[at] ends: a quote before its first blank outside
// quotes ends it at that blank, else it runs to the end of the line less
// trailing blanks.
inline int FolderEnd(LineUnits line, int at) {
    bool quoted = false, sawQuote = false;
    int i = at;
    for (; line[i]; i += CharacterUnits(line, i)) {
        if (line[i] == '"') quoted = !quoted, sawQuote = true;
        else if (!quoted && IsBlank(line[i]) && sawQuote) return i;
    }
    while (i > at && IsBlank(line[i - 1])) --i;
    return i;
}

// The first units of an argument's text (in head), upper-cased, as ASCII.
inline void UpperCaseHead(const WideChar* units, int count, char* head) {
    for (int i = 0; i < count; ++i) {
        unsigned unit = units[i];
        head[i] = unit >= 'a' && unit <= 'z' ? (char)(unit - 'a' + 'A') : unit > 0 && unit < 0x80 ? (char)unit : '?';
    }
    head[count] = '\0';
}

inline bool HeadIs(const char* head, const char* name) {
    for (int i = 0; name[i]; ++i)
        if (head[i] != name[i]) return false;
    return true;
}

inline void SplitLine(LineUnits line, CommandLineSpans* spans) {
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
        // A Shift-JIS byte fits a UTF-16 unit: the first units of either line.
        WideChar units[8];
        ArgumentSink sink = SinkInto(units, 8, 0);
        int end = ReadArgument(line, at, -1, false, &sink);
        char head[8];
        UpperCaseHead(units, sink.count < 7 ? sink.count : 7, head);
        bool slashPath = sink.slashes >= 2 && !sink.optionLike;
        ArgumentSpan argument = {at, end, 0, false};
        bool option = head[0] == '/';
        if (option && sink.count == 2 && head[1] == 'S') {
            spans->silent = true;
        } else if (option && HeadIs(head, "/LOG=")) {
            spans->log = ArgumentSpan{at, end, 5, false};
        } else if (spans->folder.start < 0 &&
                   (!option || HeadIs(head, "/D=") || slashPath)) {
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

// The value of span into sink (its text of sink.size units), NUL-terminated:
// its length, or -1 and the text empty when it does not fit.
inline int ReadValue(LineUnits line, const ArgumentSpan& span, ArgumentSink* sink) {
    if (sink->size < 1) return -1;
    ReadArgument(line, span.start, span.end, span.folderRule, sink);
    int length = sink->count < sink->size ? sink->count : -1;
    int at = length < 0 ? 0 : length;
    if (sink->wide) sink->wide[at] = 0;
    else sink->narrow[at] = '\0';
    return length;
}

}  // namespace command_line_syntax

inline void SplitCommandLine(const char* line, CommandLineSpans* spans) {
    command_line_syntax::SplitLine(command_line_syntax::UnitsOf(line), spans);
}
inline void SplitCommandLine(const WideChar* line, CommandLineSpans* spans) {
    command_line_syntax::SplitLine(command_line_syntax::UnitsOf(line), spans);
}

// The value of an argument into text (size units), NUL-terminated: its length,
// or -1 and text empty when it does not fit.
inline int ArgumentValue(const char* line, const ArgumentSpan& span, char* text, int size) {
    command_line_syntax::ArgumentSink sink = command_line_syntax::SinkInto(text, size, span.skip);
    return command_line_syntax::ReadValue(command_line_syntax::UnitsOf(line), span, &sink);
}
inline int ArgumentValue(const WideChar* line, const ArgumentSpan& span, WideChar* text, int size) {
    command_line_syntax::ArgumentSink sink = command_line_syntax::SinkInto(text, size, span.skip);
    return command_line_syntax::ReadValue(command_line_syntax::UnitsOf(line), span, &sink);
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
