// kvlist move and check: the pure steps, on files held in memory.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "check.h"
#include "cli.h"
#include "move.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes noise(size_t n, uint32_t seed) {
    Bytes out(n);
    uint32_t x = seed * 2654435761u + 12345;
    for (uint8_t &b : out) {
        x = x * 1103515245u + 12345;
        b = uint8_t(x >> 23);
    }
    return out;
}

// An asymmetric picture: no two pixels alike, rows unlike each other; seed 0
// is one plain colour.
struct Picture {
    uint32_t width, height, seed;
};
Bytes pixels(const Picture &p) {
    Bytes out;
    for (uint32_t i = 0; i < p.width * p.height; i++) {
        const uint32_t v =
            p.seed == 0 ? 0x1234 : (i * 40503 + p.seed * 7919 + i / p.width * 131) & 0x7FFF;
        out.push_back(uint8_t(v));
        out.push_back(uint8_t(v >> 8));
    }
    return out;
}

// A piece of a file: filler ('f', bytes, seed), a picture ('p', index),
// a picture with some pixels redrawn ('r', index, pixels), or the picture's
// place filled with other bytes ('x', index).
struct Piece {
    Piece(char kind, uint32_t a, uint32_t b = 0) : kind(kind), a(a), b(b) {}
    char kind;
    uint32_t a, b;
};

struct Layout {
    Bytes data;
    std::vector<uint32_t> offsets; // of each picture placed, by index
};

Layout lay(const std::vector<Picture> &pictures, const std::vector<Piece> &pieces) {
    Layout l;
    l.offsets.assign(pictures.size(), 0);
    for (const Piece &p : pieces) {
        if (p.kind == 'f') {
            const Bytes f = noise(p.a, p.b);
            l.data.insert(l.data.end(), f.begin(), f.end());
            continue;
        }
        Bytes pic = pixels(pictures[p.a]);
        if (p.kind == 'r')
            for (uint32_t k = 0; k < p.b; k++)
                pic[(k * 37 % (pic.size() / 2)) * 2] ^= 0x5A;
        if (p.kind == 'x')
            pic = noise(pic.size(), 99 + p.a);
        l.offsets[p.a] = uint32_t(l.data.size());
        l.data.insert(l.data.end(), pic.begin(), pic.end());
    }
    return l;
}

std::string listOf(const std::vector<Picture> &pictures, const Layout &old) {
    std::string list;
    for (size_t i = 0; i < pictures.size(); i++) {
        char line[80];
        snprintf(line, sizeof line, "0x%08X 0x0000 %u %u p%zu\n", old.offsets[i], pictures[i].width,
                 pictures[i].height, i);
        list += line;
    }
    return list;
}

Moved moveText(const Bytes &old, const std::string &list, const Bytes &now) {
    return moveList(old.data(), old.size(), reinterpret_cast<const uint8_t *>(list.data()),
                    list.size(), now.data(), now.size());
}

std::string reportOf(const Moved &m) {
    std::string out;
    for (const MoveReport &r : m.entries)
        out += moveReportLine(r) + "\n";
    return out + moveSummary(m.counts);
}

struct MoveRow {
    const char *what;
    std::vector<Picture> pictures;
    std::vector<Piece> old, now;
    const char *report;
};

const Picture A{5, 3, 1}, B{7, 4, 2}, C{9, 5, 3}, D{3, 3, 4}, Plain{4, 3, 0}, Big{60, 40, 5},
    Other{50, 30, 6};

