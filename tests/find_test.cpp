// The picture finder's steps on small made-up inputs: a smooth, asymmetric
// picture of odd width between bytes that are no picture.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "find.h"

namespace {

using Bytes = std::vector<uint8_t>;

uint32_t rgb(uint32_t r, uint32_t g, uint32_t b) { return r << 10 | g << 5 | b; }

// Red grows to the right, green downwards, blue makes cells of 3 x 3 pixels
// bright or dark at random, brighter near a point off the centre: no two rows
// and no two columns alike, and no period across.
std::vector<uint32_t> picture(uint32_t w, uint32_t h) {
    std::vector<uint32_t> p;
    for (uint32_t y = 0; y < h; y++)
        for (uint32_t x = 0; x < w; x++) {
            const uint32_t dx = x > w / 3 ? x - w / 3 : w / 3 - x,
                           dy = y > h / 4 ? y - h / 4 : h / 4 - y;
            const uint32_t near = 31 - std::min(31u, (dx + dy) * 40 / (w + h));
            const bool bright = ((x / 3 * 2654435761u) ^ (y / 3 * 40503u)) >> 13 & 1;
            p.push_back(rgb(x * 31 / (w - 1), y * 31 / (h - 1), bright ? near : near / 4));
        }
    return p;
}

void putWords(Bytes &out, const std::vector<uint32_t> &words) {
    for (uint32_t v : words) {
        out.push_back(uint8_t(v));
        out.push_back(uint8_t(v >> 8));
    }
}

// Bytes like compressed data: every bit pattern, bit 15 changing often.
void putNoise(Bytes &out, size_t n, uint32_t seed) {
    for (size_t i = 0; i < n; i++) {
        seed = seed * 1103515245 + 12345;
        out.push_back(uint8_t(seed >> 16));
    }
}

struct Placed {
    Bytes bytes;
    uint32_t offset;
};

Placed between(size_t before, const std::vector<uint32_t> &words, size_t after) {
    Placed p;
    putNoise(p.bytes, before, 7);
    p.offset = uint32_t(p.bytes.size());
    putWords(p.bytes, words);
    putNoise(p.bytes, after, 11);
    return p;
}

std::string found(const Bytes &bytes) {
    std::string s;
    for (const Candidate &c : findPictures(bytes.data(), bytes.size()))
        s += std::to_string(c.offset) + ":" + std::to_string(c.width) + "x" +
             std::to_string(c.height) + " ";
    return s;
}

std::string expect(uint32_t offset, uint32_t w, uint32_t h) {
    return std::to_string(offset) + ":" + std::to_string(w) + "x" + std::to_string(h) + " ";
}

} // namespace

TEST(PixelDistance, SumsTheChannelsAndIgnoresBit15) {
    struct Row {
        uint32_t a, b, distance;
    } rows[] = {
        {0x0000, 0x0000, 0},
        {0x0000, 0x7FFF, 93},
        {0x001F, 0x0000, 31},
        {0x0421, 0x0000, 3},
        {0x8000, 0x0000, 0},
        {0x7C00, 0x03E0, 62},
        {rgb(3, 9, 27), rgb(5, 8, 20), 10},
    };
    for (const Row &r : rows) {
        EXPECT_EQ(pixelDistance(r.a, r.b), r.distance) << std::hex << r.a << " " << r.b;
        EXPECT_EQ(pixelDistance(r.b, r.a), r.distance);
    }
}

// One picture between noise is found with its offset and size, at either
// byte parity, at widths from the smallest to the largest.
TEST(FindPictures, OnePictureBetweenNoise) {
    struct Row {
        size_t before;
        uint32_t w, h;
    } rows[] = {
        {1000, 37, 23},  {1001, 37, 23}, {512, 13, 40}, {777, 61, 19},
        {2048, 128, 30}, {3, 101, 17},   {64, 9, 50},
    };
    for (const Row &r : rows) {
        const Placed p = between(r.before, picture(r.w, r.h), 999);
        EXPECT_EQ(found(p.bytes), expect(p.offset, r.w, r.h))
            << r.before << " " << r.w << "x" << r.h;
    }
}

