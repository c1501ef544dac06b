// The author's window's project: the old game folders (one or more versions,
// each with an optional name), the new game and patch folders and the texts of update.ini,
// as the author typed them (UTF-8), with the checks update-make makes of each
// text and the arguments that make the patch with update-make's own code.
#ifndef UPDATE_STUDIO_PROJECT_H
#define UPDATE_STUDIO_PROJECT_H

#include <string>
#include <vector>

// The folder rows of the window; FolderOld edits the selected old version.
enum StudioFolder { FolderOld, FolderNew, FolderPatch, FolderCount };

// In the order update-make writes a first patch's lines.
enum StudioText {
    TextGameName,
    TextRegPath,
    TextCaption,
    TextWidth,
    TextHeight,
    TextComment0,
    TextComment1,
    TextAttention1,
    TextCount
};

// "[GameName]" ... as update.ini spells the key.
extern const char* const StudioTextKeys[TextCount];

// One old version of the game: its folder and the name update-make gives it
// (--label; empty: the folder's own name). UTF-8.
struct StudioOldVersion {
    std::string folder, label;
};

struct StudioProject {
    std::vector<StudioOldVersion> olds;  // in update-make's order; one at least to make
    std::string newFolder, patchFolder;  // UTF-8
    std::string texts[TextCount];        // UTF-8, escapes (\n) as in update.ini
    bool alsoWhole = false;              // --also-whole
};

// The first patch's texts update-make gives where the author gives none.
void DefaultTexts(StudioProject* project);

// What update-make would refuse or warn about in one text (UTF-8), and what to
// do; empty for a sound value. The words are update-make's own; japanese adds
// a Japanese lead.
std::string TextMistake(int text, const std::string& value, bool japanese);

// update-make's arguments (UTF-8) for the project: every text as its option,
// --also-whole when asked, with several old versions and a name given to any
// of them a --label for each (the folder's own name where none is given), then
// OLD... NEW PATCH. One old version gives no --label, as update-make ignores it. `update-make` with the same arguments, or with --texts
// and the file SaveProject writes, makes the same patch.
std::vector<std::string> MakeArguments(const StudioProject& project);
// The same as one command line, quoted where a value needs it, for the report.
std::string MakeCommandLine(const StudioProject& project);

// The texts file `update-make --texts` reads: update.ini's text lines in
// Shift-JIS, CR LF. 0, or 1 and which text has no Shift-JIS form.
int ProjectTexts(const StudioProject& project, std::string* bytes, std::string* problem);
// The folders' file beside it: "<texts file>.folders", UTF-8 lines KEY=value:
// old= for each old version in order (label= after it when it has a name),
// new=, patch= and also-whole=1 when asked. update.exe and update-make never read it.
std::string FoldersFileOf(const std::string& textsPath);
std::string ProjectFolders(const StudioProject& project);

// Reads the texts (Shift-JIS or UTF-8, an earlier patch's update.ini too: its
// file lists are left out) and, when it exists, the folders' file beside it.
// Keys the window has no field for are not kept. 0, or 1 and a reason.
int ParseProjectTexts(const std::string& bytes, StudioProject* project, std::string* problem);
void ParseProjectFolders(const std::string& bytes, StudioProject* project);

#endif
