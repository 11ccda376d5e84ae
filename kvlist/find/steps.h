#pragma once
// The finder's steps as its files share them: widths, bounds, fix-ups,
// judgement and the scan that ties them together.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "find.h"
#include "thresholds.h"

// A picture found in a run of words: its first word, width and rows.
struct Piece {
    size_t start;
    uint32_t width, height;
};

// widths.cpp

// The row-to-row differences of a block for every lag from 1 to lagLimit.
struct LagProfile {
    uint32_t sum[lagLimit + 1];
    uint32_t lags; // sum[1..lags] are valid
};

void lagProfile(Words w, size_t from, size_t to, LagProfile &p);
uint32_t bestDip(const LagProfile &p, size_t n);
uint32_t refineWidth(Words w, size_t from, size_t to, uint32_t guess);

// bounds.cpp

bool rowContinues(Words w, size_t start, uint32_t width, uint32_t rows = 1);
uint32_t rowsPerTest(uint32_t width);
size_t findTop(Words run, const std::vector<uint32_t> &label, size_t cursor, size_t seed,
               uint32_t width);
uint32_t startSharpness(Words run, size_t x, uint32_t width);
uint32_t endSharpness(Words run, size_t e, uint32_t width);
uint32_t gridScore(Words run, size_t start, uint32_t rows, uint32_t width, size_t cursor);
size_t pictureEnd(Words run, size_t approx, uint32_t width, uint32_t &sharpness);

// fixups.cpp

void cutRows(Words w, size_t start, uint32_t width, uint32_t top, uint32_t bottom,
             std::vector<Piece> &out);
void snapAfterPadding(Words run, size_t &start, uint32_t &rows, uint32_t width);
uint32_t nextPicture(Words run, const std::vector<uint32_t> &label, size_t start, uint32_t rows,
                     uint32_t width);
void snapToMargins(Words run, size_t &start, uint32_t &rows, uint32_t width, size_t cursor);
void extendUp(Words run, size_t &start, uint32_t &rows, uint32_t width, size_t cursor);
void extendToMargin(Words run, size_t &start, uint32_t &rows, uint32_t width, size_t cursor);

// segment.cpp

// The pictures of a block of rows of one width, grown and cut; the block
// may grow within words [lo, hi).
void segmentBlock(Words w, size_t start, uint32_t width, uint32_t rows, size_t lo, size_t hi,
                  std::vector<Piece> &out);

// judge.cpp

uint32_t sureOf(Words w, size_t start, uint32_t width, uint32_t height);
Note noteOf(Words w, const Piece &p);
// One or two values only: padding, a bitmap, a table of two entries.
bool fewValues(Words w, size_t start, size_t n);
bool otherParitySmoother(Words w, Words other, size_t at, uint32_t width, uint32_t rows);
