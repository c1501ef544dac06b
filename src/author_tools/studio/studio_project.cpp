#include "author_tools/studio/studio_project.h"

#include "author_tools/host/encoding_guess.h"
#include "author_tools/host/text_conversion.h"
#include "author_tools/run/author_warnings.h"
#include "author_tools/update_make/old_versions.h"

const char* const StudioTextKeys[TextCount] = {"[GameName]", "[RegPath]",  "[Caption]",  "[Width]",
                                               "[Height]",   "[Comment0]", "[Comment1]", "[Attention1]"};

namespace {

const char* const TextOptions[TextCount] = {"--game-name", "--reg-path", "--caption",  "--width",
                                            "--height",    "--comment0", "--comment1", "--attention1"};

// 更新するファイルが見つかりません。, update-make's own default.
const char DefaultAttention[] =
    "\xE6\x9B\xB4\xE6\x96\xB0\xE3\x81\x99\xE3\x82\x8B\xE3\x83\x95\xE3\x82\xA1\xE3\x82\xA4\xE3\x83\xAB\xE3\x81\x8C"
    "\xE8\xA6\x8B\xE3\x81\xA4\xE3\x81\x8B\xE3\x82\x8A\xE3\x81\xBE\xE3\x81\x9B\xE3\x82\x93\xE3\x80\x82";

std::string Quoted(const std::string& value) {
    if (!value.empty() && value.find_first_of(" \t\"") == std::string::npos) return value;
    std::string quoted = "\"";
    for (char c : value) quoted += c == '"' ? std::string("\\\"") : std::string(1, c);
    return quoted + "\"";
}

}  // namespace

void DefaultTexts(StudioProject* project) {
    project->texts[TextWidth] = "440";
    project->texts[TextHeight] = "220";
    project->texts[TextAttention1] = DefaultAttention;
}

std::string TextMistake(int text, const std::string& value, bool japanese) {
    std::string mistake;
    if (text == TextWidth || text == TextHeight) {
        if (value.empty() || value.find_first_not_of("0123456789") != std::string::npos)
            return japanese ? std::string(StudioTextKeys[text]) + ": \xE3\x83\x94\xE3\x82\xAF\xE3\x82\xBB\xE3\x83\xAB\xE6\x95\xB0\xE3\x82\x92\xE6\x95\xB0"
                              "\xE5\xAD\x97\xE3\x81\xA7\xE6\x9B\xB8\xE3\x81\x84\xE3\x81\xA6\xE3\x81\x8F\xE3\x81\xA0"
                              "\xE3\x81\x95\xE3\x81\x84"  // ピクセル数を数字で書いてください
                            : std::string(StudioTextKeys[text]) + " needs a number of pixels";
        return "";
    }
    std::string shiftJis;
    if (Utf8ToShiftJis(value, &shiftJis) != 0) {
        mistake = "its " + WhyNoShiftJisForm(value);
    } else if (value.empty()) {
        if (text == TextRegPath)
            mistake = "update.ini needs [RegPath], where the game records its folder (MakerName\\GameName)";
        else if (text != TextAttention1)
            mistake = "empty: the player's window shows nothing here";
    } else if (text == TextRegPath) {
        std::string why = RegistryPathMistake(shiftJis);
        if (!why.empty()) mistake = ShiftJisToUtf8(why);
    } else if (shiftJis.size() >= 512 && (text == TextGameName || text == TextCaption)) {
        mistake = "longer than update.exe's 511 bytes";
    }
    if (mistake.empty() || !japanese) return mistake;
    return "\xE7\xA2\xBA\xE8\xAA\x8D\xE3\x81\x97\xE3\x81\xA6\xE3\x81\x8F\xE3\x81\xA0\xE3\x81\x95\xE3\x81\x84: " +
           mistake;  // 確認してください:
}

