// The SHA-256 of data as hex, fed to the hash in pieces of the given size (the
// whole at once for 0), so that tests can check that the split never matters.
#ifndef UPDATE_TESTS_SHA256_IN_PIECES_H
#define UPDATE_TESTS_SHA256_IN_PIECES_H

#include <string>

#include "codec/sha256.h"

inline std::string Sha256InPieces(const std::string& data, size_t piece = 0) {
    Sha256State state;
    Sha256Begin(&state);
    if (piece == 0) piece = data.size() + 1;
    for (size_t at = 0; at < data.size(); at += piece)
        Sha256Add(&state, data.data() + at, data.size() - at < piece ? data.size() - at : piece);
    unsigned char digest[32];
    Sha256Finish(&state, digest);
    char text[65];
    Sha256ToHex(digest, text);
    return text;
}

#endif