const MoveRow moveRows[] = {
    {"nothing moved",
     {A, B},
     {{'f', 50, 1}, {'p', 0}, {'f', 40, 2}, {'p', 1}, {'f', 30, 3}},
     {{'f', 50, 1}, {'p', 0}, {'f', 40, 2}, {'p', 1}, {'f', 30, 3}},
     "p0: same\np1: same\n2 entries: 2 same, 0 moved, 0 changed, 0 not found"},
    {"odd and even amounts, both ways",
     {A, B, C},
     {{'f', 50, 1}, {'p', 0}, {'f', 40, 2}, {'p', 1}, {'f', 30, 3}, {'p', 2}, {'f', 9, 4}},
     {{'f', 53, 1}, {'p', 0}, {'f', 38, 2}, {'p', 1}, {'f', 30, 3}, {'p', 2}, {'f', 9, 4}},
     "p0: moved by +3\np1: moved by +1\np2: moved by +1\n"
     "3 entries: 0 same, 3 moved, 0 changed, 0 not found"},
    {"moved back by an odd amount",
     {A, B},
     {{'f', 50, 1}, {'p', 0}, {'f', 40, 2}, {'p', 1}, {'f', 30, 3}},
     {{'f', 17, 1}, {'p', 0}, {'f', 40, 2}, {'p', 1}, {'f', 30, 3}},
     "p0: moved by -33\np1: moved by -33\n2 entries: 0 same, 2 moved, 0 changed, 0 not found"},
    {"a plain colour twice, each settled by its neighbours",
     {A, Plain, B, Plain, C},
     {{'f', 20, 1},
      {'p', 0},
      {'f', 10, 2},
      {'p', 1},
      {'f', 10, 3},
      {'p', 2},
      {'f', 10, 4},
      {'p', 3},
      {'f', 10, 5},
      {'p', 4},
      {'f', 10, 6}},
     {{'f', 21, 1},
      {'p', 0},
      {'f', 12, 2},
      {'p', 1},
      {'f', 10, 3},
      {'p', 2},
      {'f', 15, 4},
      {'p', 3},
      {'f', 10, 5},
      {'p', 4},
      {'f', 10, 6}},
     "p0: moved by +1\np1: moved by +3\np2: moved by +3\np3: moved by +8\np4: moved by +8\n"
     "5 entries: 0 same, 5 moved, 0 changed, 0 not found"},
    {"two of the same bytes between the same neighbours, one gone: neither found",
     {A, Plain, Plain, B},
     {{'f', 20, 1},
      {'p', 0},
      {'f', 10, 2},
      {'p', 1},
      {'f', 10, 3},
      {'p', 2},
      {'f', 10, 4},
      {'p', 3},
      {'f', 10, 5}},
     {{'f', 20, 1},
      {'p', 0},
      {'f', 10, 2},
      {'p', 1},
      {'f', 10, 3},
      {'x', 2},
      {'f', 10, 4},
      {'p', 3},
      {'f', 10, 5}},
     "p0: same\np1: not found\np2: not found\np3: same\n"
     "4 entries: 2 same, 0 moved, 0 changed, 2 not found"},
    {"two of the same bytes, two places between the same neighbours",
     {A, Plain, Plain, B},
     {{'f', 20, 1},
      {'p', 0},
      {'f', 10, 2},
      {'p', 1},
      {'f', 10, 3},
      {'p', 2},
      {'f', 10, 4},
      {'p', 3},
      {'f', 10, 5}},
     {{'f', 20, 1},
      {'p', 0},
      {'f', 11, 2},
      {'p', 1},
      {'f', 12, 3},
      {'p', 2},
      {'f', 10, 4},
      {'p', 3},
      {'f', 10, 5}},
     "p0: same\np1: moved by +1\np2: moved by +3\np3: moved by +3\n"
     "4 entries: 1 same, 3 moved, 0 changed, 0 not found"},
    {"redrawn and moved",
     {A, Big, B},
     {{'f', 20, 1}, {'p', 0}, {'f', 10, 2}, {'p', 1}, {'f', 10, 3}, {'p', 2}, {'f', 10, 4}},
     {{'f', 20, 1}, {'p', 0}, {'f', 15, 2}, {'r', 1, 40}, {'f', 10, 3}, {'p', 2}, {'f', 10, 4}},
     "p0: same\np1: changed, moved by +5 (15 of 40 rows equal)\np2: moved by +5\n"
     "3 entries: 1 same, 1 moved, 1 changed, 0 not found"},
    {"redrawn in place",
     {A, Big, B},
     {{'f', 20, 1}, {'p', 0}, {'f', 10, 2}, {'p', 1}, {'f', 10, 3}, {'p', 2}, {'f', 10, 4}},
     {{'f', 20, 1}, {'p', 0}, {'f', 10, 2}, {'r', 1, 3}, {'f', 10, 3}, {'p', 2}, {'f', 10, 4}},
     "p0: same\np1: changed, moved by +0 (38 of 40 rows equal)\np2: same\n"
     "3 entries: 2 same, 0 moved, 1 changed, 0 not found"},
    {"redrawn twice over: several places fit",
     {A, Big, B},
     {{'f', 20, 1}, {'p', 0}, {'f', 10, 2}, {'p', 1}, {'f', 10, 3}, {'p', 2}, {'f', 10, 4}},
     {{'f', 20, 1},
      {'p', 0},
      {'f', 10, 2},
      {'r', 1, 40},
      {'f', 10, 5},
      {'r', 1, 30},
      {'f', 10, 3},
      {'p', 2},
      {'f', 10, 4}},
     "p0: same\np1: not found\np2: moved by +4810\n"
     "3 entries: 1 same, 1 moved, 0 changed, 1 not found"},
    {"the same bytes twice, one redrawn, one gone: neither found",
     {A, Big, Big, B},
     {{'f', 20, 1},
      {'p', 0},
      {'f', 10, 2},
      {'p', 1},
      {'f', 10, 3},
      {'p', 2},
      {'f', 10, 4},
      {'p', 3}},
     {{'f', 20, 1},
      {'p', 0},
      {'f', 10, 2},
      {'r', 1, 40},
      {'f', 10, 3},
      {'x', 2},
      {'f', 10, 4},
      {'p', 3}},
     "p0: same\np1: not found\np2: not found\np3: same\n"
     "4 entries: 2 same, 0 moved, 0 changed, 2 not found"},
    {"gone, a pending picture like it nearby: that one's place is not taken",
     {A, Big, Big, B},
     {{'f', 20, 1},
      {'p', 0},
      {'f', 10, 2},
      {'p', 1},
      {'f', 10, 3},
      {'r', 2, 600},
      {'f', 10, 4},
      {'p', 3}},
     {{'f', 20, 1},
      {'p', 0},
      {'f', 10, 2},
      {'x', 1},
      {'f', 10, 3},
      {'r', 2, 640},
      {'f', 10, 4},
      {'p', 3}},
     "p0: same\np1: not found\np2: changed, moved by +0 (15 of 40 rows equal)\np3: same\n"
     "4 entries: 2 same, 0 moved, 1 changed, 1 not found"},
    {"the same bytes twice, their places out of order with another: none found",
     {A, Big, Big, Other, B},
     {{'f', 20, 1},
      {'p', 0},
      {'f', 10, 2},
      {'p', 1},
      {'f', 10, 3},
      {'p', 2},
      {'f', 10, 4},
      {'p', 3},
      {'f', 10, 5},
      {'p', 4}},
     {{'f', 20, 1},
      {'p', 0},
      {'f', 10, 2},
      {'p', 1},
      {'f', 10, 3},
      {'r', 3, 20},
      {'f', 10, 4},
      {'r', 2, 30},
      {'f', 10, 5},
      {'p', 4}},
     "p0: same\np1: not found\np2: not found\np3: not found\np4: same\n"
     "5 entries: 2 same, 0 moved, 0 changed, 3 not found"},
    {"gone, its bytes replaced",
     {A, Big, B},
     {{'f', 20, 1}, {'p', 0}, {'f', 10, 2}, {'p', 1}, {'f', 10, 3}, {'p', 2}, {'f', 10, 4}},
     {{'f', 20, 1}, {'p', 0}, {'f', 11, 2}, {'x', 1}, {'f', 10, 3}, {'p', 2}, {'f', 10, 4}},
     "p0: same\np1: not found\np2: moved by +1\n"
     "3 entries: 1 same, 1 moved, 0 changed, 1 not found"},
    {"two swapped: an exact match out of order is no answer",
     {A, B, C, D},
     {{'f', 20, 1},
      {'p', 0},
      {'f', 10, 2},
      {'p', 1},
      {'f', 10, 3},
      {'p', 2},
      {'f', 10, 4},
      {'p', 3},
      {'f', 10, 5}},
     {{'f', 20, 1},
      {'p', 0},
      {'f', 10, 2},
      {'p', 2},
      {'f', 10, 3},
      {'p', 1},
      {'f', 10, 4},
      {'p', 3},
      {'f', 10, 5}},
     "p0: same\np1: not found\np2: not found\np3: same\n"
     "4 entries: 2 same, 0 moved, 0 changed, 2 not found"},
    {"a plain colour with a twin elsewhere, settled between its neighbours",
     {A, Plain, B},
     {{'f', 20, 1}, {'p', 0}, {'f', 10, 2}, {'p', 1}, {'f', 10, 3}, {'p', 2}, {'f', 10, 4}},
     {{'p', 1},
      {'f', 20, 1},
      {'p', 0},
      {'f', 13, 2},
      {'p', 1},
      {'f', 10, 3},
      {'p', 2},
      {'f', 10, 4}},
     "p0: moved by +24\np1: moved by +27\np2: moved by +27\n"
     "3 entries: 0 same, 3 moved, 0 changed, 0 not found"},
};

