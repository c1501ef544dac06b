#include "test_case.h"

#include <windows.h>

#include "program_driver.h"

namespace {

std::string Trim(const std::string& text) {
    size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return "";
    size_t last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

std::string BackslashPath(std::string path) {
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

bool IsFolder(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// A folder named in case.txt, relative to the case folder unless absolute.
std::string CaseRelative(const std::string& caseFolder, const std::string& path) {
    std::string converted = BackslashPath(path);
    if (converted.size() > 1 && converted[1] == ':') return converted;
    return caseFolder + "\\" + converted;
}

}  // namespace

bool LoadTestCase(const std::string& caseFolder, TestCase* testCase, std::string* error) {
    std::string text;
    if (!ReadFileBytes(caseFolder + "\\case.txt", &text)) {
        *error = "cannot read " + caseFolder + "\\case.txt";
        return false;
    }
    testCase->folder = caseFolder;
    testCase->name = caseFolder.substr(caseFolder.find_last_of('\\') + 1);
    testCase->patchSource = caseFolder;
    testCase->gameSource = caseFolder + "\\game";
    if (IsFolder(caseFolder + "\\expected")) testCase->expectedSource = caseFolder + "\\expected";

    int lineNumber = 0;
    size_t position = 0;
    while (position < text.size()) {
        size_t end = text.find('\n', position);
        if (end == std::string::npos) end = text.size();
        std::string line = Trim(text.substr(position, end - position));
        position = end + 1;
        ++lineNumber;
        if (line.empty() || line[0] == '#') continue;
        size_t colon = line.find(':');
        if (colon == std::string::npos) {
            *error = "case.txt line " + std::to_string(lineNumber) + ": no 'name:' at its start";
            return false;
        }
        std::string key = Trim(line.substr(0, colon));
        std::string value = Trim(line.substr(colon + 1));
        if (key == "about") {
            testCase->about += (testCase->about.empty() ? "" : " ") + value;
        } else if (key == "program") {
            testCase->program = value;
        } else if (key == "patch") {
            testCase->patchSource = CaseRelative(caseFolder, value);
        } else if (key == "game") {
            testCase->hasGame = value != "none";
            testCase->gameSource = testCase->hasGame ? CaseRelative(caseFolder, value) : "";
        } else if (key == "expected") {
            testCase->expectedSource = value == "unchanged" ? "" : CaseRelative(caseFolder, value);
        } else if (key == "registry" || key == "registry_absent") {
            RegistrySetting setting;
            setting.createKey = key == "registry";
            size_t equals = value.find(" = ");
            setting.hasValue = setting.createKey && equals != std::string::npos;
            setting.key = BackslashPath(Trim(value.substr(0, equals)));
            if (setting.hasValue) setting.value = Trim(value.substr(equals + 3));
            testCase->registry.push_back(setting);
        } else if (key == "readonly") {
            testCase->readOnly.push_back(BackslashPath(value));
        } else if (key == "folder") {
            testCase->folders.push_back(BackslashPath(value));
        } else if (key == "step") {
            size_t space = value.find(' ');
            CaseStep step;
            step.line = lineNumber;
            step.verb = value.substr(0, space);
            step.argument = space == std::string::npos ? "" : Trim(value.substr(space + 1));
            testCase->steps.push_back(step);
        } else {
            *error = "case.txt line " + std::to_string(lineNumber) + ": unknown name '" + key + "'";
            return false;
        }
    }
    if (testCase->steps.empty()) {
        *error = "case.txt has no step";
        return false;
    }
    return true;
}
