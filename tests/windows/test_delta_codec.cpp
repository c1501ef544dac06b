// SHA-256, Adler-32 and the delta decoder as the Windows builds compile them: the
// processor's SHA instructions and the portable code (chosen by CPUID, with
// the i686 build's eight vector registers), and 64-bit source offsets where
// size_t has 32 bits. The host tests cover both at length.
#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>

#include <string>

#include "codec/adler32.h"
#include "codec/sha256.h"
#include "../codec/sha256_in_pieces.h"
#include "codec/vcdiff_decoder.h"
#include "../codec/vcdiff_integer.h"

namespace {


TEST(DeltaCodec, HashesAlikeWithBothImplementations) {
    std::string million(1000000, 'a'), mixed;
    for (int i = 0; i < 100000; ++i) mixed += (char)(i * 131 + (i >> 7));
    for (bool portable : {false, true}) {
        Sha256ForcePortable(portable);
        SCOPED_TRACE(Sha256Implementation());
        EXPECT_EQ("ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad", Sha256InPieces("abc", 1));
        EXPECT_EQ("cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0", Sha256InPieces(million, 4096));
        EXPECT_EQ("cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0", Sha256InPieces(million, 63));
    }
    Sha256ForcePortable(true);
    std::string portable = Sha256InPieces(mixed, 777);
    Sha256ForcePortable(false);
    EXPECT_EQ(portable, Sha256InPieces(mixed, 100000));
    printf("SHA-256 here: %s\n", Sha256Implementation());
    // The window checksum likewise, at every alignment of its 32-byte steps.
    for (size_t start = 0; start < 32; ++start) {
        uint32_t chosen = Adler32(mixed.data() + start, mixed.size() - start);
        Adler32ForcePortable(true);
        EXPECT_EQ(Adler32(mixed.data() + start, mixed.size() - start), chosen) << start;
        Adler32ForcePortable(false);
    }
    printf("Adler-32 here: %s\n", Adler32Implementation());
}

// A source of 5 GiB that is never stored: each byte is made from its offset.
const uint64_t SourceSize = 5ull << 30;
unsigned char SourceByte(uint64_t offset) { return (unsigned char)((offset * 2654435761u) >> 13 ^ offset >> 32); }

struct Io {
    std::string delta, target;
};

int ReadSource(void*, uint64_t offset, void* buffer, size_t size) {
    if (offset > SourceSize || size > SourceSize - offset) return 1;
    for (size_t i = 0; i < size; ++i) ((unsigned char*)buffer)[i] = SourceByte(offset + i);
    return 0;
}

int ReadDelta(void* context, uint64_t offset, void* buffer, size_t size, size_t* count) {
    const std::string& delta = ((Io*)context)->delta;
    *count = offset < delta.size() ? (size < delta.size() - offset ? size : delta.size() - (size_t)offset) : 0;
    memcpy(buffer, delta.data() + (offset < delta.size() ? offset : 0), *count);
    return 0;
}

int WriteTarget(void* context, const void* data, size_t size) {
    ((Io*)context)->target.append((const char*)data, size);
    return 0;
}

TEST(DeltaCodec, CopiesFromASourceAbove4GB) {
    // One window: its source segment of 300,000 bytes starts 4.25 GiB in; the
    // target is its second half, "patched!", then its first 70,000 bytes.
    const uint64_t segment = (17ull << 28) + 12345;
    std::string expected;
    for (uint64_t i = 150000; i < 300000; ++i) expected += (char)SourceByte(segment + i);
    expected += "patched!";
    for (uint64_t i = 0; i < 70000; ++i) expected += (char)SourceByte(segment + i);
    uint32_t a = 1, b = 0;
    for (unsigned char c : expected) {
        a = (a + c) % 65521;
        b = (b + a) % 65521;
    }
    std::string instructions = "\x13", addresses;  // COPY, size follows, address mode 0
    PutInteger(&instructions, 150000);
    instructions += "\x09\x13";                      // ADD 8, COPY
    PutInteger(&instructions, 70000);
    PutInteger(&addresses, 150000);
    PutInteger(&addresses, 0);
    std::string encoding;
    PutInteger(&encoding, expected.size());
    encoding += '\0';
    PutInteger(&encoding, 8);
    PutInteger(&encoding, instructions.size());
    PutInteger(&encoding, addresses.size());
    uint32_t sum = b << 16 | a;
    for (int shift = 24; shift >= 0; shift -= 8) encoding += (char)(sum >> shift);
    encoding += "patched!" + instructions + addresses;
    Io io;
    io.delta = std::string("\xD6\xC3\xC4\x00\x00\x05", 6);
    PutInteger(&io.delta, 300000);
    PutInteger(&io.delta, segment);
    PutInteger(&io.delta, encoding.size());
    io.delta += encoding;

    DeltaIo delta = {&io, SourceSize, UINT64_MAX, ReadSource, ReadDelta, WriteTarget, nullptr};
    uint64_t size = 0;
    DeltaProblem problem = DeltaFine;
    ASSERT_EQ(0, DecodeDelta(&delta, &size, &problem)) << DeltaProblemName(problem);
    EXPECT_EQ(expected.size(), size);
    EXPECT_TRUE(io.target == expected);

    // The same window with its segment moved past the end of the source.
    std::string past = std::string("\xD6\xC3\xC4\x00\x00\x05", 6);
    PutInteger(&past, 300000);
    PutInteger(&past, SourceSize - 299999);
    PutInteger(&past, encoding.size());
    io.delta = past + encoding;
    io.target.clear();
    EXPECT_EQ(1, DecodeDelta(&delta, &size, &problem));
    EXPECT_EQ(DeltaBadWindow, problem);
}

}  // namespace