TEST(Move, Rows) {
    for (const MoveRow &row : moveRows) {
        const Layout old = lay(row.pictures, row.old), now = lay(row.pictures, row.now);
        const Moved m = moveText(old.data, listOf(row.pictures, old), now.data);
        EXPECT_EQ(reportOf(m), row.report) << row.what;
    }
}

struct ListRow {
    const char *what, *list, *moved;
};

// Old file: A at 20, B at 60, nothing else listed; the new one has A at 23 and B gone.
const ListRow listRows[] = {
    {"only the offset changes; line ends, a byte order mark and comments stay",
     "\xEF\xBB\xBF# pictures\r\n0x00000014 0x0001  5 3 a   # tail\r\n\r\n",
     "\xEF\xBB\xBF# pictures\r\n0x00000017 0x0001  5 3 a   # tail\r\n\r\n"},
    {"a short offset field gets all eight digits", "0x14 0x0 5 3 a", "0x00000017 0x0 5 3 a"},
    {"not found: commented out whole", "0x00000014 0x0 5 3 a\n0x0000003C 0x0 7 4 b\n",
     "0x00000017 0x0 5 3 a\n#0x0000003C 0x0 7 4 b\n"},
    {"a line taking fields from an entry now commented out is written in full",
     "0x0000003C 0x0 5 3 b\n0x00000014\n", "#0x0000003C 0x0 5 3 b\n0x00000017 0x0000 5 3 b\n"},
    {"refused and incomplete lines are copied", "0x14 0x0 5 3\nabc\n0x00000014 0x0 5 3 a\nzz\n",
     "0x14 0x0 5 3\nabc\n0x00000017 0x0 5 3 a\nzz\n"},
    {"too large, or past the end of the old file: not found",
     "0x00000014 0x0 200 160 a\n0x00000014 0x0 5 300 a\n0x00000064 0x0 5 3 a\n",
     "#0x00000014 0x0 200 160 a\n#0x00000014 0x0 5 300 a\n#0x00000064 0x0 5 3 a\n"},
};

