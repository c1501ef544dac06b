#include "update/game_folder.h"

#include <string.h>

#include "description/update_description.h"
#include "platform/platform.h"
#include "state/command_line_choices.h"
#include "state/folders.h"
#include "state/scratch_buffers.h"
#include "state/user_messages.h"
#include "text/text.h"
#include "update/update_tree.h"

const char* const EngineExecutables[EngineExecutableCount] = {"Tessoran.exe", "kovent9d.exe", "kovent9m.exe"};

namespace {

// The value's bytes end at their first NUL; a value without one is terminated
// after its last byte, which needs one byte of the buffer to spare.
bool TerminateString(char* buffer, unsigned count, unsigned size) {
    if (count > size) count = size;
    if (memchr(buffer, '\0', count) != NULL) return true;
    if (count == size) return false;
    buffer[count] = '\0';
    return true;
}

}  // namespace

// A folder named on the command line takes the registry value's place.
int ReadGameFolder() {
    if (CommandLineChoices.GameFolderGiven) {
        if (!CommandLineChoices.GameFolderFits) {
            NoteInLog("コマンドラインのゲームフォルダーが長すぎます (%d バイトまで)。", GameFolderSize - 1);
            return 1;
        }
        if (CommandLineChoices.GameFolderArgument[0] == '\0') {
            NoteInLog("コマンドラインのゲームフォルダーが空です。");
            return 1;
        }
        strcpy(GameFolder, CommandLineChoices.GameFolderArgument);
        RemoveTrailingBackslash(GameFolder);
        NoteInLog("ゲームフォルダー (コマンドラインから): %s", GameFolder);
        return 0;
    }
    if (ReadRegistryString(UpdateDescription.RegistryKeyPath, "SAV_FOLDER", GameFolder, sizeof GameFolder) != 0) {
        NoteInLog("レジストリから読めません: HKEY_CURRENT_USER\\%s の SAV_FOLDER", UpdateDescription.RegistryKeyPath);
        return 1;
    }
    RemoveTrailingBackslash(GameFolder);
    NoteInLog("ゲームフォルダー (レジストリ HKEY_CURRENT_USER\\%s の SAV_FOLDER から): %s",
              UpdateDescription.RegistryKeyPath, GameFolder);
    return 0;
}

void NoteWhyNotInstalled() {
    unsigned attributes = 0;
    if (FormatText(TargetBuffer, sizeof TargetBuffer, "%s\\", GameFolder) != 0 ||
        PlatformGetFileAttributes(TargetBuffer, &attributes) != 0 || !(attributes & FileAttributeDirectory))
        NoteInLog("このフォルダーはありません: %s", GameFolder);
    else
        NoteInLog("エンジンの実行ファイル (%s, %s, %s) がありません: %s", EngineExecutables[0], EngineExecutables[1],
                  EngineExecutables[2], GameFolder);
}

bool IsGameInstalled() {
    for (const char* name : EngineExecutables)
        if (FormatText(MessageBuffer, sizeof MessageBuffer, "%s\\%s", GameFolder, name) == 0 &&
            ProbeFile(MessageBuffer) == 0)
            return true;
    return false;
}

// The key is opened for reading only and flushed after a successful read.
int ReadRegistryString(const char* keyPath, const char* valueName, char* buffer, unsigned size) {
    if (size == 0) return 1;
    RegistryKey key;
    if (PlatformOpenUserKey(keyPath, &key) != 0) return 1;
    unsigned type = 0;
    unsigned count = size;
    if (PlatformQueryValue(key, valueName, &type, buffer, &count) != 0) {
        PlatformCloseKey(key);
        buffer[0] = '\0';
        return 1;
    }
    PlatformFlushKey(key);
    PlatformCloseKey(key);
    if ((type != RegistryString && type != RegistryExpandString) || !TerminateString(buffer, count, size)) {
        buffer[0] = '\0';
        return 1;
    }
    return 0;
}
