#pragma once
// Every number the finder decides by, each with why it has its value.
#include <cstddef>
#include <cstdint>

#include "find.h"

// Words are judged in blocks: each block names the width at which it
// resembles the row before it, and runs of blocks naming one width are then
// searched word by word for the exact rows.
constexpr size_t blockWords = 64;
constexpr size_t minRun = findMinWidth * findMinHeight;
constexpr uint32_t flatBlock = 1; // a block of one value throughout: it names no width
constexpr uint32_t lagLimit = findMaxWidth + 3;
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
