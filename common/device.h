#pragma once
// The device's limits on a picture and the window of firmware offsets where
// kvpush writes one: what every program agrees on, without any picture state.
#include <cstdint>

constexpr uint32_t maxWidth = 128;
constexpr uint32_t maxHeight = 160;
constexpr uint32_t maxPixels = maxWidth * maxHeight;

// kvpush writes a picture only where its first byte lies in this window of
// firmware offsets; kvlist marks the pictures outside it.
constexpr uint32_t windowFirst = 0x54DF26;
constexpr uint32_t windowLast = 0x9E6F56;

inline bool inKvpushWindow(uint32_t offset) {
    return offset >= windowFirst && offset <= windowLast;
}

// The one test of whether a w x h picture fits the buffers, in any shape up to
// maxPixels; 0 x h and w x 0 fit (they are empty). Written so it cannot wrap.
inline bool pictureFits(uint32_t w, uint32_t h) { return h == 0 || w <= maxPixels / h; }
