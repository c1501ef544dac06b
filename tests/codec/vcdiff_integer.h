// The delta format's integers as an encoder writes them (base 128, most
// significant digit first, every digit but the last with its top bit set), for
// tests that write deltas by hand.
#ifndef UPDATE_TESTS_VCDIFF_INTEGER_H
#define UPDATE_TESTS_VCDIFF_INTEGER_H

#include <stdint.h>

#include <string>

inline void PutInteger(std::string* out, uint64_t value) {
    char digits[10];
    int count = 0;
    do {
        digits[count++] = (char)(value & 0x7f);
        value >>= 7;
    } while (value != 0);
    while (count > 1) out->push_back((char)(digits[--count] | 0x80));
    out->push_back(digits[0]);
}

#endif
