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

constexpr uint32_t bmpHeaderSize = 54;
constexpr uint32_t bmpInfoSize = 40;
constexpr uint16_t bmpMagic = 0x4D42; // "BM"
constexpr uint32_t bmpRgb = 0;        // uncompressed
constexpr uint32_t bmpBitFields = 3;  // channel masks follow the 40-byte header

extern BmpFileHeader bmpFileHeader;
extern BmpInfoHeader bmpInfoHeader;

// Fills the records for the current picture at the given depth.
void fillBmpHeader(uint32_t bitCount);

void storeBmpHeader(const BmpFileHeader &fh, const BmpInfoHeader &ih, uint8_t out[bmpHeaderSize]);
void loadBmpHeader(const uint8_t in[bmpHeaderSize], BmpFileHeader &fh, BmpInfoHeader &ih);
