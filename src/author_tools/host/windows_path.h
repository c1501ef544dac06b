// The Windows paths the author's tools place the folders at (--patch-path,
// --game-path): given in UTF-8, held in Shift-JIS as the program holds them.
#ifndef UPDATE_CHECK_WINDOWS_PATH_H
#define UPDATE_CHECK_WINDOWS_PATH_H

#include <string>

// 0 and the path in Shift-JIS; 1 and a one-line reason that names the option.
int WindowsPath(const char* option, const std::string& utf8, std::string* path, std::string* problem);

#endif