// An icon on a plain margin, a zero word before it and a run of set bit 15
// after it: the margin is part of it, from its first word, which sets the
// row grid, not an end a word off.
TEST(FindPictures, IconOnAMarginKeepsTheGridOfItsStart) {
    struct Row {
        uint32_t w, h, margin;
    } rows[] = {{41, 37, 2}, {57, 45, 3}, {33, 29, 1}};
    for (const Row &r : rows) {
        const std::vector<uint32_t> inner = picture(r.w - 2 * r.margin, r.h - 2 * r.margin);
        std::vector<uint32_t> icon(size_t(r.w) * r.h, 0x7C1F);
        for (uint32_t y = 0; y + 2 * r.margin < r.h; y++)
            for (uint32_t x = 0; x + 2 * r.margin < r.w; x++)
                icon[(y + r.margin) * r.w + x + r.margin] = inner[y * (r.w - 2 * r.margin) + x];
        Bytes bytes;
        putNoise(bytes, 600, 9);
        putWords(bytes, {0x4DC0, 0x4DC0, 0});
        const uint32_t offset = uint32_t(bytes.size());
        putWords(bytes, icon);
        putWords(bytes, std::vector<uint32_t>(300, 0xFFFF));
        const std::string all = found(bytes);
        EXPECT_EQ(all.substr(0, all.find(' ') + 1), expect(offset, r.w, r.h)) << all;
    }
}

// An icon whose first rows are bands of one colour each, a little darker
// row by row, inside a one-word margin: no word of a band matches the one
// below it better than its neighbours, yet the bands and the margin are the
// icon's top.
TEST(FindPictures, BandsOfOneColourStartAnIcon) {
    // Half the contrast around a grey the last band is near.
    auto soft = [](uint32_t v) {
        return rgb(8 + (v >> 10 & 31) / 2, 8 + (v >> 5 & 31) / 2, 8 + (v & 31) / 2);
    };
    struct Row {
        uint32_t w, h, bands;
    } rows[] = {{45, 27, 4}, {61, 29, 2}, {39, 33, 3}};
    for (const Row &r : rows) {
        std::vector<uint32_t> icon(size_t(r.w) * r.h, 0x7C1F);
        const std::vector<uint32_t> inner = picture(r.w - 2, r.h - 2 - r.bands);
        for (uint32_t y = 0; y + 2 < r.h; y++)
            for (uint32_t x = 1; x + 1 < r.w; x++)
                icon[(y + 1) * r.w + x] = y < r.bands
                                              ? rgb(21 - 2 * y, 21 - 2 * y, 20 - 2 * y)
                                              : soft(inner[(y - r.bands) * (r.w - 2) + x - 1]);
        const Placed p = between(800, icon, 700);
        const std::string all = found(p.bytes);
        EXPECT_EQ(all.substr(0, all.find(':')), std::to_string(p.offset)) << all;
    }
}

// A picture cut across by a few rows of one value and an edge is one
// picture, not two of one width a few rows apart.
TEST(FindPictures, PiecesOfOneWidthJoin) {
    const uint32_t w = 37;
    std::vector<uint32_t> words = picture(w, 19);
    words.insert(words.end(), size_t(3) * w, rgb(3, 9, 27));
    std::vector<uint32_t> lower = picture(w, 23);
    for (uint32_t &v : lower)
        v ^= 0x3C0F;
    words.insert(words.end(), lower.begin(), lower.end());
    const Placed p = between(900, words, 600);
    EXPECT_EQ(found(p.bytes), expect(p.offset, w, 45));
}

// An icon whose first and last rows of content change too much to continue
// (a rim), inside a plain margin: the rim rows and the margin belong to it.
TEST(FindPictures, RimRowsInsideAMarginJoin) {
    struct Row {
        uint32_t w, h, margin;
    } rows[] = {{39, 31, 2}, {53, 27, 3}};
    for (const Row &r : rows) {
        const uint32_t iw = r.w - 2 * r.margin, ih = r.h - 2 * r.margin;
        std::vector<uint32_t> inner = picture(iw, ih);
        uint32_t seed = 5;
        for (uint32_t x = 0; x < iw; x++)
            for (uint32_t y : {0u, 1u, ih - 2, ih - 1}) {
                seed = seed * 1103515245 + 12345;
                inner[y * iw + x] = seed >> 16 & 0x7FFF;
            }
        std::vector<uint32_t> icon(size_t(r.w) * r.h, rgb(2, 30, 4));
        for (uint32_t y = 0; y < ih; y++)
            for (uint32_t x = 0; x < iw; x++)
                icon[(y + r.margin) * r.w + x + r.margin] = inner[y * iw + x];
        const Placed p = between(700, icon, 500);
        EXPECT_EQ(found(p.bytes), expect(p.offset, r.w, r.h));
    }
}