TEST(Move, ListLines) {
    const Layout old = lay({A, B}, {{'f', 20, 1}, {'p', 0}, {'f', 10, 2}, {'p', 1}, {'f', 3, 3}});
    const Layout now = lay({A, B}, {{'f', 23, 1}, {'p', 0}, {'f', 10, 2}, {'x', 1}, {'f', 3, 3}});
    ASSERT_EQ(old.offsets[1], 60u);
    ASSERT_EQ(old.data.size(), 119u);
    for (const ListRow &row : listRows)
        EXPECT_EQ(moveText(old.data, row.list, now.data).list, row.moved) << row.what;
}

TEST(Move, BlankLinesRepeatTheirEntryAndAreNoEntryOfTheirOwn) {
    const Layout old = lay({A}, {{'f', 20, 1}, {'p', 0}, {'f', 10, 2}});
    const Layout now = lay({A}, {{'f', 21, 1}, {'p', 0}, {'f', 10, 2}});
    const Moved m = moveText(old.data, "0x00000014 0x0 5 3 a\n\n  \n", now.data);
    EXPECT_EQ(m.list, "0x00000015 0x0 5 3 a\n\n  \n");
    EXPECT_EQ(reportOf(m), "a: moved by +1\n1 entry: 0 same, 1 moved, 0 changed, 0 not found");
}

