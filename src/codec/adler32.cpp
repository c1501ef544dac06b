#include "codec/adler32.h"
#include "codec/processor_features.h"

#ifdef PROCESSOR_X86
#include <immintrin.h>
#endif

namespace {

const uint32_t Modulus = 65521;
// The most bytes summed before b must be reduced: 255 n (n + 1) / 2 + (n + 1)
// (Modulus - 1) stays below 2^32 up to n = 5552.
const size_t LongestRun = 5552;

uint32_t SumPortable(uint32_t a, uint32_t b, const unsigned char* data, size_t size) {
    while (size > 0) {
        size_t run = size < LongestRun ? size : LongestRun;
        size -= run;
        for (; run > 0; --run) {
            a += *data++;
            b += a;
        }
        a %= Modulus;
        b %= Modulus;
    }
    return b << 16 | a;
}

#ifdef PROCESSOR_X86
// 32 bytes a step. Over a step, a grows by the bytes' sum and b by 32 times a as
// it was plus the bytes weighted 32 down to 1; the vector lanes keep partial
// sums of a and b that are added up at the end of each run. Every partial sum
// is a part of the true b, so none overflows where b does not.
VECTOR_FUNCTION("ssse3")
uint32_t SumX86(uint32_t a, uint32_t b, const unsigned char* data, size_t size) {
    const size_t StepBytes = 32;
    const size_t RunSteps = LongestRun / StepBytes;
    const __m128i firstWeights = _mm_setr_epi8(32, 31, 30, 29, 28, 27, 26, 25, 24, 23, 22, 21, 20, 19, 18, 17);
    const __m128i secondWeights = _mm_setr_epi8(16, 15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1);
    const __m128i ones = _mm_set1_epi16(1);
    const __m128i zero = _mm_setzero_si128();
    while (size >= StepBytes) {
        size_t steps = size / StepBytes;
        if (steps > RunSteps) steps = RunSteps;
        size -= steps * StepBytes;
        __m128i sumA = _mm_cvtsi32_si128((int)a);
        __m128i sumB = _mm_cvtsi32_si128((int)b);
        __m128i earlierA = zero;  // the sum of a before each step
        for (; steps > 0; --steps, data += StepBytes) {
            __m128i first = _mm_loadu_si128((const __m128i*)data);
            __m128i second = _mm_loadu_si128((const __m128i*)(data + 16));
            earlierA = _mm_add_epi32(earlierA, sumA);
            sumA = _mm_add_epi32(sumA, _mm_add_epi32(_mm_sad_epu8(first, zero), _mm_sad_epu8(second, zero)));
            __m128i weighted = _mm_add_epi16(_mm_maddubs_epi16(first, firstWeights),
                                             _mm_maddubs_epi16(second, secondWeights));
            sumB = _mm_add_epi32(sumB, _mm_madd_epi16(weighted, ones));
        }
        sumB = _mm_add_epi32(sumB, _mm_slli_epi32(earlierA, 5));
        // Lanes added up: a lies in lanes 0 and 2, b in all four.
        sumA = _mm_add_epi32(sumA, _mm_shuffle_epi32(sumA, 0x4E));
        sumB = _mm_add_epi32(sumB, _mm_shuffle_epi32(sumB, 0x4E));
        sumB = _mm_add_epi32(sumB, _mm_shuffle_epi32(sumB, 0xB1));
        a = (uint32_t)_mm_cvtsi128_si32(sumA) % Modulus;
        b = (uint32_t)_mm_cvtsi128_si32(sumB) % Modulus;
    }
    return SumPortable(a, b, data, size);
}
#endif

bool portableForced = false;

bool UseVectorSums() {
#ifdef PROCESSOR_X86
    return !portableForced && ProcessorHas(FeatureSsse3);
#else
    return false;
#endif
}

}  // namespace

uint32_t Adler32(const void* data, size_t size) {
    const unsigned char* bytes = (const unsigned char*)data;
#ifdef PROCESSOR_X86
    if (UseVectorSums()) return SumX86(1, 0, bytes, size);
#endif
    return SumPortable(1, 0, bytes, size);
}

const char* Adler32Implementation() { return UseVectorSums() ? "x86 SSSE3" : "portable"; }

void Adler32ForcePortable(bool portable) { portableForced = portable; }
