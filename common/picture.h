#pragma once
// The current picture: process-wide, as each tool handles one picture at a time.
#include <cstddef>
#include <cstdint>
#include <cstdio>

constexpr uint32_t maxWidth = 128;
constexpr uint32_t maxHeight = 160;
constexpr uint32_t maxPixels = maxWidth * maxHeight;
constexpr size_t dakbufSize = maxPixels * 2;
constexpr size_t bmpbufSize = maxPixels * 4;

extern uint32_t address;
extern uint32_t width;
extern uint32_t height;
extern uint8_t dakbuf[dakbufSize];
extern uint8_t bmpbuf[bmpbufSize];

// True when a w x h picture fits the buffers; 0 x h and w x 0 fit (they are empty).
inline bool pictureFits(uint32_t w, uint32_t h) { return h == 0 || w <= maxPixels / h; }

// Row length of a 24-bit BMP: 3 bytes a pixel, filled to a multiple of 4.
inline uint32_t rowBytes24(uint32_t w) { return 3 * w + (w & 3); }

// Opens a firmware or BMP file without a stream buffer: pictures move in
// whole blocks at known offsets, where a buffer only adds a copy and makes
// every seek read the block around its target.
FILE *openBlockFile(const char *path, const char *mode);

// Prints the line that names every picture a tool handles.
void printAddressLine(const char *file);

// Single-image mode: offset (hex), width and height (decimal) from the command
// line. A number that does not scan leaves its value; oversize draws a warning.
void scanPictureArgs(const char *offset, const char *w, const char *h);
