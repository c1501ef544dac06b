// Adler-32, the checksum of each target window, in both implementations (the
// SSSE3 code where the processor has it, and the portable code) against its
// definition.
#include <gtest/gtest.h>

#include <stdint.h>

#include <random>
#include <string>

#include "codec/adler32.h"

namespace {

typedef std::string Bytes;

// The definition, in 64-bit sums reduced once at the end: none of the code's
// runs between reductions. Exact below 2^28 bytes (b < 255 n^2 / 2 + n < 2^64).
uint32_t Definition(const char* data, size_t size) {
    uint64_t a = 1, b = 0;
    for (size_t i = 0; i < size; ++i) {
        a += (unsigned char)data[i];
        b += a;
    }
    return (uint32_t)(b % 65521) << 16 | (uint32_t)(a % 65521);
}

// Lengths around the 32-byte steps and the 5552-byte runs, every alignment,
// and all-0xFF data, where the sums grow fastest.
TEST(Adler32, WindowChecksumMatchesTheDefinitionInBothImplementations) {
    std::mt19937 random(32);
    Bytes noise(70000 + 64, '\0'), full(70000 + 64, '\xFF');
    for (char& c : noise) c = (char)random();
    for (bool portable : {false, true}) {
        Adler32ForcePortable(portable);
        if (portable) {
            EXPECT_STREQ("portable", Adler32Implementation());
        }
        for (const Bytes* data : {&noise, &full}) {
            for (size_t length : {0, 1, 31, 32, 33, 63, 64, 5535, 5536, 5551, 5552, 5553, 11104, 11105, 70000}) {
                for (size_t start : {0, 1, 7, 15, 16, 31}) {
                    EXPECT_EQ(Definition(data->data() + start, length), Adler32(data->data() + start, length))
                        << (data == &full ? "0xFF " : "noise ") << length << " at " << start << (portable ? " portable" : "");
                }
            }
        }
    }
    Adler32ForcePortable(false);
}

// A run may sum 5552 bytes before b must be reduced; one byte more overflows
// b only when a and b already stand high as the run starts, which all-0xFF
// data first brings about after 577,512 bytes. Megabytes of it, whole and
// with a tail the vector steps leave to the portable code.
TEST(Adler32, SumsMegabytesOfFFAsTheDefinitionDoes) {
    const Bytes full((3u << 20) + 64, '\xFF');
    for (bool portable : {false, true}) {
        Adler32ForcePortable(portable);
        for (size_t length : {1u << 20, (1u << 20) + 17, (3u << 20) + 5}) {
            for (size_t start : {0, 3}) {
                EXPECT_EQ(Definition(full.data() + start, length), Adler32(full.data() + start, length))
                    << length << " at " << start << " " << Adler32Implementation();
            }
        }
    }
    Adler32ForcePortable(false);
}

}  // namespace
