#include "test_case.h"

#include <windows.h>

#include "folder_tree.h"
#include "program_driver.h"
#include "report_text.h"

namespace {

std::string Trim(const std::string& text) {
    size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return "";
    size_t last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

// A UTF-8 path of case.txt as a backslash-separated UTF-16 path.
std::wstring BackslashPath(const std::string& utf8) {
    std::wstring path = Utf8ToWide(utf8);
    for (wchar_t& c : path)
        if (c == L'/') c = L'\\';
    return path;
}

// A folder named in case.txt, relative to the case folder unless absolute.
std::wstring CaseRelative(const std::wstring& caseFolder, const std::string& path) {
    std::wstring converted = BackslashPath(path);
    if (converted.size() > 1 && converted[1] == L':') return converted;
    return caseFolder + L"\\" + converted;
}

// A place below the case's work folder: relative, without "..", not empty.
bool IsPlaceBelow(const std::wstring& path) {
    if (path.empty() || path[0] == L'\\' || path.find(L':') != std::wstring::npos) return false;
    return (L"\\" + path + L"\\").find(L"\\..\\") == std::wstring::npos;
}

}  // namespace

bool LoadTestCase(const std::wstring& caseFolder, TestCase* testCase, std::string* error) {
    std::string text;
    if (!ReadFileBytes(caseFolder + L"\\case.txt", &text)) {
        *error = "cannot read " + WideToUtf8(caseFolder) + "\\case.txt";
        return false;
    }
    testCase->folder = caseFolder;
    testCase->name = caseFolder.substr(caseFolder.find_last_of(L'\\') + 1);
    testCase->patchSource = caseFolder;
    testCase->gameSource = caseFolder + L"\\game";
    if (IsFolder(caseFolder + L"\\expected")) testCase->expectedSource = caseFolder + L"\\expected";

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
            testCase->program = Utf8ToWide(value);
        } else if (key == "program_folder" || key == "game_folder") {
            std::wstring place = BackslashPath(value);
            if (!IsPlaceBelow(place)) {
                *error = "case.txt line " + std::to_string(lineNumber) + ": " + key +
                         " must be a relative path without ..";
                return false;
            }
            (key == "game_folder" ? testCase->gameFolder : testCase->programFolder) = place;
        } else if (key == "command") {
            testCase->commandLine = Utf8ToWide(value);
        } else if (key == "drive_root") {
            testCase->driveRootSource = CaseRelative(caseFolder, value);
        } else if (key == "patch") {
            testCase->patchSource = CaseRelative(caseFolder, value);
        } else if (key == "game") {
            testCase->hasGame = value != "none";
            testCase->gameSource = testCase->hasGame ? CaseRelative(caseFolder, value) : L"";
        } else if (key == "expected") {
            testCase->expectedSource = value == "unchanged" ? L"" : CaseRelative(caseFolder, value);
        } else if (key == "registry" || key == "registry_absent") {
            RegistrySetting setting;
            setting.createKey = key == "registry";
            size_t equals = value.find(" = ");
            setting.hasValue = setting.createKey && equals != std::string::npos;
            setting.key = Trim(value.substr(0, equals));
            for (char& c : setting.key)
                if (c == '/') c = '\\';
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
