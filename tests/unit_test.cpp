// The pure functions: pixel expansion and packing, BMP rows and header, list lines.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bmp.h"
#include "kvpull.h"
#include "listfile.h"
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
    for (uint32_t y = 0; y < 2; y++) {
        const uint8_t *row = bmpbuf + (1 - y) * 16; // rows of 16 bytes at width 5
        for (uint32_t x = 0; x < 5; x++) {
            const uint32_t v = sampleValue(y * 5 + x);
            EXPECT_EQ(getLe32(row + 3 * x) & 0xFFFFFF, expandPixel(v));
        }
        EXPECT_EQ(row[15], 0);
    }
    fillPicture(3, 1);
    convert32();
    for (uint32_t x = 0; x < 3; x++)
        EXPECT_EQ(bmpbuf[4 * x + 3], 0);
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

TEST(ListLine, ScansFieldsAndCarriesThemOver) {
    const std::string longName(128, 'n');
    struct {
        std::string line;
        ListLine kind;
        uint32_t address, w, h;
        const char *name;
    } rows[] = {
        {"\n", listNoName, 0, 128, 160, ""},
        {"0x00550000 0x0000 12 34\n", listNoName, 0, 128, 160, ""},
        {"0x0054DF26 0x0000 128 160 title\n", listEntry, 0x54DF26, 128, 160, "title"},
        {"#0x00550000 0x0000 1 2 c\n", listComment, 0x54DF26, 128, 160, "title"},
        {" #0x00550000 0x0000 1 2 c\n", listEntry, 0x54DF26, 128, 160, "title"},
        {"0X00550000 0x0000 1 2 c\n", listEntry, 0x54DF26, 128, 160, "title"},
        {"0x0054DF26 0x0000 1000 160 title\n", listEntry, 0x54DF26, 100, 0, "160"},
        {"0x00560000\n", listEntry, 0x560000, 100, 0, "160"},
        {"0x00570000\t0x12 -99  7 dir/a b\r\n", listEntry, 0x570000, uint32_t(-99), 7, "dir/a"},
        {"0x00580000 0x0 1 2 " + longName + "\n", listNameTooLong, 0x570000, uint32_t(-99), 7,
         "dir/a"},
        {"0x00580000 0x0 1 2 " + longName.substr(1), listEntry, 0x580000, 1, 2, nullptr},
    };
    address = 0;
    width = 128;
    height = 160;
    listName[0] = '\0';
    for (const auto &r : rows) {
        EXPECT_EQ(scanListLine(r.line.c_str()), r.kind) << r.line;
        EXPECT_EQ(address, r.address) << r.line;
        EXPECT_EQ(width, r.w) << r.line;
        EXPECT_EQ(height, r.h) << r.line;
        EXPECT_EQ(std::string(listName), r.name ? r.name : longName.substr(1)) << r.line;
    }
}

std::vector<std::string> readLines(const std::string &text) {
    FILE *f = tmpfile();
    fwrite(text.data(), 1, text.size(), f);
    rewind(f);
    std::vector<std::string> lines;
    char line[listLineSize];
    while (readListLine(f, line))
        lines.push_back(line);
    fclose(f);
    return lines;
}

TEST(ListLine, CrLfReadsLikeLfAndLongLinesSplit) {
    const std::string lf = "# c\n\n0x1 0x0 1 2 a\n" + std::string(254, 'x') + "\n" +
                           std::string(300, 'y') + "\nlast\rline";
    std::string crlf;
    for (char c : lf)
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    const auto lines = readLines(lf);
    EXPECT_EQ(readLines(crlf), lines);
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[3].size(), 255u);
    EXPECT_EQ(lines[4], std::string(255, 'y'));
    EXPECT_EQ(lines[5], std::string(45, 'y') + "\n");
    EXPECT_EQ(lines[6], "last\rline");
}

} // namespace
