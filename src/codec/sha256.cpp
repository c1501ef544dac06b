#include "codec/sha256.h"
#include "codec/processor_features.h"

#include <string.h>

#ifdef PROCESSOR_X86
#include <immintrin.h>
#endif

namespace {

const uint32_t RoundConstants[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

const uint32_t InitialHash[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                 0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};

inline uint32_t RotateRight(uint32_t x, unsigned n) { return (x >> n) | (x << (32 - n)); }

inline uint32_t LoadBigEndian(const unsigned char* p) {
    return (uint32_t)p[0] << 24 | (uint32_t)p[1] << 16 | (uint32_t)p[2] << 8 | p[3];
}

// The compression function, written as the standard describes it, with the
// message schedule kept in a rolling window of 16 words.
void CompressPortable(uint32_t h[8], const unsigned char* blocks, size_t count) {
    for (; count > 0; --count, blocks += 64) {
        uint32_t w[16];
        for (int t = 0; t < 16; ++t) w[t] = LoadBigEndian(blocks + 4 * t);
        uint32_t a = h[0], b = h[1], c = h[2], d = h[3], e = h[4], f = h[5], g = h[6], hh = h[7];
        for (int t = 0; t < 64; ++t) {
            uint32_t wt;
            if (t < 16) {
                wt = w[t];
            } else {
                uint32_t w15 = w[(t - 15) & 15], w2 = w[(t - 2) & 15];
                uint32_t s0 = RotateRight(w15, 7) ^ RotateRight(w15, 18) ^ (w15 >> 3);
                uint32_t s1 = RotateRight(w2, 17) ^ RotateRight(w2, 19) ^ (w2 >> 10);
                wt = w[t & 15] = w[t & 15] + s0 + w[(t - 7) & 15] + s1;
            }
            uint32_t t1 = hh + (RotateRight(e, 6) ^ RotateRight(e, 11) ^ RotateRight(e, 25)) +
                          ((e & f) ^ (~e & g)) + RoundConstants[t] + wt;
            uint32_t t2 = (RotateRight(a, 2) ^ RotateRight(a, 13) ^ RotateRight(a, 22)) +
                          ((a & b) ^ (a & c) ^ (b & c));
            hh = g; g = f; f = e; e = d + t1;
            d = c; c = b; b = a; a = t1 + t2;
        }
        h[0] += a; h[1] += b; h[2] += c; h[3] += d;
        h[4] += e; h[5] += f; h[6] += g; h[7] += hh;
    }
}

#ifdef PROCESSOR_X86
// The same function with the processor's SHA instructions. They keep the
// working variables as two vectors, ABEF and CDGH, and do two rounds a step.
VECTOR_FUNCTION("sha,sse4.1,ssse3")
void CompressX86(uint32_t h[8], const unsigned char* blocks, size_t count) {
    const __m128i byteSwap = _mm_set_epi64x(0x0c0d0e0f08090a0bULL, 0x0405060700010203ULL);
    __m128i dcba = _mm_loadu_si128((const __m128i*)&h[0]);
    __m128i hgfe = _mm_loadu_si128((const __m128i*)&h[4]);
    __m128i cdab = _mm_shuffle_epi32(dcba, 0xB1);
    __m128i efgh = _mm_shuffle_epi32(hgfe, 0x1B);
    __m128i abef = _mm_alignr_epi8(cdab, efgh, 8);
    __m128i cdgh = _mm_blend_epi16(efgh, cdab, 0xF0);
    for (; count > 0; --count, blocks += 64) {
        const __m128i abefBefore = abef, cdghBefore = cdgh;
        __m128i w[4];
#pragma GCC unroll 4
        for (int i = 0; i < 4; ++i)
            w[i] = _mm_shuffle_epi8(_mm_loadu_si128((const __m128i*)(blocks + 16 * i)), byteSwap);
#pragma GCC unroll 16
        for (int i = 0; i < 16; ++i) {
            if (i >= 4) {
                // Words 4i..4i+3 from the four groups before them.
                __m128i previous = w[(i + 3) & 3], twoBack = w[(i + 2) & 3];
                __m128i sum = _mm_add_epi32(_mm_sha256msg1_epu32(w[i & 3], w[(i + 1) & 3]),
                                            _mm_alignr_epi8(previous, twoBack, 4));
                w[i & 3] = _mm_sha256msg2_epu32(sum, previous);
            }
            __m128i message = _mm_add_epi32(w[i & 3], _mm_loadu_si128((const __m128i*)&RoundConstants[4 * i]));
            cdgh = _mm_sha256rnds2_epu32(cdgh, abef, message);
            abef = _mm_sha256rnds2_epu32(abef, cdgh, _mm_shuffle_epi32(message, 0x0E));
        }
        abef = _mm_add_epi32(abef, abefBefore);
        cdgh = _mm_add_epi32(cdgh, cdghBefore);
    }
    __m128i feba = _mm_shuffle_epi32(abef, 0x1B);
    __m128i dchg = _mm_shuffle_epi32(cdgh, 0xB1);
    _mm_storeu_si128((__m128i*)&h[0], _mm_blend_epi16(feba, dchg, 0xF0));
    _mm_storeu_si128((__m128i*)&h[4], _mm_alignr_epi8(dchg, feba, 8));
}
#endif

bool portableForced = false;

bool UseShaInstructions() {
#ifdef PROCESSOR_X86
    return !portableForced && ProcessorHas(FeatureShaExtensions);
#else
    return false;
#endif
}

void Compress(uint32_t h[8], const unsigned char* blocks, size_t count) {
#ifdef PROCESSOR_X86
    if (UseShaInstructions()) {
        CompressX86(h, blocks, count);
        return;
    }
#endif
    CompressPortable(h, blocks, count);
}

}  // namespace

void Sha256Begin(Sha256State* state) {
    memcpy(state->h, InitialHash, sizeof InitialHash);
    state->bytes = 0;
    state->used = 0;
}

void Sha256Add(Sha256State* state, const void* data, size_t size) {
    if (size == 0) return;
    const unsigned char* bytes = (const unsigned char*)data;
    state->bytes += size;
    if (state->used > 0) {
        size_t take = 64 - state->used;
        if (take > size) take = size;
        memcpy(state->block + state->used, bytes, take);
        state->used += (unsigned)take;
        bytes += take;
        size -= take;
        if (state->used < 64) return;
        Compress(state->h, state->block, 1);
        state->used = 0;
    }
    size_t whole = size / 64;
    if (whole > 0) Compress(state->h, bytes, whole);
    bytes += whole * 64;
    size -= whole * 64;
    memcpy(state->block, bytes, size);
    state->used = (unsigned)size;
}

void Sha256Finish(Sha256State* state, unsigned char digest[32]) {
    uint64_t bits = state->bytes * 8;
    unsigned used = state->used;
    state->block[used++] = 0x80;
    if (used > 56) {
        memset(state->block + used, 0, 64 - used);
        Compress(state->h, state->block, 1);
        used = 0;
    }
    memset(state->block + used, 0, 56 - used);
    for (int i = 0; i < 8; ++i) state->block[56 + i] = (unsigned char)(bits >> (56 - 8 * i));
    Compress(state->h, state->block, 1);
    state->used = 0;
    for (int i = 0; i < 8; ++i) {
        digest[4 * i] = (unsigned char)(state->h[i] >> 24);
        digest[4 * i + 1] = (unsigned char)(state->h[i] >> 16);
        digest[4 * i + 2] = (unsigned char)(state->h[i] >> 8);
        digest[4 * i + 3] = (unsigned char)state->h[i];
    }
}

void Sha256ToHex(const unsigned char digest[32], char text[65]) {
    static const char digits[] = "0123456789abcdef";
    for (int i = 0; i < 32; ++i) {
        text[2 * i] = digits[digest[i] >> 4];
        text[2 * i + 1] = digits[digest[i] & 15];
    }
    text[64] = '\0';
}

static int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

int Sha256FromHex(const char* text, size_t length, unsigned char digest[32]) {
    if (length != 64) return 1;
    for (int i = 0; i < 32; ++i) {
        int high = HexValue(text[2 * i]), low = HexValue(text[2 * i + 1]);
        if (high < 0 || low < 0) return 1;
        digest[i] = (unsigned char)(high << 4 | low);
    }
    return 0;
}

const char* Sha256Implementation() {
    return UseShaInstructions() ? "x86 SHA extensions" : "portable";
}

void Sha256ForcePortable(bool portable) { portableForced = portable; }
