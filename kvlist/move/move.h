#pragma once
// Carrying a list over to another version of its firmware file: each entry's
// bytes in the old file are looked for in the new one, where the pictures keep
// their order. Pure: no files, integers only.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum MoveWord { moveSame, moveMoved, moveChanged, moveNotFound };

struct MoveReport {
    std::string name; // as the list gives it
    MoveWord word;
    int64_t by;               // new offset minus old offset, when found
    uint32_t rowsEqual, rows; // for moveChanged
};

struct Moved {
    std::string list;                // the list carried over, byte for byte but the offsets
    std::vector<MoveReport> entries; // one per entry, in list order
    unsigned counts[4];              // by MoveWord
};

Moved moveList(const uint8_t *old, size_t oldSize, const uint8_t *list, size_t listSize,
               const uint8_t *now, size_t nowSize);

// One entry's line on standard error, and the summary, without line ends.
std::string moveReportLine(const MoveReport &report);
std::string moveSummary(const unsigned counts[4]);

// The steps, for the unit tests.

// Bytes [start, end) of a file.
struct Span {
    uint64_t start, end;
};

// For spans in the order of their entries: whether each lies in every longest
// chain of spans that follow one another without overlap (end <= next start).
std::vector<bool> inEveryLongestChain(const std::vector<Span> &spans);

// Where each of the old file's blocks lies in the new file, or -1: blocks in
// offset order, none overlapping. exact tells a block found byte for byte.
struct Placement {
    int64_t offset;
    bool exact;
};
std::vector<Placement> placeBlocks(const uint8_t *old, const std::vector<Span> &blocks,
                                   const uint8_t *now, size_t nowSize);

// Whether a redrawn block of pixels equal at the best place out of pixels,
// with next equal at the next best place, is found there for sure.
bool redrawnFound(uint64_t pixels, uint64_t equal, uint64_t next);
