// SHA-256 of file contents, to tell whether a game file is the version a delta
// was made from and whether the decoded result is the version it should make.
// Two implementations hash alike: one with the processor's SHA instructions,
// chosen at run time where the processor has them, and a portable one.
#ifndef UPDATE_SHA256_H
#define UPDATE_SHA256_H

#include <stddef.h>
#include <stdint.h>

struct Sha256State {
    uint32_t h[8];              // the chaining value
    uint64_t bytes;             // bytes added so far
    unsigned char block[64];    // the part of a block not yet hashed
    unsigned used;              // how many bytes of block hold data
};

void Sha256Begin(Sha256State* state);
// Adds size bytes; any split of the data gives the same digest.
void Sha256Add(Sha256State* state, const void* data, size_t size);
// Pads, hashes the rest and writes the 32-byte digest. The state must be begun
// again before it is used for another hash.
void Sha256Finish(Sha256State* state, unsigned char digest[32]);

// Lowercase hex, NUL-terminated.
void Sha256ToHex(const unsigned char digest[32], char text[65]);
// Reads exactly 64 hex digits (either case): 0 and the digest, or 1.
int Sha256FromHex(const char* text, size_t length, unsigned char digest[32]);

// Which code hashes on this processor ("x86 SHA extensions" or "portable"), for reports.
const char* Sha256Implementation();

// For tests and measures: true keeps to the portable code even where the
// processor has the SHA instructions; false chooses by the processor again.
void Sha256ForcePortable(bool portable);

#endif
