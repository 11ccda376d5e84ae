#pragma once
// The pixel arithmetic every step of the finder runs on, inline: it is the
// hot part.
#include <cstddef>
#include <cstdint>

#include "find.h"
#include "thresholds.h"

inline bool printable(uint32_t byte) {
    return (byte >= 0x20 && byte < 0x7F) || byte == 9 || byte == 10 || byte == 13;
}

struct PrintableTable {
    bool byte[256];
};

constexpr PrintableTable makePrintableTable() {
    PrintableTable t{};
    for (uint32_t b = 0; b < 256; b++)
        t.byte[b] = (b >= 0x20 && b < 0x7F) || b == 9 || b == 10 || b == 13;
    return t;
}

constexpr PrintableTable printableTable = makePrintableTable();
constexpr const bool *printableByte = printableTable.byte;

// The three 5-bit channels of a word ten bits apart, so that one
// subtraction compares all three.
constexpr uint32_t spread(uint32_t v) { return (v & 31) | (v & 0x3E0) << 5 | (v & 0x7C00) << 10; }

// spread() of a word from its two bytes, by table.
struct SpreadTables {
    uint32_t low[256], high[256];
};

constexpr SpreadTables makeSpreadTables() {
    SpreadTables t{};
    for (uint32_t b = 0; b < 256; b++) {
        t.low[b] = spread(b);
        t.high[b] = spread(b << 8);
    }
    return t;
}

constexpr SpreadTables spreadTables = makeSpreadTables();

inline uint32_t spreadAt(Words w, size_t i) {
    return spreadTables.low[w.bytes[2 * i]] | spreadTables.high[w.bytes[2 * i + 1]];
}

// pixelDistance of two spread words: each field holds 512 plus the
// difference, its bit 9 tells the sign, and the absolute values are summed
// by one multiplication (each field and the sum stay below 1024).
inline uint32_t spreadDistance(uint32_t a, uint32_t b) {
    constexpr uint32_t guard = 0x20080200;
    const uint32_t d = (a | guard) - b, negative = (~d & guard) >> 9;
    const uint32_t gaps = (d ^ (negative * 0x3FF)) - (guard - negative);
    return (gaps * 0x100401u) >> 20 & 0x3FF;
}

// A brightness of 0..124 in a byte, so the row comparisons of a block run as
// byte sums of absolute differences.
inline uint8_t brightness(uint32_t v) { return uint8_t((v & 31) + (v >> 4 & 62) + (v >> 10 & 31)); }

inline bool uniformRow(Words w, size_t start, uint32_t width) {
    for (size_t i = start + 1; i < start + width; i++)
        if (w[i] != w[start])
            return false;
    return true;
}

inline bool isFlat(Words w, size_t from, size_t to) {
    for (size_t i = from + 1; i < to; i++)
        if (w[i] != w[from])
            return false;
    return true;
}

// Wide text continues from row to row like a smooth picture; a row of it
// ends one.
inline bool textRow(Words w, size_t start, uint32_t width) {
    uint32_t text = 0;
    for (size_t i = start; i < start + width; i++) {
        const uint32_t lo = w.bytes[2 * i], hi = w.bytes[2 * i + 1];
        text += (printableByte[lo] && hi == 0) || (lo == 0 && printableByte[hi]);
    }
    return text * textRowShare.den >= width * textRowShare.num;
}
