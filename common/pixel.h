#pragma once
// Device pixel: 16 bits, stored low byte first.
//
//   bit   15   | 14 .. 10 | 9 .. 5 | 4 .. 0
//         -    |   red    | green  |  blue      (bit 15 carries nothing)
//
// 5 bits to 8:  L -> L << 3      (0 -> 0, 31 -> 248; the low three bits stay 0)
// 8 bits to 5:  C -> C >> 3      (top five bits, no rounding)
//
// Expanding then packing gives back every value with bit 15 cleared.
#include <cstdint>

#include "le.h"

// The pixel loops are built for the baseline processor and, where the
// compiler and C library can pick a version at load time (GCC or Clang on
// x86-64 with glibc), also for SSSE3 and AVX2, whose byte shuffles make the
// 24-bit loops about twice as fast. Only functions of internal linkage take
// it: compilers differ in how they name the versions of an exported one.
#if defined(__x86_64__) && defined(__GNUC__) && defined(__GLIBC__)
#define PIXEL_LOOP __attribute__((target_clones("default", "ssse3", "avx2")))
#else
#define PIXEL_LOOP
#endif

// Blue, green and red in bytes 0, 1 and 2 of a little-endian word; byte 3 is 0.
inline uint32_t expandPixel(uint32_t v) {
    return (v & 0x001F) << 3 | (v & 0x03E0) << 6 | (v & 0x7C00) << 9;
}

inline uint32_t packPixel(uint32_t blue, uint32_t green, uint32_t red) {
    return (red >> 3) << 10 | (green >> 3) << 5 | blue >> 3;
}

inline uint32_t getPixel(const uint8_t *p) { return getLe16(p); }
inline void putPixel(uint8_t *p, uint32_t v) { putLe16(p, v); }
