// kvlist check: the pure steps, on files held in memory.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "check.h"
#include "noise.h"

namespace {

// clang-format off
TEST(Check, Sums) {
    const struct {
        Bytes data;
        std::vector<uint32_t> sums; // bytes, le16, be16, le32, be32
    } rows[] = {
        {{}, {0, 0, 0, 0, 0}},
        {{1}, {1, 1, 0x100, 1, 0x01000000}},
        {{1, 2, 3}, {6, 0x0204, 0x0402, 0x030201, 0x01020300}},
        {Bytes(8, 0xFF), {0x7F8, 0x3FFFC, 0x3FFFC, 0xFFFFFFFE, 0xFFFFFFFE}},
        {{1, 2, 3, 4, 5}, {15, 0x0201 + 0x0403 + 5, 0x0102 + 0x0304 + 0x500, 0x04030201 + 5,
                           0x01020304 + 0x05000000}}};
    for (const auto &row : rows) {
        const Sums s = sumsOf(row.data.data(), row.data.size());
        EXPECT_EQ(std::vector<uint32_t>({s.bytes, s.le16, s.be16, s.le32, s.be32}), row.sums);
    }
}

// A value planted at one end of a 1000-byte file, over the rest: the CRC-32 (sum 0) or a sum
// (1 bytes, 2 le16, 3 be16, 4 le32), or its two's complement; one byte of the middle edited.
const struct {
    bool atEnd;
    unsigned bytes, sum;
    bool negated, big;
    const char *what;
} plantedRows[] = {
    {true, 4, 0, false, false, "the CRC-32"},
    {false, 4, 0, false, true, "the CRC-32"},
    {true, 4, 1, false, true, "the 32-bit sum of the bytes"},
    {true, 4, 3, true, false,
     "the two's complement of the 32-bit sum of the big-endian 16-bit words"},
    {false, 4, 4, false, false, "the 32-bit sum of the little-endian 32-bit words"},
    {true, 2, 2, true, true,
     "the two's complement of the 16-bit sum of the little-endian 16-bit words"},
    // Every word of the file then sums to zero, so the last word "holds" it too: said once.
    {false, 2, 2, true, false,
     "the two's complement of the 16-bit sum of the little-endian 16-bit words"},
};
// clang-format on

TEST(Check, StaleChecksums) {
    for (const auto &row : plantedRows) {
        const size_t n = 1000 - row.bytes, at = row.atEnd ? n : 0;
        auto plant = [&](Bytes &f) { // the value over the rest, written in place
            const uint8_t *rest = f.data() + (row.atEnd ? 0 : row.bytes);
            const Sums s = sumsOf(rest, n);
            const uint32_t sums[] = {crc32(0, rest, n), s.bytes, s.le16, s.be16, s.le32};
            const uint32_t v = (row.negated ? ~sums[row.sum] + 1 : sums[row.sum]) &
                               (row.bytes == 4 ? 0xFFFFFFFF : 0xFFFF);
            for (unsigned i = 0; i < row.bytes; i++)
                f[at + (row.big ? row.bytes - 1 - i : i)] = uint8_t(v >> (8 * i));
            return v;
        };
        auto stale = [&](const Bytes &o, const Bytes &e) {
            return staleChecksums(o.data(), o.size(), e.data(), e.size(), "o", "e");
        };
        Bytes o = noise(1000, 7);
        plant(o);
        Bytes e = o;
        e[500] ^= 0x21;
        Bytes fixed = e;
        char want[400];
        snprintf(
            want, sizeof want,
            "warning: the %s %u bytes of o hold %s of the rest, %s-endian; e would need 0x%0*X "
            "there (0x%08zX..0x%08zX)",
            row.atEnd ? "last" : "first", row.bytes, row.what, row.big ? "big" : "little",
            int(2 * row.bytes), plant(fixed), at, at + row.bytes - 1);
        EXPECT_EQ(stale(o, o).size(), 0u) << want;
        EXPECT_EQ(stale(o, e), std::vector<std::string>{want});
        EXPECT_EQ(stale(o, fixed).size(), 0u) << want; // the edit carries its new value there
    }
}

// clang-format off
const struct {
    const char *what;
    size_t size;
    std::vector<size_t> changed; // bytes of b that differ from a
    std::vector<NamedSpan> spans;
    std::vector<std::vector<long>> ranges; // first, last, picture
} rangeRows[] = {
    {"inside a covered span: left out", 200, {3, 4, 5, 9}, {{2, 8, -1}}, {{9, 9, -1}}},
    {"cut where a named span begins", 200, {3, 4, 5, 6}, {{5, 20, 0}}, {{3, 4, -1}, {5, 6, 0}}},
    {"merged where the label stays", 200, {8, 9, 10, 11, 12}, {{5, 20, 0}, {10, 15, 1}},
     {{8, 12, 0}}},
    {"the first named in list order", 200, {10, 11}, {{5, 20, 1}, {8, 12, 0}}, {{10, 11, 0}}},
    {"covered beats named", 200, {10, 11, 12}, {{5, 20, 1}, {11, 13, -1}}, {{10, 10, 1}}},
    {"the last byte", 100, {99}, {{90, 200, 0}}, {{99, 99, 0}}},
    {"long runs over equal blocks", 200, {0, 70, 71, 72, 150}, {},
     {{0, 0, -1}, {70, 72, -1}, {150, 150, -1}}},
};
// clang-format on

TEST(Check, ChangedRanges) {
    for (const auto &row : rangeRows) {
        const Bytes a = noise(200, 1);
        Bytes b = a;
        for (const size_t i : row.changed)
            b[i] ^= 0x10;
        std::vector<std::vector<long>> got;
        for (const Changed &c : changedRanges(a.data(), b.data(), row.size, row.spans))
            got.push_back({long(c.first), long(c.last), c.picture});
        EXPECT_EQ(got, row.ranges) << row.what;
    }
}

} // namespace
