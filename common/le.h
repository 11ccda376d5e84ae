#pragma once
// Little-endian fields. On a little-endian host a field is one load or
// store, which the pixel loops need to run at memory speed; elsewhere it is
// assembled byte by byte. Either way the bytes in the file are the same.
#include <cstdint>
#include <cstring>

#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
constexpr bool hostLittleEndian = true;
#else
constexpr bool hostLittleEndian = false;
#endif

inline uint32_t getLe16(const uint8_t *p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8; }

inline uint32_t getLe32(const uint8_t *p) {
    if (hostLittleEndian) {
        uint32_t v;
        memcpy(&v, p, 4);
        return v;
    }
    return getLe16(p) | getLe16(p + 2) << 16;
}

inline void putLe16(uint8_t *p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}

inline void putLe32(uint8_t *p, uint32_t v) {
    if (hostLittleEndian) {
        memcpy(p, &v, 4);
        return;
    }
    putLe16(p, v);
    putLe16(p + 2, v >> 16);
}