// Frames of one size on black back to back: the black between them hides
// where the second begins, the first's row grid does not.
TEST(FindPictures, FramesBackToBackKeepTheFirstGrid) {
    const uint32_t w = 41, h = 37, m = 4;
    Bytes bytes;
    putNoise(bytes, 800, 13);
    const uint32_t offset = uint32_t(bytes.size());
    for (uint32_t f = 0; f < 3; f++) {
        const std::vector<uint32_t> inner = picture(w - 2 * m, h - 2 * m);
        std::vector<uint32_t> frame(size_t(w) * h, 0);
        for (uint32_t y = 0; y < h - 2 * m; y++)
            for (uint32_t x = 0; x < w - 2 * m; x++) {
                // Each frame's content a little further right, darker at its left.
                const uint32_t sx = x + f < w - 2 * m ? x + f : x;
                frame[(y + m) * w + x + m] = x < 2 * f ? 0 : inner[y * (w - 2 * m) + sx];
            }
        putWords(bytes, frame);
    }
    putNoise(bytes, 600, 17);
    const std::string all = found(bytes);
    EXPECT_NE(all, "");
    for (const Candidate &c : findPictures(bytes.data(), bytes.size()))
        EXPECT_EQ((c.offset - offset) % (2 * w), 0u) << all;
}

TEST(FindPictures, TwoPicturesOfDifferentWidthsBackToBack) {
    Bytes bytes;
    putNoise(bytes, 700, 3);
    const uint32_t first = uint32_t(bytes.size());
    putWords(bytes, picture(45, 20));
    const uint32_t second = uint32_t(bytes.size());
    std::vector<uint32_t> other = picture(29, 31);
    for (uint32_t &v : other)
        v ^= 0x7C00; // another picture, not the first one's continuation
    putWords(bytes, other);
    putNoise(bytes, 500, 5);
    EXPECT_EQ(found(bytes), expect(first, 45, 20) + expect(second, 29, 31));
}

TEST(FindPictures, NothingInEmptyOrNoise) {
    EXPECT_EQ(found(Bytes()), "");
    EXPECT_EQ(found(Bytes(1, 0)), "");
    Bytes noise;
    putNoise(noise, 1 << 16, 1);
    EXPECT_EQ(found(noise), "");
    EXPECT_EQ(found(Bytes(65536, 0)), "") << "padding";
    EXPECT_EQ(found(Bytes(65536, 0xFF)), "") << "padding";
}

// What only looks smooth: text, a table of small numbers, a monotone table,
// audio whose sign changes.
TEST(FindPictures, NoPictureInSmoothNonPictures) {
    std::string text;
    while (text.size() < 20000)
        text += "The quick brown fox jumps over the lazy dog; pictures are rows of pixels. ";
    Bytes ascii(text.begin(), text.end());
    EXPECT_EQ(found(ascii), "") << "ascii";
    Bytes utf16;
    for (char c : text) {
        utf16.push_back(uint8_t(c));
        utf16.push_back(0);
    }
    EXPECT_EQ(found(utf16), "") << "utf-16";
    // Cyrillic words between ASCII ones: letters of one block of code points.
    Bytes cyrillic;
    for (uint32_t i = 0; cyrillic.size() < 20000; i++) {
        const uint32_t c = i % 9 == 8 ? 0x20 : i % 23 < 6 ? 0x61 + i * 7 % 26 : 0x430 + i * 11 % 32;
        cyrillic.push_back(uint8_t(c));
        cyrillic.push_back(uint8_t(c >> 8));
    }
    EXPECT_EQ(found(cyrillic), "") << "utf-16, one script";
    std::vector<uint32_t> gamma, sine, audio;
    for (uint32_t i = 0; i < 4096; i++) {
        gamma.push_back(uint32_t(i * i / 512)); // 0 .. 32752, always rising
        sine.push_back(
            uint32_t(128 + ((i * 37) % 256 < 128 ? (i * 37) % 128 : 127 - (i * 37) % 128)));
        audio.push_back(uint32_t(int32_t((i % 50) * 1200) - 30000) & 0xFFFF);
    }
    Bytes table;
    putWords(table, gamma);
    EXPECT_EQ(found(table), "") << "gamma";
    table.clear();
    putWords(table, sine);
    EXPECT_EQ(found(table), "") << "small numbers";
    table.clear();
    putWords(table, audio);
    EXPECT_EQ(found(table), "") << "audio";
}

