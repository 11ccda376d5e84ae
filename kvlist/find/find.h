#pragma once
// Finding device pictures in a firmware file: runs of 16-bit pixels whose
// bit 15 never changes, whose channels change little from pixel to pixel and
// whose rows resemble the row before them. Pure: no files, integers only.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "le.h"

// How sure the finder is that a candidate is one whole picture: sure ones
// are (on pictures the finder was not tuned on, 19 in 20 or more), likely
// ones are at least every other time, unsure ones are what remains.
enum Note { noteUnsure, noteLikely, noteSure };

struct Candidate {
    uint32_t offset, width, height;
    Note note;
};

constexpr uint32_t findMinWidth = 4, findMaxWidth = 128, findMinHeight = 4, findMaxHeight = 160;
constexpr uint32_t findMaxPixels = 20480;

// Every candidate has findMinWidth..findMaxWidth columns, findMinHeight..
// findMaxHeight rows and at most findMaxPixels pixels, and starts in the
// first 4 GiB; offset order.
std::vector<Candidate> findPictures(const uint8_t *data, size_t size);

// The steps, for the unit tests.

// The little-endian 16-bit words of one byte parity of a buffer.
struct Words {
    const uint8_t *bytes;
    size_t count;
    uint32_t operator[](size_t i) const {
        return uint32_t(bytes[2 * i]) | uint32_t(bytes[2 * i + 1]) << 8;
    }
};

// Sum of the differences of the three 5-bit channels, 0..93.
uint32_t pixelDistance(uint32_t a, uint32_t b);

// The width at which words [from, to) resemble the words one row earlier
// (never reaching before word 0) distinctly better than one word nearer or
// farther, or 0 when no width stands out.
uint32_t dipWidth(Words w, size_t from, size_t to);

// Whether word i of a picture of this width resembles the word below it.
bool continuesDown(Words w, size_t i, uint32_t width);

// The word in [from, to) where a picture of this width most plainly starts:
// its words continue down and those of the row before it do not; to when no
// word does.
size_t pictureStart(Words w, size_t from, size_t to, uint32_t width);

// How many rows from start on continue into one another, words before end
// only; a single row that does not is passed over inside a picture.
uint32_t pictureRows(Words w, size_t start, size_t end, uint32_t width);

// The start of a picture of these rows moved less than a row to the column
// where each row's first word changes most from the last of the row before,
// when that column stands out, the rows from it start more plainly and it
// stays at or after cursor; else start.
size_t alignColumns(Words w, size_t start, uint32_t width, uint32_t rows, size_t cursor);

// Rows of a picture of width / 2 or width / 3 when each row resembles its
// own other part better than the row above: rows and width change.
void splitWidth(Words w, size_t start, uint32_t &rows, uint32_t &width);

// Why rows of smooth words are no picture, or nullptr: fewer than 3 values,
// text, a table of small numbers, a monotone table.
const char *rejectReason(Words w, size_t start, uint32_t width, uint32_t height);