TEST(Move, OverlappingEntriesMoveTogether) {
    const Layout old = lay({Big}, {{'f', 20, 1}, {'p', 0}, {'f', 10, 2}});
    const Layout now = lay({Big}, {{'f', 27, 1}, {'p', 0}, {'f', 10, 2}});
    // The whole picture and its lower half, named apart.
    const Moved m =
        moveText(old.data, "0x00000014 0x0 60 40 all\n0x00000974 0x0 60 20 half\n", now.data);
    EXPECT_EQ(m.list, "0x0000001B 0x0 60 40 all\n0x0000097B 0x0 60 20 half\n");
}

TEST(Move, NamesAreEscaped) {
    MoveReport r{"a\x1b[2Jb", moveNotFound, 0, 0, 0};
    EXPECT_EQ(moveReportLine(r), "a\\x1B[2Jb: not found");
}

struct ChainRow {
    std::vector<Span> spans;
    std::vector<bool> settled;
};

const ChainRow chainRows[] = {
    {{}, {}},
    {{{0, 10}, {20, 30}, {40, 50}}, {true, true, true}},
    {{{0, 10}, {10, 20}}, {true, true}},                 // back to back
    {{{0, 10}, {5, 15}}, {false, false}},                // overlapping: either
    {{{10, 20}, {0, 10}}, {false, false}},               // swapped: either
    {{{0, 10}, {20, 30}, {5, 15}}, {true, true, false}}, // one out of order
    {{{0, 10}, {90, 95}, {20, 30}, {40, 50}}, {true, false, true, true}},
    {{{0, 10}, {30, 40}, {20, 30}, {50, 60}}, {true, false, false, true}},
};

TEST(Move, InEveryLongestChain) {
    for (const ChainRow &row : chainRows)
        EXPECT_EQ(inEveryLongestChain(row.spans), row.settled) << row.spans.size();
}

struct RedrawnRow {
    uint64_t pixels, equal, next;
    bool found;
};

const RedrawnRow redrawnRows[] = {
    {100, 95, 50, true},  {100, 50, 0, false},  {100, 60, 0, true},   {100, 95, 87, true},
    {100, 95, 88, false}, {100, 95, 95, false}, {100, 100, 97, true}, {100, 100, 98, false},
    {8, 8, 0, true},      {8, 5, 0, true},      {8, 4, 0, false},
};

TEST(Move, RedrawnFound) {
    for (const RedrawnRow &row : redrawnRows)
        EXPECT_EQ(redrawnFound(row.pixels, row.equal, row.next), row.found)
            << row.pixels << " " << row.equal << " " << row.next;
}

// check

