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

// Fix-ups (fixups.cpp).
// Rows up to this many beyond a band of plain rows at either end of a picture
// belong to what lies beyond: the next frame, or data.
constexpr uint32_t beyondBandRows = 4;
// Stray words between padding and a picture: a value or two the padding's
// writer left.
constexpr uint32_t strayWords = 2;
// A picture of another width is sought only this many rows in: a cut sooner
// leaves too few rows for a picture ...
constexpr uint32_t otherWidthAfterRows = findMinHeight;
// ... where two blocks in a row name its width within this many words.
constexpr uint32_t labelAgree = 1;
// An icon's margin runs are sought this many rows up and down: margins are
// a few rows thick, farther runs are data.
constexpr size_t marginReach = 8;
// Rows that continue up into a picture join it up to this many, and rows
// inside its margin up to a plain row this many away: a margin's width.
constexpr uint32_t extendUpRows = 64;
constexpr size_t marginSearchRows = 64;
// A row seam is looked for in pictures this tall and wide: in fewer rows or
// columns one column stands out by chance.
constexpr uint32_t alignMinRows = 8, alignMinWidth = 8;
// The seam column changes this many times the first column's change, plus
// this many levels a row, ...
constexpr uint32_t seamOverFirst = 2, seamPerRow = 4;
// ... and a quarter more than any column not beside it: an edge inside a
// picture makes seams alike in several columns.
constexpr Fraction seamOverSecond{5, 4};

// Judgement (judge.cpp).
// A word is matched below when a word under it is within this many levels:
// sureness counts the words that plainly continue.
constexpr uint32_t sureDistance = 6;
// A dark sprite is small numbers too, but on a ground: one of the first
// values met fills a quarter of it; a table has no such value.
constexpr uint32_t groundCandidates = 8;
constexpr Fraction groundShare{1, 4};
// Words this share of which are printable (two bytes, or one beside a zero)
// are text: a picture's words hardly ever are, text with digits and signs is.
constexpr Fraction textShare{7, 8};
// UTF-16 text of one script, set on the tuned part of the development
// corpus: a quarter of its words in one block of 256 code points, and a space
// or line end every 32 words at least, between its words.
constexpr Fraction scriptShare{1, 4}, spaceShare{1, 32};
// A table of small numbers: nearly all its nonzero words below 256 ...
constexpr Fraction smallNumbersShare{31, 32};
// ... without the long runs of one value a dark picture on a ground has.
constexpr Fraction repeatsShare{1, 2};
// A table that only rises (or falls) turns fewer times than every other row.
constexpr Fraction turnsPerRow{1, 2};
// Records are values scattered among zeros: more than a quarter of the
// nonzero words stand alone; a sprite on black is blobs of colour.
constexpr Fraction scatteredShare{1, 4};
// Rough: a step of more than this from word to word on average, ...
constexpr uint32_t roughStep = 20;
// ... or more than this many times the step one row down plus this much a
// word: records and code change along a row, pictures change little.
constexpr uint32_t roughOverDown = 3, roughSlack = 6;
// Periodic: rows plainly more like the row two above, by a quarter, as the
// rows of a table that repeat every other row are.
constexpr Fraction periodicShare{3, 4};

// Segments (segment.cpp), set on the tuned part of the development corpus.
// A block may hold many pictures back to back: it is cut into pictures only
// once it is whole.
constexpr uint32_t blockMaxRows = 4096;
// Black and all-ones are padding as often as ground: a block grows through
// rows of them only up to this share of its rows.
constexpr Fraction paddingReach{1, 2};
// Pictures on one ground: a row or two past the last cell are what lies after
// the pictures ...
constexpr uint32_t pastRows = 2;
// ... and the pictures start within a quarter of the cell's height of one
// row of their cells.
constexpr Fraction firstRowSpread{1, 4};
// Frames: words one frame apart match when this close (a ground left out) ...
constexpr uint32_t frameDistance = 2;
// ... counted on every 11th word for a look at every height, every 3rd where
// the look found half the words matching, ...
constexpr size_t frameLookStride = 11, frameStride = 3;
// ... in 1/1000 of the words: a look worth a closer one, the least for frames
// and the least by which one frame apart beats one row apart, ...
constexpr uint32_t frameLook = 500, frameMin = 600, frameOverRow = 250;
// ... and the frame is the smallest height scoring this share of the best:
// a height of two frames scores as well as one.
constexpr Fraction frameNearly{17, 20};
// Pictures that meet: hardly a word continues into the next row, ...
constexpr Fraction breakKept{1, 8};
// ... their difference changes along the row half as much as the rows do
// (an edge across one picture changes them by much the same), ...
constexpr Fraction unrelatedShare{1, 2};
// ... and no other such row is this near, as in a texture of cells.
constexpr uint32_t breakApart = 8;

// The scan (scan.cpp).
// A block's label comes from its own profile and those of the blocks this
// many before and after, so that a width shows through flat parts.
constexpr size_t labelBefore = 1, labelAfter = 2;
// A smooth block steps at most this much from word to word on average: words
// at random step 32, code and compressed data about as much.
constexpr size_t maxMeanStep = 24;
// A seed's width is voted for by the blocks up to this many on; the widths
// most voted for are kept and the first ones tried.
constexpr size_t voteBlocks = 16;
constexpr uint32_t votedWidths = 3, triedWidths = 2;
static_assert(triedWidths <= votedWidths, "the widths tried are among those kept");
// A region of one width runs on past blocks naming another, up to this many
// in a row (an edge, a busy part).
constexpr size_t regionMisses = 2;
// A width is refined at most this many times: it settles in one or two.
constexpr uint32_t widthPasses = 3;
// A guess this many rows tall reaching this many blocks past its seed is the
// picture: no other guess does better.
constexpr uint32_t enoughRows = 16;
constexpr size_t enoughBlocks = 4;
// The blocks this many after a seed would find what it found.
constexpr size_t seedCoverBlocks = 2;
// A small run of rows is easily matched by chance: the share of its words
// matched below (sureOf) must be at least minSure, tinySure below tinyPixels
// and smallSure below smallPixels.
constexpr uint32_t minSure = 60;
constexpr uint32_t tinyPixels = 128, tinySure = 90, smallPixels = 512, smallSure = 70;
// Pieces of one width on one row grid up to this many rows apart are one
// picture cut at an edge across it ...
constexpr uint64_t joinMaxGap = 8;
// ... and a piece of one width starting within this many rows after another
// is put on its row grid: frames back to back, whose content may not show it.
constexpr uint64_t frameGridRows = 16;

// The notes, measured on the tuned part of the development corpus: a
// picture both of whose ends are this plain (in percent of words that
// start or stop continuing) and most of whose words continue down was one
// whole picture every time; one end this plain, two times in three.
constexpr uint32_t sureEnds = 90, sureContinuing = 85;
constexpr uint32_t likelyEnd = 80, likelyContinuing = 90, likelyPixels = 512;
// An unsure candidate this short or this small was never a picture on the
// tuned part of the development corpus.
constexpr uint32_t unsureMinRows = 8, unsureMinPixels = 128;
