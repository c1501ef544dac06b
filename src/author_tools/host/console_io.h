// The command line and the output of the checker, in UTF-8 on either system.
#ifndef UPDATE_CHECK_CONSOLE_IO_H
#define UPDATE_CHECK_CONSOLE_IO_H

#include <stdio.h>

#include <string>
#include <vector>

// The arguments after the program's name, as UTF-8.
std::vector<std::string> Utf8Arguments(int argc, char** argv);

// Writes UTF-8 text to stdout or stderr: on a Windows console through the wide
// console functions, elsewhere as the bytes themselves.
void WriteUtf8(FILE* stream, const std::string& text);

#endif
