#pragma once
// The current picture: process-wide, as each tool handles one picture at a time.
#include <cstddef>
#include <cstdint>

#include "device.h"

constexpr size_t dakbufSize = maxPixels * 2;
constexpr size_t bmpbufSize = maxPixels * 4;

inline uint32_t address = 0;
inline uint32_t width = maxWidth;
inline uint32_t height = maxHeight;
inline uint8_t dakbuf[dakbufSize];
inline uint8_t bmpbuf[bmpbufSize];
