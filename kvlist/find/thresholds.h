#pragma once
// Every number the finder decides by, each with why it has its value, by the
// step that uses it. Distances are pixelDistance levels (0..93); a Fraction
// is num of every den of what is counted. Values were set on the benchmark
// corpus (bench/mkcorpus.py) unless a line says the tuned part of the
// development corpus; no value was chosen on its held-out part.
#include <cstddef>
#include <cstdint>

#include "find.h"

struct Fraction {
    uint32_t num, den;
};

// Blocks and widths (widths.cpp): words are judged in blocks; each block
// names the width at which it resembles the row before it, and runs of
// blocks naming one width are then searched word by word for the exact rows.
constexpr size_t blockWords = 64;
constexpr size_t minRun = findMinWidth * findMinHeight; // a run shorter holds no picture
constexpr uint32_t flatBlock = 1; // a block of one value throughout: it names no width
// A dip is judged against the lags this far on either side: anti-aliased
// edges blur the nearest ones too.
constexpr uint32_t dipReach = 3;
constexpr uint32_t lagLimit = findMaxWidth + dipReach; // the widest width, and its dip's judges
// A dip lies a quarter below the lags dipReach away: a chance wobble does not.
constexpr Fraction dipDepth{3, 4};
// An average brightness step (of 0..124) up to this per word is close enough
// to be rows; far above it, a dip is only less noise than its neighbours.
constexpr uint32_t dipMaxStep = 16;
// Rows also resemble those two, three or four above: a dip at a multiple of
// the width gives way to one at the width ...
constexpr uint32_t rowMultiples = 4;
// ... when that one's depth is nearly as plain (its ratio at most 5/4 of the best).
constexpr Fraction multipleDip{5, 4};
// A block's dip may sit up to this many words off its picture's width: widths
// this near are tried, and blocks naming them count as naming one width.
constexpr uint32_t widthSlack = 3;
// Enough words to judge a width by, in bounded time.
constexpr size_t judgeWords = 8192;
// Rows of a narrower picture read as one row: two of them, or three.
constexpr uint32_t splitMost = 3;

// Words (pixels.h, bounds.cpp).
// Words this close continue down whatever lies beside the word below: the
// lowest bits of a channel or two, as dithering and gradients change them.
constexpr uint32_t nearDistance = 3;
// Closer than unrelated words (about 40 apart), as neighbours in a picture are.
constexpr uint32_t continueDistance = 24;
// A row of wide text (ASCII beside zero bytes) ends a picture: this share of
// its words are text, which the rows of a picture hardly ever are.
constexpr Fraction textRowShare{3, 4};

// Bounds (bounds.cpp).
// A row continues into the next when half its words do ...
constexpr Fraction rowShare{1, 2};
// ... or when its words lie this near the row below on average (nearest of
// the word below and its two neighbours): smooth rows whose words shift.
constexpr uint32_t rowMeanDistance = 10;
// Narrow rows are tested a few at a time, about this many words: a row of a
// few words continues by chance.
constexpr uint32_t testWords = 24;
// A picture's top is sought no farther back than the tallest picture.
constexpr uint32_t topWalkRows = findMaxHeight;
// A start or end is judged on a row and at least this many words: fewer
// continue or not by chance.
constexpr size_t sharpWords = 32;
// A start moves only where this share of the words after it continue down
// at least ...
constexpr Fraction startShare{1, 2};
// ... and that share exceeds the one in the row before by this much.
constexpr Fraction startRise{1, 3};
// A row grid is judged by the plainest start and end within this many rows.
constexpr int gridReach = 2;
// An end is sought from this many rows before the rows found (the last ones
// of a picture often continue too little) to this many after.
constexpr size_t endBefore = 2, endAfter = 1;

constexpr uint32_t minSure = 60;
// A block of one width may hold many pictures back to back: it is cut into
// pictures only once it is whole.
constexpr uint32_t blockMaxRows = 4096;

// The notes, measured on the tuned part of the development corpus: a
// picture both of whose ends are this plain (in percent of words that
// start or stop continuing) and most of whose words continue down was one
// whole picture every time; one end this plain, two times in three.
constexpr uint32_t sureEnds = 90, sureContinuing = 85;
constexpr uint32_t likelyEnd = 80, likelyContinuing = 90, likelyPixels = 512;
// An unsure candidate this short or this small was never a picture on the
// tuned part of the development corpus.
constexpr uint32_t unsureMinRows = 8, unsureMinPixels = 128;
