// The update.exe a patch carries must be the program's Windows build: its
// headers are read, not trusted to a file name.
#ifndef UPDATE_CHECK_RELEASE_PROGRAM_H
#define UPDATE_CHECK_RELEASE_PROGRAM_H

#include <string>
#include <vector>

#include "author_tools/run/check_report.h"

// 0 when path is this project's update.exe: a Windows program with a window
// (PE, GUI subsystem, not a DLL) whose version resource names the project, for
// i386, the release build, or for x86_64, which runs on 64-bit Windows only
// and is warned about; 1 and a one-line reason that says what to give instead.
int CheckReleaseProgram(const std::string& path, std::vector<AuthorWarning>* warnings, std::string* problem);

#endif
