#pragma once
// The current picture: process-wide, as each tool handles one picture at a time.
#include <cstddef>
#include <cstdint>

constexpr uint32_t maxWidth = 128;
constexpr uint32_t maxHeight = 160;
constexpr uint32_t maxPixels = maxWidth * maxHeight;
constexpr size_t dakbufSize = maxPixels * 2;
constexpr size_t bmpbufSize = maxPixels * 4;

inline uint32_t address = 0;
inline uint32_t width = maxWidth;
inline uint32_t height = maxHeight;
inline uint8_t dakbuf[dakbufSize];
inline uint8_t bmpbuf[bmpbufSize];

// kvpush writes a picture only where its first byte lies in this window of
// firmware offsets; kvlist marks the pictures outside it.
constexpr uint32_t windowFirst = 0x54DF26;
constexpr uint32_t windowLast = 0x9E6F56;

// The one test of whether a w x h picture fits the buffers, in any shape up to
// maxPixels; 0 x h and w x 0 fit (they are empty). Written so it cannot wrap.
inline bool pictureFits(uint32_t w, uint32_t h) { return h == 0 || w <= maxPixels / h; }
