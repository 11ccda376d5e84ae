#pragma once
// The BMP layout both tools share: a 14-byte file header and a 40-byte
// information header, no palette, rows bottom-up.
#include <cstdint>

struct BmpFileHeader {
    uint16_t bfType;
    uint32_t bfSize;
    uint16_t bfReserved1;
    uint16_t bfReserved2;
    uint32_t bfOffBits;
};

struct BmpInfoHeader {
    uint32_t biSize;
    int32_t biWidth;
    int32_t biHeight;
    uint16_t biPlanes;
    uint16_t biBitCount;
    uint32_t biCompression;
    uint32_t biSizeImage;
    int32_t biXPelsPerMeter;
    int32_t biYPelsPerMeter;
    uint32_t biClrUsed;
    uint32_t biClrImportant;
};

// Byte offset of each header field in the file, with its width: the file carries
// no gaps, though the records in memory may.
enum BmpFieldOffset : uint32_t {
    offType = 0,           // 2
    offSize = 2,           // 4
    offReserved1 = 6,      // 2
    offReserved2 = 8,      // 2
    offOffBits = 10,       // 4
    offInfoSize = 14,      // 4
    offWidth = 18,         // 4
    offHeight = 22,        // 4
    offPlanes = 26,        // 2
    offBitCount = 28,      // 2
    offCompression = 30,   // 4
    offSizeImage = 34,     // 4
    offXPelsPerMeter = 38, // 4
    offYPelsPerMeter = 42, // 4
    offClrUsed = 46,       // 4
    offClrImportant = 50,  // 4
};

constexpr uint32_t bmpFileHeaderSize = 14;
constexpr uint32_t bmpInfoSize = 40;
constexpr uint32_t bmpHeaderSize = bmpFileHeaderSize + bmpInfoSize;
constexpr uint16_t bmpMagic = 0x4D42; // "BM"
constexpr uint32_t bmpRgb = 0;        // uncompressed
constexpr uint32_t bmpBitFields = 3;  // channel masks follow the 40-byte header
constexpr uint32_t bmpMaskBytes = 12; // red, green and blue masks of bmpBitFields

// The two pixel sizes both tools handle: 24 bits (blue, green, red) and 32
// (blue, green, red, 0).
inline bool isBmpBitCount(uint32_t bitCount) { return bitCount == 24 || bitCount == 32; }

// Rows are padded to a multiple of 4 bytes. At 24 bits, 3w + (w & 3) is that
// multiple, since 3w + w is one; 32-bit rows need no fill.
inline uint32_t bmpRowBytes(uint32_t bitCount, uint32_t w) {
    return bitCount == 32 ? 4 * w : 3 * w + (w & 3);
}

// Bytes of pixel data of a w x h picture; the caller has checked it fits.
inline uint32_t bmpImageSize(uint32_t bitCount, uint32_t w, uint32_t h) {
    return bmpRowBytes(bitCount, w) * h;
}

extern BmpFileHeader bmpFileHeader;
extern BmpInfoHeader bmpInfoHeader;

// Fills the records for the current picture at the given depth.
void fillBmpHeader(uint32_t bitCount);

void storeBmpHeader(const BmpFileHeader &fh, const BmpInfoHeader &ih, uint8_t out[bmpHeaderSize]);
void loadBmpHeader(const uint8_t in[bmpHeaderSize], BmpFileHeader &fh, BmpInfoHeader &ih);
