// Adler-32, the checksum the delta encoder keeps of each target window.
#ifndef UPDATE_ADLER32_H
#define UPDATE_ADLER32_H

#include <stddef.h>
#include <stdint.h>

// The Adler-32 of size bytes (1 for none).
uint32_t Adler32(const void* data, size_t size);

// Which code sums on this processor, for reports and tests.
const char* Adler32Implementation();

// Tests: the byte-at-a-time code even where vector instructions exist.
void Adler32ForcePortable(bool portable);

#endif
