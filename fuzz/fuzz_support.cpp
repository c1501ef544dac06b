#include "fuzz_support.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

void Require(bool condition, const char* what, const std::string& detail) {
    if (condition) return;
    fprintf(stderr, "fuzz check failed: %s\n%s\n", what, detail.c_str());
    abort();
}

bool IsTerminatedWithin(const char* field, size_t size) { return memchr(field, '\0', size) != nullptr; }

std::string LowerAscii(const std::string& text) {
    std::string folded = text;
    for (char& c : folded)
        if (c >= 'A' && c <= 'Z') c = (char)(c - 'A' + 'a');
    return folded;
}
