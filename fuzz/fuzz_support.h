// Shared set-up for the fuzz targets: the host tests' fresh machine and program
// state for every input, and a check that stops the run with a readable reason.
#ifndef UPDATE_FUZZ_SUPPORT_H
#define UPDATE_FUZZ_SUPPORT_H

#include <stddef.h>

#include <string>

// ResetProgramState clears the in-memory machine and every global the program keeps.
#include "host_test_support.h"

// Aborts with the reason when the condition does not hold; libFuzzer then keeps
// the input as a crash.
void Require(bool condition, const char* what, const std::string& detail = "");

// Whether a fixed-size field holds its terminator.
bool IsTerminatedWithin(const char* field, size_t size);

std::string LowerAscii(const std::string& text);

#endif
