// Shared set-up for host tests: a fresh in-memory machine and program state.
#ifndef UPDATE_HOST_TEST_SUPPORT_H
#define UPDATE_HOST_TEST_SUPPORT_H

#include <string>

// Clears the in-memory machine and every global of the program (the update run
// may run again).
void ResetProgramState();

// Writes update.ini into the program folder C:\Patch and points the command line
// at C:\Patch\setup.exe.
void InstallDescription(const std::string& content);

// The usual run's machine, after ResetProgramState: the program at C:\Patch,
// the game at C:\Game found through the key Software\Maker\Game, a main
// window that owns the boxes, and caption as their title.
void PrepareMakerGame(const char* caption);
// A file of that game, and of the patch's update tree.
std::string GameFile(const std::string& relative);
std::string PatchFile(const std::string& relative);

// The SHA-256 of bytes in 64 hex digits, as deltas.txt writes it.
std::string Hex(const std::string& bytes);

#endif
