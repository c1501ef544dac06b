// Walks the update tree depth-first, verifying or copying it onto the game folder.
#include "update/update_tree.h"

#include <string.h>

#include "text/text.h"
#include "description/update_description.h"
#include "platform/platform.h"
#include "state/folders.h"
#include "state/progress.h"
#include "state/scratch_buffers.h"
#include "state/user_messages.h"
#include "update/leftover_temporaries.h"

namespace {

enum { ChainTextSize = 512 };

// "base\name" at the top of the tree, "base\relative\name" below it.
int ComposeBelow(char* buffer, size_t size, const char* base, const char* relativePath, const char* name) {
    if (relativePath[0] == '\0') return FormatText(buffer, size, "%s\\%s", base, name);
    return FormatText(buffer, size, "%s\\%s\\%s", base, relativePath, name);
}

// An entry's path relative to the update folder: the name alone at the top.
int ComposeRelative(char* buffer, size_t size, const char* relativePath, const char* name) {
    if (relativePath[0] == '\0') return FormatText(buffer, size, "%s", name);
    return FormatText(buffer, size, "%s\\%s", relativePath, name);
}

// A file of the tree needs a counterpart in the game folder unless update.ini
// lists it as new. The walk lends the level's text (its search pattern is no
// longer needed once the search has started). Inlined into the walk, whose code
// then stays as small as when this was its own step only.
__attribute__((always_inline)) inline int VerifyInLevelText(const char* relativePath, const char* name, char* levelText) {
    if (ComposeRelative(levelText, LevelTextSize, relativePath, name) != 0) return 1;
    ProgressFile(ProgressVerify, levelText);
    if (IsListedAsNewFile(levelText)) return 0;
    if (ComposeBelow(levelText, LevelTextSize, GameFolder, relativePath, name) != 0) return 1;
    return ProbeFile(levelText);
}

// A file of the tree adds its size less that of the file it replaces, if any.
void TallyFile(const char* relativePath, const FoundFile& entry, char* levelText) {
    uint64_t replaced = 0;
    if (ComposeBelow(levelText, LevelTextSize, GameFolder, relativePath, entry.name) != 0 ||
        PlatformGetFileSize(levelText, &replaced) != 0)
        replaced = 0;
    if (entry.size > replaced) PatchSpace.bytesAdded += entry.size - replaced;
    PatchSpace.bytesWritten += entry.size;
    if (entry.size > PatchSpace.largestFile) PatchSpace.largestFile = entry.size;
}

// What the log calls a walk that stops; a Measure walk is not noted.
const char* StageName(WalkMode mode) { return mode == Verify ? "確認" : mode == Copy ? "コピー" : 0; }

// The file of the tree, relative to the game folder, whose path does not fit.
void NoteTooLong(WalkMode mode, const char* relativePath, const char* name) {
    char relative[LevelTextSize + 260 + 1];  // a level's path, a backslash, a found name
    if (StageName(mode) && ComposeRelative(relative, sizeof relative, relativePath, name) == 0)
        NoteStoppedAt(StageName(mode), relative, ErrorFilenameTooLong);
}

// A file to replace that the game folder lacks, or holds as a folder.
void NoteNotVerified(const char* relativePath, const char* name, char* levelText) {
    int isDirectory = 0;
    if (ComposeBelow(levelText, LevelTextSize, GameFolder, relativePath, name) != 0)
        NoteTooLong(Verify, relativePath, name);
    else if (PlatformFindFile(levelText, &isDirectory) == 0 && isDirectory)
        NoteInLog("確認が止まりました: %s: 同じ名前のフォルダーがあります", levelText);
    else
        NoteStoppedAt("確認", levelText, ErrorFileNotFound);
}

int CopyFileOver(const char* sourceRoot, const char* relativePath, const FoundFile& entry) {
    if (ComposeBelow(MessageBuffer, sizeof MessageBuffer, sourceRoot, relativePath, entry.name) != 0 ||
        ComposeBelow(TargetBuffer, sizeof TargetBuffer, GameFolder, relativePath, entry.name) != 0) {
        NoteTooLong(Copy, relativePath, entry.name);
        return 1;
    }
    // The source path's part below the update folder is the file's path in the game.
    ProgressFile(ProgressCopy, MessageBuffer + strlen(sourceRoot) + 1);
    ClearReadOnlyMark(TargetBuffer);
    if (PlatformCopyFile(MessageBuffer, TargetBuffer) != 0) {
        NoteStoppedAt("コピー", TargetBuffer, PlatformLastError());
        return 1;
    }
    // The copy carries the source's read-only mark over.
    ClearReadOnlyMark(TargetBuffer);
    ProgressAdvance(entry.size);
    return 0;
}

// The game's counterpart of a level of the tree: the folder its files go to.
int ComposeDestinationFolder(char* buffer, const char* relativePath) {
    if (relativePath[0] == '\0') return FormatText(buffer, LevelTextSize, "%s", GameFolder);
    return FormatText(buffer, LevelTextSize, "%s\\%s", GameFolder, relativePath);
}

int VisitEntry(const char* sourceRoot, const char* relativePath, WalkMode mode, const FoundFile& entry,
               char* levelText) {
    if (entry.isDirectory) {
        if (IsDotEntry(entry.name)) return 0;
        char childPath[LevelTextSize];
        if (ComposeRelative(childPath, sizeof childPath, relativePath, entry.name) != 0) return 1;
        return WalkUpdateTree(sourceRoot, childPath, mode);
    }
    if (mode == Verify) {
        if (VerifyInLevelText(relativePath, entry.name, levelText) == 0) return 0;
        NoteNotVerified(relativePath, entry.name, levelText);
        return 1;
    }
    if (mode == Measure) {
        TallyFile(relativePath, entry, levelText);
        return 0;
    }
    return CopyFileOver(sourceRoot, relativePath, entry);
}

bool IsAsciiLetter(unsigned char byte) { return (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z'); }

// How many leading bytes of path name its root, which the chain never creates:
// "C:\" (or "C:" when relative to the drive's current folder), "\\server\share\"
// for a network path, "\" for a path from the current drive's root, none for a
// relative path.
size_t RootLength(const char* path) {
    if (IsAsciiLetter((unsigned char)path[0]) && path[1] == ':') return path[2] == '\\' ? 3 : 2;
    if (path[0] != '\\') return 0;
    if (path[1] != '\\') return 1;
    // Server and share: up to and including the backslash that ends the share.
    int separators = 0;
    size_t i = 2;
    while (path[i] != '\0') {
        if (path[i] == '\\' && ++separators == 2) return i + 1;
        i += CharacterLength(path + i);
    }
    return i;
}

// Upper-cases the ASCII letters, leaving double-byte characters whole.
void UpperCaseAsciiLetters(char* text) {
    for (size_t i = 0; text[i] != '\0'; i += CharacterLength(text + i))
        if (text[i] >= 'a' && text[i] <= 'z') text[i] = (char)(text[i] - 'a' + 'A');
}

// Creates the directory named by the first length bytes of path, upper-cased
// past its first keptLength bytes. Asking for an existing folder in another
// case makes the system search its parent for the name, which a parent that may
// be entered but not listed refuses; the game folder's own path is therefore
// asked for exactly as the registry spells it.
int CreatePrefix(const char* path, size_t length, size_t keptLength) {
    char prefix[ChainTextSize];
    memcpy(prefix, path, length);
    prefix[length] = '\0';
    if (keptLength < length) UpperCaseAsciiLetters(prefix + keptLength);
    unsigned error = 0;
    if (PlatformCreateDirectory(prefix, &error) == 0 || error == ErrorAlreadyExists) return 0;
    NoteStoppedAt("コピー", prefix, error);
    return 1;
}

}  // namespace

// Neither result is checked: a destination that does not exist yet has no mark.
// Attributes without the mark are not written back unchanged: that write is one
// of the dearest calls per file.
void ClearReadOnlyMark(const char* path) {
    unsigned attributes;
    if (PlatformGetFileAttributes(path, &attributes) != 0) return;
    if (!(attributes & FileAttributeReadOnly)) return;
    attributes &= ~(unsigned)FileAttributeReadOnly;
    // A file whose only mark was read-only is left with none, which Win32 spells NORMAL.
    PlatformSetFileAttributes(path, attributes != 0 ? attributes : (unsigned)FileAttributeNormal);
}

SpaceTally PatchSpace;

int VerifyFile(const char* relativePath, const char* name) {
    char levelText[LevelTextSize];
    return VerifyInLevelText(relativePath, name, levelText);
}

bool IsListedAsNewFile(const char* relativeFile) {
    for (int i = 0; i < UpdateDescription.AddFileCount && i < FileListCapacity; ++i)
        if (EqualIgnoringAsciiCase(UpdateDescription.AddFiles[i], relativeFile)) return true;
    return false;
}

int WalkUpdateTree(const char* sourceRoot, const char* relativePath, WalkMode mode) {
    char levelText[LevelTextSize];
    int tooLong;
    if (mode == Copy &&
        (ComposeDestinationFolder(levelText, relativePath) != 0 || MakeDirectoryChain(levelText, strlen(GameFolder)) != 0))
        return 1;
    // Before the room is asked for, so that the room they took counts as free.
    if (mode == Measure && ComposeDestinationFolder(levelText, relativePath) == 0) RemoveLeftoverTemporaries(levelText);
    if (relativePath[0] == '\0') tooLong = FormatText(levelText, sizeof levelText, "%s\\*", sourceRoot);
    else tooLong = FormatText(levelText, sizeof levelText, "%s\\%s\\*", sourceRoot, relativePath);
    if (tooLong) return 1;

    FileSearch search;
    FoundFile entry;
    // A missing update folder is a patch with nothing to copy. A subfolder was
    // just listed by its parent, though: a search that fails there would skip
    // its files silently and let the run report success.
    if (PlatformFindFirstFile(levelText, &search, &entry) != 0) {
        if (relativePath[0] == '\0') return 0;
        if (StageName(mode)) NoteStoppedAt(StageName(mode), levelText, PlatformLastError());
        return 1;
    }
    int result;
    do {
        result = VisitEntry(sourceRoot, relativePath, mode, entry, levelText);
    } while (result == 0 && PlatformFindNextFile(search, &entry) == 0);
    PlatformFindClose(search);
    return result;
}

// Every prefix that ends before a backslash outside the root, and the whole path,
// is created in turn. Backslashes are looked for character by character, so the
// second byte of a double-byte character never cuts a prefix.
int MakeDirectoryChain(const char* path, size_t keptLength) {
    size_t length = strlen(path);
    if (length >= ChainTextSize) return 1;
    size_t root = RootLength(path);
    bool endsInSeparator = false;
    for (size_t i = 0; i < length; i += CharacterLength(path + i)) {
        endsInSeparator = path[i] == '\\';
        if (endsInSeparator && i >= root && CreatePrefix(path, i, keptLength) != 0) return 1;
    }
    if (!endsInSeparator && length > root) return CreatePrefix(path, length, keptLength);
    return 0;
}

int ProbeFile(const char* path) {
    int isDirectory = 0;
    if (PlatformFindFile(path, &isDirectory) != 0) return 1;
    return isDirectory ? 1 : 0;
}
