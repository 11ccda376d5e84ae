#pragma once
// Carrying a list over to another version of its firmware file: each entry's
// bytes in the old file are looked for in the new one, where the pictures keep
// their order, and given a new offset only where nothing else could be them.
// Pure: no files, integers only.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// What became of a list line: an entry's picture found the same, moved,
// changed or not at all, or a line kvpull refuses.
enum MoveWord { moveSame, moveMoved, moveChanged, moveNotFound, moveRefused, moveWords };

struct MoveReport {
    std::string name; // as the list gives it; for a refused line, kvpull's refusal
    MoveWord word;
    int64_t by;               // new offset minus old offset, when found
    uint32_t rowsEqual, rows; // for moveChanged
    unsigned line;            // the line's number, counted from 1
};

struct Moved {
    std::string list;                // the list carried over, byte for byte but the offsets
    std::vector<MoveReport> entries; // one per entry and refused line, in list order
    unsigned counts[moveWords];      // by MoveWord
};

Moved moveList(const uint8_t *old, size_t oldSize, const uint8_t *list, size_t listSize,
               const uint8_t *now, size_t nowSize);

// One report's line on standard error, and the summary, without line ends.
std::string moveReportLine(const MoveReport &report);
std::string moveSummary(const unsigned counts[moveWords]);

// The steps, for the unit tests.

// Bytes [start, end) of a file; for a block, the bytes of a row of its
// picture (0 when not known).
struct Span {
    uint64_t start, end;
    uint64_t row = 0;
};

// For spans in the order of their entries: whether each lies in every longest
// chain of spans that follow one another without overlap (end <= next start).
std::vector<bool> inEveryLongestChain(const std::vector<Span> &spans);

// Where each of the old file's blocks lies in the new file, or -1: blocks in
// offset order, none overlapping.
std::vector<int64_t> placeBlocks(const uint8_t *old, size_t oldSize,
                                 const std::vector<Span> &blocks, const uint8_t *now,
                                 size_t nowSize);

// Whether a redrawn block, with equal of its pixels (those unlike its most
// common colour) equal at the best place and next at the next best place
// near it, is found there for sure.
bool redrawnFound(uint64_t pixels, uint64_t equal, uint64_t next);
