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

inline uint8_t blueOf(uint32_t v) { return uint8_t((v & 0x1F) << 3); }
inline uint8_t greenOf(uint32_t v) { return uint8_t(((v >> 5) & 0x1F) << 3); }
inline uint8_t redOf(uint32_t v) { return uint8_t(((v >> 10) & 0x1F) << 3); }

inline uint32_t packPixel(uint32_t blue, uint32_t green, uint32_t red) {
    return (red >> 3) << 10 | (green >> 3) << 5 | blue >> 3;
}

inline uint32_t getPixel(const uint8_t *p) { return getLe16(p); }
inline void putPixel(uint8_t *p, uint32_t v) { putLe16(p, v); }
