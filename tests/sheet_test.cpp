// The sheet's pure parts: the 16-bit BMP of a picture, base64, page text, notes.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "listfile.h"
#include "sheet.h"

namespace {

// A 3 x 2 picture: every word differs, the top row first, bit 15 set in one,
// so a flipped, mirrored, unpadded or converted picture shows.
const uint8_t picture3x2[] = {0x01, 0x7C, 0xE2, 0x03, 0x1F, 0x80, // top: red+1, green+2, blue|bit15
                              0x34, 0x12, 0x78, 0x56, 0xBC, 0x9A};

TEST(SheetBmp, OddWidthPictureBytes) {
    // clang-format off
    const std::vector<uint8_t> expected = {
        // file header: size 66 + 2 rows of 8 bytes, pixels at 66
        'B', 'M', 82, 0, 0, 0, 0, 0, 0, 0, 66, 0, 0, 0,
        // information header: its size, width 3, height 2 (rows bottom-up), 1 plane, 16 bits,
        // bit fields, image size 16, no resolution, no colour table
        40, 0, 0, 0, 3, 0, 0, 0, 2, 0, 0, 0, 1, 0, 16, 0, 3, 0, 0, 0, 16, 0, 0, 0,
        0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
        // red, green and blue masks
        0x00, 0x7C, 0, 0, 0xE0, 0x03, 0, 0, 0x1F, 0, 0, 0,
        // the bottom row first, each padded from 6 bytes to 8; the words as they were
        0x34, 0x12, 0x78, 0x56, 0xBC, 0x9A, 0, 0,
        0x01, 0x7C, 0xE2, 0x03, 0x1F, 0x80, 0, 0};
    // clang-format on
    std::vector<uint8_t> out = {0xAA}; // appended after what is there
    appendSheetBmp(out, picture3x2, 3, 2);
    ASSERT_EQ(out.size(), 1 + expected.size());
    EXPECT_EQ(out[0], 0xAA);
    EXPECT_EQ(std::vector<uint8_t>(out.begin() + 1, out.end()), expected);
}

TEST(Base64, Rfc4648Vectors) {
    // clang-format off
    const struct {
        std::string in;
        const char *out;
    } rows[] = {{"", ""}, {"f", "Zg=="}, {"fo", "Zm8="}, {"foo", "Zm9v"}, {"foob", "Zm9vYg=="},
                {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"}, {"\xFF\xFE\xFD", "//79"},
                {"\xFB\xFF", "+/8="}, {std::string("\0\x10\x83", 3), "ABCD"}};
    // clang-format on
    for (const auto &r : rows) {
        std::string out = "x";
        appendBase64(out, reinterpret_cast<const uint8_t *>(r.in.data()), r.in.size());
        EXPECT_EQ(out, std::string("x") + r.out) << r.out;
    }
}

TEST(PageText, EscapesMarkupAndControls) {
    const struct {
        std::string in, out;
    } rows[] = {{"plain_name-1", "plain_name-1"},
                {"a&b<c>d\"e'f", "a&amp;b&lt;c&gt;d&quot;e&#39;f"},
                {"&amp;", "&amp;amp;"},
                {std::string("t\tn\nz\0e\x7F", 8), "t\\x09n\\x0Az\\x00e\\x7F"},
                {"caf\xC3\xA9", "caf\xC3\xA9"}};
    for (const auto &r : rows)
        EXPECT_EQ(pageText(r.in), r.out) << r.in;
}

TEST(EntryNote, TextAfterTwoBlanksAndAHash) {
    const struct {
        const char *line, *note;
    } rows[] = {{"0x0054DF26 0x0000 16 8 at0054DF26  # smooth rows 93%\n", "smooth rows 93%"},
                {"0x0054DF26 0x0000 16 8 a  # note\r\n", "note"},
                {"0x0054DF26 0x0000 16 8 a  # last line, no line end", "last line, no line end"},
                {"0x0054DF26 0x0000 16 8 a  # a  # b\n", "a  # b"},
                {"0x0054DF26 0x0000 16 8 a # one blank\n", ""},
                {"0x0054DF26 0x0000 16 8 a  #no blank after\n", ""},
                {"0x0054DF26 0x0000 16 8 a  # \n", ""},
                {"0x0054DF26 0x0000 16 8 a\n", ""}};
    for (const auto &r : rows)
        EXPECT_EQ(entryNote(reinterpret_cast<const uint8_t *>(r.line), strlen(r.line)), r.note)
            << r.line;
}

TEST(PictureState, AsKvpullReadsIt) {
    const struct {
        uint32_t offset, w, h;
        size_t size;
        PictureState state;
    } rows[] = {{0, 128, 160, 40960, pictureRead},
                {1, 128, 160, 40960, picturePastEnd},
                {0, 128, 160, 40959, picturePastEnd},
                {40961, 1, 1, 40960, picturePastEnd},
                {0xFFFFFFFF, 1, 1, 40960, picturePastEnd},
                {10, 3, 2, 22, pictureRead},
                {10, 3, 2, 21, picturePastEnd},
                {0, 128, 161, 1 << 20, pictureTooLarge},
                {0, 20480, 1, 1 << 20, pictureRead},
                {0, 20481, 1, 1 << 20, pictureTooLarge},
                {0, 0xFFFFFF9D, 1, 1 << 20, pictureTooLarge}, // a width of -99
                {0, 65536, 65536, 1 << 20, pictureTooLarge},  // would wrap in 32 bits
                {0, 0, 5, 1 << 20, pictureEmpty},
                {0, 0xFFFFFFFF, 0, 1 << 20, pictureEmpty},
                {1 << 20, 0, 0, 1, pictureEmpty}};
    for (const auto &r : rows)
        EXPECT_EQ(pictureState(r.offset, r.w, r.h, r.size), r.state)
            << r.offset << " " << r.w << "x" << r.h << " in " << r.size;
}

} // namespace