TEST(FindPictures, LongRunsCutAtRowsWithinTheLimits) {
    // 100 x 500 of one smooth picture: at most 20480 pixels a candidate.
    const Placed p = between(600, picture(100, 500), 600);
    const std::vector<Candidate> c = findPictures(p.bytes.data(), p.bytes.size());
    ASSERT_FALSE(c.empty());
    uint32_t rows = 0;
    for (const Candidate &k : c) {
        EXPECT_EQ(k.width, 100u);
        EXPECT_LE(k.width * k.height, findMaxPixels);
        EXPECT_LE(k.height, findMaxHeight);
        EXPECT_EQ((k.offset - p.offset) % 200, 0u) << "cut at a row boundary";
        rows += k.height;
    }
    EXPECT_EQ(c.front().offset, p.offset);
    EXPECT_EQ(rows, 500u);
}

// A block of rows of one width, grown to its plain ground and cut into
// pictures: each row's words between noise, and the pictures expected in
// them back to back from skip words on.
TEST(FindPictures, BlocksGrownToTheirGroundAndCut) {
    const uint32_t sky = rgb(6, 20, 28);
    auto onGround = [](uint32_t w, uint32_t h, uint32_t ground, uint32_t x, uint32_t y,
                       const std::vector<uint32_t> &inner, uint32_t iw) {
        std::vector<uint32_t> p(size_t(w) * h, ground);
        for (size_t i = 0; i < inner.size(); i++)
            p[(y + i / iw) * w + x + i % iw] = inner[i];
        return p;
    };
    auto join = [](std::vector<uint32_t> a, const std::vector<uint32_t> &b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };
    std::vector<uint32_t> landscape = onGround(41, 33, sky, 4, 5, picture(30, 24), 30);
    for (size_t i = 41 * 17; i < landscape.size(); i++) // a meadow below the sky
        landscape[i] = landscape[i] == sky ? rgb(4, 22, 6) : landscape[i];
    std::vector<uint32_t> icons, frames, cells, pair = picture(37, 25), still = picture(31, 23);
    for (uint32_t k = 0; k < 3; k++) {
        std::vector<uint32_t> inner = picture(25 + 2 * k, 24 - k);
        for (uint32_t &v : inner)
            v ^= k * 0x1C07;
        icons = join(icons, onGround(37, 29, sky, 5 + k, 3, inner, 25 + 2 * k));
    }
    // Green up and down again, so that each frame runs on smoothly into the
    // next; a yellow square moves from frame to frame.
    for (uint32_t f = 0; f < 4; f++)
        for (uint32_t i = 0; i < still.size(); i++) {
            const uint32_t x = i % 31, y = i / 31;
            frames.push_back(x >= 3 + 4 * f && x < 8 + 4 * f && y >= 8 && y < 13
                                 ? rgb(31, 31, 0)
                                 : (still[i] & ~0x3E0u) | std::min(y, 22 - y) * 2 << 5);
        }
    // Bands of bricks five rows tall, bright and dark in turn.
    for (uint32_t y = 0; y < 60; y++)
        for (uint32_t x = 0; x < 37; x++) {
            const uint32_t k = y / 5, h = (k * 2654435761u ^ (x + 3 * k) / 5 * 40503u) >> 9;
            const uint32_t base = k % 2 ? 0 : 20;
            cells.push_back(rgb(base + h % 11, base + (h >> 4) % 11,
                                base + (h >> 8) % 11 - (base ? y % 5 : 0)));
        }
    for (uint32_t &v : pair)
        v ^= 0x7C00;
    pair = join(picture(37, 21), pair);
    const std::vector<uint32_t> edge = onGround(41, 31, sky, 4, 3, picture(37, 25), 37);
    std::vector<uint32_t> before = picture(41, 20);
    for (uint32_t &v : before)
        v ^= 0x03E0;
    std::vector<uint32_t> cornered = picture(36, 25); // black corners, on black after padding
    for (uint32_t y = 0; y < 3; y++)
        for (uint32_t x = 0; x + y < 3; x++)
            cornered[y * 36 + x] = cornered[(24 - y) * 36 + 35 - x] = 0;
    const std::vector<uint32_t> padded =
        join(std::vector<uint32_t>(400, 0), onGround(39, 32, 0, 0, 5, cornered, 36));
    struct Row {
        const char *what;
        std::vector<uint32_t> words;
        uint32_t width;
        std::vector<uint32_t> heights;
        uint32_t skip = 0;
    } rows[] = {
        {"icon on a sky and a meadow: both grounds are its own", landscape, 41, {33}},
        {"icons on one ground, cut at their height", icons, 37, {29, 29, 29}},
        {"frames with no ground, cut at their height", frames, 31, {23, 23, 23, 23}},
        {"unrelated pictures, cut where the second begins", pair, 37, {21, 25}},
        {"a texture of cells, not cut at its breaks", cells, 37, {60}},
        {"201 rows, cut into two", picture(23, 201), 23, {100, 101}},
        {"icon reaching its right edge: the ground's runs frame it", edge, 41, {31}},
        {"a picture right before such an icon is kept", join(before, edge), 41, {20, 31}},
        // Black rows above it are the padding's; it ends where the black ends.
        {"icon on black after black padding", padded, 39, {27}, 400 + 5 * 39},
    };
    for (const Row &r : rows) {
        const Placed p = between(900, r.words, 700);
        std::string want;
        uint32_t at = p.offset + 2 * r.skip;
        for (uint32_t h : r.heights) {
            want += expect(at, r.width, h);
            at += 2 * r.width * h;
        }
        EXPECT_EQ(found(p.bytes), want) << r.what;
    }
}