TEST(Check, Crc32) {
    const char *text = "123456789";
    EXPECT_EQ(crc32(0, reinterpret_cast<const uint8_t *>(text), 9), 0xCBF43926u);
    EXPECT_EQ(crc32(0, nullptr, 0), 0u);
    EXPECT_EQ(crc32(crc32(0, reinterpret_cast<const uint8_t *>(text), 4),
                    reinterpret_cast<const uint8_t *>(text) + 4, 5),
              0xCBF43926u);
}

struct SumsRow {
    Bytes data;
    Sums sums;
};

const SumsRow sumsRows[] = {
    {{}, {0, 0, 0, 0, 0}},
    {{1}, {1, 1, 0x100, 1, 0x01000000}},
    {{1, 2, 3}, {6, 0x0204, 0x0402, 0x030201, 0x01020300}},
    {{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
     {0x7F8, 0x3FFFC, 0x3FFFC, 0xFFFFFFFE, 0xFFFFFFFE}},
    {{1, 2, 3, 4, 5},
     {15, 0x0201 + 0x0403 + 5, 0x0102 + 0x0304 + 0x500, 0x04030201 + 5, 0x01020304 + 0x05000000}},
};

TEST(Check, Sums) {
    for (const SumsRow &row : sumsRows) {
        const Sums s = sumsOf(row.data.data(), row.data.size());
        EXPECT_EQ(s.bytes, row.sums.bytes) << row.data.size();
        EXPECT_EQ(s.le16, row.sums.le16) << row.data.size();
        EXPECT_EQ(s.be16, row.sums.be16) << row.data.size();
        EXPECT_EQ(s.le32, row.sums.le32) << row.data.size();
        EXPECT_EQ(s.be32, row.sums.be32) << row.data.size();
    }
}

// A file with a value planted at one end, over the rest, and its edit.
struct Planted {
    const char *what;
    bool atEnd;
    unsigned bytes;
    uint32_t (*value)(const uint8_t *, size_t);
    bool big;
    const char *warning; // for an edit of one byte in the middle
};

uint32_t plantCrc(const uint8_t *p, size_t n) { return crc32(0, p, n); }
uint32_t plantByteSum(const uint8_t *p, size_t n) { return sumsOf(p, n).bytes; }
uint32_t plantNegBe16(const uint8_t *p, size_t n) { return ~sumsOf(p, n).be16 + 1; }
uint32_t plantLe32(const uint8_t *p, size_t n) { return sumsOf(p, n).le32; }
uint32_t plantNegWordSum16(const uint8_t *p, size_t n) { return (~sumsOf(p, n).le16 + 1) & 0xFFFF; }

const Planted plantedRows[] = {
    {"CRC-32 at the end", true, 4, plantCrc, false,
     "warning: the last 4 bytes of o hold the CRC-32 of the rest, little-endian; e would need "
     "0x%08X there (0x000003E4..0x000003E7)"},
    {"CRC-32 at the start, big-endian", false, 4, plantCrc, true,
     "warning: the first 4 bytes of o hold the CRC-32 of the rest, big-endian; e would need "
     "0x%08X there (0x00000000..0x00000003)"},
    {"sum of bytes at the end", true, 4, plantByteSum, true,
     "warning: the last 4 bytes of o hold the 32-bit sum of the bytes of the rest, big-endian; "
     "e would need 0x%08X there (0x000003E4..0x000003E7)"},
    {"two's complement of the big-endian word sum", true, 4, plantNegBe16, false,
     "warning: the last 4 bytes of o hold the two's complement of the 32-bit sum of the "
     "big-endian 16-bit words of the rest, little-endian; e would need 0x%08X there "
     "(0x000003E4..0x000003E7)"},
    {"32-bit words", false, 4, plantLe32, false,
     "warning: the first 4 bytes of o hold the 32-bit sum of the little-endian 32-bit words of "
     "the rest, little-endian; e would need 0x%08X there (0x00000000..0x00000003)"},
    {"a 16-bit sum in 2 bytes", true, 2, plantNegWordSum16, true,
     "warning: the last 2 bytes of o hold the two's complement of the 16-bit sum of the "
     "little-endian 16-bit words of the rest, big-endian; e would need 0x%04X there "
     "(0x000003E6..0x000003E7)"},
};

TEST(Check, StaleChecksums) {
    for (const Planted &row : plantedRows) {
        Bytes o = noise(1000, 7);
        const size_t n = o.size() - row.bytes;
        auto plant = [&](Bytes &f) {
            uint8_t *at = f.data() + (row.atEnd ? n : 0);
            const uint32_t v = row.value(f.data() + (row.atEnd ? 0 : row.bytes), n);
            for (unsigned i = 0; i < row.bytes; i++)
                at[row.big ? row.bytes - 1 - i : i] = uint8_t(v >> (8 * i));
        };
        plant(o);
        EXPECT_EQ(staleChecksums(o.data(), o.size(), o.data(), o.size(), "o", "e").size(), 0u)
            << row.what;
        Bytes e = o;
        e[500] ^= 0x21;
        const std::vector<std::string> w =
            staleChecksums(o.data(), o.size(), e.data(), e.size(), "o", "e");
        Bytes fixed = e;
        plant(fixed);
        const uint32_t need = row.value(e.data() + (row.atEnd ? 0 : row.bytes), n);
        char want[400];
        snprintf(want, sizeof want, row.warning, need & (row.bytes == 4 ? 0xFFFFFFFF : 0xFFFF));
        ASSERT_EQ(w.size(), 1u) << row.what;
        EXPECT_EQ(w[0], want) << row.what;
        // Once the edit carries its new value there, nothing is said.
        EXPECT_EQ(staleChecksums(o.data(), o.size(), fixed.data(), fixed.size(), "o", "e").size(),
                  0u)
            << row.what;
    }
    const Bytes plain = noise(1000, 8);
    Bytes e = plain;
    e[3] ^= 1;
    EXPECT_EQ(staleChecksums(plain.data(), plain.size(), e.data(), e.size(), "o", "e").size(), 0u);
}

TEST(Check, AZeroSumIsSaidOnce) {
    // The two's complement of the word sum at the start makes every word of
    // the file sum to zero: the last word then "holds" it as well.
    Bytes o = noise(1000, 9);
    uint32_t sum = 0;
    for (size_t i = 2; i < o.size(); i += 2)
        sum += o[i] | o[i + 1] << 8;
    o[0] = uint8_t(-sum);
    o[1] = uint8_t(-sum >> 8);
    Bytes e = o;
    e[500] ^= 1;
    const std::vector<std::string> w =
        staleChecksums(o.data(), o.size(), e.data(), e.size(), "o", "e");
    ASSERT_EQ(w.size(), 1u);
    EXPECT_EQ(w[0].substr(0, 32), "warning: the first 2 bytes of o ");
}

struct RangeRow {
    const char *what;
    std::vector<size_t> changed; // bytes of b that differ from a
    std::vector<NamedSpan> spans;
    std::vector<Changed> ranges;
};

const RangeRow rangeRows[] = {
    {"none", {}, {}, {}},
    {"neighbours merged", {3, 4, 5, 9}, {}, {{3, 5, -1}, {9, 9, -1}}},
    {"inside a covered span: left out", {3, 4, 5, 9}, {{2, 8, -1}}, {{9, 9, -1}}},
    {"cut where a named span begins", {3, 4, 5, 6}, {{5, 20, 0}}, {{3, 4, -1}, {5, 6, 0}}},
    {"merged where the label stays", {8, 9, 10, 11, 12}, {{5, 20, 0}, {10, 15, 1}}, {{8, 12, 0}}},
    {"the first named in list order", {10, 11}, {{5, 20, 1}, {8, 12, 0}}, {{10, 11, 0}}},
    {"covered beats named", {10, 11, 12}, {{5, 20, 1}, {11, 13, -1}}, {{10, 10, 1}}},
    {"the last byte", {99}, {{90, 200, 0}}, {{99, 99, 0}}},
    {"long runs over equal blocks",
     {0, 70, 71, 72, 150},
     {},
     {{0, 0, -1}, {70, 72, -1}, {150, 150, -1}}},
};

TEST(Check, ChangedRanges) {
    for (const RangeRow &row : rangeRows) {
        const Bytes a = noise(200, 1);
        Bytes b = a;
        for (const size_t i : row.changed)
            b[i] ^= 0x10;
        const size_t size = row.changed.size() && row.changed.back() == 99 ? 100 : 200;
        const std::vector<Changed> got = changedRanges(a.data(), b.data(), size, row.spans);
        ASSERT_EQ(got.size(), row.ranges.size()) << row.what;
        for (size_t i = 0; i < got.size(); i++) {
            EXPECT_EQ(got[i].first, row.ranges[i].first) << row.what;
            EXPECT_EQ(got[i].last, row.ranges[i].last) << row.what;
            EXPECT_EQ(got[i].picture, row.ranges[i].picture) << row.what;
        }
    }
}

TEST(Check, Report) {
    // Two pictures in the kvpush window, one before it; a byte changed in each
    // place that matters, and one past the end of the edit.
    Bytes o = noise(kvpushFirst + 400, 3);
    Bytes e = o;
    e[kvpushFirst + 2] ^= 1;   // pixel 1 of "in"
    e[kvpushFirst + 3] ^= 1;   // the same pixel
    e[kvpushFirst + 4] ^= 1;   // pixel 2
    e[kvpushFirst + 100] ^= 1; // between the pictures
    e[kvpushFirst + 101] ^= 1; // merged with it
    e[16] ^= 1;                // inside "before", outside the window
    char list[400];
    snprintf(list, sizeof list,
             "0x%08X 0x0 5 3 in\n0x%08X 0x0 5 3 later\n0x00000010 0x0 2 2 before\n"
             "0x%08X 0x0 5 3 past\n0x00000010 0x0 200 200 big\n",
             kvpushFirst, kvpushFirst + 200, kvpushFirst + 390);
    const Checked c = checkEdit(o.data(), o.size(), e.data(), e.size(),
                                reinterpret_cast<const uint8_t *>(list), strlen(list), "o", "e");
    EXPECT_EQ(c.report, "in: 2 pixels changed\n"
                        "later: unchanged\n"
                        "before: 1 pixel changed\n"
                        "past: runs past the end of o\n"
                        "big: too large, kvpush refuses it\n"
                        "0x00000010..0x00000010 inside before, outside the kvpush window\n"
                        "0x0054DF8A..0x0054DF8B outside every listed picture\n"
                        "2 of 5 pictures changed, 2 ranges where kvpush does not write\n");
    EXPECT_FALSE(c.onlyInPictures);

    Bytes only = o;
    only[kvpushFirst] ^= 1;
    only.pop_back();
    const Checked s = checkEdit(o.data(), o.size(), only.data(), only.size(),
                                reinterpret_cast<const uint8_t *>(list), strlen(list), "o", "e");
    EXPECT_EQ(s.report, "in: 1 pixel changed\n"
                        "later: unchanged\n"
                        "before: unchanged\n"
                        "past: runs past the end of o\n"
                        "big: too large, kvpush refuses it\n"
                        "e is 1 byte shorter than o\n"
                        "1 of 5 pictures changed, 0 ranges where kvpush does not write, "
                        "lengths differ\n");
    EXPECT_FALSE(s.onlyInPictures);
    only.push_back(o.back());
    EXPECT_TRUE(checkEdit(o.data(), o.size(), only.data(), only.size(),
                          reinterpret_cast<const uint8_t *>(list), strlen(list), "o", "e")
                    .onlyInPictures);
}

} // namespace
