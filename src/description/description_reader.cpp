// Reads update.ini: lines of key=value, keys compared without regard to ASCII
// case, values checked against the fields they go into.
#include <limits.h>
#include <stdio.h>
#include <string.h>

#include "text/text.h"
#include "description/update_description.h"
#include "platform/platform.h"
#include "state/folders.h"
#include "state/scratch_buffers.h"
#include "state/user_messages.h"

namespace {

const char ErrorTitle[] = "アップデートエラー";

// ---- Text-mode reading, done here so that every platform reads alike ----

enum {
    LineBufferSize = 1024,
    LinePieceLimit = LineBufferSize - 2,  // bytes one read delivers at most
    EndOfFileMark = 0x1A,                 // Ctrl-Z
};

struct TextReader {
    FileReader file;
    unsigned char chunk[4096];
    size_t length;
    size_t position;
    bool ended;
};

TextReader Reader;

int NextRawByte(TextReader& reader) {
    if (reader.position == reader.length) {
        reader.length = PlatformReadFile(reader.file, reader.chunk, sizeof reader.chunk);
        reader.position = 0;
        if (reader.length == 0) return -1;  // end of file, or a read error
    }
    return reader.chunk[reader.position++];
}

// The next byte as text mode delivers it: CR LF as LF, nothing after Ctrl-Z.
int NextTextByte(TextReader& reader) {
    if (reader.ended) return -1;
    int byte = NextRawByte(reader);
    if (byte < 0 || byte == EndOfFileMark) {
        reader.ended = true;
        return -1;
    }
    if (byte == '\r') {
        int next = NextRawByte(reader);
        if (next == '\n') return '\n';
        if (next >= 0) --reader.position;  // the byte is still in the chunk
    }
    return byte;
}

// Up to LinePieceLimit bytes, through the first LF. 0 at end of file.
size_t ReadLinePiece(TextReader& reader, char* line) {
    size_t count = 0;
    while (count < LinePieceLimit) {
        int byte = NextTextByte(reader);
        if (byte < 0) break;
        line[count++] = (char)byte;
        if (byte == '\n') break;
    }
    line[count] = '\0';
    return count;
}

// ---- Values ----

void ShowFailure(const char* text) { ShowUserMessage(0, text, ErrorTitle, BoxIconWarning); }

int ReportTooLong(const char* key, size_t length) {
    FormatText(MessageBuffer, sizeof MessageBuffer, "%sが最大文字数を越えました。%d 0<=xx<%d", key,
               (int)length, (int)NameFieldSize);
    ShowFailure(MessageBuffer);
    return 1;
}

int ReportTooMany(const char* key, int count) {
    FormatText(MessageBuffer, sizeof MessageBuffer, "%sが最大ファイル数を越えました。%d 0<=xx<%d", key,
               count, (int)FileListCapacity);
    ShowFailure(MessageBuffer);
    return 1;
}

// Like atoi (leading white space, a sign, decimal digits up to the first other
// byte), held to the range of a signed 32-bit integer.
int ParseInteger(const char* text) {
    while (*text == ' ' || (*text >= '\t' && *text <= '\r')) ++text;
    bool negative = false;
    if (*text == '+' || *text == '-') negative = *text++ == '-';
    long long value = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        value = value * 10 + (*text - '0');
        if (value > (long long)INT_MAX + 1) value = (long long)INT_MAX + 1;
    }
    if (negative) return (int)-value;
    return value > INT_MAX ? INT_MAX : (int)value;
}

enum ValueKind {
    NameValue,     // checked against the 512-byte field, copied
    CaptionValue,  // a NameValue with line-break escapes expanded
    DisplayValue,  // always fits its field; escapes expanded
    RegistryPath,  // "Software\" + value, one trailing backslash removed
    NumberValue,
    FileListValue,
};

struct KeyRule {
    const char* key;
    ValueKind kind;
    char* text;   // the field, for text kinds
    int* number;  // the number, or the list's count
    char (*list)[NameFieldSize];
};

const KeyRule Rules[] = {
    {"[GameName]", NameValue, UpdateDescription.GameName, 0, 0},
    {"[RegPath]", RegistryPath, UpdateDescription.RegistryKeyPath, 0, 0},
    {"[Width]", NumberValue, 0, &UpdateDescription.Width, 0},
    {"[Height]", NumberValue, 0, &UpdateDescription.Height, 0},
    {"[Caption]", CaptionValue, UpdateDescription.Caption, 0, 0},
    {"[Comment0]", DisplayValue, UpdateDescription.Comment0, 0, 0},
    {"[Comment1]", DisplayValue, UpdateDescription.Comment1, 0, 0},
    {"[Attention1]", DisplayValue, UpdateDescription.Attention1, 0, 0},
    {"[AddFile]", FileListValue, 0, &UpdateDescription.AddFileCount, UpdateDescription.AddFiles},
    {"[DelFile]", FileListValue, 0, &UpdateDescription.DelFileCount, UpdateDescription.DelFiles},
};

int StoreValue(const KeyRule& rule, const char* value) {
    size_t length = strlen(value);
    switch (rule.kind) {
    case NameValue:
    case CaptionValue:
        if (length >= NameFieldSize) return ReportTooLong(rule.key, length);
        memcpy(rule.text, value, length + 1);
        if (rule.kind == CaptionValue) ExpandLineBreaks(rule.text);
        return 0;
    case DisplayValue:
        // A line piece is shorter than the field, so the value always fits.
        memcpy(rule.text, value, length + 1);
        ExpandLineBreaks(rule.text);
        return 0;
    case RegistryPath: {
        // Composed aside so that a rejected value leaves the field as it was.
        char path[NameFieldSize];
        if (length >= NameFieldSize || FormatText(path, sizeof path, "Software\\%s", value) != 0)
            return ReportTooLong(rule.key, length);
        RemoveTrailingBackslash(path);
        memcpy(rule.text, path, strlen(path) + 1);
        return 0;
    }
    case NumberValue:
        *rule.number = ParseInteger(value);
        return 0;
    case FileListValue:
        if (length >= NameFieldSize) return ReportTooLong(rule.key, length);
        if (*rule.number >= FileListCapacity) return ReportTooMany(rule.key, *rule.number);
        memcpy(rule.list[*rule.number], value, length + 1);
        ++*rule.number;
        return 0;
    }
    return 0;
}

// 0 when the line was taken or ignored, 1 when its value failed its check.
int ApplyLine(char* line) {
    size_t length = strlen(line);  // the text ends at its first NUL byte
    if (length > 0 && line[length - 1] == '\n') line[length - 1] = '\0';
    char* equals = strchr(line, '=');
    if (!equals) return 0;
    *equals = '\0';
    for (const KeyRule& rule : Rules) {
        if (EqualIgnoringAsciiCase(line, rule.key)) return StoreValue(rule, equals + 1);
    }
    return 0;
}

}  // namespace

void ReportDescriptionOpenFailure() { ShowFailure("update.ini の読み込みに失敗しました。"); }

int LoadUpdateDescription() {
    ResetUpdateDescription();
    char path[ProgramFolderSize + 16];
    if (FormatText(path, sizeof path, "%s\\update.ini", ProgramFolder) != 0 ||
        PlatformOpenFileForReading(path, &Reader.file) != 0) {
        ReportDescriptionOpenFailure();
        return 1;
    }
    Reader.length = Reader.position = 0;
    Reader.ended = false;

    static char line[LineBufferSize];
    int result = 0;
    while (result == 0 && ReadLinePiece(Reader, line) > 0) result = ApplyLine(line);
    PlatformCloseFile(Reader.file);
    return result;
}
