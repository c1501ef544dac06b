// Fuzz target for the update.ini reader. Every input is loaded as update.ini on
// the in-memory machine and the result is compared with a plain model of the
// file format written independently of the reader: text-mode bytes (CR LF as
// LF, nothing after Ctrl-Z), pieces of at most 1022 bytes, key=value lines,
// checked lengths and counts, expanded line breaks. Any difference, any field
// without its terminator and any sanitizer report is a finding.
#include <limits.h>
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "description/update_description.h"
#include "fuzz_support.h"
#include "platform/memory/platform_memory.h"
#include "shell/program_folder.h"

namespace {

const char ErrorTitle[] = "アップデートエラー";

struct Expected {
    std::string caption, comment0, comment1, attention1, gameName, registryKeyPath;
    int width = 0, height = 0;
    std::vector<std::string> addFiles, delFiles;
    int result = 0;
    std::string message;  // the failure box's text; empty when none
};

bool IsLead(unsigned char byte) { return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC); }

// Byte length of the character starting at position i.
size_t CharAt(const std::string& text, size_t i) {
    return IsLead((unsigned char)text[i]) && i + 1 < text.size() ? 2 : 1;
}

std::string ExpandModel(std::string text) {
    for (;;) {
        size_t found = std::string::npos;
        for (size_t i = 0; i < text.size(); i += CharAt(text, i))
            if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == 'n') {
                found = i;
                break;
            }
        if (found == std::string::npos) return text;
        text.replace(found, 2, "\n");
    }
}

void RemoveTrailingBackslashModel(std::string& text) {
    size_t last = std::string::npos;
    for (size_t i = 0; i < text.size(); i += CharAt(text, i)) last = i;
    if (last != std::string::npos && text[last] == '\\' && last + 1 == text.size()) text.erase(last);
}

int AtoiModel(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        if (value <= (long long)INT_MAX + 1) value = value * 10 + (text[i] - '0');
    if (negative) return value > (long long)INT_MAX + 1 ? INT_MIN : (int)-value;
    return value > INT_MAX ? INT_MAX : (int)value;
}

std::string Message(const char* format, const char* key, long first, long second) {
    char text[1024];
    snprintf(text, sizeof text, format, key, (int)first, (int)second);
    return text;
}

const char TooLong[] = "%sが最大文字数を越えました。%d 0<=xx<%d";
const char TooMany[] = "%sが最大ファイル数を越えました。%d 0<=xx<%d";

// 0 when the line was taken or ignored, 1 when the load fails at it.
int ApplyModelLine(std::string line, Expected& model) {
    size_t nul = line.find('\0');
    if (nul != std::string::npos) line.erase(nul);
    if (!line.empty() && line.back() == '\n') line.pop_back();
    size_t equals = line.find('=');
    if (equals == std::string::npos) return 0;
    std::string key = LowerAscii(line.substr(0, equals));
    std::string value = line.substr(equals + 1);
    auto tooLong = [&](const char* name) {
        model.message = Message(TooLong, name, (long)value.size(), 512);
        return 1;
    };
    if (key == "[gamename]") {
        if (value.size() >= 512) return tooLong("[GameName]");
        model.gameName = value;
    } else if (key == "[regpath]") {
        std::string path = "Software\\" + value;
        if (value.size() >= 512 || path.size() >= 512) return tooLong("[RegPath]");
        RemoveTrailingBackslashModel(path);
        model.registryKeyPath = path;
    } else if (key == "[width]") {
        model.width = AtoiModel(value);
    } else if (key == "[height]") {
        model.height = AtoiModel(value);
    } else if (key == "[caption]") {
        if (value.size() >= 512) return tooLong("[Caption]");
        model.caption = ExpandModel(value);
    } else if (key == "[comment0]") {
        model.comment0 = ExpandModel(value);
    } else if (key == "[comment1]") {
        model.comment1 = ExpandModel(value);
    } else if (key == "[attention1]") {
        model.attention1 = ExpandModel(value);
    } else if (key == "[addfile]" || key == "[delfile]") {
        bool add = key == "[addfile]";
        const char* name = add ? "[AddFile]" : "[DelFile]";
        std::vector<std::string>& list = add ? model.addFiles : model.delFiles;
        if (value.size() >= 512) return tooLong(name);
        if (list.size() >= 256) {
            model.message = Message(TooMany, name, (long)list.size(), 256);
            return 1;
        }
        list.push_back(value);
    }
    return 0;
}

Expected Model(const uint8_t* data, size_t size) {
    std::string text;
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0x1A) break;
        if (data[i] == '\r' && i + 1 < size && data[i + 1] == '\n') continue;
        text.push_back((char)data[i]);
    }
    Expected model;
    size_t position = 0;
    while (position < text.size()) {
        size_t end = position;
        while (end < text.size() && end - position < 1022) {
            if (text[end++] == '\n') break;
        }
        if (ApplyModelLine(text.substr(position, end - position), model) != 0) {
            model.result = 1;
            return model;
        }
        position = end;
    }
    return model;
}

void RequireField(const char* field, size_t size, const std::string& expected, const char* name) {
    Require(IsTerminatedWithin(field, size), name, "field without terminator");
    Require(expected == field, name, "expected \"" + expected + "\", read \"" + field + "\"");
}

void RequireList(const char (*list)[NameFieldSize], int count, const std::vector<std::string>& expected,
                 const char* name) {
    Require(count >= 0 && count <= FileListCapacity, name, "count out of range");
    Require((size_t)count == expected.size(), name,
            "count " + std::to_string(count) + ", expected " + std::to_string(expected.size()));
    for (int i = 0; i < count; ++i) RequireField(list[i], NameFieldSize, expected[i], name);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ResetProgramState();
    strcpy(ProgramFolder, "C:\\Patch");
    memory_platform::AddFile("C:\\Patch\\update.ini", std::string((const char*)data, size));

    int result = LoadUpdateDescription();
    Expected model = Model(data, size);

    Require(result == model.result, "load result",
            "read " + std::to_string(result) + ", expected " + std::to_string(model.result));
    const auto& boxes = memory_platform::MessageBoxes();
    if (model.result == 0) {
        Require(boxes.empty(), "a successful load shows no box");
    } else {
        Require(boxes.size() == 1, "a failed load shows one box");
        Require(boxes[0].owner == nullptr, "the box has no owner");
        Require(boxes[0].title == ErrorTitle, "box title", boxes[0].title);
        Require(boxes[0].text == model.message, "box text", boxes[0].text + " / " + model.message);
        Require(boxes[0].type == (BoxOk | BoxIconWarning), "box type");
    }
    const UpdateDescriptionRecord& d = UpdateDescription;
    RequireField(d.Caption, sizeof d.Caption, model.caption, "Caption");
    RequireField(d.Comment0, sizeof d.Comment0, model.comment0, "Comment0");
    RequireField(d.Comment1, sizeof d.Comment1, model.comment1, "Comment1");
    RequireField(d.Attention1, sizeof d.Attention1, model.attention1, "Attention1");
    RequireField(d.GameName, sizeof d.GameName, model.gameName, "GameName");
    RequireField(d.RegistryKeyPath, sizeof d.RegistryKeyPath, model.registryKeyPath, "RegistryKeyPath");
    Require(d.Width == model.width, "Width");
    Require(d.Height == model.height, "Height");
    RequireList(d.AddFiles, d.AddFileCount, model.addFiles, "AddFiles");
    RequireList(d.DelFiles, d.DelFileCount, model.delFiles, "DelFiles");
    return 0;
}
