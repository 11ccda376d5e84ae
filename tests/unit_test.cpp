// The pure functions: pixel expansion and packing, BMP rows and header, list lines.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "args.h"
#include "bmp.h"
#include "kvpull.h"
#include "list.h"
#include "picture.h"
#include "pixel.h"

namespace {

// Every pixel different and bit 15 set in some, so flips, swaps and shifts show.
uint32_t sampleValue(uint32_t i) { return (i * 40503u + 7u) & 0xFFFF; }

void fillPicture(uint32_t w, uint32_t h) {
    width = w;
    height = h;
    for (uint32_t i = 0; i < w * h; i++)
        putPixel(dakbuf + 2 * i, sampleValue(i));
}

TEST(Pixel, ExpandsAndPacksEachChannel) {
    struct {
        uint32_t v;
        uint8_t b, g, r;
    } rows[] = {{0x001F, 248, 0, 0},     {0x03E0, 0, 248, 0}, {0x7C00, 0, 0, 248},
                {0x7FFF, 248, 248, 248}, {0x8000, 0, 0, 0},   {0x0421, 8, 8, 8}};
    for (const auto &r : rows) {
        EXPECT_EQ(expandPixel(r.v), r.b | r.g << 8 | r.r << 16) << r.v;
        EXPECT_EQ(packPixel(r.b, r.g, r.r), r.v & 0x7FFF) << r.v;
    }
    EXPECT_EQ(packPixel(255, 255, 255), 0x7FFFu);
    EXPECT_EQ(packPixel(7, 7, 7), 0u);
    EXPECT_EQ(packPixel(8, 0, 0), 1u);
    EXPECT_EQ(packPixel(0, 0, 8), 0x400u);
}

TEST(Convert, RowsRunBottomUpWithZeroFill) {
    memset(bmpbuf, 0xAA, bmpbufSize); // a previous picture's bytes
    fillPicture(5, 2);
    convert24();
    // Blue, green, red of sampleValue(0..4) (device row 0), then of 5..9, each
    // row filled to 16 bytes; bmpbuf holds the bottom row first.
    const uint8_t top[16] = {56, 0, 0, 240, 136, 56, 168, 24, 120, 96, 168, 176, 24, 56, 240, 0};
    const uint8_t bottom[16] = {208, 192, 40,  136, 80,  104, 64, 224,
                                160, 248, 104, 224, 176, 248, 24, 0};
    EXPECT_EQ(memcmp(bmpbuf, bottom, 16), 0);
    EXPECT_EQ(memcmp(bmpbuf + 16, top, 16), 0);
    fillPicture(3, 1);
    convert32();
    const uint8_t row32[12] = {56, 0, 0, 0, 240, 136, 56, 0, 168, 24, 120, 0};
    EXPECT_EQ(memcmp(bmpbuf, row32, 12), 0);
}

TEST(Bmp, HeaderLayoutAndSizes) {
    struct {
        uint32_t w, h, bits, imageSize;
    } rows[] = {{5, 2, 24, 32}, {3, 1, 32, 12}, {128, 160, 24, 384 * 160}, {128, 160, 32, 81920}};
    for (const auto &r : rows) {
        width = r.w;
        height = r.h;
        fillBmpHeader(r.bits);
        uint8_t bytes[bmpHeaderSize];
        storeBmpHeader(bmpFileHeader, bmpInfoHeader, bytes);
        // {offset, width, value}: every field in its own width, no gaps.
        const uint32_t fields[][3] = {{0, 2, bmpMagic},    {2, 4, 54 + r.imageSize},
                                      {10, 4, 54},         {14, 4, 40},
                                      {18, 4, r.w},        {22, 4, r.h},
                                      {26, 2, 1},          {28, 2, r.bits},
                                      {34, 4, r.imageSize}};
        for (const auto &f : fields)
            EXPECT_EQ(f[1] == 2 ? getLe16(bytes + f[0]) : getLe32(bytes + f[0]), f[2]) << f[0];
        BmpFileHeader fh;
        BmpInfoHeader ih;
        loadBmpHeader(bytes, fh, ih);
        uint8_t again[bmpHeaderSize];
        storeBmpHeader(fh, ih, again);
        EXPECT_EQ(memcmp(bytes, again, bmpHeaderSize), 0);
    }
}

ListLineText lineOf(const std::string &bytes) {
    ListLineText line;
    takeListLine(bytes.data(), bytes.size(), line);
    return line;
}

TEST(ListLine, ScansFieldsAndCarriesThemOver) {
    const std::string longName(128, 'n'), inc = "incomplete";
    // Each row starts from the entry before it: 0x54DF26, 12 x 34, "prev";
    // "refused" says a line since the last complete one was refused.
    struct {
        std::string line;
        bool refused;
        ListLine kind;
        uint32_t address, w, h;
        std::string name;
    } rows[] = {
        {"\n", false, listEntry, 0x54DF26, 12, 34, "prev"},
        {" \t\r\n", false, listEntry, 0x54DF26, 12, 34, "prev"},
        {"0x0054DF27 0x0000 128 160 title\n", true, listEntry, 0x54DF27, 128, 160, "title"},
        {"#0x00550000 0x0000 1 2 c\n", true, listComment, 0x54DF26, 12, 34, "prev"},
        {" #0x00550000 0x0000 1 2 c\n", false, listIncomplete, 0x54DF26, 12, 34, "prev"},
        {"0X00550000 0x0000 1 2 c\n", false, listIncomplete, 0x54DF26, 12, 34, "prev"},
        {"0x00558000 128 160 ramp\n", false, listIncomplete, 0x54DF26, 12, 34, "prev"},
        {"0x00560000 word\n", false, listIncomplete, 0x54DF26, 12, 34, "prev"},
        {"0x\n", false, listIncomplete, 0x54DF26, 12, 34, "prev"},
        {"\xEF\xBB\xBF"
         "0x00550000 0x0000 1 2 c\n",
         false, listIncomplete, 0x54DF26, 12, 34, "prev"},
        {"0x00550000 0x0000 56 78\n", false, listEntry, 0x550000, 56, 78, "prev"},
        {"0x00550000 0x0000 56 78  \r\n", false, listEntry, 0x550000, 56, 78, "prev"},
        {"0x00550000 0x0000 56 78\n", true, listIncomplete, 0x54DF26, 12, 34, "prev"},
        {"\n", true, listIncomplete, 0x54DF26, 12, 34, "prev"},
        {"0x0054DF26 0x0000 1000 160 title\n", false, listEntry, 0x54DF26, 100, 0, "160"},
        {"0x00560000\n", false, listEntry, 0x560000, 12, 34, "prev"},
        {"0x00570000\t0x12 -99  7 dir/a b\r\n", false, listEntry, 0x570000, uint32_t(-99), 7,
         "dir/a"},
        {"0x00580000 0x0 1 2 " + longName + "\n", false, listNameTooLong, 0x54DF26, 12, 34, "prev"},
        {"0x00580000 0x0 1 2 " + longName.substr(1), false, listEntry, 0x580000, 1, 2,
         longName.substr(1)},
        // The text ends at a NUL; the rest of a line past 255 characters is passed over.
        {std::string("0x00590000 0x0 1 2 n\0ul\n", 25), false, listEntry, 0x590000, 1, 2, "n"},
        {"0x00590000 0x0 1 2 ok" + std::string(234, ' ') + "0x1 0x0 3 4 x\n", false, listEntry,
         0x590000, 1, 2, "ok"},
        {"#" + std::string(254, ' ') + "0x1 0x0 3 4 x\n", false, listComment, 0x54DF26, 12, 34,
         "prev"},
        // A name that runs on past the 255th character is no name of its own.
        {"0x00590000" + std::string(219, ' ') + "0x0 1 2 " + std::string(30, 'c'), false,
         listNameTooLong, 0x54DF26, 12, 34, "prev"},
        {"0x00590000" + std::string(219, ' ') + "0x0 1 2 " + std::string(18, 'c') + " x", false,
         listEntry, 0x590000, 1, 2, std::string(18, 'c')},
    };
    for (const auto &r : rows) {
        ListScan scan = {{0x54DF26, 12, 34, "prev"}, r.refused};
        const ListLine kind = scanListLine(lineOf(r.line), scan);
        EXPECT_EQ(kind, r.kind) << r.line;
        EXPECT_EQ(scan.entry.address, r.address) << r.line;
        EXPECT_EQ(scan.entry.width, r.w) << r.line;
        EXPECT_EQ(scan.entry.height, r.h) << r.line;
        EXPECT_EQ(std::string(scan.entry.name), r.name) << r.line;
        const bool refusedAfter = kind == listComment ? r.refused : kind != listEntry;
        EXPECT_EQ(scan.refused, refusedAfter) << r.line;
    }
    // Before any entry has named a file, a line without a name changes nothing.
    ListScan scan = {{0x54DF26, 12, 34, ""}, false};
    EXPECT_EQ(scanListLine(lineOf("0x00550000 0x0000 12 34\n"), scan), listNoName);
    EXPECT_EQ(scan.entry.address, 0x54DF26u);
}

TEST(ListLine, NameEndsWhereThePatternLeftIt) {
    const struct {
        std::string line;
        int end;
    } rows[] = {
        {"0x00001000 0x0000 9 7 apple  # sure\n", 27},
        {"0x00001000 0x0000 9 7 apple\r\n", 27},
        {"0x00001000\t0x0  9   7\tapple", 27},
        // Width and height take three characters each: 1234 reads as 123 and 4, the name is 5.
        {"0x00001000 0x0 1234 5 a", 21},
        {std::string("0x00001000 0x0000 9 7 ab\0cd", 27), 24},
        {"0x00001000 0x0000 9 7 " + std::string(128, 'n'), 150}, // refused as too long, but it ends
        {"0x00001000 0x0000 9 7\n", -1},
        {"0x00001000\n", -1},
        {"\n", -1},
        {"# 0x00001000 0x0000 9 7 apple\n", -1},
        {"0X00001000 0x0000 9 7 apple\n", -1},
    };
    for (const auto &r : rows)
        EXPECT_EQ(listNameEnd(lineOf(r.line)), r.end) << r.line;
}

TEST(Args, NumbersSaturateInsteadOfWrapping) {
    struct {
        const char *text;
        bool hexScans;
        uint32_t hex;
        bool decScans;
        int dec;
    } rows[] = {
        {"54DF26", true, 0x54DF26, true, 54},
        {" \t+0x1f", true, 0x1F, true, 0},
        {"0xg", true, 0, true, 0},
        {"-1", true, 0xFFFFFFFF, true, -1},
        {"-0x54DF26", true, 0xFFAB20DA, true, 0},
        {"0000000FFFFFFFF", true, 0xFFFFFFFF, true, 0},
        {"100000000", true, 0xFFFFFFFF, true, 100000000},
        {"-100000000", true, 0xFFFFFFFF, true, -100000000},
        {"2147483647", true, 0xFFFFFFFF, true, 2147483647},
        {"2147483648", true, 0xFFFFFFFF, true, 2147483647},
        {"-2147483648", true, 0xFFFFFFFF, true, -2147483647 - 1},
        {"-99999999999999999999", true, 0xFFFFFFFF, true, -2147483647 - 1},
        {"x1", false, 7, false, 7},
        {"-", false, 7, false, 7},
        {"", false, 7, false, 7},
    };
    for (const auto &r : rows) {
        uint32_t hex = 7;
        int dec = 7;
        EXPECT_EQ(scanHex(r.text, hex), r.hexScans) << r.text;
        EXPECT_EQ(hex, r.hex) << r.text;
        EXPECT_EQ(scanDecimal(r.text, dec), r.decScans) << r.text;
        EXPECT_EQ(dec, r.dec) << r.text;
    }
}

std::vector<std::string> readLines(const std::string &text) {
    std::vector<std::string> lines;
    ListLineText line;
    for (size_t pos = 0; pos < text.size();) {
        pos += takeListLine(text.data() + pos, text.size() - pos, line);
        lines.push_back(std::string(line.text) + (line.cut ? "+" : ""));
    }
    return lines;
}

TEST(ListLine, CrLfReadsLikeLfAndLongLinesAreCut) {
    const std::string lf = "# c\n\n0x1 0x0 1 2 a\n" + std::string(254, 'x') + "\n" +
                           std::string(300, 'y') + "\n" + std::string(255, 'z') + " z\nlast\rline";
    std::string crlf;
    for (char c : lf)
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    const auto lines = readLines(lf);
    EXPECT_EQ(readLines(crlf), lines);
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[3], std::string(254, 'x'));
    EXPECT_EQ(lines[4], std::string(255, 'y') + "+");
    EXPECT_EQ(lines[5], std::string(255, 'z'));
    EXPECT_EQ(lines[6], "last\rline");
}

} // namespace