std::vector<std::string> MakeArguments(const StudioProject& project) {
    std::vector<std::string> arguments;
    for (int text = 0; text < TextCount; ++text) {
        arguments.push_back(TextOptions[text]);
        arguments.push_back(project.texts[text]);
    }
    if (project.alsoWhole) arguments.push_back("--also-whole");
    bool named = false;
    for (const StudioOldVersion& old : project.olds) named = named || !old.label.empty();
    if (project.olds.size() > 1 && named) {
        // update-make takes a name for every old folder or none: the unnamed
        // ones get the name it would give them, their folder's own.
        for (const StudioOldVersion& old : project.olds) {
            std::string label = old.label, shiftJis, problem;
            if (label.empty())
                label = VersionLabel("", old.folder, &shiftJis, &problem) == 0 ? ShiftJisToUtf8(shiftJis) : old.folder;
            arguments.push_back("--label");
            arguments.push_back(label);
        }
    }
    for (const StudioOldVersion& old : project.olds) arguments.push_back(old.folder);
    arguments.push_back(project.newFolder);
    arguments.push_back(project.patchFolder);
    return arguments;
}

std::string MakeCommandLine(const StudioProject& project) {
    std::string line = "update-make";
    for (const std::string& argument : MakeArguments(project)) line += " " + Quoted(argument);
    return line;
}

int ProjectTexts(const StudioProject& project, std::string* bytes, std::string* problem) {
    bytes->clear();
    for (int text = 0; text < TextCount; ++text) {
        std::string shiftJis;
        if (Utf8ToShiftJis(project.texts[text], &shiftJis) != 0) {
            *problem = std::string(StudioTextKeys[text]) + ": its " + WhyNoShiftJisForm(project.texts[text]);
            return 1;
        }
        *bytes += std::string(StudioTextKeys[text]) + "=" + shiftJis + "\r\n";
    }
    return 0;
}

std::string FoldersFileOf(const std::string& textsPath) { return textsPath + ".folders"; }

std::string ProjectFolders(const StudioProject& project) {
    std::string bytes;
    for (const StudioOldVersion& old : project.olds) {
        bytes += "old=" + old.folder + "\r\n";
        if (!old.label.empty()) bytes += "label=" + old.label + "\r\n";
    }
    bytes += "new=" + project.newFolder + "\r\npatch=" + project.patchFolder + "\r\n";
    if (project.alsoWhole) bytes += "also-whole=1\r\n";
    return bytes;
}

namespace {

template <typename Take>
void EachLine(const std::string& bytes, Take take) {
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find('\n', start);
        if (end == std::string::npos) end = bytes.size();
        std::string line = bytes.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        size_t equals = line.find('=');
        if (equals != std::string::npos) take(line.substr(0, equals), line.substr(equals + 1));
    }
}

bool SameKey(const std::string& a, const char* b) {
    std::string lower;
    for (char c : a) lower += (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
    std::string other;
    for (const char* p = b; *p; ++p) other += (*p >= 'A' && *p <= 'Z') ? char(*p - 'A' + 'a') : *p;
    return lower == other;
}

}  // namespace

int ParseProjectTexts(const std::string& bytes, StudioProject* project, std::string* problem) {
    std::string text = bytes;
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
    // Shift-JIS as update.ini is shipped, unless the whole file reads as UTF-8.
    bool utf8 = LooksLikeUtf8(text);
    for (int i = 0; i < TextCount; ++i) project->texts[i].clear();
    EachLine(text, [&](const std::string& key, const std::string& value) {
        for (int i = 0; i < TextCount; ++i)
            if (SameKey(key, StudioTextKeys[i])) project->texts[i] = utf8 ? value : ShiftJisToUtf8(value);
    });
    (void)problem;
    return 0;
}

void ParseProjectFolders(const std::string& bytes, StudioProject* project) {
    project->olds.clear();
    project->alsoWhole = false;
    // A label= names the old= line before it; an earlier window wrote one old= and no label.
    EachLine(bytes, [&](const std::string& key, const std::string& value) {
        if (key == "old") project->olds.push_back(StudioOldVersion{value, ""});
        else if (key == "label" && !project->olds.empty()) project->olds.back().label = value;
        else if (key == "new") project->newFolder = value;
        else if (key == "patch") project->patchFolder = value;
        else if (key == "also-whole") project->alsoWhole = value == "1";
    });
}