// Four blocks of 64 words, as the finder judges them.
TEST(Steps, DipWidthNamesTheRowLength) {
    for (uint32_t w : {5u, 9u, 13u, 37u, 64u, 101u, 127u, 128u}) {
        Bytes bytes;
        putWords(bytes, picture(w, 1024 / w + 8));
        const Words words{bytes.data(), bytes.size() / 2};
        EXPECT_EQ(dipWidth(words, 2 * w, 2 * w + 256), w) << w;
    }
    Bytes noise;
    putNoise(noise, 4096, 9);
    EXPECT_EQ(dipWidth(Words{noise.data(), noise.size() / 2}, 1000, 1256), 0u);
}

// Two rows of a picture 13 wide read as one row 26 wide, or three 9 wide as
// one 27 wide, are split back; a picture 26 wide stays whole.
TEST(Steps, SplitWidth) {
    struct Row {
        uint32_t w, h, readW, readH, wantW, wantH;
    } rows[] = {{13, 40, 26, 20, 13, 40}, {9, 42, 27, 14, 9, 42}, {26, 20, 26, 20, 26, 20}};
    for (const Row &r : rows) {
        Bytes bytes;
        putWords(bytes, picture(r.w, r.h));
        uint32_t width = r.readW, height = r.readH;
        splitWidth(Words{bytes.data(), bytes.size() / 2}, 0, height, width);
        EXPECT_EQ(width, r.wantW) << r.w;
        EXPECT_EQ(height, r.wantH) << r.w;
    }
}

TEST(Steps, StartAndRowsOfAPicture) {
    const Placed p = between(300, picture(21, 15), 300);
    const Words words{p.bytes.data(), p.bytes.size() / 2};
    const size_t first = p.offset / 2;
    EXPECT_TRUE(continuesDown(words, first + 21 * 3 + 4, 21));
    EXPECT_FALSE(continuesDown(words, first - 21, 21)) << "noise above the picture";
    EXPECT_EQ(pictureStart(words, first - 40, first + 40, 21), first);
    EXPECT_EQ(pictureRows(words, first, words.count, 21), 15u);
}

TEST(Steps, AlignColumnsMovesToTheRowSeam) {
    // Red runs from 0 at the left to 31 at the right: each row's first word
    // jumps from the last of the row before, nowhere else.
    const Placed p = between(300, picture(21, 15), 300);
    const Words words{p.bytes.data(), p.bytes.size() / 2};
    const size_t first = p.offset / 2;
    struct Row {
        int off;       // words from the picture's start given
        size_t cursor; // no start before it
        int want;      // words from the picture's start returned
    };
    const Row rows[] = {{0, 0, 0},          {-5, 0, 0},         {-1, 0, 0}, {8, 0, 0},
                        {-10, 0, 0},        {8, first + 10, 8}, // the seam lies before the cursor
                        {-4, first + 2, -4}};                   // so does the plain start
    for (const Row &r : rows) {
        const size_t cursor = r.cursor ? r.cursor : first - 100;
        EXPECT_EQ(alignColumns(words, first + r.off, 21, 13, cursor), first + r.want) << r.off;
    }
    // Red ramps up three times a row: three seams alike, none taken.
    std::vector<uint32_t> thrice;
    for (uint32_t y = 0; y < 15; y++)
        for (uint32_t x = 0; x < 21; x++)
            thrice.push_back(rgb(x % 7 * 5, y * 2, 12));
    const Placed q = between(300, thrice, 300);
    const Words fw{q.bytes.data(), q.bytes.size() / 2};
    EXPECT_EQ(alignColumns(fw, q.offset / 2 + 6, 21, 13, 0), q.offset / 2 + 6);
}

