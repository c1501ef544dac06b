// Where the game is and whether it is installed: the folder named on the
// command line or recorded by the game's installer in the registry, and the
// engine executables that mark an installed game.
#ifndef UPDATE_UPDATE_GAME_FOLDER_H
#define UPDATE_UPDATE_GAME_FOLDER_H

// The game-engine executables, in the order they are looked for: the game is
// installed when one of them is in GameFolder, and the first one the patch
// carries replaces its namesake there.
enum { EngineExecutableCount = 3 };
extern const char* const EngineExecutables[EngineExecutableCount];

// Fills GameFolder from the command line's folder, else from the registry
// value SAV_FOLDER below HKEY_CURRENT_USER\<[RegPath]>, without a trailing
// backslash. 0 when read; 1 when there is none. The log notes which, or why not.
int ReadGameFolder();

// Whether GameFolder holds one of the engine executables.
bool IsGameInstalled();

// Notes in the log why GameFolder is no installed game: the folder is missing,
// or it holds none of the engine executables.
void NoteWhyNotInstalled();

// Reads a string value below HKEY_CURRENT_USER\keyPath into buffer, terminated
// within it. 0 when read; 1 when the key or value is missing, the value is not a
// string, or it does not fit together with its terminator.
int ReadRegistryString(const char* keyPath, const char* valueName, char* buffer, unsigned size);

#endif
