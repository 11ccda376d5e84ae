// kvlist move and check: the pure steps, on files held in memory.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "move.h"
#include "noise.h"

namespace {

std::string hex8(uint64_t v) {
    char text[20];
    snprintf(text, sizeof text, "%08llX", static_cast<unsigned long long>(v));
    return text;
}

// A picture of one of these shapes, after its seed.
enum Shape {
    asymmetric, // no two pixels alike, rows unlike each other; seed 0: one plain colour
    bars,       // every row alike
    icon,       // a few pixels of its own on a ground of one colour shared by every icon
};
struct Picture {
    uint32_t width, height, seed;
    Shape shape = asymmetric;
};
const Picture A{5, 3, 1}, B{7, 4, 2}, C{9, 5, 3}, D{3, 3, 4}, Plain{4, 3, 0}, Big{60, 40, 5},
    Other{50, 30, 6}, Bars{61, 20, 7, bars}, Icon{31, 24, 8, icon}, LookAlike{31, 24, 9, icon};

uint32_t pixel(const Picture &p, uint32_t i) {
    const uint32_t x = i % p.width, y = i / p.width;
    switch (p.shape) {
    case asymmetric:
        return p.seed == 0 ? 0x1234 : (i * 40503 + p.seed * 7919 + y * 131) & 0x7FFF;
    case bars:
        return (x * 977 + p.seed * 7919) & 0x7FFF;
    case icon:
        return (x * 7 + y * 3 + p.seed) % 5 == 0 && x > 4 && x < p.width - 4 && y > 3 &&
                       y < p.height - 3
                   ? (i * 40503 + p.seed * 7919) & 0x7FFF
                   : 0x0C63;
    }
    return 0;
}

struct Layout {
    Bytes data;
    std::string list; // a line for each picture placed, by index, where it lies
};

// A file as words: "f20" 20 bytes of filler (seeded by its rank, or "f20:5"),
// "p1" picture 1, "u1" picture 1 not listed, "r1:40" picture 1 with 40 pixels
// redrawn, "h1" picture 1 with its first half overwritten, "x1" picture 1's
// place filled with other bytes.
Layout lay(const std::vector<Picture> &pictures, const char *text) {
    Layout l;
    uint32_t fillers = 0;
    for (const char *s = text; *s;) {
        const char kind = *s;
        char *end;
        const uint32_t a = uint32_t(strtoul(s + 1, &end, 10));
        const uint32_t b = *end == ':' ? uint32_t(strtoul(end + 1, &end, 10)) : 0;
        s = end + (*end == ' ');
        if (kind == 'f') {
            const Bytes f = noise(a, b ? b : ++fillers);
            l.data.insert(l.data.end(), f.begin(), f.end());
            continue;
        }
        const Picture &p = pictures[a];
        Bytes pic;
        for (uint32_t i = 0; i < p.width * p.height; i++) {
            const uint32_t v = pixel(p, i);
            pic.push_back(uint8_t(v));
            pic.push_back(uint8_t(v >> 8));
        }
        for (uint32_t k = 0; kind == 'r' && k < b; k++)
            pic[(k * 37 % (pic.size() / 2)) * 2] ^= 0x5A;
        if (kind == 'x' || kind == 'h') {
            const Bytes other = noise(pic.size(), 99 + a);
            std::copy(other.begin(),
                      other.begin() + long(kind == 'x' ? pic.size() : pic.size() / 2), pic.begin());
        }
        if (kind != 'u')
            l.list += "0x" + hex8(l.data.size()) + " 0x0000 " + std::to_string(p.width) + " " +
                      std::to_string(p.height) + " p" + std::to_string(a) + "\n";
        l.data.insert(l.data.end(), pic.begin(), pic.end());
    }
    return l;
}

Moved moveText(const Bytes &old, const std::string &list, const Bytes &now) {
    return moveList(old.data(), old.size(), reinterpret_cast<const uint8_t *>(list.data()),
                    list.size(), now.data(), now.size());
}

struct MoveRow {
    const char *what;
    std::vector<Picture> pictures;
    const char *old, *now, *report;
};

// clang-format off
const MoveRow moveRows[] = {
    {"same, moved by odd and even amounts, both ways", {A, B, C, D},
     "f50 p0 f40 p1 f30 p2 f30 p3 f9", "f50 p0 f43 p1 f8 p2 f31 p3 f9",
     "same|moved by +3|moved by -19|moved by -18"},
    {"a plain colour twice, each settled by its neighbours", {A, Plain, B, Plain, C},
     "f20 p0 f10 p1 f10 p2 f10 p3 f10 p4 f10", "f21 p0 f12 p1 f10 p2 f15 p3 f10 p4 f10",
     "moved by +1|moved by +3|moved by +3|moved by +8|moved by +8"},
    {"a plain colour with a twin elsewhere, settled between its neighbours", {A, Plain, B},
     "f20 p0 f10 p1 f10 p2 f10", "p1 f20 p0 f13 p1 f10 p2 f10",
     "moved by +24|moved by +27|moved by +27"},
    {"the same bytes twice between the same neighbours, one gone: neither found",
     {A, Plain, Plain, B},
     "f20 p0 f10 p1 f10 p2 f10 p3 f10", "f20 p0 f10 p1 f10 x2 f10 p3 f10",
     "same|not found|not found|same"},
    {"two of the same bytes, two places between the same neighbours", {A, Plain, Plain, B},
     "f20 p0 f10 p1 f10 p2 f10 p3 f10", "f20 p0 f11 p1 f12 p2 f10 p3 f10",
     "same|moved by +1|moved by +3|moved by +3"},
    {"redrawn in place", {A, Big, B}, "f20 p0 f10 p1 f10 p2 f10",
     "f20 p0 f10 r1:3 f10 p2 f10", "same|changed, moved by +0 (38 of 40 rows equal)|same"},
    {"redrawn twice over: several places fit", {A, Big, B}, "f20 p0 f10 p1 f10 p2 f10",
     "f20 p0 f10 r1:40 f10:5 r1:30 f10:3 p2 f10:4", "same|not found|moved by +4810"},
    {"the same bytes twice, one redrawn, one gone: neither found", {A, Big, Big, B},
     "f20 p0 f10 p1 f10 p2 f10 p3", "f20 p0 f10 r1:40 f10 x2 f10 p3",
     "same|not found|not found|same"},
    {"gone, a pending picture like it nearby: that one's place is not taken", {A, Big, Big, B},
     "f20 p0 f10 p1 f10 r2:600 f10 p3", "f20 p0 f10 x1 f10 r2:640 f10 p3",
     "same|not found|changed, moved by +0 (15 of 40 rows equal)|same"},
    {"the same bytes twice, out of order with another: none found", {A, Big, Big, Other, B},
     "f20 p0 f10 p1 f10 p2 f10 p3 f10 p4", "f20 p0 f10 p1 f10 r3:20 f10 r2:30 f10 p4",
     "same|not found|not found|not found|same"},
    {"a copy elsewhere, not listed, intact: the half-overwritten one is not taken for it",
     {A, Big, B}, "f20 p0 f10 p1 f30 u1 f10 p2 f10", "f20 p0 f10 h1 f30 u1 f10 p2 f10",
     "same|not found|same"},
    {"a copy elsewhere, not listed, both moved: they correspond in order", {A, Big, B},
     "f20 p0 f10 p1 f30 u1 f10 p2 f10", "f20 p0 f12 p1 f35 u1 f10 p2 f10",
     "same|moved by +2|moved by +7"},
    {"a copy elsewhere, not listed, gone: the one left could be either", {A, Big, B},
     "f20 p0 f10 p1 f30 u1 f10 p2 f10", "f20 p0 f10 p1 f30 x1 f10 p2 f10",
     "same|not found|same"},
    {"a plain picture in a longer run of its colour: every offset of the run is one",
     {A, Plain, B}, "f20 p0 f10 p1 f10 p2 f10", "f20 p0 f10 p1 u1 f10 p2 f10",
     "same|not found|moved by +24"},
    {"rows all alike, on a copy moved by six bytes", {A, Bars, B}, "f20 p0 f10 p1 f10 p2 f10",
     "f26 p0 f10 p1 f10 p2 f10", "moved by +6|moved by +6|moved by +6"},
    {"an icon redrawn in a few of its pixels", {A, Icon, B}, "f20 p0 f10 p1 f10 p2 f10",
     "f20 p0 f10 r1:3 f10 p2 f10", "same|changed, moved by +0 (21 of 24 rows equal)|same"},
    {"an icon gone, another on the same ground near: no evidence", {A, Icon, B, LookAlike},
     "f20 p0 f10 p1 f40 p2 f10", "f20 p0 f30 u3 f20 p2 f10", "same|not found|same"},
    {"two swapped: an exact match out of order is no answer", {A, B, C, D},
     "f20 p0 f10 p1 f10 p2 f10 p3 f10", "f20 p0 f10 p2 f10 p1 f10 p3 f10",
     "same|not found|not found|same"},
};
// clang-format on

TEST(Move, Rows) {
    for (const MoveRow &row : moveRows) {
        const Layout old = lay(row.pictures, row.old), now = lay(row.pictures, row.now);
        std::string report, want = "p0: "; // the report's lines, "|" between them
        for (unsigned c = 0, entry = 0; row.report[c]; c++)
            want += row.report[c] != '|' ? std::string(1, row.report[c])
                                         : "\np" + std::to_string(++entry) + ": ";
        want += "\n";
        const Moved m = moveText(old.data, old.list, now.data);
        for (const MoveReport &r : m.entries)
            report += moveReportLine(r) + "\n";
        EXPECT_EQ(report, want) << row.what;
    }
}

// Old file: A at 20, B at 60, nothing else listed; the new one has A at 23 and B gone.
const char *const listRows[][3] = {
    {"refused lines are written as comments", "0x14 0x0 5 3\nabc\n0x00000014 0x0 5 3 a\nzz\n\n",
     "#0x14 0x0 5 3\n#abc\n0x00000017 0x0 5 3 a\n#zz\n#\n"},
    {"overlapping entries move together", "0x00000014 0x0 5 3 all\n0x00000028 0x0 5 1 low\n",
     "0x00000017 0x0 5 3 all\n0x0000002B 0x0 5 1 low\n"},
    {"too large, no pixels, or past the end of the old file: not found",
     "0x00000014 0x0 200 160 a\n0x00000014 0x0 5 300 a\n0x00000014 0x0 0 3 a\n0x00000064 0x0 5 3 "
     "a\n",
     "#0x00000014 0x0 200 160 a\n#0x00000014 0x0 5 300 a\n#0x00000014 0x0 0 3 a\n"
     "#0x00000064 0x0 5 3 a\n"},
};

TEST(Move, ListLines) {
    const Layout old = lay({A, B}, "f20 p0 f10 p1 f3"), now = lay({A, B}, "f23 p0 f10 x1 f3");
    ASSERT_EQ(old.list, "0x00000014 0x0000 5 3 p0\n0x0000003C 0x0000 7 4 p1\n");
    ASSERT_EQ(old.data.size(), 119u);
    for (const auto &row : listRows)
        EXPECT_EQ(moveText(old.data, row[1], now.data).list, row[2]) << row[0];
}

// clang-format off
const struct {
    std::vector<Span> spans;
    std::vector<bool> settled;
} chainRows[] = {
    {{}, {}}, {{{0, 10}, {20, 30}, {40, 50}}, {true, true, true}},
    {{{0, 10}, {10, 20}}, {true, true}},                 // back to back
    {{{0, 10}, {5, 15}}, {false, false}},                // overlapping: either
    {{{10, 20}, {0, 10}}, {false, false}},               // swapped: either
    {{{0, 10}, {20, 30}, {5, 15}}, {true, true, false}}, // one out of order
    {{{0, 10}, {90, 95}, {20, 30}, {40, 50}}, {true, false, true, true}},
    {{{0, 10}, {30, 40}, {20, 30}, {50, 60}}, {true, false, false, true}},
};
// clang-format on

TEST(Move, InEveryLongestChain) {
    for (const auto &row : chainRows)
        EXPECT_EQ(inEveryLongestChain(row.spans), row.settled) << row.spans.size();
}

TEST(Move, RedrawnFound) {
    // pixels, equal at the best place, equal at the next best, found
    const uint64_t rows[][4] = {{100, 95, 50, 1}, {100, 54, 0, 0},   {100, 74, 0, 0},
                                {100, 75, 0, 1},  {100, 95, 87, 1},  {100, 95, 88, 0},
                                {100, 95, 95, 0}, {100, 100, 97, 1}, {100, 100, 98, 0},
                                {8, 8, 0, 1},     {8, 6, 0, 1},      {8, 5, 0, 0}};
    for (const auto &r : rows)
        EXPECT_EQ(redrawnFound(r[0], r[1], r[2]), r[3] != 0) << r[0] << " " << r[1] << " " << r[2];
}

} // namespace
