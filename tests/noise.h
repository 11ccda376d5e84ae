#pragma once
// Bytes like compressed data, the same for a seed on every system: the
// filler of the made-up firmware files of the unit tests.
#include <cstddef>
#include <cstdint>
#include <vector>

using Bytes = std::vector<uint8_t>;

inline Bytes noise(size_t n, uint32_t seed) {
    Bytes out(n);
    uint32_t x = seed * 2654435761u + 12345;
    for (uint8_t &b : out) {
        x = x * 1103515245u + 12345;
        b = uint8_t(x >> 23);
    }
    return out;
}
