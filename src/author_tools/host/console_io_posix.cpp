#include "author_tools/host/console_io.h"

std::vector<std::string> Utf8Arguments(int argc, char** argv) { return std::vector<std::string>(argv + 1, argv + argc); }

void WriteUtf8(FILE* stream, const std::string& text) { fwrite(text.data(), 1, text.size(), stream); }