TEST(Steps, RejectReasons) {
    struct Row {
        const char *name;
        std::vector<uint32_t> words;
        uint32_t width, height;
        const char *reason;
    };
    std::vector<uint32_t> few(64, 0x1234), text, small, rising, records(64, 0);
    few[10] = 0x1235;
    for (uint32_t i = 0; i < 64; i += 4) // 8-byte records: a value, then zeros
        records[i + 1] = 0x2F00 + i * 0x135 % 0x1000;
    for (uint32_t i = 0; i < 64; i++) {
        text.push_back(uint32_t("picture rows"[i % 12]) | uint32_t("of pixels ok"[i % 12]) << 8);
        small.push_back(0x80 + (i * 7) % 64);
        rising.push_back(0x0100 + i * 3);
    }
    // A dark sprite on blue: every word below 0x100, a third of them the
    // background, its dark colours changing from word to word.
    std::vector<uint32_t> sprite = picture(11, 9);
    for (uint32_t i = 0; i < sprite.size(); i++) {
        const uint32_t x = i % 11, y = i / 11;
        sprite[i] = x < 2 || x > 8 || y < 1 ? 0x001F : (sprite[i] & 0x1F) | (y & 7) << 5;
    }
    // Stripes: every other row bluer, so a row is nearly as like
    // the row two above as the one above; still a picture. A table whose
    // rows repeat every other row is none.
    std::vector<uint32_t> striped = picture(9, 8), repeating = picture(9, 8);
    for (uint32_t i = 0; i < striped.size(); i++) {
        if (i / 9 % 2)
            striped[i] = (striped[i] & ~0x1Fu) | std::min(31u, (striped[i] & 0x1F) + 12);
        repeating[i] = repeating[i % 18];
    }
    // An icon of three colours: a ground, an outline and a fill.
    std::vector<uint32_t> icon;
    for (uint32_t y = 0; y < 8; y++)
        for (uint32_t x = 0; x < 9; x++) {
            const bool in = x >= 1 + y % 3 && x <= 6 && y >= 1 && y <= 6;
            const bool edge = in && (x == 1 + y % 3 || x == 6 || y == 1 || y == 6);
            icon.push_back(!in ? rgb(2, 20, 20) : edge ? rgb(31, 31, 4) : rgb(20, 4, 12));
        }
    const Row rows[] = {
        {"picture", picture(8, 8), 8, 8, nullptr},
        {"three colours", icon, 9, 8, nullptr},
        {"striped", striped, 9, 8, nullptr},
        {"repeating", repeating, 9, 8, "periodic"},
        {"two values", few, 8, 8, "fewer than 3 values"},
        {"text", text, 8, 8, "text"},
        {"small numbers", small, 8, 8, "small numbers"},
        {"dark sprite", sprite, 11, 9, nullptr},
        {"rising", rising, 8, 8, "monotone"},
        {"records", records, 8, 8, "scattered"},
    };
    for (const Row &r : rows) {
        Bytes bytes;
        putWords(bytes, r.words);
        const char *got = rejectReason(Words{bytes.data(), bytes.size() / 2}, 0, r.width, r.height);
        EXPECT_STREQ(got, r.reason) << r.name;
    }
}

TEST(FindPictures, SameBytesWhateverTheBuffer) {
    // The result depends on the bytes only: a copy at another address gives
    // the same candidates.
    const Placed p = between(333, picture(19, 19), 333);
    std::vector<uint8_t> shifted(1, 0xAA);
    shifted.insert(shifted.end(), p.bytes.begin(), p.bytes.end());
    const std::vector<Candidate> a = findPictures(p.bytes.data(), p.bytes.size());
    const std::vector<Candidate> b = findPictures(shifted.data() + 1, p.bytes.size());
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); i++)
        EXPECT_EQ(a[i].offset + a[i].width * 1000 + a[i].height * 1000000 + a[i].note,
                  b[i].offset + b[i].width * 1000 + b[i].height * 1000000 + b[i].note);
}
